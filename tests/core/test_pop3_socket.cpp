#include <gtest/gtest.h>

#include <QPointer>
#include <QStringList>

#include "platform/POP3Socket.h"
#include "support/FakePop3Transport.h"
#include "support/TestSupport.h"

namespace {

using platform::POP3Socket;
using testing_support::FakePop3Transport;

// A transcript, one step a line:
//   "S: text"  the server sends text and CR LF     "C: text"  the client must have sent it
//   "S+ text"  the server sends text without CR LF  "TLS" / "TLS FAILS"  the handshake
//   "CLOSE"    the server closes                     "SILENCE"  the server says nothing more
//   "REFUSED"  the connection is refused (first line only)
// The client is driven like the program drives it: CountMessages on LoginSuccessful,
// Disconnect on MessageCount.
struct Transcript {
  const char* name;
  bool loopback;
  QStringList steps;
  QStringList events;  // what the client raised, in order
  int lastError;
};

void PrintTo(const Transcript& t, std::ostream* os) {
  *os << t.name;
}

const QStringList kCapaStls = {
    "C: CAPA", "S: +OK Capability list follows", "S: TOP", "S: stls", "S: SASL PLAIN", "S: ."};
const QStringList kCapaPlain = {"C: CAPA", "S: +OK", "S: USER", "S: UIDL", "S: ."};

const QStringList kLogin = {"C: USER bob", "S: +OK", "C: PASS s3cret pw", "S: +OK Logged in."};

std::vector<Transcript> Transcripts() {
  const QStringList greet = {"S: +OK Dovecot ready."};
  const QStringList stls = {"C: STLS", "S: +OK Begin TLS negotiation now.", "TLS"};
  return {
      {"loopback_without_stls",
       true,
       greet + kCapaPlain + kLogin + QStringList{"C: STAT", "S: +OK 3 1200"},
       {"established", "login", "count 3"},
       0},
      {"stls_offered",
       false,
       greet + kCapaStls + stls + kLogin + QStringList{"C: STAT", "S: +OK 0 0"},
       {"established", "login", "count 0"},
       0},
      {"stls_used_on_loopback_too",
       true,
       greet + kCapaStls + stls + kLogin + QStringList{"C: STAT", "S: +OK 12 99999"},
       {"established", "login", "count 12"},
       0},
      {"no_stls_remote_host_refused", false, greet + kCapaPlain, {"established", "error 113"}, 113},
      {"no_capa_loopback",
       true,
       greet + QStringList{"C: CAPA", "S: -ERR unknown command"} + kLogin +
           QStringList{"C: STAT", "S: +OK 1 10"},
       {"established", "login", "count 1"},
       0},
      {"no_capa_remote_host_refused",
       false,
       greet + QStringList{"C: CAPA", "S: -ERR"},
       {"established", "error 113"},
       113},
      {"bad_password",
       true,
       greet + kCapaPlain +
           QStringList{"C: USER bob", "S: +OK", "C: PASS s3cret pw", "S: -ERR [AUTH] Authentication failed."},
       {"established", "error 112"},
       112},
      {"bad_user",
       true,
       greet + kCapaPlain + QStringList{"C: USER bob", "S: -ERR no such user"},
       {"established", "error 112"},
       112},
      {"greeting_err", true, {"S: -ERR too many connections"}, {"error 110"}, 110},
      {"greeting_not_pop3", true, {"S: * OK IMAP4rev1 ready"}, {"error 111"}, 111},
      {"greeting_too_long", true, {"S+ +OK " + QString(600, QLatin1Char('x'))}, {"error 111"}, 111},
      {"stat_malformed",
       true,
       greet + kCapaPlain + kLogin + QStringList{"C: STAT", "S: +OK 3"},
       {"established", "login", "error 111"},
       111},
      {"stat_trailing_text",
       true,
       greet + kCapaPlain + kLogin + QStringList{"C: STAT", "S: +OK 3 20 x"},
       {"established", "login", "error 111"},
       111},
      {"stat_refused",
       true,
       greet + kCapaPlain + kLogin + QStringList{"C: STAT", "S: -ERR locked"},
       {"established", "login", "error 115"},
       115},
      {"capability_line_too_long",
       true,
       greet + QStringList{"C: CAPA", "S: +OK", "S+ " + QString(600, QLatin1Char('y'))},
       {"established", "error 111"},
       111},
      {"stls_refused",
       false,
       greet + kCapaStls + QStringList{"C: STLS", "S: -ERR not now"},
       {"established", "error 114"},
       114},
      {"tls_handshake_fails",
       false,
       greet + kCapaStls + QStringList{"C: STLS", "S: +OK", "TLS FAILS"},
       {"established", "error 114"},
       114},
      // Bytes after the go-ahead arrive in clear text and are never taken as replies.
      {"clear_text_after_stls_dropped",
       false,
       greet + kCapaStls +
           QStringList{"C: STLS", "S: +OK Begin TLS", "S: +OK injected", "TLS", "C: USER bob", "S: +OK",
                       "C: PASS s3cret pw", "S: +OK", "C: STAT", "S: +OK 4 40"},
       {"established", "login", "count 4"},
       0},
      {"server_closes_after_greeting",
       true,
       greet + QStringList{"C: CAPA", "CLOSE"},
       {"established", "disconnected"},
       102},
      {"server_closes_before_greeting", true, {"CLOSE"}, {"disconnected"}, 102},
      {"refused", true, {"REFUSED"}, {"error 103"}, 103},
      {"silent_server", true, {"SILENCE"}, {"error 104"}, 104},
      {"silent_after_password",
       true,
       greet + kCapaPlain + QStringList{"C: USER bob", "S: +OK", "C: PASS s3cret pw", "SILENCE"},
       {"established", "error 104"},
       104},
      {"bare_lf_server",
       true,
       greet + kCapaPlain + kLogin + QStringList{"C: STAT", "S+ +OK 2 5\n"},
       {"established", "login", "count 2"},
       0},
  };
}

// The server's bytes of a transcript, in order, so a replay can cut them at any byte.
qsizetype ServerBytes(const QStringList& steps) {
  qsizetype total = 0;
  for (const QString& step : steps) {
    if (step.startsWith(QLatin1String("S: "))) total += step.toUtf8().size() - 3 + 2;
    if (step.startsWith(QLatin1String("S+ "))) total += step.toUtf8().size() - 3;
  }
  return total;
}

struct Replay {
  QStringList events;
  int lastError = -1;
  QString failure;  // a mismatch in what the client wrote
};

// Replays `t` with the server's output cut into two segments at byte `cut`.
Replay ReplayTranscript(const Transcript& t, qsizetype cut) {
  Replay replay;
  auto* fake = new FakePop3Transport;
  fake->loopback = t.loopback;
  POP3Socket socket(fake);
  socket.SetStepTimeout(20);
  socket.SetAddress(QStringLiteral("pop.example.com"));
  socket.SetUsername(QStringLiteral("bob"));
  socket.SetPassword(QStringLiteral("s3cret pw"));
  bool ended = false;
  QObject::connect(&socket, &POP3Socket::ConnectionEstablished, [&] { replay.events << "established"; });
  QObject::connect(&socket, &POP3Socket::LoginSuccessful, [&] {
    replay.events << "login";
    socket.CountMessages();
  });
  QObject::connect(&socket, &POP3Socket::MessageCount, [&](int count) {
    replay.events << QStringLiteral("count %1").arg(count);
    socket.Disconnect();
    ended = true;
  });
  QObject::connect(&socket, &POP3Socket::Disconnected, [&] {
    replay.events << "disconnected";
    ended = true;
  });
  QObject::connect(&socket, &POP3Socket::Error, [&](int code) {
    replay.events << QStringLiteral("error %1").arg(code);
    ended = true;
  });

  socket.Connect();
  EXPECT_EQ(fake->connects, 1);
  EXPECT_EQ(fake->port, 110);
  if (t.steps.value(0) == QLatin1String("REFUSED")) {
    fake->Refuse();
  } else {
    fake->Accept();
  }
  qsizetype sent = 0;
  for (const QString& step : t.steps) {
    if (step.startsWith(QLatin1String("S: ")) || step.startsWith(QLatin1String("S+ "))) {
      QByteArray bytes = step.mid(3).toUtf8();
      if (step.startsWith(QLatin1String("S: "))) bytes += "\r\n";
      if (cut > sent && cut < sent + bytes.size()) {
        fake->Send(bytes.left(cut - sent));
        fake->Send(bytes.mid(cut - sent));
      } else {
        fake->Send(bytes);
      }
      sent += bytes.size();
    } else if (step.startsWith(QLatin1String("C: "))) {
      const QByteArray want = step.mid(3).toUtf8() + "\r\n";
      if (!fake->written.startsWith(want)) {
        replay.failure =
            QStringLiteral("wanted %1, client wrote %2").arg(step, QString::fromUtf8(fake->written));
        break;
      }
      fake->written.remove(0, want.size());
    } else if (step == QLatin1String("TLS") || step == QLatin1String("TLS FAILS")) {
      if (!fake->tlsStarted) {
        replay.failure = QStringLiteral("no TLS handshake started");
        break;
      }
      EXPECT_EQ(fake->tlsPeer, QStringLiteral("pop.example.com"));
      if (step == QLatin1String("TLS")) {
        fake->FinishTls();
      } else {
        fake->FailTls();
      }
    } else if (step == QLatin1String("CLOSE")) {
      fake->Close();
    } else if (step == QLatin1String("SILENCE")) {
      testing_support::WaitUntil([&] { return ended; }, 10000);
    }
  }
  // Nothing more went out: no QUIT on Disconnect, no credentials after a refusal.
  if (replay.failure.isEmpty() && !fake->written.isEmpty())
    replay.failure = QStringLiteral("client also wrote %1").arg(QString::fromUtf8(fake->written));
  replay.lastError = socket.LastErrorCode();
  return replay;
}

class Pop3Transcript : public ::testing::TestWithParam<Transcript> {};

TEST_P(Pop3Transcript, ReplaysWholeAndSplitAtEveryByte) {
  const Transcript& t = GetParam();
  const qsizetype total = ServerBytes(t.steps);
  for (qsizetype cut = 0; cut <= total; ++cut) {
    const Replay replay = ReplayTranscript(t, cut);
    EXPECT_EQ(replay.failure, QString()) << "cut at " << cut;
    EXPECT_EQ(replay.events, t.events) << "cut at " << cut;
    EXPECT_EQ(replay.lastError, t.lastError) << "cut at " << cut;
    if (HasFailure()) break;  // one cut's story is enough
  }
}

INSTANTIATE_TEST_SUITE_P(Dialogues, Pop3Transcript, ::testing::ValuesIn(Transcripts()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Pop3Socket, CredentialsWithLineBreaksAreNeverSent) {
  const QString bad[] = {QStringLiteral("bob\r\nDELE 1"), QStringLiteral("bob\n"), QString(QChar(0))};
  for (const QString& value : bad) {
    for (bool inPassword : {false, true}) {
      auto* fake = new FakePop3Transport;
      POP3Socket socket(fake);
      socket.SetUsername(inPassword ? QStringLiteral("bob") : value);
      socket.SetPassword(inPassword ? value : QStringLiteral("pw"));
      socket.Connect();
      EXPECT_EQ(socket.LastErrorCode(), POP3Socket::InvalidCredential);
      EXPECT_EQ(fake->connects, 0);
    }
  }
}

TEST(Pop3Socket, PortOutOfRangeIsAnErrorAndSetPortIsUsed) {
  struct Row {
    int port;
    int error;
    int connects;
  } rows[] = {{0, POP3Socket::InvalidPort, 0}, {70000, POP3Socket::InvalidPort, 0}, {995, 0, 1}};
  for (const Row& row : rows) {
    auto* fake = new FakePop3Transport;
    POP3Socket socket(fake);
    EXPECT_EQ(socket.Port(), 110);
    socket.SetPort(row.port);
    socket.Connect();
    EXPECT_EQ(socket.LastErrorCode(), row.error) << row.port;
    EXPECT_EQ(fake->connects, row.connects) << row.port;
    if (row.connects) {
      EXPECT_EQ(fake->port, row.port);
    }
  }
}

TEST(Pop3Socket, CountBeforeLoginSendsNothing) {
  auto* fake = new FakePop3Transport;
  POP3Socket socket(fake);
  socket.CountMessages();
  EXPECT_EQ(socket.LastErrorCode(), POP3Socket::NotLoggedIn);
  EXPECT_EQ(fake->written, QByteArray());
}

// Connecting again drops the old connection; its late bytes raise nothing.
TEST(Pop3Socket, ReconnectStartsAFreshDialogue) {
  auto* fake = new FakePop3Transport;
  fake->loopback = true;
  POP3Socket socket(fake);
  int established = 0;
  QObject::connect(&socket, &POP3Socket::ConnectionEstablished, [&] { ++established; });
  socket.Connect();
  fake->Accept();
  fake->Send("+OK hi\r\n");
  EXPECT_EQ(fake->written, QByteArray("CAPA\r\n"));
  socket.Connect();
  EXPECT_EQ(fake->aborts, 1);
  EXPECT_EQ(fake->connects, 2);
  fake->written.clear();
  fake->Send("+OK\r\n.\r\n");  // the old connection's CAPA reply, now stray
  EXPECT_EQ(fake->written, QByteArray());
  fake->Accept();
  fake->Send("+OK again\r\n");
  EXPECT_EQ(established, 2);
  EXPECT_EQ(fake->written, QByteArray("CAPA\r\n"));
}

}  // namespace
