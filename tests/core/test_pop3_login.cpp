#include <gtest/gtest.h>

#include <QPointer>
#include <QStringList>

#include "mailing/Pop3Login.h"
#include "platform/POP3Socket.h"
#include "support/FakeByteStream.h"
#include "support/TestSupport.h"

// Readable failure messages for Qt strings and string lists.
void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace {

using mailing::Pop3Login;
using platform::POP3Socket;
using testing_support::FakeByteStream;

// A POP3 socket whose connections go to a scripted server on loopback, and the message
// log as SetSlug keeps it: newest row first.
struct Harness {
  POP3Socket socket;
  QStringList log;
  QPointer<FakeByteStream> stream;
  int streams = 0;
  QByteArray written;  // what the client wrote, taken when the log-in ended
  Pop3Login login{&socket, [this](const QString& text) { log.prepend(text); }};

  explicit Harness(const QStringList& script) {
    QObject::connect(&socket, &POP3Socket::ConnectionEstablished, &login,
                     &Pop3Login::POPSocket_ConnectionEstablished);
    QObject::connect(&socket, &POP3Socket::LoginSuccessful, &login, &Pop3Login::POPSocket_LoginSuccessful);
    QObject::connect(&socket, &POP3Socket::MessageCount, &login, &Pop3Login::POPSocket_MessageCount);
    QObject::connect(&socket, &POP3Socket::Disconnected, &login, &Pop3Login::POPSocket_Disconnected);
    socket.SetStepTimeout(50);
    socket.SetPort(995);
    socket.SetStreamFactory([this, script](const platform::TlsPolicy&) {
      ++streams;
      auto s = std::make_unique<FakeByteStream>(FakeByteStream::ParseScript(script), true, 0);
      stream = s.get();
      return s;
    });
    // Runs after the log-in's own handler, which has dropped the connection by then.
    QObject::connect(&socket, &POP3Socket::MessageCount, [this] {
      if (stream) written = stream->Written();
    });
  }
  // Lets the scripted server play until the client has nothing more to wait for.
  void Settle() {
    testing_support::WaitUntil([this] { return !stream || stream->Aborted(); }, 5000);
  }
};

QStringList Script(const QByteArray& stat) {
  return {"S: +OK ready",
          "C: CAPA",
          "S: +OK",
          "S: USER",
          "S: .",
          "C: USER bob",
          "S: +OK",
          "C: PASS pw",
          "S: +OK",
          "C: STAT",
          "S: " + QString::fromLatin1(stat)};
}

TEST(Pop3Login, SuccessfulLoginLeavesThreeRowsNewestFirst) {
  struct Row {
    QString server;
    QByteArray stat;
    QString countLine;
  } rows[] = {
      {"pop.example.com", "+OK 3 1200", "You have 3 new messages in your inbox."},
      {"Mail.Example.NET ", "+OK 1 5", "You have 1 new messages in your inbox."},
  };
  for (const Row& row : rows) {
    Harness h(Script(row.stat));
    h.login.start(row.server, QStringLiteral("bob"), QStringLiteral("pw"));
    ASSERT_TRUE(h.stream);
    EXPECT_EQ(h.stream->Host(), row.server);
    EXPECT_EQ(h.stream->Port(), 110);
    h.Settle();
    const QStringList want = {row.countLine, "You have successfully logged into " + row.server + ".",
                              "POP3 connection established."};
    EXPECT_EQ(h.log, want);
    // Dropped at once, without QUIT.
    EXPECT_EQ(h.written, QByteArray("CAPA\r\nUSER bob\r\nPASS pw\r\nSTAT\r\n"));
  }
}

// Port 110 whatever the socket held before, the account set anew on each start, and a
// new connection each time.
TEST(Pop3Login, EachStartSetsPortAndAccountAndConnectsAgain) {
  Harness h({"Z:"});
  h.login.start(QStringLiteral("a.example"), QStringLiteral("u1"), QStringLiteral("p1"));
  EXPECT_EQ(h.socket.Port(), 110);
  EXPECT_EQ(h.socket.Username(), QStringLiteral("u1"));
  h.login.start(QStringLiteral("b.example"), QStringLiteral("u2"), QStringLiteral("p2"));
  EXPECT_EQ(h.streams, 2);
  ASSERT_TRUE(h.stream);
  EXPECT_EQ(h.stream->Host(), QStringLiteral("b.example"));
  EXPECT_EQ(h.socket.Address(), QStringLiteral("b.example"));
  EXPECT_EQ(h.socket.Username(), QStringLiteral("u2"));
  EXPECT_EQ(h.socket.Password(), QStringLiteral("p2"));
}

TEST(Pop3Login, FailuresReportNothing) {
  struct Row {
    const char* name;
    QStringList script;
    QStringList want;
  } rows[] = {
      {"unreachable", {"U:"}, {}},
      {"closed_at_once", {"X:"}, {}},
      {"silent", {"Z:"}, {}},
      {"bad_greeting", {"S: -ERR busy"}, {}},
      {"refused_password",
       {"S: +OK", "C: CAPA", "S: -ERR", "C: USER bob", "S: +OK", "C: PASS pw", "S: -ERR [AUTH] failed"},
       {"POP3 connection established."}},
      {"closed_after_login",
       {"S: +OK", "C: CAPA", "S: -ERR", "C: USER bob", "S: +OK", "C: PASS pw", "S: +OK", "C: STAT", "X:"},
       {"You have successfully logged into pop.example.com.", "POP3 connection established."}},
  };
  for (const Row& row : rows) {
    Harness h(row.script);
    h.login.start(QStringLiteral("pop.example.com"), QStringLiteral("bob"), QStringLiteral("pw"));
    h.Settle();
    EXPECT_EQ(h.log, row.want) << row.name;
  }
}

TEST(Pop3Login, StartsForAnyUserNameButTheEmptyOne) {
  struct Row {
    QString username;
    bool start;
  } rows[] = {{QString(), false}, {QStringLiteral(""), false}, {QStringLiteral(" "), true}};
  for (const Row& row : rows)
    EXPECT_EQ(Pop3Login::ShouldStart(row.username), row.start) << row.username.size();
}

}  // namespace
