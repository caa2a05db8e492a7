// Transcript tests of the SMTP session against a scripted server: one table per area,
// each transcript replayed whole and with the server's bytes split at every offset;
// then the 421 reply, a dropped connection and a silent server at every step of a
// complete session. Last, the SMTPSocket's own promises (same message object back,
// the outgoing list, the error codes) on the same fake server.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

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
  std::vector<Msg> queued;
  QStringList script;  // S:/C:/T:/F:/X:/Z:/U: steps and E: expected events
  Options options = {};
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

const QStringList kQuit = {"C: QUIT", "S: 221 bye", "X:", "E: end:102"};

QStringList SendSimple(const QString& name) {
  return QStringList{"C: MAIL FROM:<alice@example.com>",
                     "S: 250 ok",
                     "C: RCPT TO:<bob@example.org>",
                     "S: 250 ok",
                     "C: DATA",
                     "S: 354 go"} +
         SimpleData(name) + QStringList{"S: 250 queued", "E: sent:" + name};
}

const QStringList kGreet = {"S: 220 mail.example.com ESMTP", "E: greeting:mail.example.com ESMTP",
                            "C: EHLO [127.0.0.1]"};

// ---------------------------------------------------------------------------------------

TEST(SmtpTranscripts, Greeting) {
  const std::vector<Transcript> table = {
      {"single-line greeting",
       {Simple("m1")},
       kGreet + QStringList{"S: 250 mail.example.com"} + SendSimple("m1") + kQuit},
      {"multi-line greeting: the event carries the first line",
       {Simple("m1")},
       QStringList{"S: 220-first line here", "S: 220-second", "S: 220 third", "E: greeting:first line here",
                   "C: EHLO [127.0.0.1]", "S: 250 hi"} +
           SendSimple("m1") + kQuit},
      {"bare 220 without text",
       {Simple("m1")},
       QStringList{"S: 220", "E: greeting:", "C: EHLO [127.0.0.1]", "S: 250 hi"} + SendSimple("m1") + kQuit},
      {"554 greeting refuses the session", {Simple("m1")}, {"S: 554 go away", "E: end:104"}},
      {"421 greeting", {Simple("m1")}, {"S: 421 busy", "E: end:108"}},
      {"greeting that is not SMTP", {Simple("m1")}, {"S: hello there", "E: end:105"}},
      {"reply codes differ between lines", {Simple("m1")}, {"S: 220-a", "S: 250 b", "E: end:105"}},
      {"empty list: sign-off without the greeting event", {}, QStringList{"S: 220 hi"} + kQuit},
      {"QUIT answered without 221 still ends with 102",
       {},
       {"S: 220 hi", "C: QUIT", "S: 500 what", "X:", "E: end:102"}},
      {"server never closes after 221: the client closes",
       {},
       {"S: 220 hi", "C: QUIT", "S: 221 bye", "Z:", "E: end:102"}},
      {"unreachable server", {Simple("m1")}, {"U:", "E: end:103"}},
      {"connection never completes", {Simple("m1")}, {"Z:", "E: end:103"}},
  };
  for (const auto& t : table) CheckTranscript(t);
}

TEST(SmtpTranscripts, HelloAndHeloFallback) {
  const Options user{"alice", "secret", false};
  const Options loopUser{"alice", "secret", true};
  const std::vector<Transcript> table = {
      {"EHLO 500: HELO",
       {Simple("m1")},
       kGreet + QStringList{"S: 500 unknown", "C: HELO [127.0.0.1]", "S: 250 hi"} + SendSimple("m1") + kQuit},
      {"EHLO 502: HELO",
       {Simple("m1")},
       kGreet + QStringList{"S: 502 not implemented", "C: HELO [127.0.0.1]", "S: 250 hi"} + SendSimple("m1") +
           kQuit},
      {"HELO refused too",
       {Simple("m1")},
       kGreet + QStringList{"S: 502 no", "C: HELO [127.0.0.1]", "S: 550 no", "E: end:104"}},
      {"EHLO 4xx is not a fallback", {Simple("m1")}, kGreet + QStringList{"S: 450 later", "E: end:104"}},
      {"HELO and a user name to a remote host: no password in plain text",
       {Simple("m1")},
       kGreet + QStringList{"S: 502 no", "C: HELO [127.0.0.1]", "S: 250 hi", "E: end:109"},
       user},
      {"HELO and a user name on loopback: no log-in method",
       {Simple("m1")},
       kGreet + QStringList{"S: 502 no", "C: HELO [127.0.0.1]", "S: 250 hi", "E: end:110"},
       loopUser},
      {"extensions in odd case and AUTH= form",
       {Simple("m1")},
       kGreet +
           QStringList{"S: 250-hi", "S: 250-auth=LOGIN", "S: 250 8bitmime", "C: AUTH LOGIN",
                       "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6", "C: c2VjcmV0",
                       "S: 235 ok"} +
           SendSimple("m1") + kQuit,
       loopUser},
  };
  for (const auto& t : table) CheckTranscript(t);
}

const QStringList kTls = {
    "S: 250-mail.example.com", "S: 250-STARTTLS", "S: 250 SIZE 1000", "C: STARTTLS", "S: 220 go ahead", "T:",
    "C: EHLO [127.0.0.1]"};

TEST(SmtpTranscripts, StartTls) {
  const Options user{"alice", "secret", false};
  const std::vector<Transcript> table = {
      {"offered: upgraded, EHLO again, AUTH only from the new list",
       {Simple("m1")},
       kGreet + kTls +
           QStringList{"S: 250-mail.example.com", "S: 250 AUTH PLAIN",
                       "C: AUTH PLAIN AGFsaWNlAHNlY3JldA==", "S: 235 ok"} +
           SendSimple("m1") + kQuit,
       user},
      {"STARTTLS again after the upgrade is not repeated",
       {Simple("m1")},
       kGreet + kTls + QStringList{"S: 250-mail.example.com", "S: 250 STARTTLS"} + SendSimple("m1") + kQuit},
      {"capabilities before TLS are forgotten",
       {Simple("m1")},
       kGreet + QStringList{"S: 250-mail.example.com", "S: 250-AUTH PLAIN", "S: 250 STARTTLS", "C: STARTTLS",
                            "S: 220 go", "T:", "C: EHLO [127.0.0.1]", "S: 250 mail.example.com",
                            "E: end:110"},
       user},
      {"STARTTLS refused: no plain-text fallback",
       {Simple("m1")},
       kGreet + QStringList{"S: 250-x", "S: 250 STARTTLS", "C: STARTTLS", "S: 454 TLS not available",
                            "E: end:107"}},
      {"bytes sent with the go-ahead, before the handshake",
       {Simple("m1")},
       kGreet + QStringList{"S: 250-x", "S: 250 STARTTLS", "C: STARTTLS", "S: 220 go\\r\\n250-x AUTH PLAIN",
                            "E: end:107"},
       {},
       {},
       true},
      {"handshake fails (certificate not trusted)",
       {Simple("m1")},
       kGreet + QStringList{"S: 250-x", "S: 250 STARTTLS", "C: STARTTLS", "S: 220 go", "F:", "E: end:107"}},
      {"server hides STARTTLS, user name, remote: password withheld",
       {Simple("m1")},
       kGreet + QStringList{"S: 250-x", "S: 250 AUTH PLAIN LOGIN", "E: end:109"},
       user},
      {"server hides STARTTLS, user name, loopback: log-in allowed",
       {Simple("m1")},
       kGreet +
           QStringList{"S: 250-x", "S: 250 AUTH PLAIN LOGIN",
                       "C: AUTH PLAIN AGFsaWNlAHNlY3JldA==", "S: 235 ok"} +
           SendSimple("m1") + kQuit,
       {"alice", "secret", true}},
      {"server hides STARTTLS, no user name: plain relay",
       {Simple("m1")},
       kGreet + QStringList{"S: 250 x"} + SendSimple("m1") + kQuit},
      {"TLS from the first byte: no STARTTLS, log-in at once",
       {Simple("m1")},
       kGreet +
           QStringList{"S: 250-x", "S: 250-STARTTLS", "S: 250 AUTH LOGIN", "C: AUTH LOGIN",
                       "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6", "C: c2VjcmV0",
                       "S: 235 ok"} +
           SendSimple("m1") + kQuit,
       {"alice", "secret", false, true}},
  };
  for (const auto& t : table) CheckTranscript(t);
}

TEST(SmtpTranscripts, Authentication) {
  const Options user{"alice", "secret", true};
  const QStringList plainAndLogin = kGreet + QStringList{"S: 250-x", "S: 250 AUTH LOGIN PLAIN CRAM-MD5"};
  const std::vector<Transcript> table = {
      {"PLAIN preferred",
       {Simple("m1")},
       plainAndLogin + QStringList{"C: AUTH PLAIN AGFsaWNlAHNlY3JldA==", "S: 235 ok"} + SendSimple("m1") +
           kQuit,
       user},
      {"PLAIN password refused: 106",
       {Simple("m1")},
       plainAndLogin +
           QStringList{"C: AUTH PLAIN AGFsaWNlAHNlY3JldA==", "S: 535 5.7.8 bad credentials", "E: end:106"},
       user},
      {"PLAIN not supported after all: LOGIN",
       {Simple("m1")},
       plainAndLogin +
           QStringList{"C: AUTH PLAIN AGFsaWNlAHNlY3JldA==", "S: 504 no", "C: AUTH LOGIN",
                       "S: 334 VXNlcm5hbWU6", "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6", "C: c2VjcmV0",
                       "S: 235 ok"} +
           SendSimple("m1") + kQuit,
       user},
      {"LOGIN password refused: 106",
       {Simple("m1")},
       kGreet + QStringList{"S: 250-x", "S: 250 AUTH LOGIN", "C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6",
                            "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6", "C: c2VjcmV0", "S: 535 no", "E: end:106"},
       user},
      {"LOGIN user name refused: 106",
       {Simple("m1")},
       kGreet + QStringList{"S: 250-x", "S: 250 AUTH LOGIN", "C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6",
                            "C: YWxpY2U=", "S: 535 no", "E: end:106"},
       user},
      {"LOGIN asks a third question: protocol error",
       {Simple("m1")},
       kGreet + QStringList{"S: 250-x", "S: 250 AUTH LOGIN", "C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6",
                            "C: YWxpY2U=", "S: 334 UGFzc3dvcmQ6", "C: c2VjcmV0", "S: 334 more?",
                            "E: end:105"},
       user},
      {"only CRAM-MD5 offered: 110",
       {Simple("m1")},
       kGreet + QStringList{"S: 250-x", "S: 250 AUTH CRAM-MD5", "E: end:110"},
       user},
      {"non-ASCII user name and password travel as UTF-8",
       {Simple("m1")},
       kGreet + QStringList{"S: 250-x", "S: 250 AUTH PLAIN", "C: AUTH PLAIN AGrDtnJnAHDDpHNz", "S: 235 ok"} +
           SendSimple("m1") + kQuit,
       {QStringLiteral("jörg"), QStringLiteral("päss"), true}},
  };
  for (const auto& t : table) CheckTranscript(t);
}

TEST(SmtpTranscripts, RefusedStepsAndNextMessage) {
  const QStringList hello = kGreet + QStringList{"S: 250 x"};
  Msg twoRcpt = Simple("m2");
  twoRcpt.to = QStringList{"bob@example.org", "carol@example.org"};
  const std::vector<Transcript> table = {
      {"refused sender: RSET, next message goes",
       {Simple("m1"), Simple("m2")},
       hello +
           QStringList{"C: MAIL FROM:<alice@example.com>", "S: 550 no", "E: refused:m1:550", "C: RSET",
                       "S: 250 ok"} +
           SendSimple("m2") + kQuit},
      {"refused recipient",
       {Simple("m1"), Simple("m2")},
       hello +
           QStringList{"C: MAIL FROM:<alice@example.com>", "S: 250 ok", "C: RCPT TO:<bob@example.org>",
                       "S: 550 5.1.1 no such user", "E: refused:m1:550", "C: RSET", "S: 250 ok"} +
           SendSimple("m2") + kQuit},
      {"second of two recipients refused: the whole message is refused",
       {twoRcpt, Simple("m3")},
       hello +
           QStringList{"C: MAIL FROM:<alice@example.com>", "S: 250 ok", "C: RCPT TO:<bob@example.org>",
                       "S: 250 ok", "C: RCPT TO:<carol@example.org>", "S: 450 later", "E: refused:m2:450",
                       "C: RSET", "S: 250 ok"} +
           SendSimple("m3") + kQuit},
      {"two recipients accepted (251 too)",
       {twoRcpt},
       hello +
           QStringList{"C: MAIL FROM:<alice@example.com>", "S: 250 ok", "C: RCPT TO:<bob@example.org>",
                       "S: 251 forwarded", "C: RCPT TO:<carol@example.org>", "S: 250 ok", "C: DATA",
                       "S: 354 go"} +
           SimpleData("m2") + QStringList{"S: 250 ok", "E: sent:m2"} + kQuit},
      {"DATA refused",
       {Simple("m1")},
       hello +
           QStringList{"C: MAIL FROM:<alice@example.com>", "S: 250 ok", "C: RCPT TO:<bob@example.org>",
                       "S: 250 ok", "C: DATA", "S: 554 no", "E: refused:m1:554", "C: RSET", "S: 250 ok"} +
           kQuit},
      {"message refused after its data",
       {Simple("m1"), Simple("m2")},
       hello +
           QStringList{"C: MAIL FROM:<alice@example.com>", "S: 250 ok", "C: RCPT TO:<bob@example.org>",
                       "S: 250 ok", "C: DATA", "S: 354 go"} +
           SimpleData("m1") + QStringList{"S: 552 too big", "E: refused:m1:552", "C: RSET", "S: 250 ok"} +
           SendSimple("m2") + kQuit},
      {"RSET refused: protocol error",
       {Simple("m1")},
       hello + QStringList{"C: MAIL FROM:<alice@example.com>", "S: 550 no", "E: refused:m1:550", "C: RSET",
                           "S: 500 what", "E: end:105"}},
      {"messages appended while connected go out on this connection",
       {Simple("m1")},
       hello + SendSimple("m1") + SendSimple("m2") + SendSimple("m3") + kQuit,
       {},
       {Simple("m2"), Simple("m3")}},
  };
  for (const auto& t : table) CheckTranscript(t);
}

TEST(SmtpTranscripts, MessageBytesAndLocalRefusals) {
  const QStringList hello = kGreet + QStringList{"S: 250 x"};
  const QStringList utf8Hello = kGreet + QStringList{"S: 250-x", "S: 250-8BITMIME", "S: 250 SMTPUTF8"};
  const QStringList start = {"C: MAIL FROM:<alice@example.com>",
                             "S: 250 ok",
                             "C: RCPT TO:<bob@example.org>",
                             "S: 250 ok",
                             "C: DATA",
                             "S: 354 go"};
  Msg dots{"dots", "alice@example.com", {"bob@example.org"}, ".first\r\n..two\r\nmid.dle\r\n.\r\n. x"};
  Msg ends{"ends", "alice@example.com", {"bob@example.org"}, "a\rb\nc\r\n\r\rd\n"};
  Msg empty{"empty", "alice@example.com", {"bob@example.org"}, ""};
  Msg crlfRcpt{"inject", "alice@example.com", {"bob@example.org>\r\nRCPT TO:<eve@example.net"}, "x"};
  Msg crlfFrom{"inject2", "alice@example.com\nDATA", {"bob@example.org"}, "x"};
  Msg bracket{"params", "alice@example.com", {"bob@example.org> NOTIFY=NEVER"}, "x"};
  Msg tab{"tab", "alice@example.com", {"bob@exa\tmple.org"}, "x"};
  Msg longLine{"long", "alice@example.com", {"bob@example.org"}, "a\r\n" + QByteArray(999, 'x') + "\r\n"};
  Msg longestLine{"longest", "alice@example.com", {"bob@example.org"}, "." + QByteArray(997, 'x')};
  Msg noRcpt{"nobody", "alice@example.com", {}, "x"};
  Msg intl{"intl", QStringLiteral("jörg@example.com"), {QStringLiteral("zoë@example.org")}, "Hi \xc3\xa4"};
  const std::vector<Transcript> table = {
      {"dot-stuffing, the first line too",
       {dots},
       hello + start +
           QStringList{"C: ..first", "C: ...two", "C: mid.dle", "C: ..", "C: .. x", "C: .", "S: 250 ok",
                       "E: sent:dots"} +
           kQuit},
      {"bare CR and bare LF become CR LF",
       {ends},
       hello + start +
           QStringList{"C: a", "C: b", "C: c", "C: ", "C: ", "C: d", "C: .", "S: 250 ok", "E: sent:ends"} +
           kQuit},
      {"empty message", {empty}, hello + start + QStringList{"C: .", "S: 250 ok", "E: sent:empty"} + kQuit},
      {"998 bytes and a stuffed dot fit",
       {longestLine},
       hello + start +
           QStringList{"C: .." + QString(997, QLatin1Char('x')), "C: .", "S: 250 ok", "E: sent:longest"} +
           kQuit},
      {"CR LF in a recipient: refused unsent, the next goes",
       {crlfRcpt, Simple("m2")},
       hello + QStringList{"E: refused:inject:120"} + SendSimple("m2") + kQuit},
      {"LF in the sender", {crlfFrom}, hello + QStringList{"E: refused:inject2:120"} + kQuit},
      {"angle bracket adding parameters", {bracket}, hello + QStringList{"E: refused:params:120"} + kQuit},
      {"control character", {tab}, hello + QStringList{"E: refused:tab:120"} + kQuit},
      {"a line over 998 bytes",
       {longLine, Simple("m2")},
       hello + QStringList{"E: refused:long:121"} + SendSimple("m2") + kQuit},
      {"no recipient", {noRcpt}, hello + QStringList{"E: refused:nobody:123"} + kQuit},
      {"non-ASCII address without SMTPUTF8", {intl}, hello + QStringList{"E: refused:intl:122"} + kQuit},
      {"non-ASCII address and 8-bit body with SMTPUTF8 and 8BITMIME",
       {intl},
       utf8Hello +
           QStringList{QStringLiteral("C: MAIL FROM:<jörg@example.com> BODY=8BITMIME SMTPUTF8"), "S: 250 ok",
                       QStringLiteral("C: RCPT TO:<zoë@example.org>"), "S: 250 ok", "C: DATA", "S: 354 go",
                       QStringLiteral("C: Hi ä"), "C: .", "S: 250 ok", "E: sent:intl"} +
           kQuit},
  };
  for (const auto& t : table) CheckTranscript(t);
}

TEST(SmtpTranscripts, ReplyLimits) {
  const std::vector<Transcript> table = {
      {"endless reply line", {Simple("m1")}, {"S: 220 " + QString(4100, QLatin1Char('x')), "E: end:105"}},
      {"endless multi-line reply",
       {Simple("m1")},
       [] {
         QStringList s;
         for (int i = 0; i < 250; ++i) s.append("S: 220-line");
         s.append("E: end:105");
         return s;
       }()},
      {"reply line at the limit is fine",
       {},
       QStringList{"S: 220 " + QString(4092, QLatin1Char('x'))} + kQuit},
  };
  for (const auto& t : table) CheckTranscript(t);
}

// ---------------------------------------------------------------------------------------
// Every step of a full session: STARTTLS, AUTH LOGIN, two messages, QUIT.

QStringList FullSession() {
  return kGreet + kTls + QStringList{"S: 250-mail.example.com",
                                     "S: 250 AUTH LOGIN",
                                     "C: AUTH LOGIN",
                                     "S: 334 VXNlcm5hbWU6",
                                     "C: YWxpY2U=",
                                     "S: 334 UGFzc3dvcmQ6",
                                     "C: c2VjcmV0",
                                     "S: 235 ok"} +
         SendSimple("m1") + SendSimple("m2") + kQuit;
}

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

// The script up to line i with `tail` in place of the rest; the events before line i are kept.
QStringList CutAt(const QStringList& script, int i, const QStringList& tail) {
  return script.mid(0, i) + tail;
}

bool IsQuitReply(const QStringList& script, int i) {
  return i > 0 && script.at(i - 1) == "C: QUIT";
}

// After a client command: the line before is the client's and this one is not.
bool AfterCommand(const QStringList& script, int i) {
  return i > 0 && script.at(i - 1).startsWith(QLatin1String("C: ")) &&
         !script.at(i).startsWith(QLatin1String("C: "));
}

// Replays the full session once for every line where `at` holds, the script cut there
// and `tail` put in place of the rest; returns how many variants ran.
int ReplayCut(const char* name, const std::function<bool(const QStringList&, int)>& at,
              const std::function<QStringList(const QStringList&, int)>& tail) {
  const QStringList full = FullSession();
  int variants = 0;
  for (int i = 0; i < full.size(); ++i) {
    if (!at(full, i)) continue;
    ++variants;
    CheckTranscript(
        {name, {Simple("m1"), Simple("m2")}, CutAt(full, i, tail(full, i)), {"alice", "secret", false}});
  }
  return variants;
}

TEST(SmtpTranscripts, Reply421AtEveryStep) {
  const int variants = ReplayCut("421 in place of a reply", StartsReply, [](const QStringList& full, int i) {
    return QStringList{"S: 421 4.3.2 shutting down",
                       "X:", IsQuitReply(full, i) ? "E: end:102" : "E: end:108"};
  });
  EXPECT_EQ(variants, 16);  // every reply of the session
}

TEST(SmtpTranscripts, ConnectionDroppedAfterEveryCommand) {
  const int variants = ReplayCut("dropped after a command", AfterCommand, [](const QStringList&, int) {
    return QStringList{"X:", "E: end:102"};
  });
  EXPECT_EQ(variants, 15);  // every command of the session
}

TEST(SmtpTranscripts, SilenceAfterEveryCommand) {
  const int variants = ReplayCut("silent after a command", AfterCommand, [](const QStringList& full, int i) {
    return QStringList{"Z:", full.at(i - 1) == "C: QUIT" ? "E: end:102" : "E: end:101"};
  });
  EXPECT_EQ(variants, 15);
  // Silent half-way through a reply: the lines in so far are not taken for a reply.
  CheckTranscript({"silent mid-reply", {Simple("m1")}, kGreet + QStringList{"S: 250-x", "Z:", "E: end:101"}});
}

}  // namespace

// ---------------------------------------------------------------------------------------
// SMTPSocket: the outgoing list, the events and the codes, over the same fake server.

namespace {

using platform::EmailMessagePtr;
using platform::SMTPSocket;
using platform::SpecialEmail;

std::shared_ptr<SpecialEmail> Letter(const QString& name,
                                     const QString& to = QStringLiteral("bob@example.org")) {
  auto m = std::make_shared<SpecialEmail>();
  m->SetName(name);
  m->AddRecipient(to);
  m->SetFromAddress(QStringLiteral("alice@example.com"));
  m->SetSubject(QStringLiteral("Subject ") + name);
  m->SetBodyPlainText(QStringLiteral(".starts with a dot\r\nsecond line\r\n"));
  return m;
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

// One SMTPSocket wired to a fake server; records its events.
struct Client {
  QPointer<FakeByteStream> stream;
  // What the stream saw, kept when the client deletes it.
  struct Seen {
    QString host;
    quint16 port = 0;
    bool implicitTls = false;
    QByteArray written;
  };
  std::optional<Seen> seen;
  QStringList events;
  QList<EmailMessagePtr> sent;
  QList<qint64> progressTotals;
  int errors = 0;
  // Last, so it goes first: deleting it deletes the stream, which writes `seen`.
  SMTPSocket socket;

  explicit Client(const QStringList& script, bool loopback = false) {
    socket.SetAddress(QStringLiteral("mail.example.com"));
    socket.SetStreamFactory([this, script, loopback](const platform::TlsPolicy&) {
      auto fake = std::make_unique<FakeByteStream>(FakeByteStream::ParseScript(script), loopback, -1);
      stream = fake.get();
      fake->onDestroyed = [this](const FakeByteStream& f) {
        seen = Seen{f.Host(), f.Port(), f.ImplicitTls(), f.Written()};
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
      events.append("sent:" + std::dynamic_pointer_cast<SpecialEmail>(m)->Name());
    });
    QObject::connect(&socket, &SMTPSocket::ServerError, [this](EmailMessagePtr m, int code, const QString&) {
      events.append("refused:" + std::dynamic_pointer_cast<SpecialEmail>(m)->Name() + ":" +
                    QString::number(code));
    });
    QObject::connect(&socket, &SMTPSocket::SendProgress, [this](qint64 done, qint64 total) {
      progressTotals.append(done == total ? total : -1);
    });
    QObject::connect(&socket, &SMTPSocket::Error, [this] {
      ++errors;
      events.append("error:" + QString::number(socket.LastErrorCode()));
    });
  }

  void SendAndWait() {
    const int before = errors;
    socket.SendMail();
    testing_support::WaitUntil([&] { return errors > before; }, 20000);
  }

  QStringList Names() const {
    QStringList names;
    for (const auto& m : socket.Messages()) names.append(std::dynamic_pointer_cast<SpecialEmail>(m)->Name());
    return names;
  }
};

const QStringList kHello = {"S: 220 mail.example.com ready", "C: EHLO [127.0.0.1]",
                            "S: 250 mail.example.com"};

TEST(SMTPSocket, HandsBackTheSameMessageAndEmptiesTheList) {
  Client c(kHello + Accept() + Accept(QStringLiteral("carol@example.org")) + kQuit);
  auto m1 = Letter(QStringLiteral("Newsletter"));
  auto m2 = Letter(QStringLiteral("Other"), QStringLiteral("carol@example.org"));
  c.socket.Messages() << m1 << m2;
  c.SendAndWait();
  EXPECT_EQ(c.events.join(" | "),
            "greeting:mail.example.com ready | sent:Newsletter | sent:Other | error:102");
  ASSERT_EQ(c.sent.size(), 2);
  EXPECT_EQ(c.sent.at(0).get(), m1.get());
  EXPECT_EQ(c.sent.at(1).get(), m2.get());
  EXPECT_EQ(c.socket.Messages().size(), 0);
  EXPECT_EQ(c.socket.IsConnected(), false);
  ASSERT_TRUE(c.seen.has_value());
  EXPECT_EQ(c.seen->port, 25);
  EXPECT_EQ(c.seen->implicitTls, false);
  // Progress ends at the whole message for each of the two.
  EXPECT_EQ(c.progressTotals.count(-1) + 2, c.progressTotals.size());
}

TEST(SMTPSocket, MessageDataIsTheDotStuffedSource) {
  Client c(kHello + Accept() + kQuit);
  auto m = Letter(QStringLiteral("dots"));
  c.socket.Messages() << m;
  c.SendAndWait();
  ASSERT_TRUE(c.seen.has_value());
  const QByteArray written = c.seen->written;
  const qsizetype start = written.indexOf("DATA\r\n") + 6;
  const QByteArray data = written.mid(start, written.indexOf("\r\n.\r\n", start) + 5 - start);
  EXPECT_EQ(data.contains("\r\n..starts with a dot\r\n"), true);
  EXPECT_EQ(data.contains("\nSubject: Subject dots\r\n"), true);
}

TEST(SMTPSocket, MessagesAppendedWhileConnectedGoOutOnThatConnection) {
  Client c(kHello + Accept() + Accept(QStringLiteral("dave@example.org")) + kQuit);
  c.socket.Messages() << Letter(QStringLiteral("first"));
  QObject::connect(&c.socket, &SMTPSocket::MessageSent, [&](EmailMessagePtr) {
    if (c.sent.size() == 1)
      c.socket.Messages() << Letter(QStringLiteral("later"), QStringLiteral("dave@example.org"));
  });
  c.SendAndWait();
  EXPECT_EQ(c.events.join(" | "), "greeting:mail.example.com ready | sent:first | sent:later | error:102");
}

TEST(SMTPSocket, RefusedMessageLeavesTheListAndTheNextGoes) {
  Client c(kHello +
           QStringList{"C: MAIL FROM:<alice@example.com>", "S: 250 ok", "C: RCPT TO:<nobody@example.org>",
                       "S: 550 no such user", "C: RSET", "S: 250 ok"} +
           Accept() + kQuit);
  c.socket.Messages() << Letter(QStringLiteral("bad"), QStringLiteral("nobody@example.org"))
                      << Letter(QStringLiteral("good"));
  c.SendAndWait();
  EXPECT_EQ(c.events.join(" | "),
            "greeting:mail.example.com ready | refused:bad:550 | sent:good | error:102");
  EXPECT_EQ(c.socket.Messages().size(), 0);
}

TEST(SMTPSocket, DroppedConnectionKeepsUnsentMessagesInOrder) {
  Client c(kHello + Accept() + QStringList{"C: MAIL FROM:<alice@example.com>", "X:"});
  c.socket.Messages() << Letter(QStringLiteral("a")) << Letter(QStringLiteral("b"))
                      << Letter(QStringLiteral("c"));
  c.SendAndWait();
  EXPECT_EQ(c.events.join(" | "), "greeting:mail.example.com ready | sent:a | error:102");
  EXPECT_EQ(c.Names(), QStringList({"b", "c"}));
  EXPECT_EQ(c.socket.IsConnected(), false);
}

TEST(SMTPSocket, EmptyListOnlySignsOff) {
  Client c({"S: 220 hi", "C: QUIT", "S: 221 bye", "X:"});
  c.SendAndWait();
  EXPECT_EQ(c.events.join(" | "), "error:102");
}

TEST(SMTPSocket, ListEmptiedDuringTheConnectionSignsOff) {
  Client c(kHello + kQuit);
  c.socket.Messages() << Letter(QStringLiteral("a"));
  QObject::connect(&c.socket, &SMTPSocket::ConnectionEstablished, [&] { c.socket.DeleteAllMessages(); });
  c.SendAndWait();
  EXPECT_EQ(c.events.join(" | "), "greeting:mail.example.com ready | error:102");
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
      {"mail.example.com:587", "mail.example.com", 587, false},
      {"mail.example.com:465", "mail.example.com", 465, true},
      {"[::1]:2525", "::1", 2525, false},
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
  for (const char* address : {"", "host:99999", "ho st"}) {
    SCOPED_TRACE(address);
    Client c({});
    c.socket.SetAddress(QString::fromUtf8(address));
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
}

TEST(SMTPSocket, DisconnectIsSilentAndKeepsTheList) {
  Client c(kHello + QStringList{"C: MAIL FROM:<alice@example.com>", "Z:"});
  c.socket.Messages() << Letter(QStringLiteral("a"));
  c.socket.SetStepTimeout(60000);
  QObject::connect(&c.socket, &SMTPSocket::ConnectionEstablished,
                   [&] { QTimer::singleShot(0, &c.socket, [&] { c.socket.Disconnect(); }); });
  c.socket.SendMail();
  testing_support::WaitUntil([&] { return !c.socket.IsConnected(); });
  QCoreApplication::processEvents();
  EXPECT_EQ(c.events.join(" | "), "greeting:mail.example.com ready");
  EXPECT_EQ(c.socket.Messages().size(), 1);
  EXPECT_EQ(c.socket.IsConnected(), false);
}

TEST(SMTPSocket, ErrorCodesReachLastErrorCode) {
  struct Case {
    const char* name;
    QStringList script;
    int code;
  };
  const std::vector<Case> table = {
      {"unreachable", {"U:"}, platform::smtp::kCannotConnect},
      {"refused greeting", {"S: 554 no"}, platform::smtp::kSessionRefused},
      {"421", {"S: 421 busy", "X:"}, platform::smtp::kServiceClosing},
      {"silence", {"S: 220 hi", "C: EHLO [127.0.0.1]", "Z:"}, platform::smtp::kTimeout},
      {"not SMTP", {"S: HTTP/1.1 400 Bad Request"}, platform::smtp::kProtocolError},
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

namespace {

// The program's handlers run the event loop (once per list row); the client must stay
// sound when its own events arrive inside them.
TEST(SMTPSocket, HandlersThatRunTheEventLoopOrStopTheClient) {
  struct Case {
    const char* name;
    QStringList script;
    std::function<void(Client&)> onFirstSent;
    const char* events;
    QStringList left;
  };
  const std::vector<Case> table = {
      {"server closes while the handler runs the event loop",
       kHello + Accept() + QStringList{"X:"},
       [](Client& c) { testing_support::WaitUntil([&] { return c.errors > 0; }); },
       "greeting:mail.example.com ready | error:102 | sent:a",
       {"b"}},
      {"handler disconnects",
       kHello + Accept() + QStringList{"Z:"},
       [](Client& c) { c.socket.Disconnect(); },
       "greeting:mail.example.com ready | sent:a",
       {"b"}},
      {"handler empties the list: sign-off",
       kHello + Accept() + kQuit,
       [](Client& c) { c.socket.DeleteAllMessages(); },
       "greeting:mail.example.com ready | sent:a | error:102",
       {}},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.name);
    Client c(t.script);
    c.socket.Messages() << Letter(QStringLiteral("a")) << Letter(QStringLiteral("b"));
    bool first = true;
    // Connected before the recording handler, so its event is logged after the handler.
    QObject::disconnect(&c.socket, &SMTPSocket::MessageSent, nullptr, nullptr);
    QObject::connect(&c.socket, &SMTPSocket::MessageSent, [&](EmailMessagePtr m) {
      if (first) {
        first = false;
        t.onFirstSent(c);
      }
      c.events.append("sent:" + std::dynamic_pointer_cast<SpecialEmail>(m)->Name());
    });
    c.socket.SendMail();
    testing_support::WaitUntil([&] { return !c.socket.IsConnected(); });
    QCoreApplication::processEvents();
    EXPECT_EQ(c.events.join(" | "), t.events);
    EXPECT_EQ(c.Names(), t.left);
  }
}

}  // namespace
