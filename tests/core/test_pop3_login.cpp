// Pop3Login's failures and restarts. Its successful log-in (the three rows, newest first,
// and the line dropped without QUIT) is checked through the main window, in
// tests/ui/test_startup_pop3.cpp.
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
  }
  // Lets the scripted server play until the client has nothing more to wait for.
  void Settle() {
    testing_support::WaitUntil([this] { return !stream || stream->Aborted(); }, 5000);
  }
};

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

}  // namespace
