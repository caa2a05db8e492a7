// The POP3 log-in that start-up runs when the Preferences file names a POP3 user, against
// a scripted server behind the main window's own POPSocket.
#include <QLabel>

#include "MainWindowFixture.h"
#include "platform/POP3Socket.h"

namespace {

using testing_support::FakeByteStream;

class StartupPop3 : public MainWindowFixture {
 protected:
  // Every connection from now on goes to a scripted server; what the client did is kept
  // when it lets go of the stream, as "host:port|written|aborted".
  void Serve(const QStringList& script) {
    platform::SetByteStreamFactoryForTests([this, script](const platform::TlsPolicy&) {
      auto stream = std::make_unique<FakeByteStream>(FakeByteStream::ParseScript(script), false, 0);
      ++m_streams;
      stream->onDestroyed = [this](const FakeByteStream& s) {
        m_released = QString("%1:%2|%3|%4").arg(s.Host()).arg(s.Port()).arg(s.Written()).arg(s.Aborted());
      };
      return stream;
    });
  }
  void Start(const QByteArray& preferences) {
    m_streams = 0;
    m_released.clear();
    WritePreferences(preferences);
    m_window = MainWindow::Instance();
  }

  int m_streams = 0;
  QString m_released;
};

// Blanks are a user name like any other; the server is shown as written. Start-up does not
// wait for the server; the count is the last thing asked, so the line is dropped without
// QUIT.
TEST_F(StartupPop3, LogInReportsThreeRowsNewestFirstAndDropsTheLine) {
  for (const auto& [server, user, password, count] : {std::tuple{"pop.example.com", "bob", "pw", 4},
                                                      std::tuple{"Mail.Example.NET", "  ", "pass word", 0}}) {
    const QStringList script = {"S: +OK ready",
                                "C: CAPA",
                                "S: +OK",
                                "S: STLS",
                                "S: .",
                                "C: STLS",
                                "S: +OK go ahead",
                                "T:",
                                QString("C: USER ") + user,
                                "S: +OK",
                                QString("C: PASS ") + password,
                                "S: +OK",
                                "C: STAT",
                                QString("S: +OK %1 4096").arg(count)};
    Serve(script);
    Start(QByteArray("smtp\nsu\nsp\nFalse\n") + server + "\n" + user + "\n" + password + "\n");
    EXPECT_EQ(std::make_pair(m_streams, LogRows()), std::make_pair(1, QStringList()));
    ASSERT_TRUE(testing_support::WaitUntil([this] { return !m_released.isEmpty(); }));
    const QString countLine = QStringLiteral("You have %1 new messages in your inbox.").arg(count);
    EXPECT_EQ(LogRows(), QStringList({Logged(countLine),
                                      Logged(QString("You have successfully logged into ") + server + "."),
                                      Logged("POP3 connection established.")}));
    EXPECT_EQ(m_window->Slug->text(), countLine);
    EXPECT_EQ(m_released, QString(server) + ":110|" +
                              FakeByteStream::ExpectedClientBytes(FakeByteStream::ParseScript(script)) +
                              "|1");
    CloseAll();
  }
}

// An empty user name starts nothing; a user name without a server starts a log-in with an
// empty address that ends in a failure nobody reports.
TEST_F(StartupPop3, WithoutUserNameOrServer) {
  Serve({"U:"});
  Start("smtp\nsu\nsp\nTrue\npop.example.com\n\npw\n");
  EXPECT_EQ(std::make_tuple(m_streams, m_window->POPSocket->Port(), m_window->POPSocket->Address()),
            std::make_tuple(0, 0, QString()));
  CloseAll();
  Start("\n\n\nFalse\n\npop-user\n\n");
  ASSERT_TRUE(testing_support::WaitUntil([this] { return !m_released.isEmpty(); }));
  EXPECT_EQ(std::make_tuple(m_streams, m_released.section('|', 0, 1), m_window->POPSocket->LastErrorCode(),
                            LogRows(), m_window->Slug->text()),
            std::make_tuple(1, QString(":110|"), int(platform::POP3Socket::CannotConnect), QStringList(),
                            QString("Slug")));
}

}  // namespace
