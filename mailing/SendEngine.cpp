#include "mailing/SendEngine.h"

#include <cmath>
#include <limits>
#include <memory>

#include "mailing/MailSelection.h"
#include "mailing/MessageFile.h"
#include "platform/EventLoop.h"
#include "platform/Random.h"
#include "platform/Seams.h"

namespace mailing {

namespace {

constexpr int kAddress = SendQueueIndex::kAddress;
constexpr int kMailing = SendQueueIndex::kMailing;
constexpr int kFormat = SendQueueIndex::kFormat;
constexpr int kStatus = SendQueueIndex::kStatus;

// Floating point to Integer, dropping the fraction; a value past the range of Integer
// gives its nearest end and "not a number" gives 0.
int ToInteger(double value) {
  if (std::isnan(value)) return 0;
  if (value >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (value <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

// The body as the message carries it: each line of the stored body (split at CR), the
// last one too, followed by CR LF.
QString MessageBody(QString body) {
  body.replace(QLatin1Char('\r'), QLatin1String("\r\n"));
  body += QLatin1String("\r\n");
  return body;
}

}  // namespace

SendEngine::SendEngine(platform::ListModel* queue, platform::ListModel* addresses,
                       platform::SMTPSocket* client, std::function<SmtpAccount()> account, QObject* parent)
    : QObject(parent),
      m_queue(queue),
      m_addresses(addresses),
      m_client(client),
      m_account(std::move(account)),
      m_queueIndex(queue),
      m_addressIndex(addresses) {}

SendEngine::~SendEngine() = default;

void SendEngine::StartMailing() {
  m_starttime = platform::Date();
  m_mailssent = 0;
  SetProgress(m_progressValue, m_queue->ListCount());
}

void SendEngine::SetProgress(int value, int maximum) {
  if (value == m_progressValue && maximum == m_progressMaximum) return;
  m_progressValue = value;
  m_progressMaximum = maximum;
  emit progressChanged(value, maximum);
}

void SendEngine::Tick() {
  // The tick yields; a tick of the timer meanwhile must not hand over more rows.
  if (platform::LongWork::IsBusy(this, platform::LongWork::Sending)) return;
  const platform::LongWork sending(this, platform::LongWork::Sending);
  ShowProgressAndSummary();
  // Mail handed over during a rest would all go out at once when it ends, past the pace.
  if (!BackingOff()) {
    if (!HandOver(sending)) return;
    if (m_queueIndex.WaitingCount() > 0 && !m_client->IsConnected()) {
      emit reported(QStringLiteral("Connecting..."));
      m_client->SendMail();
    }
  }
  SetSendTimer();
}

void SendEngine::ShowProgressAndSummary() {
  const int count = m_queue->ListCount();
  if (count == 0) {
    SetProgress(0, 100);
  } else {
    SetProgress(m_mailssent, m_progressMaximum);
  }
  if (!m_summaryShown) return;
  QString summary = QString::number(count) + QStringLiteral(" addresses");
  if (m_starttime && m_mailssent > 0 && count > 0) {
    const int elapsed = ToInteger(platform::Date::Now().TotalSeconds() - m_starttime->TotalSeconds());
    // A message accepted within the first second makes the rate infinite and the
    // estimate 0 minutes.
    const double rate = static_cast<double>(m_mailssent) / static_cast<double>(elapsed);
    const int minutes = ToInteger(count / rate / 60);
    summary += QStringLiteral(", ") + QString::number(minutes) + QStringLiteral(" minute(s).");
  }
  if (summary == m_summary) return;
  m_summary = summary;
  emit summaryChanged(summary);
}

bool SendEngine::HandOver(const platform::LongWork& work) {
  const platform::FolderItem folder = MessageFolder();
  // Each message file is read once per tick; rows of a message that cannot be read are
  // passed over, by the message's number in the index.
  QHash<QString, Loaded> messages;
  std::vector<bool> passOver;
  unsigned numbering = m_queueIndex.NameNumbering();
  auto passOverName = [&](const QString& name) {
    const int id = m_queueIndex.NameId(name);
    if (id < 0) return;
    if (static_cast<size_t>(id) >= passOver.size()) passOver.resize(static_cast<size_t>(id) + 1, false);
    passOver[static_cast<size_t>(id)] = true;
  };

  int taken = 0;
  int row = 0;
  while (taken < m_rate) {
    if (m_queueIndex.NameNumbering() != numbering) {
      numbering = m_queueIndex.NameNumbering();
      passOver.clear();
      for (auto it = messages.cbegin(); it != messages.cend(); ++it) {
        if (!it->readable) passOverName(it.key());
      }
    }
    const int found = m_queueIndex.NextQueuedRow(row, passOver);
    if (found < 0) break;
    const QString name = m_queue->Cell(found, kMailing);
    const auto known = messages.constFind(name);
    if (known == messages.cend()) {
      Loaded message;
      message.readable = LoadEmail(folder, name, message.from, message.subject, message.body);
      if (work.Stopped()) return false;
      message.body = MessageBody(message.body);
      messages.insert(name, message);
      if (!message.readable) passOverName(name);
      // Reading yielded: rows may have come or gone, so look again from the same place.
      continue;
    }
    if (!known->readable) {
      passOverName(name);
      row = found + 1;
      continue;
    }
    HandOverRow(found, *known);
    ++taken;
    platform::YieldToEventLoop();
    if (work.Stopped()) return false;
    row = found + 1;
  }
  return true;
}

void SendEngine::HandOverRow(int row, const Loaded& stored) {
  auto message = std::make_shared<platform::SpecialEmail>();
  message->AddRecipient(m_queue->Cell(row, kAddress));
  message->SetFromAddress(stored.from);
  message->SetSubject(stored.subject);
  message->SetName(m_queue->Cell(row, kMailing));
  if (m_queue->Cell(row, kFormat) == QLatin1String("HTML")) {
    message->SetBodyHTML(stored.body);
  } else {
    message->SetBodyPlainText(stored.body);
  }
  m_client->Messages().append(message);
  int unanswered = 0;
  std::erase_if(m_unansweredRows, [&](const std::pair<QPersistentModelIndex, int>& put) {
    if (!put.first.isValid()) return true;  // the row has gone
    if (put.first.row() != row) return false;
    unanswered = put.second;
    return true;
  });
  m_handedOver.insert(message.get(), {QPersistentModelIndex(m_queue->index(row, 0)), unanswered});
  const SmtpAccount account = m_account();
  m_client->SetUsername(account.username);
  m_client->SetPassword(account.password);
  m_client->SetAddress(account.server);
  m_queue->SetCell(row, kStatus, SendQueueIndex::Waiting());
}

void SendEngine::SetSendTimer() {
  const int seconds = m_ratePer;
  double period = seconds * 1000.0;
  if (m_randRate) {
    const double u1 = platform::Rnd();
    const double u2 = platform::Rnd();
    const double spread = seconds * 0.2 * u2;
    period = (u1 * 100 > 50 ? seconds + spread : seconds - spread) * 1000;
  }
  // To the nearest millisecond: 0.95 s is 950 ms, whatever the last bit of the product.
  emit periodChanged(ToInteger(std::round(period)));
}

void SendEngine::ShowRate() {
  QString text = QString::number(m_rate) + QStringLiteral(" messages every ") + QString::number(m_ratePer) +
                 QStringLiteral(" seconds");
  if (m_randRate) text += QStringLiteral(" +- 20%");
  if (BackingOff()) {
    const int wait = ToInteger(std::ceil(m_retryAt - platform::Date::Now().TotalSeconds()));
    text += QStringLiteral("; the server failed ") + QString::number(m_failures) +
            QStringLiteral(" times in a row, next try in ") + QString::number(wait) +
            QStringLiteral(" seconds");
  }
  emit rateShown(text);
}

void SendEngine::QueueSelectionChanged() {
  const int selected = m_queue->SelCount();
  if (selected > 0) {
    emit reported(QString::number(selected) + QStringLiteral(" addresses in the send queue selected."));
  }
}

void SendEngine::StopSending() {
  m_queue->DeleteAllRows();
  // Mail the user stopped must not go out with a later batch.
  m_client->DeleteAllMessages();
  m_handedOver.clear();
  m_client->Disconnect();
}

void SendEngine::DeleteFromSendQueue() {
  const platform::LongWork deleting(this);
  if (m_queue->SelCount() == 0) platform::MsgBox(QStringLiteral("Select a list entry to delete."));
  if (deleting.Stopped()) return;
  // A removed row's mail must not go out after the row has gone.
  platform::ListModel* queue = m_queue;
  m_client->Messages().removeIf([this, queue](const platform::EmailMessagePtr& message) {
    const auto handed = m_handedOver.constFind(message.get());
    if (handed == m_handedOver.cend() || !handed->row.isValid() || !queue->Selected(handed->row.row()))
      return false;
    m_handedOver.erase(handed);
    return true;
  });
  // One model signal for the whole removal, whatever the number of rows.
  queue->RemoveRowsIf([queue](int row) { return queue->Selected(row); });
}

void SendEngine::MessageSent(const platform::EmailMessagePtr& message) {
  m_handedOver.remove(message.get());
  m_failures = 0;
  const auto sent = std::dynamic_pointer_cast<platform::SpecialEmail>(message);
  if (!sent) return;
  ++m_mailssent;
  const QString to = sent->ToAddress();
  emit reported(QStringLiteral("Message sent to ") + to + QStringLiteral(" = ") + sent->Subject());
  const QString entry = HistoryEntry(sent->Name(), platform::Date::Now());
  const std::vector<int> rows = m_addressIndex.RowsOf(to);
  for (auto row = rows.rbegin(); row != rows.rend(); ++row)
    m_addresses->SetCell(*row, 1, m_addresses->Cell(*row, 1) + entry);
  if (!rows.empty()) {
    emit addressesEdited();
    // The client sends its next message only once this handler has returned.
    if (m_journal) m_journal(to, entry);
  }
  const std::vector<int> waiting = m_queueIndex.WaitingRowsOf(to);
  for (auto row = waiting.rbegin(); row != waiting.rend(); ++row) m_queue->RemoveRow(*row);
}

void SendEngine::MessageRefused(const platform::EmailMessagePtr& message, const QString& reply) {
  if (!message) return;
  const QPersistentModelIndex row = m_handedOver.take(message.get()).row;
  emit reported(QStringLiteral("Message to ") + message->ToAddress() + QStringLiteral(" refused: ") + reply);
  // Its row leaves the queue; otherwise it would wait for an answer that never comes.
  if (row.isValid()) m_queue->RemoveRow(row.row());
}

void SendEngine::ConnectionFailed() {
  const int code = m_client->LastErrorCode();
  emit reported(QStringLiteral("Error ") + QString::number(code));
  if (const platform::EmailMessagePtr unanswered = m_client->UnansweredMessage()) CountUnanswered(unanswered);
  // 102 is the server's close, also after every sign-off: what is still in the client's
  // list goes out on the next connection.
  if (code == platform::smtp::kServerClosed) {
    if (m_client->SignedOff()) {
      m_failures = 0;
    } else {
      CountFailure();
    }
    return;
  }
  if (code == platform::smtp::kCannotConnect) {
    emit reported(QStringLiteral("Error sending mail.  Please check your connection to the internet."));
  } else {
    emit reported(QStringLiteral("SMTP Socket Error = ") + QString::number(code));
    if (code == platform::smtp::kAuthRefused) {
      emit reported(QStringLiteral("Check your SMTP username and password."));
    }
  }
  // The message built again for a row still counts what went out unanswered before.
  for (const HandedOver& handed : std::as_const(m_handedOver)) {
    if (handed.unanswered > 0 && handed.row.isValid())
      m_unansweredRows.emplace_back(handed.row, handed.unanswered);
  }
  m_client->DeleteAllMessages();
  m_handedOver.clear();
  for (int row = m_queueIndex.LastUnqueuedRowBefore(m_queue->ListCount()); row >= 0;
       row = m_queueIndex.LastUnqueuedRowBefore(row)) {
    m_queue->SetCell(row, kStatus, SendQueueIndex::Queued());
  }
  CountFailure();
}

void SendEngine::CountUnanswered(const platform::EmailMessagePtr& message) {
  const auto handed = m_handedOver.find(message.get());
  if (handed == m_handedOver.end() || ++handed->unanswered < 2) return;
  // Sent twice, and perhaps delivered twice: a third time would be spam.
  const QPersistentModelIndex row = handed->row;
  m_handedOver.erase(handed);
  m_client->Messages().removeOne(message);
  emit reported(QStringLiteral("Message to ") + message->ToAddress() +
                QStringLiteral(" not sent again: the server took it twice without saying whether it "
                               "accepted it."));
  if (row.isValid()) m_queue->RemoveRow(row.row());
}

void SendEngine::CountFailure() {
  ++m_failures;
  if (m_failures < 2) return;
  // 1 s after the second failure in a row, doubling up to 5 minutes.
  m_retryAt = platform::Date::Now().TotalSeconds() + std::min(300, 1 << std::min(m_failures - 2, 9));
  ShowRate();
}

bool SendEngine::BackingOff() const {
  return m_failures >= 2 && platform::Date::Now().TotalSeconds() < m_retryAt;
}

void SendEngine::ConnectionEstablished(const QString& greeting) {
  emit reported(QStringLiteral("Connection established = ") + greeting);
}

}  // namespace mailing

#include "moc_SendEngine.cpp"
