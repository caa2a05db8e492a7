// The POP3 client against a real Dovecot on 127.0.0.1: alone, then start-up's log-in and
// the preferences window's through the main window (offscreen).
#include "loopback/LoopbackServers.h"
#include "mailing/ui/PreferencesWindow.h"
#include "support/FakeByteStream.h"
#include "ui/MainWindowFixture.h"

namespace {

using platform::POP3Socket;
using testing_support::DovecotServer;
using testing_support::HaveDovecot;

// Logs in the way the program does (count on log-in, drop the line on the count); the
// events, the last error code and whether the log-in was encrypted.
std::string LogIn(quint16 port, const QString& host, const QString& password, const QString& caFile) {
  testing_support::Pop3Recorder r;
  r.socket->SetTlsPolicy(
      {caFile.isEmpty() ? QList<QSslCertificate>() : QSslCertificate::fromPath(caFile), true});
  r.socket->SetAddress(host);
  r.socket->SetPort(port);
  r.socket->SetUsername("tester");
  r.socket->SetPassword(password);
  r.ConnectAndWait(30000);
  return QString("%1 / %2%3")
      .arg(r.events.join(" | "))
      .arg(r.socket->LastErrorCode())
      .arg(r.encrypted ? " tls" : "")
      .toStdString();
}

// Clear text on loopback, then STLS with the certificate checked: each server once.
TEST(Pop3Dovecot, LogIn) {
  if (!HaveDovecot()) GTEST_SKIP() << "dovecot is not installed";
  const struct {
    const char* name;
    bool tls;
    QString host, password;
    bool trustTestCa;
    const char* outcome;
  } rows[] = {
      {"right password", false, "127.0.0.1", "secret word", false, "established | login | count 3 / 0"},
      {"wrong password", false, "127.0.0.1", "wrong", false, "established | error 106 / 106"},
      {"no server name", false, "", "secret word", false, "error 103 / 103"},
      {"trusted", true, "127.0.0.1", "secret word", true, "established | login | count 2 / 0 tls"},
      // The test certificate is for 127.0.0.1 only.
      {"name mismatch", true, "localhost", "secret word", true, "established | error 107 / 107"},
      {"untrusted", true, "127.0.0.1", "secret word", false, "established | error 107 / 107"},
  };
  for (const bool tls : {false, true}) {
    DovecotServer server(tls, tls ? 2 : 3);
    ASSERT_TRUE(server.Ready()) << server.Diagnostics();
    for (const auto& row : rows) {
      if (row.tls != tls) continue;
      const std::string outcome =
          LogIn(server.Port(), row.host, row.password, row.trustTestCa ? server.Certificate() : QString());
      EXPECT_EQ(outcome, row.outcome) << row.name << "\n" << server.Diagnostics();
    }
  }
}

// Start-up logs into the account of the Preferences file if it names a user; OK in the
// preferences window logs into the one just entered. Start-up asks for port 110, which a
// test cannot listen on.
using StartupPop3Dovecot = MainWindowFixture;
TEST_F(StartupPop3Dovecot, StartUpAndPreferencesOkLogIn) {
  if (!HaveDovecot()) GTEST_SKIP() << "dovecot is not installed";
  DovecotServer server(false, 3);
  ASSERT_TRUE(server.Ready()) << server.Diagnostics();
  platform::SetByteStreamFactoryForTests([port = server.Port()](const platform::TlsPolicy& policy) {
    return std::make_unique<testing_support::PortMappedStream>(policy, port);
  });
  WritePreferences("\n\n\nFalse\n127.0.0.1\n\nsecret word\n");  // no user name: no log-in
  m_window = MainWindow::Instance();
  EXPECT_EQ(m_window->POPSocket->Address(), QString());
  CloseAll();
  WritePreferences("\n\n\nFalse\n127.0.0.1\ntester\nsecret word\n");
  m_window = MainWindow::Instance();
  EXPECT_EQ(LogRows(), QStringList());  // start-up does not wait for the server
  const QStringList loggedIn = {Logged("You have 3 new messages in your inbox."),
                                Logged("You have successfully logged into 127.0.0.1."),
                                Logged("POP3 connection established.")};
  testing_support::WaitUntil([this] { return LogRows().size() >= 3; }, 30000);
  EXPECT_EQ(LogRows().join('\n').toStdString(), loggedIn.join('\n').toStdString()) << server.Diagnostics();

  m_window->_FilePreferences_Action();
  auto* preferences = m_window->findChild<PreferencesWindow*>();
  ASSERT_NE(preferences, nullptr);
  preferences->SetSettings({"", "", "", false, "127.0.0.1", "tester", "secret word"});
  preferences->PushButton1_Action();
  testing_support::WaitUntil([this] { return LogRows().size() >= 6; }, 30000);
  EXPECT_EQ(LogRows().join('\n').toStdString(), (loggedIn + loggedIn).join('\n').toStdString())
      << server.Diagnostics();
}

}  // namespace
