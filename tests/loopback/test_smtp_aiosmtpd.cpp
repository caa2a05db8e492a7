// Mail to a real server (aiosmtpd) on 127.0.0.1 that requires STARTTLS (the test's
// certificate) and AUTH and reads each message back with Python's email package: the SMTP
// client alone, then the send engine through the main window (offscreen), ticks run by hand,
// and the whole program in a process of its own, killed in the middle of a mailing.

#include <signal.h>

#include <QCheckBox>
#include <QJsonArray>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "lists/ui/MainWindowListsSetup.h"
#include "loopback/LoopbackServers.h"
#include "mailing/MessageFile.h"
#include "mailing/SendEngine.h"
#include "mailing/ui/SendWindow.h"
#include "platform/SMTPSocket.h"
#include "platform/ui/Listbox.h"
#include "ui/MainWindowFixture.h"

namespace {

using platform::SMTPSocket;
using platform::SpecialEmail;
using testing_support::SmtpServer;
using testing_support::WaitUntil;

std::shared_ptr<SpecialEmail> Letter(const QString& to, const QString& subject, const QString& plain,
                                     const QString& html = "") {
  auto m = std::make_shared<SpecialEmail>();
  m->SetName(to.section('@', 0, 0));
  m->AddRecipient(to);
  m->SetFromAddress("sender@example.com");
  m->SetSubject(subject);
  m->SetBodyPlainText(plain);
  m->SetBodyHTML(html);
  return m;
}

// Two messages through STARTTLS and AUTH PLAIN, TLS from the first byte and an untrusted
// certificate (taken from a server on this machine unless told to verify it), each read
// back field by field; what is not sent stays in the list.
TEST(SmtpLoopback, MessagesReadBackByPython) {
  const struct {
    const char* name;
    QStringList serverArgs;
    int port;  // 465 is TLS from the first byte; every port reaches the test's server
    bool trustTestAuthority, verifyLoopback;
    const char* outcome;  // what went out, and the code the connection ended with
  } rows[] = {
      {"STARTTLS and AUTH PLAIN", {}, 2525, true, true, "bob carol / 102"},
      {"TLS from the first byte", {"--mode", "implicit"}, 465, true, true, "bob carol / 102"},
      {"certificate not trusted", {}, 2525, false, true, " / 107"},
      {"certificate not trusted, loopback", {"--mode", "implicit"}, 465, false, false, "bob carol / 102"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SmtpServer server(row.serverArgs);
    ASSERT_NE(server.Port(), 0);
    SMTPSocket socket;
    socket.SetAddress("127.0.0.1:" + QString::number(row.port));
    socket.SetUsername("alice");
    socket.SetPassword("s3cret");
    socket.SetTlsPolicy(
        {row.trustTestAuthority ? server.Authority() : QList<QSslCertificate>(), row.verifyLoopback});
    socket.SetStreamFactory([port = server.Port()](const platform::TlsPolicy& policy) {
      return std::make_unique<testing_support::PortMappedStream>(policy, port);
    });
    const QList<std::shared_ptr<SpecialEmail>> letters = {
        Letter("bob@example.org", "Grüße aus Köln – ça va? 日本語",
               "Hello Bob,\n.a line with a dot\nZweite Zeile é 🙂\n" + QString(300, 'x')),
        Letter("carol@example.org", "Both parts", "Plain part", "<p>Très <b>bien</b></p>\n.<p>point</p>"),
    };
    for (const auto& letter : letters) socket.Messages() << letter;
    QStringList sent;
    int code = 0;
    QObject::connect(&socket, &SMTPSocket::MessageSent, [&](platform::EmailMessagePtr m) {
      sent << std::dynamic_pointer_cast<SpecialEmail>(m)->Name();
    });
    QObject::connect(&socket, &SMTPSocket::Error, [&] { code = socket.LastErrorCode(); });
    socket.SendMail();
    WaitUntil([&] { return code != 0; }, 60000);
    EXPECT_EQ(QString("%1 / %2").arg(sent.join(' ')).arg(code).toStdString(), row.outcome);
    EXPECT_EQ(socket.Messages().size() + sent.size(), 2);
    for (int i = 0; i < server.MessageCount(); ++i) {
      const auto& m = letters[i];
      const QJsonObject want{{"mail_from", "sender@example.com"}, {"rcpt_tos", QJsonArray{m->ToAddress()}},
                             {"from", "sender@example.com"},      {"subject", m->Subject()},
                             {"plain", m->BodyPlainText()},       {"html", m->BodyHTML()}};
      EXPECT_EQ(QJsonDocument(server.Message(i + 1)).toJson().toStdString(),
                QJsonDocument(want).toJson().toStdString());
    }
  }
}

const QString kSubject = "Grüße – ¡Oferta única!";

class SendLoopback : public MainWindowFixture {
 protected:
  // Starts the program with `server` for its SMTP server at 5 messages a second, the
  // ticks run by hand.
  void Start(const SmtpServer& server) {
    ASSERT_NE(server.Port(), 0);
    platform::SetByteStreamFactoryForTests({});  // real connections, to this machine only
    m_window = MainWindow::Instance();
    m_window->SendTimer->stop();
    m_window->server = server.Address();
    m_window->username = "alice";
    m_window->password = "s3cret";
    m_window->TCPSocket1->SetTlsPolicy({server.Authority()});
    m_window->Rate->setValue(5);
  }

  // As the send window queues: the message stored, one batch of rows, the mailing's start.
  void Queue(const QStringList& addresses) {
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("eMail"));
    ASSERT_TRUE(mailing::WriteMessageFile(mailing::MessageFolder(), "Offer",
                                          {"shop@example.com", kSubject, true, "<p>Hola</p>\r<p>Adiós</p>"}));
    std::vector<QStringList> rows;
    for (const QString& address : addresses) rows.push_back({address, "Offer", "HTML", "Queued"});
    m_window->CheckList->Model()->AppendRows(std::move(rows));
    m_window->SendSession()->StartMailing();
  }

  int Queued() const {
    const auto* model = m_window->CheckList->Model();
    return static_cast<int>(
        model->match(model->index(0, 3), Qt::DisplayRole, "Queued", -1, Qt::MatchExactly).size());
  }

  // Ticks, each followed by the end of the connection it started, while rows are queued;
  // returns the most rows one tick handed over.
  int RunTicks(int ticks = 20) {
    int most = 0;
    for (int i = 0; i < ticks && m_window->CheckList->ListCount() > 0; ++i) {
      const int before = Queued();
      m_window->SendTimer_Action();
      most = std::max(most, before - Queued());
      WaitUntil([this] { return !m_window->TCPSocket1->IsConnected(); }, 30000);
    }
    return most;
  }

  static std::string Recipients(const SmtpServer& server) {
    QStringList to;
    for (int n = 1; n <= server.MessageCount(); ++n) to << server.Message(n)["rcpt_tos"][0].toString();
    to.sort();
    return to.join(' ').toStdString();
  }
  int LogCount(const QString& text) const { return static_cast<int>(LogRows().count(Logged(text))); }

  // As a person mails the selected rows: the message composed in the send window, then OK.
  void MailSelection() {
    m_window->ToolbarItem1_Action(0);
    auto* send = m_window->findChild<SendWindow*>();
    ASSERT_NE(send, nullptr);
    send->Name->setText("Offer");
    send->From->setText("Café Team <shop@example.com>");
    send->Subject->setText(kSubject);
    send->HTMLcoded->setChecked(true);
    send->SetBodyText("<p>Hola</p>\r<p>Adiós</p>");
    send->PushButton1->click();
  }
};

// The whole road: a saved list of fifty, some black-listed or opted out, all selected; the
// message composed in the send window, its sender with a display name; OK; ticks at 5
// messages a second; then a save.
TEST_F(SendLoopback, EverySendableAddressGetsOneMessageAndTheSavedListHoldsItsEntry) {
  const QString entry = "Offer(" + platform::Date().ShortDate() + ") ";
  QByteArray file;
  QStringList saved, sendable;
  for (int i = 0; i < 50; ++i) {
    const QString address = QString("member%1@example.org").arg(i);
    const QString mailings = i % 7 == 3    ? "Black Listed"
                             : i % 11 == 5 ? "Opted Out"
                             : i % 5 == 0  ? "News(1/2/26) "
                                           : "";
    file += (address + " " + mailings + "\n").toUtf8();
    const bool sends = mailings.isEmpty() || mailings.startsWith("News");
    saved << address + " " + mailings + (sends ? entry : "");
    if (sends) sendable << address;
  }
  ASSERT_TRUE(QDir(m_dir.path()).mkpath("Database"));
  testing_support::WriteAll(DatabasePath() + "/Members", file);
  testing_support::WriteAll(DatabasePath() + "/LastDatabase", "Members");
  lists::ui::InstallMainWindowHooks();
  mailing::ui::InstallSendWindowHook();
  SmtpServer server;
  Start(server);
  ASSERT_EQ(m_window->elist->ListCount(), 50);
  m_window->elist->Model()->SetAllSelected(true);
  MailSelection();
  ASSERT_EQ(m_window->CheckList->ListCount(), sendable.size());

  EXPECT_EQ(RunTicks(), 5);
  EXPECT_EQ(m_window->CheckList->ListCount(), 0);
  for (int n = 1; n <= server.MessageCount(); ++n) {
    const QJsonObject got = server.Message(n);
    EXPECT_EQ((got["mail_from"].toString() + " | " + got["from"].toString() + " | " +
               got["subject"].toString() + " | " + got["html"].toString())
                  .toStdString(),
              ("shop@example.com | Café Team <shop@example.com> | " + kSubject +
               " | <p>Hola</p>\n<p>Adi&oacute;s</p>")
                  .toStdString());
  }
  sendable.sort();
  EXPECT_EQ(Recipients(server), sendable.join(' ').toStdString());  // each exactly once
  EXPECT_EQ(m_window->Changed, true);
  m_window->SaveFile();
  const QStringList written = QString(testing_support::ReadAll(DatabasePath() + "/Members")).split('\n');
  EXPECT_EQ(written.mid(0, 50).join('\n').toStdString(), saved.join('\n').toStdString());
}

// A server that refuses one recipient and drops the connection after its third message.
// The refused message leaves the queue with the reply in the log and no history entry;
// the drop is the server's close (102), so the row handed over but not sent waits with its
// message in the client's list, and the next tick connects again for it, and only for it.
TEST_F(SendLoopback, ARefusedRecipientAndADroppedConnection) {
  SmtpServer server({"--refuse", "bad@example.org", "--drop-after", "3"});
  Start(server);
  m_window->elist->Model()->AppendRows({{"p1@example.org", ""}, {"bad@example.org", ""}});
  Queue({"p1@example.org", "bad@example.org", "p2@example.org", "p3@example.org", "p4@example.org"});
  RunTicks(1);
  EXPECT_EQ(std::make_tuple(server.MessageCount(), LogRows().first(), m_window->CheckList->Cell(0, 3),
                            m_window->TCPSocket1->Messages().size()),
            std::make_tuple(3, Logged("Error 102"), QString("Waiting"), qsizetype(1)));
  EXPECT_EQ(RunTicks(), 0);
  m_window->SendTimer_Action();
  EXPECT_EQ(m_window->CheckList->ListCount(), 0);
  EXPECT_EQ(Recipients(server), "p1@example.org p2@example.org p3@example.org p4@example.org");
  EXPECT_EQ(
      LogCount("Message to bad@example.org refused: 550 5.1.1 <bad@example.org>: Recipient address rejected"),
      1);
  EXPECT_EQ(m_window->elist->Cell(1, 1), "");
  EXPECT_EQ(LogCount("Connecting..."), 2);
}

// A wrong password, then no server listening: each failure's texts, nothing sent, the
// client's list emptied and every row queued again for the next tick.
TEST_F(SendLoopback, AWrongPasswordThenNoServer) {
  SmtpServer server;
  Start(server);
  Queue({"p1@example.org", "p2@example.org"});
  m_window->password = "wrong";
  RunTicks(1);
  m_window->server = "127.0.0.1:" + QString::number(testing_support::FreePort());
  RunTicks(1);
  QStringList texts;  // newest first
  for (const char* text :
       {"Error sending mail.  Please check your connection to the internet.", "Error 103", "Connecting...",
        "Check your SMTP username and password.", "SMTP Socket Error = 106", "Error 106"})
    texts << Logged(text);
  EXPECT_EQ(LogRows().mid(0, 6).join('\n').toStdString(), texts.join('\n').toStdString());
  EXPECT_EQ(std::make_tuple(server.MessageCount(), Queued(), m_window->TCPSocket1->Messages().size()),
            std::make_tuple(0, 2, qsizetype(0)));
}

constexpr char kKilledFolder[] = "VELMORA_KILLED_PROGRAM_FOLDER";

// The program that the next test kills: the list opened at start-up mailed whole at one
// message a second, as the timers go.
TEST_F(SendLoopback, KilledProgram) {
  if (qEnvironmentVariableIsEmpty(kKilledFolder)) GTEST_SKIP() << "the program of KillDuringSending";
  platform::FolderItem::SetAppFolderForTests(qEnvironmentVariable(kKilledFolder));
  platform::SetByteStreamFactoryForTests({});
  lists::ui::InstallMainWindowHooks();
  mailing::ui::InstallSendWindowHook();
  m_window = MainWindow::Instance();
  m_window->elist->Model()->SetAllSelected(true);
  MailSelection();
  WaitUntil([] { return false; }, 120000);  // killed long before
}

// SIGKILL once the server took five messages; started again, the program shows the entry on
// the rows of the first four, and on no row whose mail the server never took.
TEST_F(SendLoopback, KillDuringSendingKeepsTheHistory) {
  SmtpServer server;
  QByteArray list;
  for (int i = 0; i < 10; ++i) list += "member" + QByteArray::number(i) + "@example.org \n";
  WritePreferences(server.Address().toUtf8() + "\nalice\ns3cret\nFalse\n\n\n\n");
  testing_support::WriteAll(DatabasePath() + "/Members", list);
  testing_support::WriteAll(DatabasePath() + "/LastDatabase", "Members");
  qputenv(kKilledFolder, m_dir.path().toUtf8());
  QProcess program;
  program.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=SendLoopback.KilledProgram"});
  qunsetenv(kKilledFolder);
  WaitUntil([&] { return server.MessageCount() >= 5; }, 60000);
  ::kill(static_cast<pid_t>(program.processId()), SIGKILL);
  program.waitForFinished();
  const int taken = server.MessageCount();  // five, or six on a machine slow to kill
  lists::ui::InstallMainWindowHooks();
  m_window = MainWindow::Instance();
  for (int row = 0; row < 10; ++row) {
    SCOPED_TRACE(row);
    const bool entry = m_window->elist->Cell(row, 1).startsWith("Offer(");
    const bool took = row < taken && server.Message(row + 1)["rcpt_tos"][0] == m_window->elist->Cell(row, 0);
    EXPECT_EQ(entry, row < 4 || (entry && took));  // the fifth may be killed before its answer
  }
}

}  // namespace
