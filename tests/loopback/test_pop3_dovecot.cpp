#include <gtest/gtest.h>

#include <QSslCertificate>
#include <QStringList>
#include <QTcpServer>

#include "loopback/DovecotServer.h"
#include "platform/POP3Socket.h"
#include "platform/TlsPolicy.h"
#include "support/TestSupport.h"

namespace {

using platform::POP3Socket;
using testing_support::DovecotServer;
using testing_support::HaveDovecot;

struct Outcome {
  QStringList events;
  int lastError = -1;
  bool encrypted = false;
};

// Logs in the way the program does: count on log-in, drop the line on the count.
Outcome LogIn(quint16 port, const QString& host, const QString& password, const QString& caFile) {
  Outcome outcome;
  POP3Socket socket;
  if (!caFile.isEmpty()) socket.SetTlsPolicy(platform::TlsPolicy{QSslCertificate::fromPath(caFile)});
  socket.SetAddress(host);
  socket.SetPort(port);
  socket.SetUsername(QStringLiteral("tester"));
  socket.SetPassword(password);
  bool done = false;
  QObject::connect(&socket, &POP3Socket::ConnectionEstablished, [&] { outcome.events << "established"; });
  QObject::connect(&socket, &POP3Socket::LoginSuccessful, [&] {
    outcome.events << "login";
    outcome.encrypted = socket.IsEncrypted();
    socket.CountMessages();
  });
  QObject::connect(&socket, &POP3Socket::MessageCount, [&](int count) {
    outcome.events << QStringLiteral("count %1").arg(count);
    socket.Disconnect();
    done = true;
  });
  QObject::connect(&socket, &POP3Socket::Disconnected, [&] {
    outcome.events << "disconnected";
    done = true;
  });
  QObject::connect(&socket, &POP3Socket::Error, [&](int code) {
    outcome.events << QStringLiteral("error %1").arg(code);
    done = true;
  });
  socket.Connect();
  testing_support::WaitUntil([&] { return done; }, 30000);
  outcome.lastError = socket.LastErrorCode();
  return outcome;
}

// Clear text on loopback, then STLS with the certificate checked: each server once.
TEST(Pop3Dovecot, LogIn) {
  if (!HaveDovecot()) GTEST_SKIP() << "dovecot is not installed";
  struct Row {
    const char* name;
    bool tls;
    QString host;
    QString password;
    bool trustTestCa;
    const char* events;
    int lastError;
  } rows[] = {
      {"right_password", false, "127.0.0.1", "secret word", false, "established | login | count 3", 0},
      {"wrong_password", false, "127.0.0.1", "wrong", false, "established | error 106",
       POP3Socket::LoginRefused},
      {"trusted", true, "127.0.0.1", "secret word", true, "established | login | count 2", 0},
      // The test certificate is for 127.0.0.1 only.
      {"name_mismatch", true, "localhost", "secret word", true, "established | error 107",
       POP3Socket::TlsFailed},
      {"untrusted", true, "127.0.0.1", "secret word", false, "established | error 107",
       POP3Socket::TlsFailed},
  };
  for (const bool tls : {false, true}) {
    DovecotServer server(tls, tls ? 2 : 3);
    ASSERT_TRUE(server.Ready()) << server.Diagnostics().toStdString();
    for (const Row& row : rows) {
      if (row.tls != tls) continue;
      const Outcome outcome =
          LogIn(server.Port(), row.host, row.password, row.trustTestCa ? server.Certificate() : QString());
      EXPECT_EQ(outcome.events.join(" | "), QString::fromUtf8(row.events))
          << row.name << "\n"
          << server.Diagnostics().toStdString();
      EXPECT_EQ(outcome.lastError, row.lastError) << row.name;
      EXPECT_EQ(outcome.encrypted, tls && row.lastError == 0) << row.name;
    }
  }
}

// Nothing listening, or no server name at all (a user name set without a server): the
// log-in ends with "cannot connect" and nothing else.
TEST(Pop3Dovecot, NoServerToReach) {
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
  const quint16 port = probe.serverPort();
  probe.close();
  for (const QString& host : {QStringLiteral("127.0.0.1"), QString()}) {
    const Outcome outcome = LogIn(port, host, QStringLiteral("x"), QString());
    EXPECT_EQ(outcome.events, QStringList{"error 103"}) << host.toStdString();
    EXPECT_EQ(outcome.lastError, POP3Socket::CannotConnect) << host.toStdString();
  }
}

}  // namespace
