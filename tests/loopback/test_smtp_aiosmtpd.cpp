// The SMTP client against a real server (aiosmtpd) on 127.0.0.1: STARTTLS with a test
// certificate, AUTH, and messages read back by Python's own email package, field by field.

#include <gtest/gtest.h>

#include <memory>

#include "loopback/SmtpServer.h"
#include "platform/SMTPSocket.h"
#include "platform/SmtpErrorCodes.h"
#include "platform/SmtpSession.h"
#include "support/TestSupport.h"

namespace {

using platform::EmailMessagePtr;
using platform::SMTPSocket;
using platform::SpecialEmail;
using Server = testing_support::SmtpServer;

std::shared_ptr<SpecialEmail> Letter(const QString& name, const QString& to, const QString& subject,
                                     const QString& plain, const QString& html) {
  auto m = std::make_shared<SpecialEmail>();
  m->SetName(name);
  m->AddRecipient(to);
  m->SetFromAddress(QStringLiteral("sender@example.com"));
  m->SetSubject(subject);
  m->SetBodyPlainText(plain);
  m->SetBodyHTML(html);
  return m;
}

struct SendResult {
  QStringList sent;
  int code = 0;
  qint64 lastProgress = 0;
  qint64 lastTotal = -1;
};

SendResult SendAll(SMTPSocket& socket) {
  SendResult run;
  bool over = false;
  QObject::connect(&socket, &SMTPSocket::MessageSent, [&](EmailMessagePtr m) {
    run.sent.append(std::dynamic_pointer_cast<SpecialEmail>(m)->Name());
  });
  QObject::connect(&socket, &SMTPSocket::SendProgress, [&](qint64 done, qint64 total) {
    run.lastProgress = done;
    run.lastTotal = total;
  });
  QObject::connect(&socket, &SMTPSocket::Error, [&] {
    run.code = socket.LastErrorCode();
    over = true;
  });
  socket.SendMail();
  testing_support::WaitUntil([&] { return over; }, 60000);
  return run;
}

// What a receiving mail program would show for a body written with CR LF line ends.
QString Shown(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  while (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  return text;
}

// The client as the program sets it up, for the server's account.
void Configure(SMTPSocket& socket, const Server& server, const QString& password = QStringLiteral("s3cret"),
               bool trustTestAuthority = true) {
  socket.SetAddress(server.Address());
  socket.SetUsername(QStringLiteral("alice"));
  socket.SetPassword(password);
  if (trustTestAuthority) socket.SetTlsPolicy({server.Authority()});
}

TEST(SmtpLoopback, StartTlsAuthAndMessagesReadBackByPython) {
  Server server;
  ASSERT_NE(server.Port(), 0);
  SMTPSocket socket;
  Configure(socket, server);

  struct Case {
    QString name, to, subject, plain, html;
  };
  const std::vector<Case> table = {
      {"plain", "bob@example.org", "Weekly news", "Hello Bob,\r\n.a line with a dot\r\nBye\r\n", ""},
      {"accents", "zoe@example.org", QStringLiteral("Grüße aus Köln – ça va? 日本語"),
       QStringLiteral("Grüße,\r\nZweite Zeile é 🙂\r\n") + QString(300, QLatin1Char('x')) + "\r\n", ""},
      {"html", "carol@example.org", QStringLiteral("Offre spéciale"), "",
       QStringLiteral("<html><body><p>Très <b>bien</b></p>\r\n.<p>point</p></body></html>\r\n")},
      {"both", "dave@example.org", "Both parts", "Plain part\r\n", "<p>HTML part</p>\r\n"},
  };
  for (const auto& c : table) socket.Messages() << Letter(c.name, c.to, c.subject, c.plain, c.html);
  const SendResult run = SendAll(socket);
  EXPECT_EQ(run.code, platform::smtp::kServerClosed);
  EXPECT_EQ(run.sent, QStringList({"plain", "accents", "html", "both"}));
  EXPECT_EQ(socket.Messages().size(), 0);
  // Progress over TLS counts the message's own bytes, up to all of them.
  EXPECT_EQ(run.lastProgress, run.lastTotal);

  for (int i = 0; i < static_cast<int>(table.size()); ++i) {
    const Case& c = table[i];
    SCOPED_TRACE(c.name.toStdString());
    const QJsonObject got = server.Message(i + 1);
    EXPECT_EQ(got.value("mail_from").toString(), "sender@example.com");
    EXPECT_EQ(got.value("rcpt_tos").toVariant().toStringList(), QStringList{c.to});
    EXPECT_EQ(got.value("subject").toString(), c.subject);
    EXPECT_EQ(got.value("from").toString(), "sender@example.com");
    EXPECT_EQ(got.value("to").toString(), c.to);
    EXPECT_EQ(Shown(got.value("plain").toString()), Shown(c.plain));
    EXPECT_EQ(Shown(got.value("html").toString()), Shown(c.html));
    const char* type = c.plain.isEmpty()  ? "text/html"
                       : c.html.isEmpty() ? "text/plain"
                                          : "multipart/alternative";
    EXPECT_EQ(got.value("content_type").toString(), type);
    EXPECT_EQ(got.value("defects").toInt(), 0);
    EXPECT_EQ(got.value("tls").toBool(), true);
    EXPECT_EQ(got.value("authenticated").toBool(), true);
  }
}

// One message each; on failure it stays in the list and the server holds nothing.
TEST(SmtpLoopback, LogInVariants) {
  struct Case {
    const char* name;
    QStringList serverArgs;
    QString password;
    bool trustTestAuthority;
    int code;
  };
  const std::vector<Case> table = {
      {"LOGIN when PLAIN is not offered",
       {"--exclude-auth", "PLAIN"},
       "s3cret",
       true,
       platform::smtp::kServerClosed},
      {"wrong password", {}, "wrong", true, platform::smtp::kAuthRefused},
      {"certificate not trusted", {}, "s3cret", false, platform::smtp::kTlsFailed},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.name);
    Server server(c.serverArgs);
    ASSERT_NE(server.Port(), 0);
    SMTPSocket socket;
    Configure(socket, server, c.password, c.trustTestAuthority);
    socket.Messages() << Letter("one", "bob@example.org", "Hi", "Hi\r\n", "");
    const SendResult run = SendAll(socket);
    const bool sent = c.code == platform::smtp::kServerClosed;
    EXPECT_EQ(run.code, c.code);
    EXPECT_EQ(run.sent, sent ? QStringList{"one"} : QStringList());
    EXPECT_EQ(socket.Messages().size(), sent ? 0 : 1);
    EXPECT_EQ(server.HasMessage(1), sent);
    if (sent) EXPECT_EQ(server.Message(1).value("authenticated").toBool(), true);
  }
}

// Port 465 cannot be opened by a test, so TLS from the first byte is checked on the session.
TEST(SmtpLoopback, TlsFromTheFirstByte) {
  Server server({QStringLiteral("--mode"), QStringLiteral("implicit")});
  ASSERT_NE(server.Port(), 0);
  platform::SmtpSessionSettings settings;
  settings.host = QStringLiteral("127.0.0.1");
  settings.port = server.Port();
  settings.implicitTls = true;
  settings.username = QStringLiteral("alice");
  settings.password = QStringLiteral("s3cret");
  auto message = Letter("one", "bob@example.org", "Hi", "Hi\r\n", "");
  bool pending = true;
  platform::SmtpMessageSource source;
  source.hasMessage = [&] { return pending; };
  source.nextMessage = [&] {
    return platform::SmtpEnvelope{message->FromAddress(), message->Recipients(), message->Source()};
  };
  platform::SmtpSession session(platform::MakeByteStream({server.Authority()}), settings, source);
  int accepted = 0;
  int code = 0;
  QObject::connect(&session, &platform::SmtpSession::MessageAccepted, [&] {
    ++accepted;
    pending = false;
  });
  QObject::connect(&session, &platform::SmtpSession::Finished, [&](int c, const QString&) { code = c; });
  session.Start();
  testing_support::WaitUntil([&] { return code != 0; }, 60000);
  EXPECT_EQ(code, platform::smtp::kServerClosed);
  EXPECT_EQ(accepted, 1);
  EXPECT_EQ(server.Message(1).value("tls").toBool(), true);
}

}  // namespace
