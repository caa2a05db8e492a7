// Pop3Login's restarts and failures. Its successful log-in (the three rows, newest first,
// and the line dropped without QUIT) is checked through the main window, in
// tests/ui/test_startup_pop3.cpp.
#include <gtest/gtest.h>

#include <QPointer>
#include <QStringList>

#include "mailing/Pop3Login.h"
#include "platform/POP3Socket.h"
#include "support/FakeByteStream.h"
#include "support/TestSupport.h"

namespace {

using mailing::Pop3Login;
using platform::POP3Socket;
using testing_support::FakeByteStream;

// Each start sets port 110 and the account anew and connects again, the last connection
// dropping the first; a failure reports nothing, so the log holds only what went well.
TEST(Pop3Login, RestartsAndFailures) {
  const std::pair<const char*, const char*> rows[] = {
      {"X:", ""},
      {"S: +OK|C: CAPA|S: -ERR|C: USER bob|S: +OK|C: PASS pw|S: -ERR [AUTH] failed",
       "POP3 connection established."},
      {"S: +OK|C: CAPA|S: -ERR|C: USER bob|S: +OK|C: PASS pw|S: +OK|C: STAT|X:",
       "You have successfully logged into pop.example.com. | POP3 connection established."},
  };
  for (const auto& [script, want] : rows) {
    POP3Socket socket;
    QStringList log;  // newest first, as SetSlug keeps it
    Pop3Login login{&socket, [&](const QString& text) { log.prepend(text); }};
    QObject::connect(&socket, &POP3Socket::ConnectionEstablished, &login,
                     &Pop3Login::POPSocket_ConnectionEstablished);
    QObject::connect(&socket, &POP3Socket::LoginSuccessful, &login, &Pop3Login::POPSocket_LoginSuccessful);
    QObject::connect(&socket, &POP3Socket::MessageCount, &login, &Pop3Login::POPSocket_MessageCount);
    QObject::connect(&socket, &POP3Socket::Disconnected, &login, &Pop3Login::POPSocket_Disconnected);
    socket.SetStepTimeout(50);
    socket.SetPort(995);
    QList<QPointer<FakeByteStream>> streams;
    socket.SetStreamFactory([&, script](const platform::TlsPolicy&) {
      auto s =
          std::make_unique<FakeByteStream>(FakeByteStream::ParseScript(QString(script).split('|')), true, 0);
      streams << s.get();
      return s;
    });
    login.start("a.example", "u1", "p1");
    login.start("pop.example.com", "bob", "pw");
    EXPECT_EQ(streams.last()->Host() + ":" + QString::number(streams.last()->Port()), "pop.example.com:110");
    testing_support::WaitUntil([&] { return !streams.last() || streams.last()->Aborted(); });
    EXPECT_EQ(log.join(" | ").toStdString(), want) << script;
    EXPECT_EQ(streams.size(), 2);
  }
}

}  // namespace
