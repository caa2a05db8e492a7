#include <gtest/gtest.h>

#include <QPointer>
#include <QStringList>
#include <QTimer>

#include "platform/POP3Socket.h"
#include "support/FakeByteStream.h"
#include "support/TestSupport.h"

// Readable failure messages for Qt strings and string lists.
void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace {

using platform::POP3Socket;
using testing_support::FakeByteStream;

// A transcript in FakeByteStream's notation (S: server line, C: client line, T:/F: TLS
// handshake succeeds/fails, X: server closes, Z: server goes silent, U: unreachable).
// The client is driven like the program drives it: CountMessages on LoginSuccessful,
// Disconnect on MessageCount.
struct Transcript {
  const char* name;
  bool loopback;
  QStringList steps;
  const char* events;  // what the client raised, in order; LastErrorCode follows the last
};

void PrintTo(const Transcript& t, std::ostream* os) {
  *os << t.name;
}

const QStringList kGreet = {"S: +OK Dovecot ready."};
const QStringList kCapaStls = {
    "C: CAPA", "S: +OK Capability list follows", "S: TOP", "S: stls", "S: SASL PLAIN", "S: ."};
const QStringList kCapaPlain = {"C: CAPA", "S: +OK", "S: USER", "S: UIDL", "S: ."};
const QStringList kLogin = {"C: USER bob", "S: +OK", "C: PASS s3cret pw", "S: +OK Logged in."};
const QStringList kStls = {"C: STLS", "S: +OK Begin TLS negotiation now.", "T:"};

QStringList Stat(const QString& reply) {
  return {"C: STAT", "S: " + reply};
}

std::vector<Transcript> Transcripts() {
  const QStringList plain = kGreet + kCapaPlain;
  return {
      {"loopback_without_stls", true, plain + kLogin + Stat("+OK 3 1200"), "established | login | count 3"},
      {"stls_offered", false, kGreet + kCapaStls + kStls + kLogin + Stat("+OK 0 0"),
       "established | login | count 0"},
      {"stls_used_on_loopback_too", true, kGreet + kCapaStls + kStls + kLogin + Stat("+OK 12 99999"),
       "established | login | count 12"},
      {"no_stls_remote_host_refused", false, plain, "established | error 109"},
      {"no_capa_loopback", true,
       kGreet + QStringList{"C: CAPA", "S: -ERR unknown command"} + kLogin + Stat("+OK 1 10"),
       "established | login | count 1"},
      {"no_capa_remote_host_refused", false, kGreet + QStringList{"C: CAPA", "S: -ERR"},
       "established | error 109"},
      {"bad_password", true,
       plain +
           QStringList{"C: USER bob", "S: +OK", "C: PASS s3cret pw", "S: -ERR [AUTH] Authentication failed."},
       "established | error 106"},
      {"bad_user", true, plain + QStringList{"C: USER bob", "S: -ERR no such user"},
       "established | error 106"},
      {"greeting_err", true, {"S: -ERR too many connections"}, "error 104"},
      {"greeting_not_pop3", true, {"S: * OK IMAP4rev1 ready"}, "error 105"},
      {"stat_malformed", true, plain + kLogin + Stat("+OK 3"), "established | login | error 105"},
      {"stat_refused", true, plain + kLogin + Stat("-ERR locked"), "established | login | error 130"},
      {"capability_line_too_long", true,
       kGreet + QStringList{"C: CAPA", "S: +OK", "S: " + QString(600, QLatin1Char('y'))},
       "established | error 105"},
      {"stls_refused", false, kGreet + kCapaStls + QStringList{"C: STLS", "S: -ERR not now"},
       "established | error 107"},
      {"tls_handshake_fails", false, kGreet + kCapaStls + QStringList{"C: STLS", "S: +OK", "F:"},
       "established | error 107"},
      // Bytes after the go-ahead, in its segment or after, arrive in clear text and are
      // never taken as replies.
      {"clear_text_after_stls_dropped", false,
       kGreet + kCapaStls +
           QStringList{"C: STLS", "S: +OK Begin TLS\\r\\n+OK injected", "S: +OK injected too", "T:"} +
           kLogin + Stat("+OK 4 40"),
       "established | login | count 4"},
      {"server_closes_after_greeting", true, kGreet + QStringList{"C: CAPA", "X:"},
       "established | disconnected"},
      {"server_closes_before_greeting", true, {"X:"}, "disconnected"},
      {"refused", true, {"U:"}, "error 103"},
      {"silent_server", true, {"Z:"}, "error 101"},
      {"silent_after_password", true, plain + QStringList{"C: USER bob", "S: +OK", "C: PASS s3cret pw", "Z:"},
       "established | error 101"},
  };
}

struct Replay {
  QStringList events;
  int lastError = -1;
  QByteArray written;
  int streams = 0;
};

// Replays `t` with the server's output cut once more at byte `cut`.
Replay ReplayTranscript(const Transcript& t, qsizetype cut) {
  Replay replay;
  const auto steps = FakeByteStream::ParseScript(t.steps);
  QPointer<FakeByteStream> fake;
  POP3Socket socket;
  socket.SetStreamFactory([&](const platform::TlsPolicy&) {
    ++replay.streams;
    auto stream = std::make_unique<FakeByteStream>(steps, t.loopback, cut);
    fake = stream.get();
    return stream;
  });
  socket.SetStepTimeout(20);
  socket.SetAddress(QStringLiteral("pop.example.com"));
  socket.SetUsername(QStringLiteral("bob"));
  socket.SetPassword(QStringLiteral("s3cret pw"));
  bool ended = false;
  auto end = [&] {
    if (fake) replay.written = fake->Written();
    ended = true;
  };
  QObject::connect(&socket, &POP3Socket::ConnectionEstablished, [&] { replay.events << "established"; });
  QObject::connect(&socket, &POP3Socket::LoginSuccessful, [&] {
    replay.events << "login";
    socket.CountMessages();
  });
  QObject::connect(&socket, &POP3Socket::MessageCount, [&](int count) {
    replay.events << QStringLiteral("count %1").arg(count);
    socket.Disconnect();
    end();
  });
  QObject::connect(&socket, &POP3Socket::Disconnected, [&] {
    replay.events << "disconnected";
    end();
  });
  QObject::connect(&socket, &POP3Socket::Error, [&](int code) {
    replay.events << QStringLiteral("error %1").arg(code);
    end();
  });
  socket.Connect();
  EXPECT_TRUE(fake && fake->Port() == 110 && fake->Host() == QStringLiteral("pop.example.com"));
  testing_support::WaitUntil([&] { return ended; }, 10000);
  replay.lastError = socket.LastErrorCode();
  return replay;
}

class Pop3Transcript : public ::testing::TestWithParam<Transcript> {};

TEST_P(Pop3Transcript, ReplaysWholeAndSplitAtEveryByte) {
  const Transcript& t = GetParam();
  const auto steps = FakeByteStream::ParseScript(t.steps);
  // What the client must write, and nothing more: no QUIT after Disconnect, no
  // credentials after a refusal.
  const QByteArray wantWritten = FakeByteStream::ExpectedClientBytes(steps);
  const qsizetype total = FakeByteStream::ServerByteCount(steps);
  const QString lastEvent = QString::fromUtf8(t.events).section(QStringLiteral(" | "), -1);
  const int lastError = lastEvent == QLatin1String("disconnected")      ? POP3Socket::ServerClosed
                        : lastEvent.startsWith(QLatin1String("error ")) ? lastEvent.mid(6).toInt()
                                                                        : 0;
  for (qsizetype cut = 0; cut <= total; ++cut) {
    const Replay replay = ReplayTranscript(t, cut);
    EXPECT_EQ(replay.written, wantWritten) << "cut at " << cut;
    EXPECT_EQ(replay.streams, 1) << "cut at " << cut;
    EXPECT_EQ(replay.events.join(" | "), QString::fromUtf8(t.events)) << "cut at " << cut;
    EXPECT_EQ(replay.lastError, lastError) << "cut at " << cut;
    if (HasFailure()) break;  // one cut's story is enough
  }
}

INSTANTIATE_TEST_SUITE_P(Dialogues, Pop3Transcript, ::testing::ValuesIn(Transcripts()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Pop3Socket, UnsafeCredentialsAndBadPortsConnectNowhere) {
  struct Row {
    QString username;
    QString password;
    int port;
    int error;
  } rows[] = {
      {"bob\r\nDELE 1", "pw", 110, POP3Socket::UnsafeCredential},
      {"bob", "pw\nQUIT", 110, POP3Socket::UnsafeCredential},
      {"bob", QString(QChar(0)), 110, POP3Socket::UnsafeCredential},
      {"bob", "pw", 0, POP3Socket::InvalidPort},
      {"bob", "pw", 70000, POP3Socket::InvalidPort},
  };
  for (const Row& row : rows) {
    POP3Socket socket;
    int streams = 0;
    socket.SetStreamFactory([&](const platform::TlsPolicy&) {
      ++streams;
      return std::make_unique<FakeByteStream>(FakeByteStream::ParseScript({"Z:"}), true, 0);
    });
    int errors = 0;
    QObject::connect(&socket, &POP3Socket::Error, [&](int) { ++errors; });
    socket.SetUsername(row.username);
    socket.SetPassword(row.password);
    socket.SetPort(row.port);
    socket.Connect();
    EXPECT_EQ(socket.LastErrorCode(), row.error);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(streams, 0);
  }
}

TEST(Pop3Socket, CountBeforeLoginSendsNothing) {
  POP3Socket socket;
  EXPECT_EQ(socket.Port(), 110);
  socket.CountMessages();
  EXPECT_EQ(socket.LastErrorCode(), POP3Socket::NotLoggedIn);
}

// Connecting again drops the old connection, whose later bytes raise nothing, and runs
// a fresh dialogue on a new stream.
TEST(Pop3Socket, ReconnectStartsAFreshDialogue) {
  const QStringList first = {"S: +OK one", "C: CAPA", "S: +OK", "S: .", "C: USER bob", "S: +OK"};
  const QStringList second =
      QStringList{"S: +OK two"} + kCapaPlain +
      QStringList{"C: USER bob", "S: +OK", "C: PASS pw", "S: +OK", "C: STAT", "S: +OK 5 50"};
  QList<QPointer<FakeByteStream>> streams;
  POP3Socket socket;
  socket.SetStreamFactory([&](const platform::TlsPolicy&) {
    auto stream = std::make_unique<FakeByteStream>(
        FakeByteStream::ParseScript(streams.isEmpty() ? first : second), true, 0);
    streams.append(stream.get());
    return stream;
  });
  socket.SetUsername(QStringLiteral("bob"));
  socket.SetPassword(QStringLiteral("pw"));
  QStringList events;
  QObject::connect(&socket, &POP3Socket::ConnectionEstablished, [&] {
    events << "established";
    if (streams.size() == 1) socket.Connect();
  });
  QObject::connect(&socket, &POP3Socket::LoginSuccessful, [&] {
    events << "login";
    socket.CountMessages();
  });
  QObject::connect(&socket, &POP3Socket::MessageCount, [&](int count) {
    events << QStringLiteral("count %1").arg(count);
    socket.Disconnect();
  });
  socket.Connect();
  testing_support::WaitUntil([&] { return events.size() >= 4; }, 5000);
  EXPECT_EQ(events, (QStringList{"established", "established", "login", "count 5"}));
  ASSERT_EQ(streams.size(), 2);
  EXPECT_TRUE(!streams[0] || streams[0]->Aborted());
}

// A handler runs the event loop, and meanwhile the socket's owner goes away (its window
// closed): the socket must not touch itself after the event returns.
TEST(Pop3Socket, SocketDeletedWhileAHandlerRunsTheEventLoop) {
  for (const char* event : {"established", "login", "count"}) {
    SCOPED_TRACE(event);
    QPointer<POP3Socket> socket = new POP3Socket;
    socket->SetStreamFactory([](const platform::TlsPolicy&) {
      return std::make_unique<FakeByteStream>(
          FakeByteStream::ParseScript(kGreet + kCapaPlain + kLogin + Stat("+OK 3 1200") + QStringList{"Z:"}),
          true, -1);
    });
    socket->SetUsername(QStringLiteral("bob"));
    socket->SetPassword(QStringLiteral("s3cret pw"));
    QStringList events;
    const auto handle = [&](const QString& name) {
      events << name;
      if (name != QLatin1String(event)) return;
      QTimer::singleShot(0, [&] { delete socket.data(); });
      testing_support::WaitUntil([&] { return socket.isNull(); });
    };
    QObject::connect(socket, &POP3Socket::ConnectionEstablished, [&] { handle("established"); });
    QObject::connect(socket, &POP3Socket::LoginSuccessful, [&] {
      handle("login");
      if (socket) socket->CountMessages();
    });
    QObject::connect(socket, &POP3Socket::MessageCount, [&](int) { handle("count"); });
    socket->Connect();
    testing_support::WaitUntil([&] { return socket.isNull(); });
    EXPECT_EQ(events.last(), QString::fromLatin1(event));
  }
}

}  // namespace
