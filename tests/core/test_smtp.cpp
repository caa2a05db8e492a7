// SMTP: the parsers; the session against a scripted server (FakeByteStream's steps split at
// '|', "E: event" where the client must raise it), replayed whole, split at every byte and
// cut at every step; the SMTPSocket's outgoing list.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimer>

#include "platform/Date.h"
#include "platform/SMTPSocket.h"
#include "platform/ServerAddress.h"
#include "platform/SmtpData.h"
#include "platform/SmtpReply.h"
#include "platform/SmtpSession.h"
#include "support/FakeByteStream.h"
#include "support/TestSupport.h"

namespace {

using platform::SmtpReply;

// What the parser reads: "code text|text... /bytes consumed", "incomplete" or "bad".
std::string Read(QByteArrayView input, const platform::SmtpReplyLimits& limits) {
  const SmtpReply r = platform::ParseSmtpReply(input, limits);
  if (r.status != SmtpReply::Status::Complete)
    return r.status == SmtpReply::Status::Bad ? "bad" : "incomplete";
  const QByteArray lines = QByteArrayList(r.lines).join('|');
  return std::to_string(r.code) + " " + lines.toStdString() + " /" + std::to_string(r.consumed);
}

TEST(SmtpReply, Table) {
  const platform::SmtpReplyLimits small{10, 3};  // line length, lines
  const struct {
    const char* name;
    QByteArray input;
    const char* want;
    platform::SmtpReplyLimits limits = {};
  } table[] = {
      {"bare code", "250\r\n", "250  /5"},
      {"bare LF accepted", "250 ok\n", "250 ok /7"},
      {"multi-line", "250-a\r\n250-b c\r\n250 d\r\n", "250 a|b c|d /23"},
      {"only the first reply is taken", "250 a\r\n354 b\r\n", "250 a /7"},
      {"text keeps inner CR", "250 a\rb\r\n", "250 a\rb /9"},
      {"no line end yet", "250 ok", "incomplete"},
      {"continuation without the last line", "250-a\r\n250-b\r\n", "incomplete"},
      {"not digits", "abc ok\r\n", "bad"},
      {"code class 1", "150 ok\r\n", "bad"},
      {"code class 6", "650 ok\r\n", "bad"},
      {"bad separator", "250:ok\r\n", "bad"},
      {"codes differ", "250-a\r\n251 b\r\n", "bad"},
      {"empty line", "\r\n", "bad"},
      {"bad line inside an incomplete reply", "250-a\r\nxyz\r\n250-", "bad"},
      {"line at the limit", "250 123456\r\n", "250 123456 /12", small},
      {"line over the limit", "250 1234567\r\n", "bad", small},
      {"endless line without an end is bad before it ends", "250 " + QByteArray(20, 'x'), "bad", small},
      {"partial line within the limit waits", "250 123456\r", "incomplete", small},
      {"lines at the limit", "250-a\r\n250-b\r\n250 c\r\n", "250 a|b|c /21", small},
      {"one line too many", "250-a\r\n250-b\r\n250-c\r\n250 d\r\n", "bad", small},
      {"too many lines already, end not in", "250-a\r\n250-b\r\n250-c\r\n", "bad", small},
  };
  for (const auto& c : table) EXPECT_EQ(Read(c.input, c.limits), c.want) << c.name;
}

// The rule written out literally: split into lines at CR LF, CR or LF; a line that starts
// with "." gets another; each line ends in CR LF; then "." CR LF.
std::optional<QByteArray> EncodeSlowly(const QByteArray& source) {
  QList<QByteArray> lines;
  QByteArray line;
  bool open = false;
  for (qsizetype i = 0; i < source.size(); ++i) {
    if (source[i] == '\r' && i + 1 < source.size() && source[i + 1] == '\n') {
      lines.append(line), line.clear(), open = false, ++i;
    } else if (source[i] == '\r' || source[i] == '\n') {
      lines.append(line), line.clear(), open = false;
    } else {
      line += source[i], open = true;
    }
  }
  if (open) lines.append(line);
  QByteArray out;
  for (const QByteArray& l : lines) {
    if (l.size() > 998) return std::nullopt;
    out += (l.startsWith('.') ? "." + l : l) + "\r\n";
  }
  return out + ".\r\n";
}

TEST(SmtpData, MatchesLiteralRuleOnRandomInput) {
  QRandomGenerator rng(20261206);
  const char alphabet[] = {'.', '\r', '\n', 'a', ' ', '.', '\r', '\n', '\0'};
  for (int round = 0; round < 5000; ++round) {
    QByteArray source;
    const int length = rng.bounded(40);
    for (int i = 0; i < length; ++i) source += alphabet[rng.bounded(9)];
    // Lines of 996 to 1000 bytes, with and without a leading dot (which is not counted).
    if (round % 25 == 0)
      source += QByteArray(round % 50 ? "\n." : "\n") + QByteArray(996 + rng.bounded(4), 'x');
    SCOPED_TRACE(source.toStdString());
    const auto fast = platform::EncodeSmtpData(source);
    const auto slow = EncodeSlowly(source);
    ASSERT_EQ(fast, slow);
  }
}

// Each row: a text => what is read from it ("host port"), nothing where it is refused.
TEST(ServerAddress, Table) {
  for (const QString row :
       {"mail.example.com => mail.example.com 25", "  mail.example.com   => mail.example.com 25",
        "mail.example.com:587 => mail.example.com 587", "[::1]:2525 => ::1 2525", "[::1] => ::1 25",
        "::1 => ::1 25", " => ", ":25 => ", "host: => ", "host:0 => ", "host:65536 => ",
        "host:65535 => host 65535", "host:25x => ", "ho st => ", "[::1 => ", "[::1]x => "}) {
    const QStringList parts = row.split(" => ");
    const auto got = platform::ParseServerAddress(parts[0], 25);
    EXPECT_EQ((got ? got->host + " " + QString::number(got->port) : "").toStdString(), parts[1].toStdString())
        << row.toStdString();
  }
}

using platform::SmtpSession;
using testing_support::FakeByteStream;

const auto T = [](const QString& steps) { return steps.split('|'); };

struct Msg {
  QString name, from;
  QStringList to;
  QByteArray source;
};

Msg Simple(const QString& name) {
  return {name, "a@x.org", {"b@y.org"}, "Subject: " + name.toUtf8() + "\r\n\r\nHello\r\n"};
}

const std::vector<Msg> kM1 = {Simple("m1")}, kM1M2 = {Simple("m1"), Simple("m2")};

struct Options {
  QString user, password;
  bool loopback = false;
};
const Options kAnon, kRemoteUser{"alice", "secret"}, kLoopbackUser{"alice", "secret", true};

struct Transcript {
  QString name;
  QStringList script;
  Options options = {};
  std::vector<Msg> queued = kM1;
  // Bytes sent with the go-ahead to STARTTLS: cut after the go-ahead, the client starts the
  // handshake, which they then break; either way the end is 107.
  bool handshakeMayStart = false;
};

// One session against the script: the events it raised and the bytes the client wrote.
std::pair<QStringList, QByteArray> Run(const Transcript& t, qsizetype split) {
  auto fake =
      std::make_unique<FakeByteStream>(FakeByteStream::ParseScript(t.script), t.options.loopback, split);
  FakeByteStream* stream = fake.get();
  const Options& o = t.options;
  // Silence is ended by the script, never by the clock.
  platform::SmtpSessionSettings settings{"mail.example.com", 25, false, o.user, o.password, 60000};
  const std::vector<Msg>& q = t.queued;
  size_t next = 0;  // the message under way
  QStringList events;
  SmtpSession session(std::move(fake), settings,
                      {[&] { return next < q.size(); },
                       [&] {
                         return platform::SmtpEnvelope{q[next].from, q[next].to, q[next].source};
                       }});
  QObject::connect(&session, &SmtpSession::Greeting,
                   [&](const QString& text) { events << "greeting:" + text; });
  QObject::connect(&session, &SmtpSession::MessageAccepted, [&] { events << "sent:" + q[next++].name; });
  QObject::connect(&session, &SmtpSession::MessageRefused,
                   [&](int code) { events << "refused:" + q[next++].name + ":" + QString::number(code); });
  QObject::connect(&session, &SmtpSession::Finished,
                   [&](int code) { events << "end:" + QString::number(code); });
  // A silent server: the step's timer runs out now instead of on the clock.
  stream->onSilence = [&session] {
    if (auto* timer = session.findChild<QTimer*>("smtpStepTimer"); timer && timer->isActive())
      timer->start(0);
  };
  QEventLoop loop;
  QObject::connect(&session, &SmtpSession::Finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
  QTimer::singleShot(20000, &loop, &QEventLoop::quit);
  session.Start();
  loop.exec();
  return {events, stream->Written()};
}

void Check(const std::vector<Transcript>& table) {
  for (const Transcript& t : table) {
    SCOPED_TRACE(t.name.toStdString());
    const auto steps = FakeByteStream::ParseScript(t.script);
    const QByteArray want = FakeByteStream::ExpectedClientBytes(steps);
    const QRegularExpression event("^E: ");
    const QStringList wantEvents = QStringList(t.script).filter(event).replaceInStrings(event, "");
    for (qsizetype split = 0; split < FakeByteStream::ServerByteCount(steps); ++split) {  // 0: whole
      auto [events, written] = Run(t, split);
      if (t.handshakeMayStart && written == want + "<STARTTLS>") written = want;
      EXPECT_EQ(written.toStdString(), want.toStdString()) << "split at " << split;
      EXPECT_EQ(events.join(" | ").toStdString(), wantEvents.join(" | ").toStdString())
          << "split at " << split;
      if (::testing::Test::HasFailure()) return;  // one failure says it all
    }
  }
}

const QStringList kGreet = T("S: 220 mx|E: greeting:mx|C: EHLO [127.0.0.1]");
const QStringList kHello = kGreet + T("S: 250 x");
const QStringList kHelo = T("C: HELO [127.0.0.1]|S: 250 hi");
const QStringList kMailRcpt = T("C: MAIL FROM:<a@x.org>|S: 250 ok|C: RCPT TO:<b@y.org>|S: 250 ok");
const QStringList kRset = T("C: RSET|S: 250 ok");
const QStringList kQuit = T("C: QUIT|S: 221 bye|X:|E: end:102");
const QStringList kAuthPlain = T("C: AUTH PLAIN AGFsaWNlAHNlY3JldA==|S: 235 ok");
const QStringList kAuthLogin =
    T("C: AUTH LOGIN|S: 334 VXNlcm5hbWU6|C: YWxpY2U=|S: 334 UGFzc3dvcmQ6|C: c2VjcmV0");
const QStringList kTls =
    T("S: 250-mx|S: 250-STARTTLS|S: 250 SIZE 1000|C: STARTTLS|S: 220 go|T:") + T("C: EHLO [127.0.0.1]");

// The message `name` accepted: its transaction, its data lines and the server's 250.
QStringList Send(const QString& name) {
  return kMailRcpt +
         T("C: DATA|S: 354 go|C: Subject: " + name + "|C: |C: Hello|C: .|S: 250 queued|E: sent:" + name);
}
const QStringList kSendM1 = Send("m1") + kQuit;

TEST(SmtpTranscripts, GreetingHelloAndStartTls) {
  const QStringList offered = kGreet + T("S: 250-x|S: 250 STARTTLS|C: STARTTLS");
  Check({
      {"multi-line greeting: the event carries the first line",
       T("S: 220-first line here|S: 220-second|S: 220 third|E: greeting:first line here") +
           T("C: EHLO [127.0.0.1]|S: 250 hi") + kSendM1},
      {"554 greeting refuses the session", T("S: 554 go away|E: end:104")},
      {"empty list: sign-off without the greeting event", T("S: 220 hi") + kQuit, kAnon, {}},
      {"unreachable server", T("U:|E: end:103")},
      {"connection never completes", T("Z:|E: end:103")},
      {"EHLO 500: HELO", kGreet + T("S: 500 unknown") + kHelo + kSendM1},
      {"HELO refused too", kGreet + T("S: 502 no|C: HELO [127.0.0.1]|S: 550 no|E: end:104")},
      {"EHLO 4xx is not a fallback", kGreet + T("S: 450 later|E: end:104")},
      {"HELO and a user name to a remote host: no password in plain text",
       kGreet + T("S: 502 no") + kHelo + T("E: end:109"), kRemoteUser},
      {"extensions in odd case and AUTH= form",
       kGreet + T("S: 250-hi|S: 250-auth=LOGIN|S: 250 8bitmime") + kAuthLogin + T("S: 235 ok") + kSendM1,
       kLoopbackUser},
      {"capabilities before TLS are forgotten",
       kGreet + T("S: 250-mx|S: 250-AUTH PLAIN|S: 250 STARTTLS|C: STARTTLS|S: 220 go|T:") +
           T("C: EHLO [127.0.0.1]|S: 250 mx|E: end:110"),
       kRemoteUser},
      {"STARTTLS refused: no plain-text fallback", offered + T("S: 454 TLS not available|E: end:107")},
      {"bytes sent with the go-ahead, before the handshake",
       offered + T("S: 220 go\\r\\n250-x AUTH PLAIN|E: end:107"), kAnon, kM1, true},
  });
}

TEST(SmtpTranscripts, Authentication) {
  const QStringList both = kGreet + T("S: 250-x|S: 250 AUTH LOGIN PLAIN CRAM-MD5");
  const QStringList login = kGreet + T("S: 250-x|S: 250 AUTH LOGIN");
  Check({
      {"PLAIN refused", both + kAuthPlain.first(1) + T("S: 535 5.7.8 bad credentials|E: end:106"),
       kLoopbackUser},
      {"PLAIN not supported after all: LOGIN",
       both + kAuthPlain.first(1) + T("S: 504 no") + kAuthLogin + T("S: 235 ok") + kSendM1, kLoopbackUser},
      {"LOGIN password refused", login + kAuthLogin + T("S: 535 no|E: end:106"), kLoopbackUser},
      {"LOGIN user name refused", login + kAuthLogin.first(3) + T("S: 535 no|E: end:106"), kLoopbackUser},
      {"LOGIN asks a third question", login + kAuthLogin + T("S: 334 more?|E: end:105"), kLoopbackUser},
      {"only CRAM-MD5 offered", kGreet + T("S: 250-x|S: 250 AUTH CRAM-MD5|E: end:110"), kLoopbackUser},
      {"non-ASCII user name and password travel as UTF-8",
       kGreet + T("S: 250-x|S: 250 AUTH PLAIN|C: AUTH PLAIN AGrDtnJnAHDDpHNz|S: 235 ok") + kSendM1,
       {"jörg", "päss", true}},
  });
}

TEST(SmtpTranscripts, Messages) {
  Msg twoRcpt = Simple("m2");
  twoRcpt.to << "c@y.org";
  const std::vector<Msg> twoRcptM3 = {twoRcpt, Simple("m3")}, twoRcptOnly = {twoRcpt},
                         intl = {{"intl", "jörg@x.org", {"zoë@y.org"}, "Hi \xc3\xa4"}};
  Check({
      {"refused sender: RSET, next message goes",
       kHello + T("C: MAIL FROM:<a@x.org>|S: 550 no|E: refused:m1:550") + kRset + Send("m2") + kQuit, kAnon,
       kM1M2},
      {"second of two recipients refused: the whole message is refused",
       kHello + kMailRcpt + T("C: RCPT TO:<c@y.org>|S: 450 later|E: refused:m2:450") + kRset + Send("m3") +
           kQuit,
       kAnon, twoRcptM3},
      {"two recipients accepted (251 too)",
       kHello + kMailRcpt.first(3) + T("S: 251 forwarded|C: RCPT TO:<c@y.org>|S: 250 ok") +
           Send("m2").mid(4) + kQuit,
       kAnon, twoRcptOnly},
      {"DATA refused", kHello + kMailRcpt + T("C: DATA|S: 554 no|E: refused:m1:554") + kRset + kQuit},
      {"message refused after its data",
       kHello + Send("m1").first(10) + T("S: 552 too big|E: refused:m1:552") + kRset + Send("m2") + kQuit,
       kAnon, kM1M2},
      {"RSET refused: protocol error",
       kHello + T("C: MAIL FROM:<a@x.org>|S: 550 no|E: refused:m1:550|C: RSET|S: 500 what|E: end:105")},
      {"non-ASCII address and 8-bit body with SMTPUTF8 and 8BITMIME",
       kGreet + T("S: 250-x|S: 250-8BITMIME|S: 250 SMTPUTF8") +
           T("C: MAIL FROM:<jörg@x.org> BODY=8BITMIME SMTPUTF8|S: 250 ok|C: RCPT TO:<zoë@y.org>|S: 250 ok") +
           T("C: DATA|S: 354 go|C: Hi ä|C: .|S: 250 ok|E: sent:intl") + kQuit,
       kAnon, intl},
  });
  // Refused before a byte of it is sent; the next message goes.
  const std::vector<std::pair<Msg, int>> refusals = {
      {{"LF in the sender", "a@x.org\nDATA", {"b@y.org"}, "x"}, 120},
      {{"control character", "a@x.org", {"bob@exa\tmple.org"}, "x"}, 120},
      {{"angle bracket adding parameters", "a@x.org", {"b@y.org> NOTIFY=NEVER"}, "x"}, 120},
      {{"no recipient", "a@x.org", {}, "x"}, 123},
      {{"non-ASCII address without SMTPUTF8", "a@x.org", {"zoë@y.org"}, "x"}, 122},
      {{"a line over 998 bytes", "a@x.org", {"b@y.org"}, "a\r\n" + QByteArray(999, 'x')}, 121},
  };
  for (const auto& [m, code] : refusals) {
    Check({{m.name,
            kHello + T("E: refused:" + m.name + ":" + QString::number(code)) + Send("m2") + kQuit,
            kAnon,
            {m, Simple("m2")}}});
  }
}

TEST(SmtpTranscripts, ReplyLimits) {
  QStringList endless;
  for (int i = 0; i < 250; ++i) endless << "S: 220-line";
  Check({
      {"endless reply line", {"S: 220 " + QString(4100, 'x'), "E: end:105"}},
      {"endless multi-line reply", endless << "E: end:105"},
      // The lines in so far are not taken for a reply.
      {"silent mid-reply", kGreet + T("S: 250-x|Z:|E: end:101")},
  });
  // A line every 15 s (the clock moves on at each reading) never lets the step fall silent;
  // the reply's 5 minutes end it.
  static qint64 clock = 1e12;
  platform::SetClockForTests([] { return QDateTime::fromMSecsSinceEpoch(clock += 15000); });
  Check({{"reply trickling in", kGreet + QStringList(25, "S: 250-x") << "E: end:101"}});
  platform::SetClockForTests({});
}

// The first line of a server reply: the server line before it was no continuation line.
bool StartsReply(const QStringList& s, int i) {
  int j = i - 1;
  while (j >= 0 && s[j].startsWith("E: ")) --j;
  return s[i].startsWith("S: ") && !(j >= 0 && s[j].startsWith("S: ") && s[j].mid(6, 1) == "-");
}

// The full session (STARTTLS, AUTH LOGIN, two messages, QUIT) cut at every reply or after
// every command; after QUIT every ending is the normal one.
TEST(SmtpTranscripts, EveryStepOfAFullSession) {
  const QStringList full = kGreet + kTls + T("S: 250-mx|S: 250-STARTTLS|S: 250 AUTH LOGIN") + kAuthLogin +
                           T("S: 235 ok") + Send("m1") + Send("m2") + kQuit;
  for (int i = 0; i < full.size(); ++i) {
    const QStringList head = full.mid(0, i);
    const bool quit = i > 0 && full[i - 1] == "C: QUIT";
    if (StartsReply(full, i)) {
      Check({{"421 in place of a reply",
              head + T("S: 421 4.3.2 shutting down|X:|E: end:" + QString(quit ? "102" : "108")), kRemoteUser,
              kM1M2}});
    }
    if (i > 0 && full[i - 1].startsWith("C: ") && !full[i].startsWith("C: ")) {
      Check({{"dropped after a command", head + T("X:|E: end:102"), kRemoteUser, kM1M2},
             {"silent after a command", head + T("Z:|E: end:" + QString(quit ? "102" : "101")), kRemoteUser,
              kM1M2}});
    }
  }
}

using platform::EmailMessagePtr;
using platform::SMTPSocket;
using platform::SpecialEmail;

std::shared_ptr<SpecialEmail> Letter(const QString& name) {
  auto m = std::make_shared<SpecialEmail>();
  m->SetName(name);
  m->AddRecipient("b@y.org");
  m->SetFromAddress("a@x.org");
  m->SetBodyPlainText("x");
  return m;
}

QString NameOf(const EmailMessagePtr& m) {
  return std::dynamic_pointer_cast<SpecialEmail>(m)->Name();
}

const QStringList kAccept = kMailRcpt + T("C: DATA|S: 354 go|D:|S: 250 queued");

// One SMTPSocket wired to a fake server; records its events. The hook runs inside the
// socket's MessageSent, before it is recorded, the way the program's handlers do.
struct Client {
  int streams = 0;
  QStringList events;
  QList<EmailMessagePtr> sent;
  int fullProgress = 0;
  std::function<void(Client&)> onFirstSent;
  SMTPSocket socket;

  explicit Client(const QStringList& script) {
    socket.SetAddress("mail.example.com");
    socket.SetStreamFactory([this, script](const platform::TlsPolicy&) {
      ++streams;
      auto fake = std::make_unique<FakeByteStream>(FakeByteStream::ParseScript(script), false, -1);
      fake->onSilence = [this] { socket.findChild<QTimer*>("smtpStepTimer")->start(0); };
      return fake;
    });
    QObject::connect(&socket, &SMTPSocket::ConnectionEstablished,
                     [this](const QString& text) { events << text; });
    QObject::connect(&socket, &SMTPSocket::MessageSent, [this](const EmailMessagePtr& m) {
      sent << m;
      if (onFirstSent) std::exchange(onFirstSent, nullptr)(*this);
      events << "sent:" + NameOf(m);
    });
    QObject::connect(&socket, &SMTPSocket::SendProgress,
                     [this](qint64 done, qint64 total) { fullProgress += done == total; });
    QObject::connect(&socket, &SMTPSocket::Error,
                     [this] { events << "error:" + QString::number(socket.LastErrorCode()); });
  }

  void SendAndWait() {
    socket.SendMail();
    testing_support::WaitUntil([&] { return !socket.IsConnected(); }, 20000);
    QCoreApplication::processEvents();
  }
};

TEST(SMTPSocket, OutgoingList) {
  struct Case {
    const char* name;
    QStringList script;
    int letters;  // a, b, c... in the list before SendMail
    std::function<void(Client&)> onFirstSent;
    const char* events;  // after the greeting
    const char* left = "";
  };
  const std::vector<Case> table = {
      {"appended while connected: goes out on this connection", kHello + kAccept + kAccept + kQuit, 1,
       [](Client& c) { c.socket.Messages() << Letter("later"); }, "sent:a | sent:later | error:102"},
      // The program's handlers run the event loop (once per list row); the client must
      // stay sound when its own events arrive inside them.
      {"server closes while the handler runs the event loop", kHello + kAccept + T("X:"), 2,
       [](Client& c) { testing_support::WaitUntil([&] { return c.events.size() > 1; }); },
       "error:102 | sent:a", "b"},
      {"server's next reply arrives while the handler runs the event loop: after it",
       kHello + kAccept + T("S: 421 closing"), 2,
       [](Client&) { testing_support::WaitUntil([] { return false; }, 50); }, "sent:a | error:108", "b"},
      {"handler disconnects: silent, list kept", kHello + kAccept + T("Z:"), 2,
       [](Client& c) { c.socket.Disconnect(); }, "sent:a", "b"},
      {"handler empties the list: sign-off", kHello + kAccept + kQuit, 2,
       [](Client& c) { c.socket.DeleteAllMessages(); }, "sent:a | error:102"},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.name);
    Client c(t.script);
    c.onFirstSent = t.onFirstSent;
    QList<EmailMessagePtr> letters;
    for (int i = 0; i < t.letters; ++i) letters << Letter(QString("abc").mid(i, 1));
    c.socket.Messages() = letters;
    c.SendAndWait();
    EXPECT_EQ(c.events.join(" | ").toStdString(), std::string("mx | ") + t.events);
    QStringList left;
    for (const auto& m : c.socket.Messages()) left << NameOf(m);
    EXPECT_EQ(left.join(' ').toStdString(), t.left);
    // The very objects queued come back, and progress reaches the whole of each.
    for (const auto& m : c.sent) EXPECT_EQ(NameOf(m) == "later" || letters.contains(m), true);
    EXPECT_EQ(c.fullProgress, c.sent.size());
  }
}

// A bad address is reported from the event loop, not inside SendMail, and a second SendMail
// meanwhile starts nothing. Disconnect drops a pending report: the next SendMail runs and
// no stale error follows it.
TEST(SMTPSocket, BadAddress) {
  Client c(kHello + kAccept + kQuit);
  c.socket.SetAddress("host:99999");
  c.socket.Messages() << Letter("a");
  c.socket.SendMail();
  c.socket.SendMail();
  EXPECT_EQ(c.events.size(), 0);
  testing_support::WaitUntil([&] { return !c.socket.IsConnected(); });
  EXPECT_EQ(c.streams, 0);
  c.socket.SendMail();
  c.socket.Disconnect();
  c.socket.SetAddress("mail.example.com");
  c.SendAndWait();
  EXPECT_EQ(c.events.join(" | ").toStdString(), "error:111 | mx | sent:a | error:102");
}

}  // namespace
