// The send engine through the main window (offscreen) against a real aiosmtpd on
// 127.0.0.1 with STARTTLS and AUTH: rows queued as the send window queues them, ticks run
// by hand, and what the server received read back by Python's email package.

#include <QDir>
#include <QJsonArray>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>

#include "loopback/SmtpServer.h"
#include "mailing/MessageFile.h"
#include "platform/SMTPSocket.h"
#include "platform/ui/Listbox.h"
#include "ui/MainWindowFixture.h"

namespace {

using testing_support::SmtpServer;
using testing_support::WaitUntil;

const QString kSubject = QStringLiteral("Grüße – ¡Oferta única!");
const QString kHtml = QStringLiteral("<p>Hola</p>\r<p>Adiós</p>");

class SendLoopback : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    platform::SetByteStreamFactoryForTests({});  // these tests talk to their own server
    m_window = MainWindow::Instance();
    m_window->SendTimer->stop();  // ticks are run by hand
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("eMail"));
    ASSERT_TRUE(mailing::WriteMessageFile(mailing::MessageFolder(), "Offer",
                                          {"shop@example.com", kSubject, true, kHtml}));
    QObject::connect(
        m_window->CheckList->Model(), &QAbstractItemModel::dataChanged, m_window,
        [this](const QModelIndex& topLeft) {
          if (topLeft.column() == 3 && m_window->CheckList->Cell(topLeft.row(), 3) == "Waiting") {
            ++m_handedOver;
          }
        });
  }

  void UseServer(const QString& address, const SmtpServer& server, const QString& password = "s3cret") {
    m_window->server = address;
    m_window->username = "alice";
    m_window->password = password;
    m_window->TCPSocket1->SetTlsPolicy({server.Authority()});
  }

  // As the send window queues: the message stored, one batch of rows, then the mailing's
  // start and the progress bar's maximum.
  void Queue(const QStringList& addresses, const QString& name = "Offer") {
    std::vector<QStringList> rows;
    for (const QString& address : addresses) rows.push_back({address, name, "HTML", "Queued"});
    m_window->CheckList->Model()->AppendRows(std::move(rows));
    m_window->starttime = platform::Date();
    m_window->mailssent = 0;
  }

  // Ticks, each followed by the end of the connection it started, until the queue is
  // empty or `ticks` have run; returns the most rows one tick handed over.
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

  QStringList Recipients(const SmtpServer& server) const {
    QStringList to;
    for (int n = 1; server.HasMessage(n); ++n) {
      for (const auto& r : server.Message(n).value("rcpt_tos").toArray()) to << r.toString();
    }
    to.sort();
    return to;
  }

  int LogCount(const QString& text) const { return static_cast<int>(LogRows().count(Logged(text))); }

  QString Entry() const { return "Offer(" + platform::Date().ShortDate() + ") "; }

  int m_handedOver = 0;
};

TEST_F(SendLoopback, EverySendableAddressGetsOneMessageAndOneHistoryEntry) {
  SmtpServer server;
  ASSERT_NE(server.Port(), 0);
  UseServer(server.Address(), server);
  QStringList sendable;
  for (int i = 0; i < 12; ++i) sendable << QString("member%1@example.org").arg(i);
  std::vector<QStringList> list;
  for (const QString& address : sendable) list.push_back({address, ""});
  list.push_back({"member3@example.org", "News(1/2/26) "});  // the same address twice
  list.push_back({"blocked@example.org", "Black Listed"});
  list.push_back({"gone@example.org", "Opted Out"});
  m_window->elist->Model()->AppendRows(list);
  m_window->TabPanel1->setCurrentIndex(1);
  m_window->Rate->setValue(5);
  Queue(sendable);

  EXPECT_EQ(RunTicks(), 5);
  EXPECT_EQ(m_window->CheckList->ListCount(), 0);
  QStringList expected = sendable;
  expected.sort();
  EXPECT_EQ(Recipients(server), expected);
  for (int n = 1; n <= 12; ++n) {
    const QJsonObject got = server.Message(n);
    EXPECT_EQ(got.value("from").toString(), "shop@example.com");
    EXPECT_EQ(got.value("subject").toString(), kSubject);
    EXPECT_EQ(got.value("html").toString().replace("\r\n", "\n").trimmed(), "<p>Hola</p>\n<p>Adiós</p>");
    EXPECT_EQ(got.value("authenticated").toBool(), true);
  }
  for (int row = 0; row < 12; ++row) EXPECT_EQ(m_window->elist->Cell(row, 1), Entry()) << row;
  EXPECT_EQ(m_window->elist->Cell(12, 1), "News(1/2/26) " + Entry());
  EXPECT_EQ(m_window->elist->Cell(13, 1), "Black Listed");
  EXPECT_EQ(m_window->elist->Cell(14, 1), "Opted Out");
  EXPECT_EQ(m_window->Changed, true);
  EXPECT_EQ(m_window->mailssent, 12);
  EXPECT_EQ(LogCount("Message sent to member0@example.org = " + kSubject), 1);
}

// The refused message leaves the queue with its reply in the log and no history entry,
// and the engine does not keep reconnecting for it.
TEST_F(SendLoopback, ARefusedRecipientLeavesTheQueue) {
  SmtpServer server({"--refuse", "bad@example.org"});
  ASSERT_NE(server.Port(), 0);
  UseServer(server.Address(), server);
  m_window->elist->Model()->AppendRows(
      {{"good1@example.org", ""}, {"bad@example.org", ""}, {"good2@example.org", ""}});
  m_window->Rate->setValue(5);
  Queue({"good1@example.org", "bad@example.org", "good2@example.org"});

  RunTicks();
  EXPECT_EQ(m_window->CheckList->ListCount(), 0);
  EXPECT_EQ(Recipients(server), QStringList({"good1@example.org", "good2@example.org"}));
  EXPECT_EQ(LogCount("Message to bad@example.org refused: 550 5.1.1 <bad@example.org>: Recipient address "
                     "rejected"),
            1);
  EXPECT_EQ(m_window->elist->Cell(1, 1), "");
  EXPECT_EQ(m_window->mailssent, 2);
  m_window->SendTimer_Action();
  EXPECT_EQ(LogCount("Connecting..."), 1);
}

// The server drops the connection after its third message. That is the server's close
// (102): the two rows still wait, their messages stay in the client's list, and the next
// tick connects again to send them; each address gets its message once.
TEST_F(SendLoopback, AConnectionDroppedMidBatch) {
  SmtpServer server({"--drop-after", "3"});
  ASSERT_NE(server.Port(), 0);
  UseServer(server.Address(), server);
  const QStringList addresses = {"p1@example.org", "p2@example.org", "p3@example.org", "p4@example.org",
                                 "p5@example.org"};
  for (const QString& address : addresses) m_window->elist->AddRow(address);
  m_window->Rate->setValue(5);
  Queue(addresses);

  m_window->SendTimer_Action();
  ASSERT_TRUE(WaitUntil([this] { return !m_window->TCPSocket1->IsConnected(); }, 30000));
  EXPECT_EQ(server.MessageCount(), 3);
  EXPECT_EQ(LogRows().first(), Logged("Error 102"));
  EXPECT_EQ(m_window->CheckList->ListCount(), 2);
  EXPECT_EQ(m_window->CheckList->Cell(0, 3), "Waiting");
  EXPECT_EQ(m_window->CheckList->Cell(1, 3), "Waiting");
  EXPECT_EQ(m_window->TCPSocket1->Messages().size(), 2);

  EXPECT_EQ(RunTicks(), 0);
  EXPECT_EQ(LogCount("Connecting..."), 2);
  EXPECT_EQ(m_window->CheckList->ListCount(), 0);
  EXPECT_EQ(Recipients(server), addresses);
  for (int row = 0; row < 5; ++row) EXPECT_EQ(m_window->elist->Cell(row, 1), Entry()) << row;
}

// Failures before anything is sent: reported, the queue put back, nothing delivered.
TEST_F(SendLoopback, WrongPasswordAndNoServer) {
  SmtpServer server;
  ASSERT_NE(server.Port(), 0);
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const QString nobody = "127.0.0.1:" + QString::number(closed.serverPort());
  closed.close();
  struct Case {
    QString address;
    QString password;
    QStringList log;  // newest first
  };
  const std::vector<Case> table = {
      {server.Address(),
       "wrong",
       {"Check your SMTP username and password.", "SMTP Socket Error = 106", "Error 106"}},
      {nobody, "s3cret", {"Error sending mail.  Please check your connection to the internet.", "Error 103"}},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.log.first().toStdString());
    UseServer(c.address, server, c.password);
    m_window->Rate->setValue(2);
    Queue({"a@example.org", "b@example.org", "c@example.org"});
    m_window->SendTimer_Action();
    ASSERT_TRUE(WaitUntil([this] { return !m_window->TCPSocket1->IsConnected(); }, 30000));
    QStringList expected;
    for (const QString& text : c.log) expected << Logged(text);
    EXPECT_EQ(LogRows().mid(0, expected.size()), expected);
    for (int row = 0; row < 3; ++row) EXPECT_EQ(m_window->CheckList->Cell(row, 3), "Queued");
    EXPECT_EQ(m_window->TCPSocket1->Messages().size(), 0);
    m_window->CheckList->DeleteAllRows();
  }
  EXPECT_EQ(server.MessageCount(), 0);
}

// Stop Sending as the first message is accepted: nothing more reaches the server, though
// four more were handed over with it.
TEST_F(SendLoopback, StopSendingMidBatch) {
  SmtpServer server;
  ASSERT_NE(server.Port(), 0);
  UseServer(server.Address(), server);
  m_window->Rate->setValue(5);
  Queue({"s1@example.org", "s2@example.org", "s3@example.org", "s4@example.org", "s5@example.org"});
  // After the window's own handler.
  QObject::connect(m_window->TCPSocket1, &platform::SMTPSocket::MessageSent, m_window, [this] {
    if (m_window->CheckList->ListCount() > 0) m_window->StopSending->click();
  });
  m_window->SendTimer_Action();
  ASSERT_TRUE(WaitUntil([this] { return m_window->CheckList->ListCount() == 0; }, 30000));
  EXPECT_EQ(m_window->TCPSocket1->Messages().size(), 0);
  RunTicks(3);

  // A later mailing's connection carries only its own message.
  Queue({"later@example.org"});
  RunTicks();
  EXPECT_EQ(Recipients(server), QStringList({"later@example.org", "s1@example.org"}));
}

}  // namespace
