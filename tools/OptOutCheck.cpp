#include "tools/OptOutCheck.h"

#include <QDateTime>
#include <QHashFunctions>
#include <algorithm>
#include <optional>
#include <vector>

#include "platform/Date.h"
#include "platform/EventLoop.h"
#include "platform/LongWork.h"
#include "platform/Seams.h"
#include "platform/Text.h"
#include "tools/OptOut.h"

namespace tools {

namespace {

const QString kTooManyAddresses = QStringLiteral(
    "Error - you sent too many addresses to the server to check against the opt-out list.  Please limit your "
    "list of selected addresses to around 7000 bytes.");
const QString kNoConnection = QStringLiteral(
    "Please make sure that your connection to the internet is active before checking the Velmora opt-out "
    "list.");
const QString kReplyTooLarge = QStringLiteral(
    "The opt-out service sent a reply larger than 64 MB, so the check was stopped and no address was "
    "marked.");
const QString kNoAnswer = QStringLiteral("The Opt-Out Database did not answer. Nothing was checked.");

// A service that sends a byte at a time would otherwise log a row per byte.
constexpr qint64 kReportEveryMs = 100;
// Rows go to the results window this many at a time, one insert each.
constexpr int kRowsPerBatch = 8192;

const QLatin1String kRefusal(optout::kUriTooLarge);

// Whether the service's refusal shows in the new bytes or across their start, letter case
// aside. Most replies are ASCII, which is searched as it came.
bool Refused(const QByteArray& before, QByteArrayView bytes) {
  const auto holds = [](QByteArrayView part) {
    return optout::IsAscii(part) ? QLatin1StringView(part).contains(kRefusal, Qt::CaseInsensitive)
                                 : platform::InStr(platform::DecodeBytes(part), kRefusal) != 0;
  };
  return holds(before + bytes.first(std::min(bytes.size(), kRefusal.size() - 1)).toByteArray()) ||
         holds(bytes);
}

QString Number(qsizetype n) {
  return platform::Str(static_cast<long long>(n));
}

// The rows of a list, as a snapshot holds them, whose address is one of those found. The
// rows' addresses are indexed first (the list is usually the smaller side, and its index
// then stays in the cache), then looked up with each address found. The index: open
// addressing, half full at most, a slot per distinct address holding its hash (high half,
// with the process's random seed, since the service chooses what is looked up) and its
// first row + 1 (low half); the rows that repeat it are chained to that row. A text equals
// an address exactly when its file form (as the list stores it) equals the address's bytes;
// a cell kept as UTF-16 has none. The event loop runs at every step; nothing comes back
// once `gone` says the walk should end.
std::optional<std::vector<unsigned char>> ListedRows(const platform::ListModel::Snapshot& rows,
                                                     const optout::AddressBytes& found,
                                                     const std::function<bool()>& gone) {
  const auto count = static_cast<size_t>(rows.RowCount());
  size_t size = 2;
  while (size < 2 * count) size *= 2;
  std::vector<quint64> table(size, 0);
  std::vector<int> repeat(count, -1);
  const auto hash = [](QByteArrayView bytes) {
    return static_cast<quint32>(qHash(bytes, QHashSeed::globalSeed()));
  };
  // The slot of the address: the one that holds it, or the empty one where it would go.
  const auto find = [&](QByteArrayView bytes, quint32 h) {
    size_t at = h & (size - 1);
    for (; table[at] != 0; at = (at + 1) & (size - 1)) {
      const auto row = static_cast<int>(table[at] & 0xFFFFFFFFu) - 1;
      if (table[at] >> 32 == h && rows.CellBytes(row, 0).bytes == bytes) break;
    }
    return at;
  };
  std::vector<int> lastOf(count, -1);  // per first row, the last row chained to it so far
  for (int row = 0; row < rows.RowCount(); ++row) {
    const platform::ListModel::StoredCell cell = rows.CellBytes(row, 0);
    if (cell.form != platform::ListModel::CellForm::Utf16) {
      const quint32 h = hash(cell.bytes);
      quint64& slot = table[find(cell.bytes, h)];
      if (slot == 0) {
        slot = quint64(h) << 32 | quint64(row + 1);
        lastOf[static_cast<size_t>(row)] = row;
      } else {
        int& last = lastOf[static_cast<size_t>((slot & 0xFFFFFFFFu) - 1)];
        repeat[static_cast<size_t>(last)] = row;
        last = row;
      }
    }
    platform::YieldToEventLoop();
    if (gone()) return std::nullopt;
  }
  lastOf = {};
  std::vector<unsigned char> listed(count, 0);
  for (int i = 0; i < found.Count(); ++i) {
    const QByteArrayView address = found.At(i);
    const quint64 slot = table[find(address, hash(address))];
    // A repeated address finds its rows marked already.
    if (slot != 0 && listed[(slot & 0xFFFFFFFFu) - 1] == 0) {
      for (int row = static_cast<int>(slot & 0xFFFFFFFFu) - 1; row >= 0;
           row = repeat[static_cast<size_t>(row)])
        listed[static_cast<size_t>(row)] = 1;
    }
    platform::YieldToEventLoop();
    if (gone()) return std::nullopt;
  }
  return listed;
}

}  // namespace

struct OptOutCheck::Run {
  platform::ServerAddress service;
  QString addresses;
  optout::ReplyReader reader;
  QByteArray recent;       // the last bytes, in which a refusal split across arrivals starts
  qsizetype bytes = 0;     // as they came
  qsizetype received = 0;  // in characters, as the status line counts them
  QDateTime deadline;
  bool reading = false;        // ReadLines is under way or on its way
  std::optional<int> endCode;  // once the reply is over
};

OptOutCheck::OptOutCheck(platform::TCPSocket* socket, Hooks hooks, QObject* parent)
    : QObject(parent), m_socket(socket), m_hooks(std::move(hooks)) {
  m_idle.setSingleShot(true);
  connect(&m_idle, &QTimer::timeout, this, &OptOutCheck::Silent);
  m_reportLater.setSingleShot(true);
  connect(&m_reportLater, &QTimer::timeout, this, &OptOutCheck::ReportReceived);
}

QString OptOutCheck::SelectedAddresses(const platform::ListModel& list) {
  QString addresses;
  for (int row = 0; row < list.ListCount(); ++row) {
    if (list.Selected(row)) addresses += list.Cell(row, 0) + QLatin1Char(',');
  }
  return addresses;
}

void OptOutCheck::Start(const platform::ServerAddress& service, const QString& addresses) {
  m_run = std::make_shared<Run>();
  m_run->service = service;
  m_run->addresses = addresses;
  m_idle.stop();
  m_reportLater.stop();
  m_reported.invalidate();
  if (!m_socket) return;
  m_socket->SetAddress(service.host);
  m_socket->SetPort(service.port);
  m_socket->Connect();
}

void OptOutCheck::Connected() {
  if (!m_run || !m_socket) return;
  m_run->deadline = platform::Date().Moment().addSecs(std::chrono::seconds(kReplyDeadline).count());
  m_idle.start(idleWait);
  m_hooks.report(QStringLiteral("Connected to Opt-Out Database - resolving addresses..."));
  m_hooks.report(QStringLiteral("Sent: ") + Number(m_run->addresses.size()) +
                 QStringLiteral(", Received: 0"));
  for (const QByteArray& piece : optout::RequestPieces(m_run->service, m_run->addresses))
    m_socket->Write(piece);
}

void OptOutCheck::DataAvailable() {
  if (!m_socket) return;
  const QByteArray bytes = m_socket->ReadAll();
  if (!m_run || m_run->endCode) return;
  Run& run = *m_run;
  run.bytes += bytes.size();
  run.received += optout::Characters(bytes);
  if (!m_reported.isValid() || m_reported.elapsed() >= kReportEveryMs) {
    ReportReceived();
  } else if (!m_reportLater.isActive()) {
    m_reportLater.start(static_cast<int>(kReportEveryMs - m_reported.elapsed()));
  }

  const bool refused = Refused(run.recent, bytes);
  run.recent = (run.recent + bytes.right(kRefusal.size())).right(kRefusal.size() - 1);
  if (refused) {
    Stop(kTooManyAddresses);
    return;
  }
  if (run.bytes > optout::kMaxReplyBytes) {
    Stop(kReplyTooLarge);
    return;
  }
  run.reader.Add(bytes);
  if (run.reader.Complete()) {
    // The service may keep the connection open: the last chunk ends the reply, with the
    // texts of the service's close.
    EndReply(platform::TCPSocket::LostConnection);
  } else if (platform::Date().Moment() >= run.deadline) {
    Silent();
  } else {
    if (!bytes.isEmpty()) m_idle.start(idleWait);
    ReadLater();
  }
}

void OptOutCheck::Error() {
  if (!m_run || !m_socket) return;
  const int code = m_socket->LastErrorCode();
  if (code != platform::TCPSocket::CannotConnect) {
    EndReply(code);
    return;
  }
  m_idle.stop();
  m_run.reset();
  m_hooks.report(QStringLiteral("Error = ") + Number(code));
  platform::MsgBox(kNoConnection);
}

// Nothing came for idleWait, or the reply ran past its deadline: what came is read as
// when the service closes.
void OptOutCheck::Silent() {
  if (!m_run || m_run->endCode) return;
  if (m_run->bytes == 0) {
    Stop(kNoAnswer);
  } else {
    EndReply(platform::TCPSocket::LostConnection);
  }
}

void OptOutCheck::EndReply(int code) {
  if (m_run->endCode) return;
  m_idle.stop();
  if (m_socket) m_socket->Close();  // nothing more is read, whether the service closed or not
  FlushReceived();
  m_run->endCode = code;
  m_hooks.report(QStringLiteral("Error = ") + Number(code));
  m_run->reader.End();
  ReadLater();
}

void OptOutCheck::Stop(const QString& message) {
  m_idle.stop();
  FlushReceived();
  m_run.reset();
  if (m_socket) m_socket->Close();
  // The message box may run the event loop long enough for the main window to go.
  const platform::LongWork telling(this);
  platform::MsgBox(message);
  if (telling.Stopped()) return;
  const QPointer<platform::ListModel> list = m_hooks.list();
  if (list) m_hooks.report(Number(list->ListCount()) + QStringLiteral(" addresses"));
}

// The lines are read from the event loop, never inside one of the socket's events: the
// walk lets the event loop run, which may delete the socket's stream (the service closed)
// while that stream is still emitting.
void OptOutCheck::ReadLater() {
  if (m_run->reading) return;
  m_run->reading = true;
  QMetaObject::invokeMethod(
      this, [this, run = m_run] { ReadLines(run); }, Qt::QueuedConnection);
}

// One line at a time, however many came at once; an arrival while the event loop runs in
// between adds its lines to this walk.
void OptOutCheck::ReadLines(std::shared_ptr<Run> run) {
  if (m_run != run) return;
  const platform::LongWork reading(this);
  while (run->reader.Step()) {
    platform::YieldToEventLoop();
    if (reading.Stopped() || m_run != run) return;  // the check was stopped or another started
  }
  run->reading = false;
  if (run->endCode) Finish(std::move(run));
}

void OptOutCheck::Finish(std::shared_ptr<Run> run) {
  if (m_run == run) m_run.reset();
  const optout::AddressBytes found = run->reader.TakeOptedOut();
  run.reset();  // the reply's buffers go before the rows are listed
  m_hooks.report(QStringLiteral("Marking addresses as opted out."));
  const platform::LongWork marking(this);
  const QPointer<platform::ListModel> results = m_hooks.openResults();
  std::vector<QByteArrayView> batch;
  for (int first = 0; first < found.Count(); first += kRowsPerBatch) {
    batch.clear();
    for (int i = first; i < std::min(found.Count(), first + kRowsPerBatch); ++i) batch.push_back(found.At(i));
    if (results) results->AppendRowsFromBytes(batch);
    platform::YieldToEventLoop();
    if (marking.Stopped()) return;
  }

  QPointer<platform::ListModel> list = m_hooks.list();
  if (!list) return;
  if (found.Count() > 0) {
    const platform::ListModel::Snapshot rows = list->TakeSnapshot();
    const std::optional<std::vector<unsigned char>> listed =
        ListedRows(rows, found, [&marking, &list] { return marking.Stopped() || !list; });
    if (!listed) return;
    // Rows edited while the walk let the event loop run are found again by their texts, so
    // an edited row keeps its edit.
    const std::vector<int> was = list->MatchSnapshot(rows);
    const QString marker = QStringLiteral("Opted Out");
    const int marked = list->EditColumn(1, [&](int row, QString& cell) {
      const int from = was[static_cast<size_t>(row)];
      if (from < 0 || (*listed)[static_cast<size_t>(from)] == 0) return false;
      cell = marker;
      return true;
    });
    if (marked > 0) m_hooks.markChanged();
  }
  m_hooks.report(Number(list->ListCount()) + QStringLiteral(" addresses"));
}

void OptOutCheck::ReportReceived() {
  m_reportLater.stop();
  if (!m_run) return;
  const QString status = m_hooks.status();
  const QString received = QStringLiteral("Received: ");
  m_hooks.report(platform::Left(status, platform::InStr(status, received) - 1) + received +
                 Number(m_run->received));
  m_reported.restart();
}

// The last count that waited is logged before the texts that end the check.
void OptOutCheck::FlushReceived() {
  if (m_reportLater.isActive()) ReportReceived();
}

}  // namespace tools
