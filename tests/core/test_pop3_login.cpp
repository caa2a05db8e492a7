#include <gtest/gtest.h>

#include <QStringList>

#include "mailing/Pop3Login.h"
#include "platform/POP3Socket.h"
#include "support/FakePop3Transport.h"

namespace {

using mailing::Pop3Login;
using platform::POP3Socket;
using testing_support::FakePop3Transport;

// The message log as SetSlug keeps it: newest row first.
struct Log {
  QStringList rows;
  Pop3Login::Report Reporter() {
    return [this](const QString& text) { rows.prepend(text); };
  }
};

// Plays a server on loopback that accepts bob and holds `count` messages.
void PlayServer(FakePop3Transport* fake, const QByteArray& statReply) {
  fake->Accept();
  fake->Send("+OK ready\r\n");
  EXPECT_EQ(fake->written, QByteArray("CAPA\r\n"));
  fake->written.clear();
  fake->Send("+OK\r\nUSER\r\n.\r\n");
  fake->Send("+OK\r\n");
  fake->Send("+OK logged in\r\n");
  EXPECT_EQ(fake->written, QByteArray("USER bob\r\nPASS pw\r\nSTAT\r\n"));
  fake->written.clear();
  fake->Send(statReply);
}

TEST(Pop3Login, SuccessfulLoginLeavesThreeRowsNewestFirst) {
  struct Row {
    QString server;
    QByteArray stat;
    QString countLine;
  } rows[] = {
      {"pop.example.com", "+OK 3 1200\r\n", "You have 3 new messages in your inbox."},
      {"", "+OK 0 0\r\n", "You have 0 new messages in your inbox."},
      {"Mail.Example.NET ", "+OK 1 5\r\n", "You have 1 new messages in your inbox."},
  };
  for (const Row& row : rows) {
    auto* fake = new FakePop3Transport;
    fake->loopback = true;
    POP3Socket socket(fake);
    Log log;
    Pop3Login login(&socket, log.Reporter());
    login.start(row.server, QStringLiteral("bob"), QStringLiteral("pw"));
    EXPECT_EQ(fake->host, row.server);
    EXPECT_EQ(fake->port, 110);
    PlayServer(fake, row.stat);
    const QStringList want = {row.countLine, "You have successfully logged into " + row.server + ".",
                              "POP3 connection established."};
    EXPECT_EQ(log.rows, want);
    // Dropped without QUIT.
    EXPECT_EQ(fake->written, QByteArray());
    EXPECT_EQ(fake->aborts, 1);
    // The server's later close is not reported.
    fake->Close();
    EXPECT_EQ(log.rows.size(), 3);
  }
}

// Port 110 whatever the socket held before, and the account set anew on each start.
TEST(Pop3Login, EachStartSetsPortAndAccountAndConnectsAgain) {
  auto* fake = new FakePop3Transport;
  POP3Socket socket(fake);
  socket.SetPort(995);
  Log log;
  Pop3Login login(&socket, log.Reporter());
  login.start(QStringLiteral("a.example"), QStringLiteral("u1"), QStringLiteral("p1"));
  EXPECT_EQ(socket.Port(), 110);
  EXPECT_EQ(socket.Username(), QStringLiteral("u1"));
  login.start(QStringLiteral("b.example"), QStringLiteral("u2"), QStringLiteral("p2"));
  EXPECT_EQ(fake->connects, 2);
  EXPECT_EQ(fake->host, QStringLiteral("b.example"));
  EXPECT_EQ(socket.Address(), QStringLiteral("b.example"));
  EXPECT_EQ(socket.Username(), QStringLiteral("u2"));
  EXPECT_EQ(socket.Password(), QStringLiteral("p2"));
}

TEST(Pop3Login, FailuresReportNothing) {
  struct Row {
    const char* name;
    std::function<void(FakePop3Transport*)> server;
    QStringList want;
  } rows[] = {
      {"unreachable", [](FakePop3Transport* f) { f->Refuse(); }, {}},
      {"closed", [](FakePop3Transport* f) { f->Close(); }, {}},
      {"refused_password",
       [](FakePop3Transport* f) {
         f->Accept();
         f->Send("+OK\r\n-ERR\r\n+OK\r\n-ERR [AUTH] failed\r\n");
       },
       {"POP3 connection established."}},
      {"bad_greeting",
       [](FakePop3Transport* f) {
         f->Accept();
         f->Send("-ERR busy\r\n");
       },
       {}},
  };
  for (const Row& row : rows) {
    auto* fake = new FakePop3Transport;
    fake->loopback = true;
    POP3Socket socket(fake);
    Log log;
    Pop3Login login(&socket, log.Reporter());
    login.start(QStringLiteral("pop.example.com"), QStringLiteral("bob"), QStringLiteral("pw"));
    row.server(fake);
    EXPECT_EQ(log.rows, row.want) << row.name;
  }
}

TEST(Pop3Login, StartsForAnyUserNameButTheEmptyOne) {
  struct Row {
    QString username;
    bool start;
  } rows[] = {{QString(), false},
              {QStringLiteral(""), false},
              {QStringLiteral(" "), true},
              {QStringLiteral("   "), true},
              {QStringLiteral("bob"), true}};
  for (const Row& row : rows)
    EXPECT_EQ(Pop3Login::ShouldStart(row.username), row.start) << row.username.size();
}

}  // namespace
