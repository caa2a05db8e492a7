// The send engine through the main window (offscreen) against a real aiosmtpd on
// 127.0.0.1 with STARTTLS and AUTH: rows queued as the send window queues them, ticks run
// by hand, and what the server received read back by Python's email package.

#include <QDir>
#include <QJsonArray>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTcpServer>
#include <QTimer>

#include "app/ui/App.h"
#include "lists/ui/MainWindowListsSetup.h"
#include "loopback/SmtpServer.h"
#include "mailing/MessageFile.h"
#include "mailing/ui/SendWindow.h"
#include "platform/SMTPSocket.h"
#include "platform/ui/Listbox.h"
#include "ui/MainWindowFixture.h"

namespace {

using testing_support::SmtpServer;
using testing_support::WaitUntil;

const QString kSubject = QStringLiteral("Grüße – ¡Oferta única!");

class SendLoopback : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    platform::SetByteStreamFactoryForTests({});  // these tests talk to their own server
    m_window = MainWindow::Instance();
    m_window->SendTimer->stop();  // ticks are run by hand
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("eMail"));
    ASSERT_TRUE(mailing::WriteMessageFile(mailing::MessageFolder(), "Offer",
                                          {"shop@example.com", kSubject, true, "<p>Hola</p>\r<p>Adiós</p>"}));
    // Only a tick marks rows "Waiting": count them per tick.
    QObject::connect(m_window->CheckList->Model(), &QAbstractItemModel::dataChanged, m_window,
                     [this](const QModelIndex& at) {
                       m_handedOver += m_window->CheckList->Cell(at.row(), 3) == "Waiting";
                     });
  }

  // As the send window queues: one batch of rows, then the mailing's start.
  void Queue(const SmtpServer& server, const QStringList& addresses, const QString& password = "s3cret") {
    m_window->server = server.Address();
    m_window->username = "alice";
    m_window->password = password;
    m_window->TCPSocket1->SetTlsPolicy({server.Authority()});
    std::vector<QStringList> rows;
    for (const QString& address : addresses) rows.push_back({address, "Offer", "HTML", "Queued"});
    m_window->CheckList->Model()->AppendRows(std::move(rows));
    m_window->starttime = platform::Date();
    m_window->mailssent = 0;
  }

  // Ticks, each followed by the end of the connection it started, while rows are queued;
  // returns the most rows one tick handed over.
  int RunTicks(int ticks = 10) {
    int most = 0;
    for (int i = 0; i < ticks && m_window->CheckList->ListCount() > 0; ++i) {
      m_handedOver = 0;
      m_window->SendTimer_Action();
      most = std::max(most, m_handedOver);
      WaitUntil([this] { return !m_window->TCPSocket1->IsConnected(); }, 30000);
    }
    return most;
  }

  static QStringList Recipients(const SmtpServer& server) {
    QStringList to;
    for (int n = 1; n <= server.MessageCount(); ++n)
      to << server.Message(n).value("rcpt_tos").toArray()[0].toString();
    to.sort();
    return to;
  }
  int LogCount(const QString& text) const { return static_cast<int>(LogRows().count(Logged(text))); }
  static QString Entry() { return "Offer(" + platform::Date().ShortDate() + ") "; }

  int m_handedOver = 0;
};

// The whole road: a saved list of fifty, some black-listed or opted out, all selected; the
// message composed in the send window; OK; ticks at 5 messages a second; then a save.
TEST(SendEndToEnd, EverySendableAddressGetsOneMessageAndTheSavedListHoldsItsEntry) {
  QTemporaryDir dir;
  platform::FolderItem::SetAppFolderForTests(dir.path());
  ASSERT_TRUE(QDir(dir.path()).mkpath("Database"));
  QByteArray file;
  QStringList sendable;
  for (int i = 0; i < 50; ++i) {
    const QString address = QString("member%1@example.org").arg(i);
    const char* mailings = i % 7 == 3    ? "Black Listed"
                           : i % 11 == 5 ? "Opted Out"
                           : i % 5 == 0  ? "News(1/2/26) "
                                         : "";
    file += (address + " " + mailings + "\n").toUtf8();
    if (!*mailings || mailings[0] == 'N') sendable << address;
  }
  testing_support::WriteAll(dir.filePath("Database/Members"), file);
  testing_support::WriteAll(dir.filePath("Database/LastDatabase"), "Members");
  platform::RecordingSeams recorded;
  platform::ScopedSeams seams(recorded.seams());
  App::SetQuitForTests([] {});
  lists::ui::InstallMainWindowHooks();
  mailing::ui::InstallSendWindowHook();
  SmtpServer server;
  ASSERT_NE(server.Port(), 0);
  QPointer<MainWindow> window = MainWindow::Instance();
  window->SendTimer->stop();  // ticks are run by hand, one a second as the rate says
  window->server = server.Address();
  window->username = "alice";
  window->password = "s3cret";
  window->TCPSocket1->SetTlsPolicy({server.Authority()});
  window->Rate->setValue(5);
  ASSERT_EQ(window->elist->ListCount(), 50);
  window->elist->Model()->SetAllSelected(true);

  window->ToolbarItem1_Action(0);
  auto* send = window->findChild<SendWindow*>();
  ASSERT_NE(send, nullptr);
  send->Name->setText("Offer");
  send->From->setText("shop@example.com");
  send->Subject->setText(kSubject);
  send->HTMLcoded->setChecked(true);
  send->SetBodyText("<p>Hola</p>\r<p>Adiós</p>");
  send->PushButton1->click();
  ASSERT_EQ(window->CheckList->ListCount(), sendable.size());

  int most = 0;
  for (int tick = 0; tick < 20 && window->CheckList->ListCount() > 0; ++tick) {
    const int queuedBefore = static_cast<int>(
        window->CheckList->Model()
            ->match(window->CheckList->Model()->index(0, 3), Qt::DisplayRole, "Queued", -1, Qt::MatchExactly)
            .size());
    window->SendTimer_Action();
    const int queuedAfter = static_cast<int>(
        window->CheckList->Model()
            ->match(window->CheckList->Model()->index(0, 3), Qt::DisplayRole, "Queued", -1, Qt::MatchExactly)
            .size());
    most = std::max(most, queuedBefore - queuedAfter);
    WaitUntil([&] { return !window->TCPSocket1->IsConnected(); }, 30000);
  }
  EXPECT_EQ(most, 5);
  EXPECT_EQ(window->CheckList->ListCount(), 0);
  QStringList received;
  for (int n = 1; n <= server.MessageCount(); ++n) {
    const QJsonObject got = server.Message(n);
    received << got.value("rcpt_tos").toArray()[0].toString();
    EXPECT_EQ(got.value("from").toString(), "shop@example.com");
    EXPECT_EQ(got.value("subject").toString(), kSubject);
    EXPECT_EQ(got.value("html").toString().replace("\r\n", "\n").trimmed(),
              "<p>Hola</p>\n<p>Adi&oacute;s</p>");
  }
  received.sort();
  sendable.sort();
  EXPECT_EQ(received, sendable);  // each exactly once
  EXPECT_EQ(window->Changed, true);

  window->SaveFile();
  const QString entry = "Offer(" + platform::Date().ShortDate() + ") ";
  const QStringList saved =
      QString::fromUtf8(testing_support::ReadAll(dir.filePath("Database/Members"))).split('\n');
  for (int i = 0; i < 50; ++i) {
    const QString address = QString("member%1@example.org").arg(i);
    const QString expected = i % 7 == 3    ? "Black Listed"
                             : i % 11 == 5 ? "Opted Out"
                                           : (i % 5 == 0 ? "News(1/2/26) " : "") + entry;
    EXPECT_EQ(saved.value(i), address + " " + expected);
  }
  delete window.data();  // its windows go with it
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (qobject_cast<AboutWindow*>(w)) w->deleteLater();
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  App::SetQuitForTests({});
  platform::FolderItem::SetAppFolderForTests({});
}

// The refused message leaves the queue with the reply in the log and no history entry,
// and nothing reconnects for it.
TEST_F(SendLoopback, ARefusedRecipientLeavesTheQueue) {
  SmtpServer server({"--refuse", "bad@example.org"});
  ASSERT_NE(server.Port(), 0);
  m_window->elist->Model()->AppendRows({{"good1@example.org", ""}, {"bad@example.org", ""}});
  m_window->Rate->setValue(5);
  Queue(server, {"good1@example.org", "bad@example.org", "good2@example.org"});
  RunTicks();
  m_window->SendTimer_Action();
  EXPECT_EQ(m_window->CheckList->ListCount(), 0);
  EXPECT_EQ(Recipients(server), QStringList({"good1@example.org", "good2@example.org"}));
  EXPECT_EQ(
      LogCount("Message to bad@example.org refused: 550 5.1.1 <bad@example.org>: Recipient address rejected"),
      1);
  EXPECT_EQ(m_window->elist->Cell(1, 1), "");
  EXPECT_EQ(LogCount("Connecting..."), 1);
}

// The server drops the connection after its third message: the server's close (102), so
// the two rows still wait with their messages in the client's list, and the next tick
// connects again to send them. Each address gets its message once.
TEST_F(SendLoopback, AConnectionDroppedMidBatch) {
  SmtpServer server({"--drop-after", "3"});
  ASSERT_NE(server.Port(), 0);
  const QStringList addresses = {"p1@example.org", "p2@example.org", "p3@example.org", "p4@example.org",
                                 "p5@example.org"};
  m_window->Rate->setValue(5);
  Queue(server, addresses);
  RunTicks(1);
  EXPECT_EQ(server.MessageCount(), 3);
  EXPECT_EQ(LogRows().first(), Logged("Error 102"));
  EXPECT_EQ(m_window->CheckList->Cell(1, 3), "Waiting");
  EXPECT_EQ(m_window->TCPSocket1->Messages().size(), 2);
  EXPECT_EQ(RunTicks(), 0);
  EXPECT_EQ(m_window->CheckList->ListCount(), 0);
  EXPECT_EQ(Recipients(server), addresses);
}

// Failures before anything is sent: reported, the queue put back, the client's list emptied.
TEST_F(SendLoopback, WrongPasswordAndNoServer) {
  SmtpServer server;
  ASSERT_NE(server.Port(), 0);
  QTcpServer closed;  // its port, once closed, has no listener
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const QString notListening = "127.0.0.1:" + QString::number(closed.serverPort());
  closed.close();
  const std::vector<QStringList> logs = {
      // newest first
      {"Check your SMTP username and password.", "SMTP Socket Error = 106", "Error 106"},
      {"Error sending mail.  Please check your connection to the internet.", "Error 103"}};
  for (const QStringList& log : logs) {
    Queue(server, {"a@example.org", "b@example.org"}, log.size() == 3 ? "wrong" : "s3cret");
    if (log.size() == 2) m_window->server = notListening;
    RunTicks(1);
    for (int i = 0; i < log.size(); ++i) EXPECT_EQ(LogRows().value(i), Logged(log[i]));
    EXPECT_EQ(m_window->CheckList->Cell(0, 3) + m_window->CheckList->Cell(1, 3), "QueuedQueued");
    EXPECT_EQ(m_window->TCPSocket1->Messages().size(), 0);
    m_window->CheckList->DeleteAllRows();
  }
  EXPECT_EQ(server.MessageCount(), 0);
}

// Stop Sending as the first message is accepted: the four others handed over with it never
// reach the server, not even with a later mailing.
TEST_F(SendLoopback, StopSendingMidBatch) {
  SmtpServer server;
  ASSERT_NE(server.Port(), 0);
  m_window->Rate->setValue(5);
  Queue(server, {"s1@example.org", "s2@example.org", "s3@example.org", "s4@example.org", "s5@example.org"});
  QObject::connect(m_window->TCPSocket1, &platform::SMTPSocket::MessageSent, m_window, [this] {
    if (m_window->CheckList->ListCount() > 0)
      m_window->StopSending->click();  // after the window's own handler
  });
  RunTicks(1);
  EXPECT_EQ(m_window->CheckList->ListCount(), 0);
  Queue(server, {"later@example.org"});
  RunTicks();
  EXPECT_EQ(Recipients(server), QStringList({"later@example.org", "s1@example.org"}));
}

}  // namespace
