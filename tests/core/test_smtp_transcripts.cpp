// Transcript tests of the SMTP session against a scripted server: one table per area,
// each transcript replayed whole and with the server's bytes split at every offset;
// then the 421 reply, a dropped connection and a silent server at every step of a
// complete session (which also covers the greeting and QUIT). Last, the SMTPSocket's
// own promises (same message object back, the outgoing list, the codes).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <utility>

#include "platform/SMTPSocket.h"
#include "platform/SmtpErrorCodes.h"
#include "platform/SmtpSession.h"
#include "support/FakeByteStream.h"
#include "support/TestSupport.h"

namespace {

using platform::SmtpEnvelope;
using platform::SmtpSession;
using testing_support::FakeByteStream;

struct Msg {
  QString name;
  QString from;
  QStringList to;
  QByteArray source;
};

Msg Simple(const QString& name, const QString& to = QStringLiteral("bob@example.org")) {
  return {name, QStringLiteral("alice@example.com"), {to}, "Subject: " + name.toUtf8() + "\r\n\r\nHello\r\n"};
}

// The client lines of Simple(name) after DATA, its end included.
QStringList SimpleData(const QString& name) {
  return {"C: Subject: " + name, "C: ", "C: Hello", "C: ."};
}

struct Options {
  QString username;
  QString password;
  bool loopback = false;
  bool implicitTls = false;
};

struct Outcome {
  QStringList events;
  QByteArray written;
  QByteArray expected;
};

// Runs one session against the script and records its events, the way SMTPSocket uses
// them: the message in hand leaves the queue on its outcome.
Outcome Run(const QStringList& script, std::vector<Msg> queued, std::vector<Msg> appendOnFirstSent,
            const Options& options, qsizetype splitAt = -1) {
  const auto steps = FakeByteStream::ParseScript(script);
  auto fake = std::make_unique<FakeByteStream>(steps, options.loopback, splitAt);
  FakeByteStream* stream = fake.get();

  platform::SmtpSessionSettings settings;
  settings.host = QStringLiteral("mail.example.com");
  settings.port = options.implicitTls ? 465 : 25;
  settings.implicitTls = options.implicitTls;
  settings.username = options.username;
  settings.password = options.password;
  settings.stepTimeoutMs = 60000;  // silence is ended by the script, never by the clock

  std::deque<Msg> queue(queued.begin(), queued.end());
  Outcome out;
  bool appended = false;
  platform::SmtpMessageSource source;
  source.hasMessage = [&] { return !queue.empty(); };
  source.nextMessage = [&] {
    const Msg& m = queue.front();
    return SmtpEnvelope{m.from, m.to, m.source};
  };
  SmtpSession session(std::move(fake), settings, source);
  bool finished = false;
  QObject::connect(&session, &SmtpSession::Greeting,
                   [&](const QString& text) { out.events.append("greeting:" + text); });
  QObject::connect(&session, &SmtpSession::MessageAccepted, [&] {
    out.events.append("sent:" + queue.front().name);
    queue.pop_front();
    if (!appended) {
      appended = true;
      queue.insert(queue.end(), appendOnFirstSent.begin(), appendOnFirstSent.end());
    }
  });
  QObject::connect(&session, &SmtpSession::MessageRefused, [&](int code, const QString&) {
    out.events.append("refused:" + queue.front().name + ":" + QString::number(code));
    queue.pop_front();
  });
  QObject::connect(&session, &SmtpSession::Finished, [&](int code, const QString&) {
    out.events.append("end:" + QString::number(code));
    finished = true;
  });
  // A silent server: let the step's timer run out now instead of waiting for the clock.
  stream->onSilence = [&session] {
    if (auto* timer = session.findChild<QTimer*>(QStringLiteral("smtpStepTimer"))) {
      if (timer->isActive()) timer->start(0);
    }
  };
  session.Start();
  // Run until the end; every event is posted, so the loop never waits on the clock.
  QEventLoop loop;
  QObject::connect(&session, &SmtpSession::Finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
  QTimer::singleShot(20000, &loop, &QEventLoop::quit);
  if (!finished) loop.exec();
  if (!finished) out.events.append("(unfinished)");
  out.written = stream->Written();
  out.expected = FakeByteStream::ExpectedClientBytes(steps);
  return out;
}

QStringList ExpectedEvents(const QStringList& script) {
  QStringList events;
  for (const QString& line : script) {
    if (line.startsWith(QLatin1String("E: "))) events.append(line.mid(3));
  }
  return events;
}

struct Transcript {
  const char* name;
  QStringList script;  // S:/C:/T:/F:/X:/Z:/U: steps and E: expected events
  Options options = {};
  std::vector<Msg> queued = {Simple("m1")};
  std::vector<Msg> appendOnFirstSent = {};
  // Bytes sent with the go-ahead to STARTTLS: where they are cut decides whether the
  // client sees the go-ahead alone (and starts the handshake, which they then break) or
  // together with them; either way nothing more is written and the end is 107.
  bool handshakeMayStart = false;
};

// Replays the transcript whole and split at every byte of the server's stream.
void CheckTranscript(const Transcript& t) {
  SCOPED_TRACE(t.name);
  const auto steps = FakeByteStream::ParseScript(t.script);
  const qsizetype serverBytes = FakeByteStream::ServerByteCount(steps);
  const QStringList wantEvents = ExpectedEvents(t.script);
  for (qsizetype split = -1; split < serverBytes; ++split) {
    if (split == 0) continue;
    SCOPED_TRACE(split < 0 ? std::string("whole") : "split at " + std::to_string(split));
    const Outcome got = Run(t.script, t.queued, t.appendOnFirstSent, t.options, split);
    const QByteArray written =
        t.handshakeMayStart && got.written == got.expected + "<STARTTLS>" ? got.expected : got.written;
    EXPECT_EQ(written.toStdString(), got.expected.toStdString());
    EXPECT_EQ(got.events.join(" | ").toStdString(), wantEvents.join(" | ").toStdString());
    if (written != got.expected || got.events != wantEvents) return;  // one failure says it all
  }
}

void CheckTable(const std::vector<Transcript>& table) {
  for (const auto& t : table) CheckTranscript(t);
}

const QStringList kGreet = {"S: 220 mail.example.com ESMTP", "E: greeting:mail.example.com ESMTP",
                            "C: EHLO [127.0.0.1]"};
const QStringList kHelo = {"C: HELO [127.0.0.1]", "S: 250 hi"};
const QStringList kMailRcpt = {"C: MAIL FROM:<alice@example.com>", "S: 250 ok",
                               "C: RCPT TO:<bob@example.org>", "S: 250 ok"};
const QStringList kRset = {"C: RSET", "S: 250 ok"};
const QStringList kQuit = {"C: QUIT", "S: 221 bye", "X:", "E: end:102"};
const QStringList kAuthPlain = {"C: AUTH PLAIN AGFsaWNlAHNlY3JldA==", "S: 235 ok"};
const QStringList kAuthLogin = {"C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6",
                                "C: c2VjcmV0"};
const Options kRemoteUser{"alice", "secret", false};
const Options kLoopbackUser{"alice", "secret", true};

QStringList SendSimple(const QString& name) {
  return kMailRcpt + QStringList{"C: DATA", "S: 354 go"} + SimpleData(name) +
         QStringList{"S: 250 queued", "E: sent:" + name};
}

// m1 goes out, then the client signs off.
const QStringList kSendM1 = SendSimple("m1") + kQuit;

// ---------------------------------------------------------------------------------------

TEST(SmtpTranscripts, Greeting) {
  CheckTable({
      {"single-line greeting", kGreet + QStringList{"S: 250 mail.example.com"} + kSendM1},
      {"multi-line greeting: the event carries the first line",
       QStringList{"S: 220-first line here", "S: 220-second", "S: 220 third", "E: greeting:first line here",
                   "C: EHLO [127.0.0.1]", "S: 250 hi"} +
           kSendM1},
      {"554 greeting refuses the session", {"S: 554 go away", "E: end:104"}},
      {"greeting that is not SMTP", {"S: hello there", "E: end:105"}},
      {"empty list: sign-off without the greeting event", QStringList{"S: 220 hi"} + kQuit, {}, {}},
      {"unreachable server", {"U:", "E: end:103"}},
      {"connection never completes", {"Z:", "E: end:103"}},
  });
}

TEST(SmtpTranscripts, HelloAndHeloFallback) {
  CheckTable({
      {"EHLO 500: HELO", kGreet + QStringList{"S: 500 unknown"} + kHelo + kSendM1},
      {"EHLO 502: HELO", kGreet + QStringList{"S: 502 not implemented"} + kHelo + kSendM1},
      {"HELO refused too",
       kGreet + QStringList{"S: 502 no", "C: HELO [127.0.0.1]", "S: 550 no", "E: end:104"}},
      {"EHLO 4xx is not a fallback", kGreet + QStringList{"S: 450 later", "E: end:104"}},
      {"HELO and a user name to a remote host: no password in plain text",
       kGreet + QStringList{"S: 502 no"} + kHelo + QStringList{"E: end:109"}, kRemoteUser},
      {"HELO and a user name on loopback: no log-in method",
       kGreet + QStringList{"S: 502 no"} + kHelo + QStringList{"E: end:110"}, kLoopbackUser},
      {"extensions in odd case and AUTH= form",
       kGreet + QStringList{"S: 250-hi", "S: 250-auth=LOGIN", "S: 250 8bitmime"} + kAuthLogin +
           QStringList{"S: 235 ok"} + kSendM1,
       kLoopbackUser},
  });
}

const QStringList kTls = {
    "S: 250-mail.example.com", "S: 250-STARTTLS", "S: 250 SIZE 1000", "C: STARTTLS", "S: 220 go ahead", "T:",
    "C: EHLO [127.0.0.1]"};

TEST(SmtpTranscripts, StartTls) {
  const QStringList offered = kGreet + QStringList{"S: 250-x", "S: 250 STARTTLS", "C: STARTTLS"};
  CheckTable({
      {"offered: upgraded, EHLO again; AUTH from the new list, STARTTLS not repeated",
       kGreet + kTls + QStringList{"S: 250-mail.example.com", "S: 250-STARTTLS", "S: 250 AUTH PLAIN"} +
           kAuthPlain + kSendM1,
       kRemoteUser},
      {"capabilities before TLS are forgotten",
       kGreet + QStringList{"S: 250-mail.example.com", "S: 250-AUTH PLAIN", "S: 250 STARTTLS", "C: STARTTLS",
                            "S: 220 go", "T:", "C: EHLO [127.0.0.1]", "S: 250 mail.example.com",
                            "E: end:110"},
       kRemoteUser},
      {"STARTTLS refused: no plain-text fallback",
       offered + QStringList{"S: 454 TLS not available", "E: end:107"}},
      {"bytes sent with the go-ahead, before the handshake",
       offered + QStringList{"S: 220 go\\r\\n250-x AUTH PLAIN", "E: end:107"},
       {},
       {Simple("m1")},
       {},
       true},
      {"handshake fails (certificate not trusted)", offered + QStringList{"S: 220 go", "F:", "E: end:107"}},
      {"server hides STARTTLS, user name, remote: password withheld",
       kGreet + QStringList{"S: 250-x", "S: 250 AUTH PLAIN LOGIN", "E: end:109"}, kRemoteUser},
      {"server hides STARTTLS, user name, loopback: log-in allowed",
       kGreet + QStringList{"S: 250-x", "S: 250 AUTH PLAIN LOGIN"} + kAuthPlain + kSendM1, kLoopbackUser},
      {"TLS from the first byte: no STARTTLS, log-in at once",
       kGreet + QStringList{"S: 250-x", "S: 250-STARTTLS", "S: 250 AUTH LOGIN"} + kAuthLogin +
           QStringList{"S: 235 ok"} + kSendM1,
       {"alice", "secret", false, true}},
  });
}

TEST(SmtpTranscripts, Authentication) {
  const QStringList plainAndLogin = kGreet + QStringList{"S: 250-x", "S: 250 AUTH LOGIN PLAIN CRAM-MD5"};
  const QStringList loginOnly = kGreet + QStringList{"S: 250-x", "S: 250 AUTH LOGIN"};
  CheckTable({
      {"PLAIN preferred", plainAndLogin + kAuthPlain + kSendM1, kLoopbackUser},
      {"PLAIN password refused: 106",
       plainAndLogin + kAuthPlain.first(1) + QStringList{"S: 535 5.7.8 bad credentials", "E: end:106"},
       kLoopbackUser},
      {"PLAIN not supported after all: LOGIN",
       plainAndLogin + kAuthPlain.first(1) + QStringList{"S: 504 no"} + kAuthLogin +
           QStringList{"S: 235 ok"} + kSendM1,
       kLoopbackUser},
      {"LOGIN password refused: 106", loginOnly + kAuthLogin + QStringList{"S: 535 no", "E: end:106"},
       kLoopbackUser},
      {"LOGIN user name refused: 106",
       loginOnly + kAuthLogin.first(3) + QStringList{"S: 535 no", "E: end:106"}, kLoopbackUser},
      {"LOGIN asks a third question: protocol error",
       loginOnly + kAuthLogin + QStringList{"S: 334 more?", "E: end:105"}, kLoopbackUser},
      {"only CRAM-MD5 offered: 110", kGreet + QStringList{"S: 250-x", "S: 250 AUTH CRAM-MD5", "E: end:110"},
       kLoopbackUser},
      {"non-ASCII user name and password travel as UTF-8",
       kGreet + QStringList{"S: 250-x", "S: 250 AUTH PLAIN", "C: AUTH PLAIN AGrDtnJnAHDDpHNz", "S: 235 ok"} +
           kSendM1,
       {QStringLiteral("jörg"), QStringLiteral("päss"), true}},
  });
}

TEST(SmtpTranscripts, RefusedStepsAndNextMessage) {
  const QStringList hello = kGreet + QStringList{"S: 250 x"};
  const std::vector<Msg> two = {Simple("m1"), Simple("m2")};
  Msg twoRcpt = Simple("m2");
  twoRcpt.to = QStringList{"bob@example.org", "carol@example.org"};
  CheckTable({
      {"refused sender: RSET, next message goes",
       hello + QStringList{"C: MAIL FROM:<alice@example.com>", "S: 550 no", "E: refused:m1:550"} + kRset +
           SendSimple("m2") + kQuit,
       {},
       two},
      {"second of two recipients refused: the whole message is refused",
       hello + kMailRcpt +
           QStringList{"C: RCPT TO:<carol@example.org>", "S: 450 later", "E: refused:m2:450"} + kRset +
           SendSimple("m3") + kQuit,
       {},
       {twoRcpt, Simple("m3")}},
      {"two recipients accepted (251 too)",
       hello + kMailRcpt.first(3) +
           QStringList{"S: 251 forwarded", "C: RCPT TO:<carol@example.org>", "S: 250 ok", "C: DATA",
                       "S: 354 go"} +
           SimpleData("m2") + QStringList{"S: 250 ok", "E: sent:m2"} + kQuit,
       {},
       {twoRcpt}},
      {"DATA refused",
       hello + kMailRcpt + QStringList{"C: DATA", "S: 554 no", "E: refused:m1:554"} + kRset + kQuit},
      {"message refused after its data",
       hello + kMailRcpt + QStringList{"C: DATA", "S: 354 go"} + SimpleData("m1") +
           QStringList{"S: 552 too big", "E: refused:m1:552"} + kRset + SendSimple("m2") + kQuit,
       {},
       two},
      {"RSET refused: protocol error",
       hello + QStringList{"C: MAIL FROM:<alice@example.com>", "S: 550 no", "E: refused:m1:550", "C: RSET",
                           "S: 500 what", "E: end:105"}},
      {"messages appended while connected go out on this connection",
       hello + SendSimple("m1") + SendSimple("m2") + SendSimple("m3") + kQuit,
       {},
       {Simple("m1")},
       {Simple("m2"), Simple("m3")}},
  });
}

TEST(SmtpTranscripts, MessageBytesAndLocalRefusals) {
  const QStringList hello = kGreet + QStringList{"S: 250 x"};
  const auto msg = [](const char* name, const QString& from, const QStringList& to,
                      const QByteArray& source) {
    return Msg{name, from, to, source};
  };
  const QString alice = QStringLiteral("alice@example.com");
  const QStringList bob = {QStringLiteral("bob@example.org")};
  const Msg dots = msg("dots", alice, bob, ".first\r\n..two\r\nmid.dle\r\n.\r\n. x");
  const Msg intl =
      msg("intl", QStringLiteral("jörg@example.com"), {QStringLiteral("zoë@example.org")}, "Hi \xc3\xa4");
  CheckTable({
      {"dot-stuffing, the first line too",
       hello + kMailRcpt +
           QStringList{"C: DATA", "S: 354 go", "C: ..first", "C: ...two", "C: mid.dle", "C: ..", "C: .. x",
                       "C: .", "S: 250 ok", "E: sent:dots"} +
           kQuit,
       {},
       {dots}},
      {"a line over 998 bytes: refused unsent, the next goes",
       hello + QStringList{"E: refused:long:121"} + SendSimple("m2") + kQuit,
       {},
       {msg("long", alice, bob, "a\r\n" + QByteArray(999, 'x') + "\r\n"), Simple("m2")}},
      {"non-ASCII address and 8-bit body with SMTPUTF8 and 8BITMIME",
       kGreet +
           QStringList{"S: 250-x", "S: 250-8BITMIME", "S: 250 SMTPUTF8",
                       QStringLiteral("C: MAIL FROM:<jörg@example.com> BODY=8BITMIME SMTPUTF8"), "S: 250 ok",
                       QStringLiteral("C: RCPT TO:<zoë@example.org>"), "S: 250 ok", "C: DATA", "S: 354 go",
                       QStringLiteral("C: Hi ä"), "C: .", "S: 250 ok", "E: sent:intl"} +
           kQuit,
       {},
       {intl}},
  });
  // Refused before a byte of it is sent.
  const std::vector<std::pair<Msg, int>> refusals = {
      {msg("CR LF in a recipient", alice, {"bob@example.org>\r\nRCPT TO:<eve@example.net"}, "x"), 120},
      {msg("LF in the sender", "alice@example.com\nDATA", bob, "x"), 120},
      {msg("angle bracket adding parameters", alice, {"bob@example.org> NOTIFY=NEVER"}, "x"), 120},
      {msg("control character", alice, {"bob@exa\tmple.org"}, "x"), 120},
      {msg("no recipient", alice, {}, "x"), 123},
      {msg("non-ASCII address without SMTPUTF8", intl.from, intl.to, "x"), 122},
  };
  for (const auto& [m, code] : refusals) {
    const QByteArray name = m.name.toUtf8();
    CheckTranscript({name.constData(),
                     hello + QStringList{"E: refused:" + m.name + ":" + QString::number(code)} + kQuit,
                     {},
                     {m}});
  }
}

TEST(SmtpTranscripts, ReplyLimits) {
  QStringList endless;
  for (int i = 0; i < 250; ++i) endless.append("S: 220-line");
  CheckTable({
      {"endless reply line", {"S: 220 " + QString(4100, QLatin1Char('x')), "E: end:105"}},
      {"endless multi-line reply", endless + QStringList{"E: end:105"}},
      {"reply line at the limit is fine",
       QStringList{"S: 220 " + QString(4092, QLatin1Char('x'))} + kQuit,
       {},
       {}},
      // Silent half-way through a reply: the lines in so far are not taken for a reply.
      {"silent mid-reply", kGreet + QStringList{"S: 250-x", "Z:", "E: end:101"}},
  });
}

// ---------------------------------------------------------------------------------------
// Every step of a full session: STARTTLS, AUTH LOGIN, two messages, QUIT.

bool StartsReply(const QStringList& script, int i) {
  if (!script.at(i).startsWith(QLatin1String("S: "))) return false;
  // The first line of a reply: the line before it was no continuation line.
  for (int j = i - 1; j >= 0; --j) {
    if (script.at(j).startsWith(QLatin1String("E: "))) continue;
    return !(script.at(j).startsWith(QLatin1String("S: ")) && script.at(j).size() > 6 &&
             script.at(j).at(6) == '-');
  }
  return true;
}

// After a client command: the line before is the client's and this one is not.
bool AfterCommand(const QStringList& script, int i) {
  return i > 0 && script.at(i - 1).startsWith(QLatin1String("C: ")) &&
         !script.at(i).startsWith(QLatin1String("C: "));
}

// The script is cut at every reply (or after every command) and the tail put in place of
// the rest; after QUIT every ending is the normal one.
TEST(SmtpTranscripts, EveryStepOfAFullSession) {
  const QStringList full = kGreet + kTls + QStringList{"S: 250-mail.example.com", "S: 250 AUTH LOGIN"} +
                           kAuthLogin + QStringList{"S: 235 ok"} + SendSimple("m1") + SendSimple("m2") +
                           kQuit;
  struct Case {
    const char* name;
    bool (*at)(const QStringList&, int);
    QStringList (*tail)(bool afterQuit);
    int variants;
  };
  const std::vector<Case> table = {
      {"421 in place of a reply", StartsReply,
       [](bool quit) {
         return QStringList{"S: 421 4.3.2 shutting down", "X:", quit ? "E: end:102" : "E: end:108"};
       },
       16},
      {"dropped after a command", AfterCommand,
       [](bool) {
         return QStringList{"X:", "E: end:102"};
       },
       15},
      {"silent after a command", AfterCommand,
       [](bool quit) {
         return QStringList{"Z:", quit ? "E: end:102" : "E: end:101"};
       },
       15},
  };
  for (const auto& c : table) {
    int variants = 0;
    for (int i = 0; i < full.size(); ++i) {
      if (!c.at(full, i)) continue;
      ++variants;
      const bool afterQuit = i > 0 && full.at(i - 1) == "C: QUIT";
      CheckTranscript(
          {c.name, full.mid(0, i) + c.tail(afterQuit), kRemoteUser, {Simple("m1"), Simple("m2")}});
    }
    EXPECT_EQ(variants, c.variants) << c.name;
  }
}

// ---------------------------------------------------------------------------------------
// SMTPSocket: the outgoing list, the events and the codes, over the same fake server.

using platform::EmailMessagePtr;
using platform::SMTPSocket;
using platform::SpecialEmail;

std::shared_ptr<SpecialEmail> Letter(const QString& name,
                                     const QString& to = QStringLiteral("bob@example.org")) {
  auto m = std::make_shared<SpecialEmail>();
  m->SetName(name);
  m->AddRecipient(to);
  m->SetFromAddress(QStringLiteral("alice@example.com"));
  m->SetBodyPlainText(QStringLiteral("x"));
  return m;
}

QString NameOf(const EmailMessagePtr& m) {
  return std::dynamic_pointer_cast<SpecialEmail>(m)->Name();
}

QStringList Accept(const QString& to = QStringLiteral("bob@example.org")) {
  return {"C: MAIL FROM:<alice@example.com>",
          "S: 250 ok",
          "C: RCPT TO:<" + to + ">",
          "S: 250 ok",
          "C: DATA",
          "S: 354 go",
          "D:",
          "S: 250 queued"};
}

// One SMTPSocket wired to a fake server; records its events. The hooks run inside the
// socket's own events, before they are recorded, the way the program's handlers do.
struct Client {
  QPointer<FakeByteStream> stream;
  // What the stream saw, kept when the client deletes it.
  struct Seen {
    QString host;
    quint16 port = 0;
    bool implicitTls = false;
  };
  std::optional<Seen> seen;
  QStringList events;
  QList<EmailMessagePtr> sent;
  int fullProgress = 0;
  int errors = 0;
  std::function<void(Client&)> onFirstSent;
  // Last, so it goes first: deleting it deletes the stream, which writes `seen`.
  SMTPSocket socket;

  explicit Client(const QStringList& script) {
    socket.SetAddress(QStringLiteral("mail.example.com"));
    socket.SetStreamFactory([this, script](const platform::TlsPolicy&) {
      auto fake = std::make_unique<FakeByteStream>(FakeByteStream::ParseScript(script), false, -1);
      stream = fake.get();
      fake->onDestroyed = [this](const FakeByteStream& f) {
        seen = Seen{f.Host(), f.Port(), f.ImplicitTls()};
      };
      fake->onSilence = [this] {
        if (auto* timer = socket.findChild<QTimer*>(QStringLiteral("smtpStepTimer"))) timer->start(0);
      };
      return fake;
    });
    QObject::connect(&socket, &SMTPSocket::ConnectionEstablished,
                     [this](const QString& text) { events.append("greeting:" + text); });
    QObject::connect(&socket, &SMTPSocket::MessageSent, [this](EmailMessagePtr m) {
      sent.append(m);
      if (onFirstSent) std::exchange(onFirstSent, nullptr)(*this);
      events.append("sent:" + NameOf(m));
    });
    QObject::connect(&socket, &SMTPSocket::ServerError, [this](EmailMessagePtr m, int code, const QString&) {
      events.append("refused:" + NameOf(m) + ":" + QString::number(code));
    });
    QObject::connect(&socket, &SMTPSocket::SendProgress,
                     [this](qint64 done, qint64 total) { fullProgress += done == total ? 1 : 0; });
    QObject::connect(&socket, &SMTPSocket::Error, [this] {
      ++errors;
      events.append("error:" + QString::number(socket.LastErrorCode()));
    });
  }

  // Runs until the connection is over, and lets its last events arrive.
  void SendAndWait() {
    socket.SendMail();
    testing_support::WaitUntil([&] { return !socket.IsConnected(); }, 20000);
    QCoreApplication::processEvents();
  }

  QStringList Names() const {
    QStringList names;
    for (const auto& m : socket.Messages()) names.append(NameOf(m));
    return names;
  }
};

const QStringList kHello = {"S: 220 mail.example.com ready", "C: EHLO [127.0.0.1]",
                            "S: 250 mail.example.com"};

TEST(SMTPSocket, OutgoingList) {
  struct Case {
    const char* name;
    QStringList script;
    QList<std::shared_ptr<SpecialEmail>> letters;
    std::function<void(Client&)> onFirstSent;
    const char* events;  // after the greeting
    QStringList left;
  };
  const QString carol = QStringLiteral("carol@example.org");
  const auto a = [] { return Letter(QStringLiteral("a")); };
  const auto b = [] { return Letter(QStringLiteral("b")); };
  const std::vector<Case> table = {
      {"appended while connected: goes out on this connection",
       kHello + Accept() + Accept(carol) + kQuit,
       {a()},
       [=](Client& c) { c.socket.Messages() << Letter(QStringLiteral("later"), carol); },
       "sent:a | sent:later | error:102",
       {}},
      {"refused leaves the list, the next goes",
       kHello +
           QStringList{"C: MAIL FROM:<alice@example.com>", "S: 250 ok", "C: RCPT TO:<nobody@example.org>",
                       "S: 550 no such user", "C: RSET", "S: 250 ok"} +
           Accept() + kQuit,
       {Letter(QStringLiteral("bad"), QStringLiteral("nobody@example.org")), a()},
       {},
       "refused:bad:550 | sent:a | error:102",
       {}},
      {"dropped connection keeps the unsent in order",
       kHello + Accept() + QStringList{"C: MAIL FROM:<alice@example.com>", "X:"},
       {a(), b(), Letter(QStringLiteral("c"))},
       {},
       "sent:a | error:102",
       {"b", "c"}},
      // The program's handlers run the event loop (once per list row); the client must
      // stay sound when its own events arrive inside them.
      {"server closes while the handler runs the event loop",
       kHello + Accept() + QStringList{"X:"},
       {a(), b()},
       [](Client& c) { testing_support::WaitUntil([&] { return c.errors > 0; }); },
       "error:102 | sent:a",
       {"b"}},
      {"handler disconnects: silent, list kept",
       kHello + Accept() + QStringList{"Z:"},
       {a(), b()},
       [](Client& c) { c.socket.Disconnect(); },
       "sent:a",
       {"b"}},
      {"handler empties the list: sign-off",
       kHello + Accept() + kQuit,
       {a(), b()},
       [](Client& c) { c.socket.DeleteAllMessages(); },
       "sent:a | error:102",
       {}},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.name);
    Client c(t.script);
    c.onFirstSent = t.onFirstSent;
    for (const auto& m : t.letters) c.socket.Messages() << m;
    c.SendAndWait();
    EXPECT_EQ(c.events.join(" | "), "greeting:mail.example.com ready | " + QString::fromUtf8(t.events));
    EXPECT_EQ(c.Names(), t.left);
    EXPECT_EQ(c.socket.IsConnected(), false);
    // The very objects queued come back, and progress reaches the whole of each.
    for (const auto& m : c.sent) {
      const bool queued =
          std::any_of(t.letters.begin(), t.letters.end(), [&](const auto& l) { return l.get() == m.get(); });
      if (NameOf(m) != QStringLiteral("later")) EXPECT_EQ(queued, true) << NameOf(m).toStdString();
    }
    EXPECT_EQ(c.fullProgress, c.sent.size());
  }
}

TEST(SMTPSocket, AddressForms) {
  struct Case {
    const char* address;
    const char* host;
    int port;
    bool implicitTls;
  };
  const std::vector<Case> table = {
      {"mail.example.com", "mail.example.com", 25, false},
      {"mail.example.com:465", "mail.example.com", 465, true},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.address);
    Client c({"S: 220 hi", "C: QUIT", "S: 221 bye", "X:"});
    c.socket.SetAddress(QString::fromUtf8(t.address));
    c.SendAndWait();
    ASSERT_TRUE(c.seen.has_value());
    EXPECT_EQ(c.seen->host, QString::fromUtf8(t.host));
    EXPECT_EQ(c.seen->port, t.port);
    EXPECT_EQ(c.seen->implicitTls, t.implicitTls);
  }
}

TEST(SMTPSocket, BadAddressIsReportedFromTheEventLoop) {
  Client c({});
  c.socket.SetAddress(QStringLiteral("host:99999"));
  c.socket.Messages() << Letter(QStringLiteral("a"));
  c.socket.SendMail();
  // Not reported inside SendMail, and a second SendMail meanwhile starts nothing.
  EXPECT_EQ(c.errors, 0);
  EXPECT_EQ(c.socket.IsConnected(), true);
  c.socket.SendMail();
  testing_support::WaitUntil([&] { return c.errors > 0; });
  EXPECT_EQ(c.events.join(" | "), "error:111");
  EXPECT_EQ(c.stream.isNull(), true);
  EXPECT_EQ(c.socket.Messages().size(), 1);
}

// Disconnect drops everything under way, a bad address's pending report included: the
// next SendMail must run, and no stale error may follow it.
TEST(SMTPSocket, DisconnectCancelsABadAddressReport) {
  Client c(kHello + Accept() + kQuit);
  c.socket.SetAddress(QStringLiteral("host:99999"));
  c.socket.Messages() << Letter(QStringLiteral("a"));
  c.socket.SendMail();
  c.socket.Disconnect();
  EXPECT_EQ(c.socket.IsConnected(), false);
  c.socket.SetAddress(QStringLiteral("mail.example.com"));
  c.SendAndWait();
  EXPECT_EQ(c.events.join(" | "), "greeting:mail.example.com ready | sent:a | error:102");
}

TEST(SMTPSocket, ErrorCodesReachLastErrorCode) {
  struct Case {
    const char* name;
    QStringList script;
    int code;
  };
  const std::vector<Case> table = {
      {"unreachable", {"U:"}, platform::smtp::kCannotConnect},
      {"silence: the socket's own step timer",
       {"S: 220 hi", "C: EHLO [127.0.0.1]", "Z:"},
       platform::smtp::kTimeout},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.name);
    Client c(t.script);
    c.socket.Messages() << Letter(QStringLiteral("a"));
    c.SendAndWait();
    EXPECT_EQ(c.socket.LastErrorCode(), t.code);
    EXPECT_EQ(c.errors, 1);
    EXPECT_EQ(c.socket.Messages().size(), 1);
  }
}

}  // namespace
