// POP3: the reply parsers; the client against a scripted server (FakeByteStream's steps in
// one string split at '|').
#include <gtest/gtest.h>

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "platform/POP3Socket.h"
#include "platform/Pop3Reply.h"
#include "support/FakeByteStream.h"
#include "support/TestSupport.h"

namespace {

using platform::POP3Socket;
using testing_support::FakeByteStream;

// What the parser reads: "+OK text", "-ERR text", "bad" or "incomplete", then "/bytes consumed".
std::string Read(const QByteArray& bytes) {
  const platform::Pop3Reply r = platform::ParsePop3Reply(bytes);
  const char* status[] = {"incomplete", "bad", "+OK", "-ERR"};
  return QString("%1 %2/%3").arg(status[int(r.status)], r.text).arg(r.consumed).toStdString();
}

TEST(Pop3Reply, StatusLines) {
  const std::pair<QByteArray, std::string> rows[] = {
      {"+OK ready", "incomplete /0"},
      {"+OK ready\r\n", "+OK ready/11"},
      {"+OK\r\n-ERR next", "+OK /5"},
      {"+OK bare lf\nmore", "+OK bare lf/12"},
      {"-ERR [AUTH] bad password\r\n", "-ERR [AUTH] bad password/26"},
      {"+OKAY\r\n", "bad /7"},
      {"+ok lower\r\n", "bad /11"},
      // A line is at most 512 bytes with its CR LF.
      {"+OK " + QByteArray(506, 'x') + "\r\n", "+OK " + std::string(506, 'x') + "/512"},
      {"+OK " + QByteArray(507, 'x') + "\r\n", "bad /0"},
      {QByteArray(511, 'x'), "incomplete /0"},
  };
  for (const auto& [bytes, want] : rows) EXPECT_EQ(Read(bytes), want) << bytes.left(40).constData();
}

// Each row: a STAT reply => the count and size read from it, nothing where it is refused.
TEST(Pop3Reply, StatIsReadStrictly) {
  for (const QString row : {"+OK 2 320 => 2 320", "+OK 2147483647 99999999999 => 2147483647 99999999999",
                            "+OK 2147483648 1 => ", "+OK 1 9223372036854775808 => ", "+OK 2 320 extra => ",
                            "+OK 2  320 => ", "+OK 2 => ", "+OK -2 320 => ", "-ERR 2 320 => "}) {
    const QStringList parts = row.split(" => ");
    const auto stat = platform::ParsePop3Stat(parts[0].toLatin1());
    EXPECT_EQ((stat ? QString("%1 %2").arg(stat->count).arg(stat->size) : "").toStdString(),
              parts[1].toStdString())
        << row.toStdString();
  }
}

std::unique_ptr<FakeByteStream> Server(const QString& script, bool loopback = true, qsizetype cut = 0) {
  return std::make_unique<FakeByteStream>(FakeByteStream::ParseScript(script.split('|')), loopback, cut);
}

const QString kGreet = "S: +OK Dovecot ready.|";
const QString kCapaStls = "C: CAPA|S: +OK Capability list follows|S: TOP|S: stls|S: SASL PLAIN|S: .|";
const QString kCapaPlain = "C: CAPA|S: +OK|S: USER|S: UIDL|S: .|";
const QString kUserPass = "C: USER bob|S: +OK|C: PASS s3cret pw|";
const QString kLogin = kUserPass + "S: +OK Logged in.|";
const QString kStat = "C: STAT|S: ";

struct Transcript {
  const char* name;
  bool loopback;
  QString script;
  const char* events;  // what the client raised, in order; LastErrorCode follows the last
};

const QString kPlain = kGreet + kCapaPlain;
const Transcript kTranscripts[] = {
    {"no STLS, remote host: refused", false, kPlain, "established | error 109"},
    {"no CAPA, loopback", true, kGreet + "C: CAPA|S: -ERR unknown command|" + kLogin + kStat + "+OK 1 10",
     "established | login | count 1"},
    {"bad user", true, kPlain + "C: USER bob|S: -ERR no such user", "established | error 106"},
    {"greeting -ERR", true, "S: -ERR too many connections", "error 104"},
    {"greeting not POP3", true, "S: * OK IMAP4rev1 ready", "error 105"},
    {"STAT malformed", true, kPlain + kLogin + kStat + "+OK 3", "established | login | error 105"},
    {"STAT refused", true, kPlain + kLogin + kStat + "-ERR locked", "established | login | error 130"},
    {"capability line too long", true, kGreet + "C: CAPA|S: +OK|S: " + QString(600, 'y'),
     "established | error 105"},
    {"STLS refused", false, kGreet + kCapaStls + "C: STLS|S: -ERR not now", "established | error 107"},
    // Bytes after the go-ahead, in its segment or after, arrive in clear text and are
    // never taken as replies.
    {"clear text after STLS dropped", false,
     kGreet + kCapaStls + "C: STLS|S: +OK Begin TLS\\r\\n+OK injected|S: +OK injected too|T:|" + kLogin +
         kStat + "+OK 4 40",
     "established | login | count 4"},
    {"server closes", true, kGreet + "C: CAPA|X:", "established | disconnected"},
    {"unreachable", true, "U:", "error 103"},
    {"silent server", true, "Z:", "error 101"},
    {"silent after the password", true, kPlain + kUserPass + "Z:", "established | error 101"},
};

// A POP3 socket whose n-th connection goes to the n-th script; at each event it records
// what the client has written so far.
struct Client : testing_support::Pop3Recorder {
  QList<QPointer<FakeByteStream>> streams;
  QByteArray written;
  std::function<void(Client&)> inside;

  explicit Client(const QStringList& scripts, bool loopback = true, qsizetype cut = 0) {
    socket->SetStreamFactory([=, this](const platform::TlsPolicy&) {
      auto stream = Server(scripts.value(streams.size()), loopback, cut);
      streams << stream.get();
      return stream;
    });
    socket->SetStepTimeout(20);
    socket->SetAddress("pop.example.com");
    socket->SetUsername("bob");
    socket->SetPassword("s3cret pw");
    onEvent = [this] {
      if (!streams.isEmpty() && streams.last()) written = streams.last()->Written();
      if (inside) inside(*this);
    };
  }
};

TEST(Pop3Socket, TranscriptsWholeAndSplitAtEveryByte) {
  for (const Transcript& t : kTranscripts) {
    const auto steps = FakeByteStream::ParseScript(t.script.split('|'));
    // What the client must write, and nothing more: no QUIT after Disconnect, no
    // credentials after a refusal.
    const QByteArray want = FakeByteStream::ExpectedClientBytes(steps);
    const QString last = QString(t.events).section(" | ", -1);
    const int error = last == "disconnected"     ? POP3Socket::ServerClosed
                      : last.startsWith("error") ? last.mid(6).toInt()
                                                 : 0;
    for (qsizetype cut = 0; cut <= FakeByteStream::ServerByteCount(steps); ++cut) {
      Client c({t.script}, t.loopback, cut);
      c.ConnectAndWait();
      EXPECT_EQ(c.events.join(" | ").toStdString(), t.events) << t.name << ", cut at " << cut;
      EXPECT_EQ(c.socket->LastErrorCode(), error) << t.name << ", cut at " << cut;
      EXPECT_EQ(c.written.toStdString(), want.toStdString()) << t.name << ", cut at " << cut;
      if (HasFailure()) return;  // one cut's story is enough
    }
  }
}

TEST(Pop3Socket, UnsafeCredentialsAndBadPortsConnectNowhere) {
  const std::tuple<QString, QString, int, const char*> rows[] = {
      // user name, password, port, events
      {"bob\r\nDELE 1", "pw", 110, "error 132"},
      {"bob", "pw\nQUIT", 110, "error 132"},
      {"bob", QString(QChar(0)), 110, "error 132"},
      {"bob", "pw", 0, "error 111"},
      {"bob", "pw", 70000, "error 111"},
  };
  for (const auto& [username, password, port, events] : rows) {
    SCOPED_TRACE((username + " / " + password + " / " + QString::number(port)).toStdString());
    Client c({"Z:"});
    c.socket->SetUsername(username);
    c.socket->SetPassword(password);
    c.socket->SetPort(port);
    c.socket->Connect();
    EXPECT_EQ(c.events.join(" | ").toStdString(), events);
    EXPECT_EQ(c.streams.size(), 0);
  }
  POP3Socket socket;
  socket.CountMessages();  // before the log-in: nothing is sent
  EXPECT_EQ(socket.LastErrorCode(), POP3Socket::NotLoggedIn);
}

// Connecting again drops the old connection, whose later bytes raise nothing, and runs
// a fresh dialogue on a new stream.
TEST(Pop3Socket, ReconnectStartsAFreshDialogue) {
  Client c({"S: +OK one|C: CAPA|S: +OK|S: .|C: USER bob|S: +OK",
            "S: +OK two|" + kCapaPlain + kLogin + kStat + "+OK 5 50"});
  c.inside = [](Client& c) {
    if (c.streams.size() == 1) c.socket->Connect();
  };
  c.ConnectAndWait();
  EXPECT_EQ(c.events.join(" | ").toStdString(), "established | established | login | count 5");
  EXPECT_EQ(c.streams.size(), 2);
  EXPECT_EQ(!c.streams[0] || c.streams[0]->Aborted(), true);
}

// A handler runs the event loop, and meanwhile the socket's owner goes away (its window
// closed): the socket must not touch itself after the event returns.
TEST(Pop3Socket, SocketDeletedWhileAHandlerRunsTheEventLoop) {
  for (const QString event : {"established", "login", "count 3"}) {
    Client c({kPlain + kLogin + kStat + "+OK 3 1200|Z:"}, true, -1);
    c.inside = [&](Client& c) {
      if (c.events.last() != event) return;
      QTimer::singleShot(0, [&] { delete c.socket.data(); });
      testing_support::WaitUntil([&] { return c.socket.isNull(); });
    };
    c.ConnectAndWait();
    EXPECT_EQ(c.events.last().toStdString(), event.toStdString());
  }
}

}  // namespace
