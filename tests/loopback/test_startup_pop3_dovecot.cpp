// Start-up's POP3 log-in through the main window (offscreen) against a real Dovecot on
// loopback.
#include "loopback/DovecotServer.h"
#include "mailing/ui/PreferencesWindow.h"
#include "platform/POP3Socket.h"
#include "platform/SslByteStream.h"
#include "ui/MainWindowFixture.h"

namespace {

using testing_support::DovecotServer;
using testing_support::HaveDovecot;

// A real stream that reaches the test server where the program asks for the POP3 port:
// start-up always connects to 110, which a test cannot listen on.
class PortMappedStream : public platform::SslByteStream {
 public:
  PortMappedStream(const platform::TlsPolicy& policy, quint16 port) : SslByteStream(policy), m_port(port) {}
  void ConnectToHost(const QString& host, quint16 port, bool implicitTls) override {
    SslByteStream::ConnectToHost(host, port == 110 ? m_port : port, implicitTls);
  }

 private:
  quint16 m_port;
};

class StartupPop3Dovecot : public MainWindowFixture {
 protected:
  // Starts the program with this POP3 account, its port 110 mapped to `port`, and waits
  // until the log-in (or the one that `login` starts) has reported its count or failed.
  void StartAndWait(quint16 port, const QByteArray& server, const QByteArray& password) {
    WritePreferences("\n\n\nFalse\n" + server + "\ntester\n" + password + "\n");
    WaitForLogIn(port, [] {});
  }
  void WaitForLogIn(quint16 port, const std::function<void()>& login) {
    platform::SetByteStreamFactoryForTests([port](const platform::TlsPolicy& policy) {
      return std::make_unique<PortMappedStream>(policy, port);
    });
    m_window = MainWindow::Instance();
    login();
    m_done = false;
    // Connected after the window's own handlers, so these run once they are through.
    using platform::POP3Socket;
    const auto done = [this] { m_done = true; };
    QObject::connect(m_window->POPSocket, &POP3Socket::MessageCount, m_window, done);
    QObject::connect(m_window->POPSocket, &POP3Socket::Error, m_window, done);
    QObject::connect(m_window->POPSocket, &POP3Socket::Disconnected, m_window, done);
    testing_support::WaitUntil([this] { return m_done; }, 30000);
  }

  bool m_done = false;
};

TEST_F(StartupPop3Dovecot, LogsInReportsTheCountAndDrops) {
  if (!HaveDovecot()) GTEST_SKIP() << "dovecot is not installed";
  DovecotServer server(false, 3);
  ASSERT_TRUE(server.Ready()) << server.Diagnostics().toStdString();
  StartAndWait(server.Port(), "127.0.0.1", "secret word");
  EXPECT_EQ(LogRows(), QStringList({Logged("You have 3 new messages in your inbox."),
                                    Logged("You have successfully logged into 127.0.0.1."),
                                    Logged("POP3 connection established.")}))
      << server.Diagnostics().toStdString();
  EXPECT_EQ(m_window->POPSocket->LastErrorCode(), 0);
}

// OK in the preferences window logs into the POP3 server just entered.
TEST_F(StartupPop3Dovecot, PreferencesOkLogsIn) {
  if (!HaveDovecot()) GTEST_SKIP() << "dovecot is not installed";
  DovecotServer server(false, 2);
  ASSERT_TRUE(server.Ready()) << server.Diagnostics().toStdString();
  WaitForLogIn(server.Port(), [this] {
    m_window->_FilePreferences_Action();
    auto* preferences = m_window->findChild<PreferencesWindow*>();
    preferences->SetSettings({"", "", "", false, "127.0.0.1", "tester", "secret word"});
    preferences->PushButton1_Action();
  });
  EXPECT_EQ(LogRows().mid(0, 3), QStringList({Logged("You have 2 new messages in your inbox."),
                                              Logged("You have successfully logged into 127.0.0.1."),
                                              Logged("POP3 connection established.")}))
      << server.Diagnostics().toStdString();
}

}  // namespace
