
#include <gtest/gtest.h>

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>

#include "mailing/AddressIndex.h"
#include "mailing/SendEngine.h"
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
using Rows = std::vector<QStringList>;

const QDateTime kNow(QDate(2026, 5, 4), QTime(13, 14, 15));

// A queue, an address list, an SMTP client and an account around one engine, and what its
// signals last said.
struct Rig {
  platform::ListModel queue{4}, list{2};
  platform::SMTPSocket client;
  mailing::SmtpAccount account{"mail.example.org", "ann", "pw"};
  mailing::SendEngine engine{&queue, &list, &client, [this] { return account; }};
  int progressMaximum = 100, progressValue = 0, period = 1000;
  qint32 mailssent = 0;  // the literal walk's count
  bool changed = false;
  QString queueStatus = "0 addresses", statusLine;
  QStringList log;
  Rig() {
    using E = mailing::SendEngine;
    QObject::connect(&engine, &E::progressChanged,
                     [this](int v, int m) { progressValue = v, progressMaximum = m; });
    QObject::connect(&engine, &E::summaryChanged, [this](const QString& text) { queueStatus = text; });
    QObject::connect(&engine, &E::periodChanged, [this](int milliseconds) { period = milliseconds; });
    QObject::connect(&engine, &E::rateShown, [this](const QString& text) { statusLine = text; });
    QObject::connect(&engine, &E::reported, [this](const QString& text) { log << text; });
    QObject::connect(&engine, &E::addressesEdited, [this] { changed = true; });
  }
};

Rows Cells(const platform::ListModel& model) {
  Rows rows;
  for (int row = 0; row < model.ListCount(); ++row) {
    rows.emplace_back();
    for (int column = 0; column < model.columnCount(); ++column) rows.back() << model.Cell(row, column);
  }
  return rows;
}

QStringList Described(const QList<EmailMessagePtr>& messages) {
  QStringList described;
  for (const EmailMessagePtr& m : messages) {
    described << QStringList{m->ToAddress(),     dynamic_cast<const SpecialEmail&>(*m).Name(),
                             m->FromAddress(),   m->Subject(),
                             m->BodyPlainText(), m->BodyHTML()}
                     .join('|');
  }
  return described;
}

class SendEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    platform::FolderItem::SetAppFolderForTests(m_dir.path());
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("eMail"));
    platform::SetClockForTests([] { return kNow; });
    platform::SetByteStreamFactoryForTests([](const platform::TlsPolicy&) {  // no server is reached
      return std::make_unique<FakeByteStream>(FakeByteStream::ParseScript({"U:"}), false, 0);
    });
    const auto folder = mailing::MessageFolder();
    ASSERT_TRUE(
        mailing::WriteMessageFile(folder, "Offer", {"shop@x.org", "Grüße", true, "<p>Hi</p>\r<p>Bye</p>"})
            .Ok());
    ASSERT_TRUE(mailing::WriteMessageFile(folder, "News", {"news@x.org", "News", false, ""}).Ok());
    testing_support::WriteAll(m_dir.path() + "/eMail/One line", "only@x.org");
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

// Two rigs take the same random edits, one through the engine, one through the literal
// walks; after each their queues, lists, counts and outgoing mail agree.
TEST_F(SendEngineTest, TicksAndAcceptedMessagesAgreeWithTheLiteralWalks) {
  QRandomGenerator random(2101);
  const QStringList addresses = {"a@x.org", "b@x.org", "A@x.org", ""};
  const QStringList names = {"Offer", "News", "Missing", "One line", "../Offer"};
  const QStringList statuses = {"Queued", "Queued", "Queued", "Waiting", "queued", ""};
  const QStringList histories = {"", "Offer(1/2/26) ", "Black Listed"};
  auto pick = [&](const QStringList& from) { return from[random.bounded(static_cast<int>(from.size()))]; };
  // Now and then one of many addresses, so the address index grows.
  auto address = [&] {
    return random.bounded(3) ? pick(addresses) : QString("m%1@x.org").arg(random.bounded(3000));
  };
  static int steps = 0;  // each 5 minutes after the last: a rest after failures is over
  platform::SetClockForTests([] { return kNow.addSecs(qint64{300} * steps); });
  for (int round = 0; round < 30; ++round) {
    Rig fast, slow;
    auto both = [&](const std::function<void(Rig&)>& edit) { edit(fast), edit(slow); };
    for (int step = 0; step < 60; ++step, ++steps) {
      const int count = fast.queue.ListCount();
      const int row = count > 0 ? static_cast<int>(random.bounded(count)) : 0;
      const int listRow =
          fast.list.ListCount() > 0 ? static_cast<int>(random.bounded(fast.list.ListCount())) : 0;
      const QString text = pick(random.bounded(2) ? statuses : names);
      const quint32 seed = random.generate();
      switch (random.bounded(10)) {
        case 0: {  // a batch; now and then one that outgrows the slots, with few rows queued
          Rows batch(seed % 9 == 0 ? 700 : 1 + seed % 6);
          for (QStringList& r : batch) {
            r = {address(), pick(names), pick({"HTML", "Plain Text"}),
                 batch.size() < 700 ? pick(statuses) : "Held"};
          }
          if (batch.size() == 700) batch[seed % 700][3] = "Queued";
          both([&](Rig& rig) { rig.queue.AppendRows(batch); });
          break;
        }
        case 1:
          both([&](Rig& rig) { rig.queue.SetCell(row, statuses.contains(text) ? 3 : 1, text); });
          break;
        case 2:
          both([&](Rig& rig) { rig.queue.RemoveRow(row); });
          break;
        case 3:  // edits the indexes cannot follow row by row
          both([&](Rig& rig) {
            QRandomGenerator same(seed);
            rig.queue.RemoveRowsIf([&](int) { return same.bounded(3) == 0; });
            if (seed % 5 == 0) rig.queue.DeleteAllRows();
            rig.queue.InsertRow(row, "b@x.org");
          });
          break;
        case 4: {
          Rows added(seed % 6 == 0 ? 1500 : 1);
          for (QStringList& r : added) r = {address(), pick(histories)};
          both([&](Rig& rig) {
            rig.list.AppendRows(added);
            rig.list.SetCell(listRow, 0, added[0][0]);
            if (seed % 3 == 0) rig.list.RemoveRow(listRow);
          });
          break;
        }
        case 5: {  // an accepted message: one handed over, or any other
          auto letter = std::make_shared<SpecialEmail>();
          letter->AddRecipient(address());
          letter->SetName(pick(names));
          EmailMessagePtr sentFast = letter, sentSlow = letter;
          if (const int handed = static_cast<int>(slow.client.Messages().size()); handed > 0 && seed % 3) {
            sentFast = fast.client.Messages().takeAt(static_cast<int>(seed % handed));
            sentSlow = slow.client.Messages().takeAt(static_cast<int>(seed % handed));
          }
          fast.engine.MessageSent(sentFast);
          oracle::MessageSentLiterally(slow.list, slow.queue, dynamic_cast<const SpecialEmail&>(*sentSlow),
                                       platform::Date(), slow.mailssent, slow.changed);
          break;
        }
        case 6:
          fast.engine.ConnectionFailed();
          slow.client.DeleteAllMessages();
          for (int r = slow.queue.ListCount() - 1; r >= 0; --r) slow.queue.SetCell(r, 3, "Queued");
          break;
        default: {
          const int rate = 1 + static_cast<int>(seed % 5);
          fast.engine.SetRate(rate);
          const qsizetype logged = fast.log.size();
          fast.engine.Tick();
          const bool connected = fast.log.size() > logged && fast.log.last() == "Connecting...";
          fast.client.Disconnect();
          ASSERT_EQ(connected, oracle::HandOverLiterally(slow.queue, rate, mailing::MessageFolder(),
                                                         slow.account, slow.client));
        }
      }
      const auto state = [](Rig& rig, qint32 sent) {
        return std::make_tuple(Cells(rig.queue), Cells(rig.list), Described(rig.client.Messages()),
                               rig.client.Address() + rig.client.Username(), sent, rig.changed);
      };
      ASSERT_EQ(state(fast, fast.engine.MailsSent()), state(slow, slow.mailssent)) << round << " " << step;
    }
  }
}

// Every address's rows against a walk, with enough addresses that the index grows.
TEST(AddressIndex, FindsTheRowsOfEveryAddressAfterRandomEdits) {
  QRandomGenerator random(1102);
  auto address = [](quint32 i) { return QString("m%1@x.org").arg(i); };
  auto any = [&] { return address(random.bounded(700)); };
  platform::ListModel list(2);
  mailing::AddressIndex index(&list);
  for (int step = 0; step < 3000; ++step) {
    const int row = list.ListCount() > 0 ? static_cast<int>(random.bounded(list.ListCount())) : 0;
    Rows added(1 + random.bounded(40));
    for (QStringList& cells : added) cells = {any()};
    const std::function<void()> edits[] = {
        [&] { list.AppendRows(added); },
        [&] { list.SetCell(row, 0, any()); },
        [&] { list.InsertRow(row, any()); },
        [&] { list.RemoveRowsIf([&](int) { return random.bounded(20) == 0; }); },
        [&] { list.RemoveRow(row); },
        [&] { list.RemoveRow(row); },
    };
    edits[random.bounded(list.ListCount() < 600 ? 3 : 6)]();
    QHash<QString, std::vector<int>> walked;
    for (int r = 0; r < list.ListCount(); ++r) walked[list.Cell(r, 0)].push_back(r);
    for (quint32 i = 0; i < 700; ++i) ASSERT_EQ(index.RowsOf(address(i)), walked.value(address(i))) << step;
  }
}

// A mailing counts from its start what was accepted since, and its progress runs to the rows
// queued then.
TEST_F(SendEngineTest, ProgressAndSummary) {
  // rows, summary shown, mailing started ms ago (-1: never), accepted since, progress maximum and value,
  // summary
  using Case = std::tuple<const char*, int, bool, qint64, int, int, int, QString>;
  const Case cases[] = {
      {"empty queue", 0, true, 100000, 5, 100, 0, "0 addresses"},
      {"never started", 1, true, -1, 4, 100, 4, "1 addresses"},
      {"nothing accepted yet", 10, true, 100000, 0, 10, 0, "10 addresses"},
      {"estimate", 10, true, 100000, 5, 10, 5, "10 addresses, 3 minute(s)."},
      {"accepted within the first second", 10, true, 500, 1, 10, 1, "10 addresses, 0 minute(s)."},
      {"summary not shown", 10, false, 100000, 5, 10, 5, "0 addresses"},
  };
  for (const auto& [name, rows, shown, startedMsAgo, accepted, maximum, value, summary] : cases) {
    SCOPED_TRACE(name);
    Rig rig;
    const auto letter = std::make_shared<SpecialEmail>();
    for (int i = 0; i < rows; ++i)
      rig.queue.AddRow({"a@x.org", "Offer", "HTML", "Held"});  // never handed over
    rig.engine.SetSummaryShown(shown);
    if (startedMsAgo >= 0) {
      for (int i = 0; i < 3; ++i) rig.engine.MessageSent(letter);  // an earlier mailing's
      platform::SetClockForTests([when = kNow.addMSecs(-startedMsAgo)] { return when; });
      rig.engine.StartMailing();
      platform::SetClockForTests([] { return kNow; });
    }
    for (int i = 0; i < accepted; ++i) rig.engine.MessageSent(letter);
    rig.log.clear();
    rig.engine.Tick();
    EXPECT_EQ(std::make_tuple(rig.progressMaximum, rig.progressValue, rig.queueStatus, rig.log),
              std::make_tuple(maximum, value, summary, QStringList()));
  }
}

TEST_F(SendEngineTest, PeriodAndRateText) {
  // Rate, RatePer, RandRate, the random draws in the order taken, period, status line
  using Case = std::tuple<int, int, bool, std::vector<double>, int, QString>;
  const Case table[] = {
      {1, 10, false, {}, 10000, "1 messages every 10 seconds"},
      {3, 10, true, {0.9, 0.5}, 11000, "3 messages every 10 seconds +- 20%"},
      {3, 10, true, {0.5, 0.5}, 9000, "3 messages every 10 seconds +- 20%"},
      {5, 180, true, {0.51, 0.999}, 215964, "5 messages every 180 seconds +- 20%"},
      {2, 1, true, {0.0, 0.25}, 950, "2 messages every 1 seconds +- 20%"},
  };
  for (auto [rate, ratePer, randRate, draws, period, text] : table) {
    SCOPED_TRACE(text.toStdString() + ", draws " + testing::PrintToString(draws));
    Rig rig;
    rig.engine.SetRate(rate), rig.engine.SetRatePer(ratePer), rig.engine.SetRandRate(randRate);
    platform::SetRandomForTests([&draws = draws] {
      const double u = draws.at(0);
      draws.erase(draws.begin());
      return u;
    });
    rig.engine.ShowRate();
    rig.engine.SetSendTimer();
    EXPECT_EQ(std::make_tuple(rig.period, rig.statusLine, draws.size()), std::make_tuple(period, text, 0u));
  }
}

// Removed rows' mail, handed over but not yet sent, does not go out later, even where
// another row names the same address and message; after Stop Sending, nothing does.
TEST_F(SendEngineTest, RemovalTakesHandedOverMailBack) {
  Rig rig;
  platform::RecordingSeams recorded;
  platform::ScopedSeams seams(recorded.seams());
  for (const char* to : {"a@x.org", "a@x.org", "b@x.org", "c@x.org", "d@x.org"})
    rig.queue.AddRow({to, "Offer", "HTML", "Queued"});
  rig.engine.SetRate(4);
  rig.engine.Tick();
  const QList<EmailMessagePtr> handed = rig.client.Messages();
  rig.engine.DeleteFromSendQueue();
  EXPECT_EQ(recorded.messages, QStringList{"Select a list entry to delete."});
  for (int row : {1, 2, 4}) rig.queue.SetSelected(row, true);
  rig.engine.DeleteFromSendQueue();
  EXPECT_EQ(Cells(rig.queue),
            Rows({{"a@x.org", "Offer", "HTML", "Waiting"}, {"c@x.org", "Offer", "HTML", "Waiting"}}));
  EXPECT_EQ(rig.client.Messages(), QList<EmailMessagePtr>({handed[0], handed[3]}));
  rig.engine.StopSending();
  EXPECT_EQ(std::make_tuple(rig.queue.ListCount(), rig.client.Messages().size()),
            std::make_tuple(0, qsizetype(0)));
}

// A server that ends the connection after the final "." (by a close, or by silence that
// queues the row again) gets the message twice at most; one that closes before the "." gets
// it again. From the second failure in a row on, connections wait 1 s, 2 s, 4 s...
TEST_F(SendEngineTest, AServerThatEndsTheConnectionDuringTheData) {
  // The end; the seconds when ticks connected / rows left / messages given up / rate text.
  for (const auto& [end, want] : std::vector<std::pair<QString, QString>>{
           {"D:|X:", "0 1 / 0 / 1 / failed 2 times in a row, next try in 1 seconds"},
           {"D:|Z:", "0 1 / 0 / 1 / failed 2 times in a row, next try in 1 seconds"},
           {"X:", "0 1 2 4 / 1 / 0 / failed 4 times in a row, next try in 4 seconds"}}) {
    SCOPED_TRACE(end.toStdString());
    Rig rig;
    rig.account.username.clear();
    QObject::connect(&rig.client, &platform::SMTPSocket::Error, [&] { rig.engine.ConnectionFailed(); });
    rig.queue.AddRow({"a@x.org", "Offer", "HTML", "Queued"});
    static int second = 0;
    platform::SetClockForTests([] { return kNow.addSecs(second); });
    const QString script =
        "S: 220 mx|C: EHLO [127.0.0.1]|S: 250 mx|C: MAIL FROM:<shop@x.org>|S: 250 ok|"
        "C: RCPT TO:<a@x.org>|S: 250 ok|C: DATA|S: 354 go|" +
        end;
    platform::SetByteStreamFactoryForTests([&](const platform::TlsPolicy&) {
      auto fake = std::make_unique<FakeByteStream>(FakeByteStream::ParseScript(script.split('|')), false, 0);
      fake->onSilence = [&] { rig.client.findChild<QTimer*>("smtpStepTimer")->start(0); };
      return fake;
    });
    QStringList connected;
    for (second = 0; second < 8; ++second) {
      const qsizetype logged = rig.log.size();
      rig.engine.Tick();
      if (rig.log.mid(logged).contains("Connecting...")) connected << QString::number(second);
      testing_support::WaitUntil([&] { return !rig.client.IsConnected(); });
    }
    EXPECT_EQ(QStringList({connected.join(' '), QString::number(rig.queue.ListCount()),
                           QString::number(rig.log.filter("Message to a@x.org not sent again").size()),
                           rig.statusLine.section("; the server ", 1)})
                  .join(" / ")
                  .toStdString(),
              want.toStdString());
  }
}

// The timer may tick while a tick yields; that tick must not add its Rate to the other's.
TEST_F(SendEngineTest, ATickDuringATickHandsNothingOver) {
  Rig rig;
  for (int i = 0; i < 6; ++i) rig.queue.AddRow({QString("p%1@x.org").arg(i), "Offer", "HTML", "Queued"});
  rig.engine.SetRate(2);
  platform::SetYieldInterval(0us);
  int inner = 0;
  QTimer::singleShot(0, [&] { rig.engine.Tick(), ++inner; });
  rig.engine.Tick();
  EXPECT_EQ(std::make_tuple(inner, rig.client.Messages().size()), std::make_tuple(1, 2));
}

}  // namespace
