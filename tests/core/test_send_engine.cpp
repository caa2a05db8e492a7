// The send engine without a display: its tick and its handling of accepted messages
// against the literal walks over random queues and random edits; the summary, the period
// and the rate text; and what failures, refusals, Stop Sending and removals do to the
// queue and to the client's outgoing list.

#include <gtest/gtest.h>

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <memory>

#include "mailing/MessageFile.h"
#include "mailing/SendEngine.h"
#include "platform/EventLoop.h"
#include "platform/Random.h"
#include "platform/Seams.h"
#include "platform/SocketFactory.h"
#include "support/FakeByteStream.h"
#include "support/SendEngineOracle.h"
#include "support/TestSupport.h"

namespace {

using namespace std::chrono_literals;
using platform::EmailMessagePtr;
using platform::SpecialEmail;
using testing_support::FakeByteStream;

const QDateTime kNow(QDate(2026, 5, 4), QTime(13, 14, 15));

class FakeControls final : public mailing::SendControls {
 public:
  int rate = 1;
  int ratePer = 1;
  bool randRate = false;
  bool queueTab = true;
  int progressMaximum = 7;
  int progressValue = 3;
  QString queueStatus = "old";
  int period = 1000;
  QString statusLine;
  QStringList log;

  int Rate() const override { return rate; }
  int RatePer() const override { return ratePer; }
  bool RandRate() const override { return randRate; }
  bool QueueTabInFront() const override { return queueTab; }
  void SetProgressMaximum(int maximum) override { progressMaximum = maximum; }
  void SetProgressValue(int value) override { progressValue = value; }
  void SetQueueStatus(const QString& text) override { queueStatus = text; }
  void SetSendPeriod(int milliseconds) override { period = milliseconds; }
  void SetStatusLine(const QString& text) override { statusLine = text; }
  void SetSlug(const QString& text) override { log.append(text); }
};

// A queue, an address list, an SMTP client and the window's values around one engine.
struct Rig {
  platform::ListModel queue{4};
  platform::ListModel list{2};
  platform::SMTPSocket client;
  QString server = "mail.example.org";
  QString username = "ann";
  QString password = "pw";
  std::optional<platform::Date> starttime;
  qint32 mailssent = 0;
  bool changed = false;
  FakeControls* controls = new FakeControls;
  mailing::SendEngine engine{&queue,
                             &list,
                             &client,
                             {server, username, password, starttime, mailssent, changed},
                             std::unique_ptr<mailing::SendControls>(controls)};

  QStringList Statuses() const {
    QStringList statuses;
    for (int row = 0; row < queue.ListCount(); ++row) statuses << queue.Cell(row, 3);
    return statuses;
  }
};

std::vector<QStringList> Rows(const platform::ListModel& model) {
  std::vector<QStringList> rows;
  for (int row = 0; row < model.ListCount(); ++row) {
    QStringList cells;
    for (int column = 0; column < model.columnCount(); ++column) cells << model.Cell(row, column);
    rows.push_back(cells);
  }
  return rows;
}

QStringList Described(const QList<EmailMessagePtr>& messages) {
  QStringList described;
  for (const EmailMessagePtr& m : messages) {
    const auto* special = dynamic_cast<const SpecialEmail*>(m.get());
    described << QStringList{m->ToAddress(),     special ? special->Name() : "?",
                             m->FromAddress(),   m->Subject(),
                             m->BodyPlainText(), m->BodyHTML()}
                     .join('|');
  }
  return described;
}

std::shared_ptr<SpecialEmail> Letter(const QString& to, const QString& name) {
  auto message = std::make_shared<SpecialEmail>();
  message->AddRecipient(to);
  message->SetName(name);
  message->SetSubject("Subject of " + name);
  return message;
}

class SendEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    platform::FolderItem::SetAppFolderForTests(m_dir.path());
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("eMail"));
    platform::SetClockForTests([] { return kNow; });
    // No connection of these tests reaches a server.
    platform::SetByteStreamFactoryForTests([](const platform::TlsPolicy&) {
      return std::make_unique<FakeByteStream>(FakeByteStream::ParseScript({"U:"}), false, 0);
    });
    const auto store = [](const QString& name, const mailing::StoredMessage& message) {
      ASSERT_TRUE(mailing::WriteMessageFile(mailing::MessageFolder(), name, message));
    };
    store("Offer", {"shop@example.com", QStringLiteral("Grüße"), true, "<p>Hi</p>\r<p>Bye</p>"});
    store("News", {"news@example.com", "News", false, ""});
    testing_support::WriteAll(m_dir.path() + "/eMail/One line", "only@example.com");
  }
  void TearDown() override {
    platform::SetYieldInterval(2ms);
    platform::SetRandomForTests({});
    platform::SetByteStreamFactoryForTests({});
    platform::SetClockForTests({});
    platform::FolderItem::SetAppFolderForTests({});
  }

  QTemporaryDir m_dir;
};

// Two rigs take the same random edits: one through the engine and its indexes, one
// through the literal walks. After every edit their queues, lists, counts and outgoing
// mail must be the same. The edits reach the indexes only through the models' signals.
TEST_F(SendEngineTest, TicksAndAcceptedMessagesAgreeWithTheLiteralWalks) {
  QRandomGenerator random(2101);
  const QStringList addresses = {"a@x.org", "b@x.org", "A@x.org", "c@x.org", ""};
  const QStringList names = {"Offer", "News", "Missing", "One line", "../Offer"};
  const QStringList formats = {"HTML", "Plain Text", "html"};
  const QStringList statuses = {"Queued", "Queued", "Queued", "Waiting", "queued", "Sent", ""};
  const QStringList histories = {"", "Offer(1/2/26) ", "Black Listed", "Opted Out"};
  auto pick = [&](const QStringList& from) { return from[random.bounded(static_cast<int>(from.size()))]; };
  auto queueRow = [&] { return QStringList{pick(addresses), pick(names), pick(formats), pick(statuses)}; };

  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    Rig fast;
    Rig slow;
    auto both = [&](const std::function<void(Rig&)>& edit) {
      edit(fast);
      edit(slow);
    };
    const int listRows = random.bounded(6);
    for (int i = 0; i < listRows; ++i) {
      const QStringList row{pick(addresses), pick(histories)};
      both([&](Rig& rig) { rig.list.AddRow(row); });
    }
    for (int step = 0; step < 60; ++step) {
      const int count = fast.queue.ListCount();
      const int anyRow = count > 0 ? static_cast<int>(random.bounded(count)) : 0;
      switch (random.bounded(11)) {
        case 0: {  // a batch, now and then one big enough to outgrow the slots
          std::vector<QStringList> batch(random.bounded(9) == 0 ? 700 : 1 + random.bounded(6));
          for (QStringList& row : batch) row = queueRow();
          both([&](Rig& rig) { rig.queue.AppendRows(batch); });
          break;
        }
        case 1: {
          const int column = std::array{0, 1, 3}[random.bounded(3)];
          const QString text = column == 0 ? pick(addresses) : column == 1 ? pick(names) : pick(statuses);
          both([&](Rig& rig) { rig.queue.SetCell(anyRow, column, text); });
          break;
        }
        case 2:
          both([&](Rig& rig) { rig.queue.RemoveRow(anyRow); });
          break;
        case 3: {
          const quint32 seed = random.generate();
          both([&](Rig& rig) {
            QRandomGenerator same(seed);
            rig.queue.RemoveRowsIf([&](int) { return same.bounded(3) == 0; });
          });
          break;
        }
        case 4: {
          const bool wipe = random.bounded(8) == 0;
          both([&](Rig& rig) {
            if (wipe) rig.queue.DeleteAllRows();
            rig.queue.InsertRow(anyRow, "b@x.org");
          });
          break;
        }
        case 5: {
          const QStringList row{pick(addresses), pick(histories)};
          const int at =
              slow.list.ListCount() > 0 ? static_cast<int>(random.bounded(slow.list.ListCount())) : 0;
          both([&](Rig& rig) {
            rig.list.AddRow(row);
            rig.list.SetCell(at, 0, row[0]);
            if (row[1].isEmpty()) rig.list.RemoveRow(at);
          });
          break;
        }
        case 6: {  // an accepted message: one the engine handed over, or any other
          const int handed = static_cast<int>(slow.client.Messages().size());
          EmailMessagePtr sentFast = Letter(pick(addresses), pick(names));
          EmailMessagePtr sentSlow = sentFast;
          if (handed > 0 && random.bounded(3) > 0) {
            const int i = static_cast<int>(random.bounded(handed));
            sentFast = fast.client.Messages().takeAt(i);
            sentSlow = slow.client.Messages().takeAt(i);
          }
          fast.engine.MessageSent(sentFast);
          oracle::MessageSentLiterally(slow.list, slow.queue, dynamic_cast<const SpecialEmail&>(*sentSlow),
                                       platform::Date::Now(), slow.mailssent, slow.changed);
          break;
        }
        case 7:
          fast.engine.ConnectionFailed();
          slow.client.DeleteAllMessages();
          for (int row = slow.queue.ListCount() - 1; row >= 0; --row) slow.queue.SetCell(row, 3, "Queued");
          break;
        default: {
          const int rate = 1 + static_cast<int>(random.bounded(5));
          fast.controls->rate = rate;
          const qsizetype logged = fast.controls->log.size();
          fast.engine.Tick();
          const bool connected =
              fast.controls->log.size() > logged && fast.controls->log.last() == "Connecting...";
          fast.client.Disconnect();
          const bool waiting =
              oracle::HandOverLiterally(slow.queue, rate, mailing::MessageFolder(),
                                        {slow.server, slow.username, slow.password}, slow.client);
          ASSERT_EQ(connected, waiting) << "step " << step;
        }
      }
      ASSERT_EQ(Rows(fast.queue), Rows(slow.queue)) << "step " << step;
      ASSERT_EQ(Rows(fast.list), Rows(slow.list)) << "step " << step;
      ASSERT_EQ(Described(fast.client.Messages()), Described(slow.client.Messages())) << "step " << step;
      ASSERT_EQ(fast.mailssent, slow.mailssent);
      ASSERT_EQ(fast.changed, slow.changed);
    }
  }
}

TEST_F(SendEngineTest, ProgressAndSummary) {
  struct Case {
    const char* name;
    int rows;
    bool queueTab;
    std::optional<double> queuedSecondsAgo;
    int mailssent;
    int progressMaximum;
    int progressValue;
    QString summary;
  };
  const std::vector<Case> table = {
      {"empty queue", 0, true, 100, 5, 100, 0, "0 addresses"},
      {"nothing queued yet", 1, true, std::nullopt, 4, 7, 4, "1 addresses"},
      {"nothing accepted yet", 10, true, 100, 0, 7, 0, "10 addresses"},
      {"five accepted in 100 s", 10, true, 100, 5, 7, 5, "10 addresses, 3 minute(s)."},
      {"accepted within the first second", 10, true, 0.5, 1, 7, 1, "10 addresses, 0 minute(s)."},
      {"queue tab not in front", 10, false, 100, 5, 7, 5, "old"},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.name);
    Rig rig;
    // Rows the tick does not hand over, so no message file is read.
    for (int i = 0; i < c.rows; ++i) rig.queue.AddRow({"a@x.org", "Offer", "HTML", "Held"});
    rig.controls->queueTab = c.queueTab;
    if (c.queuedSecondsAgo)
      rig.starttime = platform::Date(kNow.addMSecs(static_cast<qint64>(-*c.queuedSecondsAgo * 1000)));
    rig.mailssent = c.mailssent;
    rig.engine.Tick();
    EXPECT_EQ(rig.controls->progressMaximum, c.progressMaximum);
    EXPECT_EQ(rig.controls->progressValue, c.progressValue);
    EXPECT_EQ(rig.controls->queueStatus, c.summary);
    EXPECT_EQ(rig.controls->log, QStringList());
  }
}

TEST_F(SendEngineTest, PeriodAndRateText) {
  struct Case {
    int rate;
    int ratePer;
    bool randRate;
    std::vector<double> draws;  // in the order they are taken
    int period;
    QString text;
  };
  const std::vector<Case> table = {
      {1, 10, false, {}, 10000, "1 messages every 10 seconds"},
      {3, 10, true, {0.9, 0.5}, 11000, "3 messages every 10 seconds +- 20%"},
      {3, 10, true, {0.5, 0.5}, 9000, "3 messages every 10 seconds +- 20%"},
      {5, 180, true, {0.51, 0.999}, 215964, "5 messages every 180 seconds +- 20%"},
      {2, 1, true, {0.0, 0.25}, 950, "2 messages every 1 seconds +- 20%"},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.text.toStdString() + " " + std::to_string(c.period));
    Rig rig;
    rig.controls->rate = c.rate;
    rig.controls->ratePer = c.ratePer;
    rig.controls->randRate = c.randRate;
    std::vector<double> draws = c.draws;
    platform::SetRandomForTests([&draws] {
      const double u = draws.empty() ? -1 : draws.front();
      if (!draws.empty()) draws.erase(draws.begin());
      return u;
    });
    rig.engine.ShowRate();
    rig.engine.SetSendTimer();
    EXPECT_EQ(rig.controls->period, c.period);
    EXPECT_EQ(rig.controls->statusLine, c.text);
    EXPECT_EQ(draws.size(), 0u);
    EXPECT_EQ(rig.controls->log, QStringList());
  }
}

// Two rows waiting, one queued and one held, two messages in the client's list; then the
// connection ends with the script's failure.
TEST_F(SendEngineTest, ConnectionFailuresReportAndPutTheQueueBack) {
  struct Case {
    QStringList script;
    QStringList log;
    QStringList statuses;
    int outgoing;
  };
  const QStringList untouched = {"Waiting", "Queued", "Waiting", "Held"};
  const std::vector<Case> table = {
      {{"X:"}, {"Error 102"}, untouched, 2},
      {{"U:"},
       {"Error 103", "Error sending mail.  Please check your connection to the internet."},
       {"Queued", "Queued", "Queued", "Queued"},
       0},
      {{"S: hello"}, {"Error 105", "SMTP Socket Error = 105"}, {"Queued", "Queued", "Queued", "Queued"}, 0},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.log.first().toStdString());
    Rig rig;
    for (const QString& status : untouched) rig.queue.AddRow({"a@x.org", "Offer", "HTML", status});
    rig.client.Messages() << Letter("a@x.org", "Offer") << Letter("a@x.org", "Offer");
    rig.client.SetAddress("mail.example.org");
    const QStringList script = c.script;
    rig.client.SetStreamFactory([script](const platform::TlsPolicy&) {
      return std::make_unique<FakeByteStream>(FakeByteStream::ParseScript(script), false, 0);
    });
    bool failed = false;
    QObject::connect(&rig.client, &platform::SMTPSocket::Error, [&] {
      rig.engine.ConnectionFailed();
      failed = true;
    });
    rig.client.SendMail();
    ASSERT_TRUE(testing_support::WaitUntil([&] { return failed; }));
    EXPECT_EQ(rig.controls->log, c.log);
    EXPECT_EQ(rig.Statuses(), c.statuses);
    EXPECT_EQ(rig.client.Messages().size(), c.outgoing);
  }
}

TEST_F(SendEngineTest, ARefusedMessageLeavesTheQueueWithoutHistory) {
  Rig rig;
  rig.list.AddRow({"a@x.org", "Black Listed"});
  rig.queue.AddRow({"a@x.org", "News", "HTML", "Waiting"});
  rig.queue.AddRow({"a@x.org", "Offer", "HTML", "Waiting"});
  rig.queue.AddRow({"a@x.org", "Offer", "HTML", "Waiting"});
  rig.queue.AddRow({"b@x.org", "Offer", "HTML", "Waiting"});
  rig.engine.MessageRefused(Letter("a@x.org", "Offer"), "550 5.1.1 No such user");
  EXPECT_EQ(Rows(rig.queue), (std::vector<QStringList>{{"a@x.org", "News", "HTML", "Waiting"},
                                                       {"a@x.org", "Offer", "HTML", "Waiting"},
                                                       {"b@x.org", "Offer", "HTML", "Waiting"}}));
  EXPECT_EQ(rig.controls->log, QStringList{"Message to a@x.org refused: 550 5.1.1 No such user"});
  EXPECT_EQ(rig.list.Cell(0, 1), "Black Listed");
  EXPECT_EQ(rig.mailssent, 0);
  EXPECT_EQ(rig.changed, false);
  // Once every message is refused nothing waits for an answer that will not come, and
  // the engine does not connect again.
  rig.engine.MessageRefused(Letter("a@x.org", "News"), "550 No");
  rig.engine.MessageRefused(Letter("a@x.org", "Offer"), "550 No");
  rig.engine.MessageRefused(Letter("b@x.org", "Offer"), "550 No");
  rig.engine.Tick();
  EXPECT_EQ(rig.queue.ListCount(), 0);
  EXPECT_EQ(rig.controls->log.last(), "Message to b@x.org refused: 550 No");
}

// Mail handed to the client for rows the user removed does not go out later.
TEST_F(SendEngineTest, StopSendingAndRemovalTakeHandedOverMailBack) {
  Rig rig;
  platform::RecordingSeams recorded;
  platform::ScopedSeams seams(recorded.seams());
  for (const char* address : {"a@x.org", "b@x.org", "c@x.org", "d@x.org"}) {
    rig.queue.AddRow({address, "Offer", "HTML", "Queued"});
  }
  rig.controls->rate = 3;
  rig.engine.Tick();
  ASSERT_EQ(rig.Statuses(), QStringList({"Waiting", "Waiting", "Waiting", "Queued"}));
  ASSERT_EQ(rig.client.Messages().size(), 3);

  rig.engine.DeleteFromSendQueue();
  EXPECT_EQ(recorded.messages, QStringList{"Select a list entry to delete."});
  EXPECT_EQ(rig.queue.ListCount(), 4);

  rig.queue.SetSelected(0, true);
  rig.queue.SetSelected(3, true);
  rig.engine.DeleteFromSendQueue();
  EXPECT_EQ(Rows(rig.queue), (std::vector<QStringList>{{"b@x.org", "Offer", "HTML", "Waiting"},
                                                       {"c@x.org", "Offer", "HTML", "Waiting"}}));
  QStringList outgoing;
  for (const EmailMessagePtr& m : rig.client.Messages()) outgoing << m->ToAddress();
  EXPECT_EQ(outgoing, QStringList({"b@x.org", "c@x.org"}));

  rig.engine.StopSending();
  EXPECT_EQ(rig.queue.ListCount(), 0);
  EXPECT_EQ(rig.client.Messages().size(), 0);
  EXPECT_EQ(rig.client.IsConnected(), false);
}

// A tick that yields lets the timer tick again; that inner tick must not add its own
// Rate rows to the outer one's.
TEST_F(SendEngineTest, ATickDuringATickHandsNothingOver) {
  Rig rig;
  for (int i = 0; i < 6; ++i) rig.queue.AddRow({QString("p%1@x.org").arg(i), "Offer", "HTML", "Queued"});
  rig.controls->rate = 2;
  platform::SetYieldInterval(0us);
  int inner = 0;
  QTimer::singleShot(0, [&] {
    rig.engine.Tick();
    ++inner;
  });
  rig.engine.Tick();
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(rig.Statuses(), QStringList({"Waiting", "Waiting", "Queued", "Queued", "Queued", "Queued"}));
}

}  // namespace
