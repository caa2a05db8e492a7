// The POP3 log-in that start-up runs when the Preferences file names a POP3 user, against
// a scripted server behind the main window's own POPSocket.
#include <QLabel>

#include "MainWindowFixture.h"
#include "platform/POP3Socket.h"

namespace {

using testing_support::FakeByteStream;

class StartupPop3 : public MainWindowFixture {
 protected:
  // Every connection from now on goes to a new scripted server. What the client wrote is
  // kept when the client lets go of the stream.
  void Serve(const QStringList& script) {
    platform::SetByteStreamFactoryForTests([this, script](const platform::TlsPolicy&) {
      auto stream = std::make_unique<FakeByteStream>(FakeByteStream::ParseScript(script), false, 0);
      ++m_streams;
      m_host = QString();
      m_port = 0;
      m_released = false;
      stream->onDestroyed = [this](const FakeByteStream& s) {
        m_host = s.Host();
        m_port = s.Port();
        m_written = s.Written();
        m_aborted = s.Aborted();
        m_released = true;
      };
      return stream;
    });
  }

  int m_streams = 0;
  bool m_released = false;
  QString m_host;
  quint16 m_port = 0;
  QByteArray m_written;
  bool m_aborted = false;
};

QStringList LogInScript(const QString& user, const QString& password, int count) {
  return {"S: +OK ready",
          "C: CAPA",
          "S: +OK",
          "S: STLS",
          "S: .",
          "C: STLS",
          "S: +OK go ahead",
          "T:",
          "C: USER " + user,
          "S: +OK",
          "C: PASS " + password,
          "S: +OK",
          "C: STAT",
          QStringLiteral("S: +OK %1 4096").arg(count)};
}

TEST_F(StartupPop3, LogInReportsThreeRowsNewestFirstAndDropsTheLine) {
  struct Row {
    QByteArray server, user, password;
    int count;
  } rows[] = {
      {"pop.example.com", "bob", "pw", 4},
      // Blanks are a user name like any other; the server is shown as written.
      {"Mail.Example.NET", "  ", "pass word", 0},
  };
  for (const Row& row : rows) {
    const QString server = QString::fromUtf8(row.server);
    Serve(LogInScript(QString::fromUtf8(row.user), QString::fromUtf8(row.password), row.count));
    WritePreferences("smtp\nsu\nsp\nFalse\n" + row.server + "\n" + row.user + "\n" + row.password + "\n");
    m_window = MainWindow::Instance();
    // Start-up has not waited for the server.
    EXPECT_EQ(m_streams, 1) << row.server.data();
    EXPECT_EQ(LogRows(), QStringList()) << row.server.data();

    ASSERT_TRUE(testing_support::WaitUntil([this] { return m_released; })) << row.server.data();
    const QString countLine = QStringLiteral("You have %1 new messages in your inbox.").arg(row.count);
    EXPECT_EQ(LogRows(),
              QStringList({Logged(countLine), Logged("You have successfully logged into " + server + "."),
                           Logged("POP3 connection established.")}));
    EXPECT_EQ(m_window->Slug->text(), countLine);
    EXPECT_EQ(m_host, server);
    EXPECT_EQ(m_port, 110);
    // The count is the last thing asked: the line is dropped without QUIT.
    EXPECT_EQ(m_written,
              "CAPA\r\nSTLS\r\n<STARTTLS>USER " + row.user + "\r\nPASS " + row.password + "\r\nSTAT\r\n");
    EXPECT_TRUE(m_aborted);
    CloseAll();
    m_streams = 0;
  }
}

TEST_F(StartupPop3, EmptyUserNameStartsNothing) {
  const QByteArray files[] = {
      "",  // no Preferences file at all
      "smtp\nsu\nsp\nTrue\npop.example.com\n\npw\n",
      "smtp\nsu\nsp\nTrue\npop.example.com\n",  // too short to hold a user name
  };
  for (const QByteArray& file : files) {
    Serve({"U:"});
    if (!file.isEmpty()) WritePreferences(file);
    m_window = MainWindow::Instance();
    EXPECT_EQ(m_streams, 0) << file.data();
    EXPECT_EQ(m_window->POPSocket->Port(), 0) << file.data();
    EXPECT_EQ(m_window->POPSocket->Address(), QString()) << file.data();
    CloseAll();
  }
}

// The log-in starts with an empty address and ends in a failure that nobody reports.
TEST_F(StartupPop3, UserNameWithoutServerFailsSilently) {
  Serve({"U:"});
  WritePreferences("\n\n\nFalse\n\npop-user\n\n");
  m_window = MainWindow::Instance();
  EXPECT_EQ(m_streams, 1);
  ASSERT_TRUE(testing_support::WaitUntil([this] { return m_released; }));
  EXPECT_EQ(m_host, QString());
  EXPECT_EQ(m_port, 110);
  EXPECT_EQ(m_window->POPSocket->LastErrorCode(), platform::POP3Socket::CannotConnect);
  EXPECT_EQ(LogRows(), QStringList());
  EXPECT_EQ(m_window->Slug->text(), QString("Slug"));
}

}  // namespace
