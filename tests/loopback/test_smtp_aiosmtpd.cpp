// Mail to a real server (aiosmtpd) on 127.0.0.1 that requires STARTTLS (the test's
// certificate) and AUTH and reads each message back with Python's email package, sent by the
// SMTP client alone (the desktop scenarios mail through the whole program).

#include <gtest/gtest.h>

#include <QJsonArray>

#include "loopback/LoopbackServers.h"
#include "platform/SMTPSocket.h"

namespace {

using platform::SMTPSocket;
using platform::SpecialEmail;
using testing_support::SmtpServer;
using testing_support::WaitUntil;

std::shared_ptr<SpecialEmail> Letter(const QString& to, const QString& subject, const QString& plain,
                                     const QString& html = "") {
  auto m = std::make_shared<SpecialEmail>();
  m->SetName(to.section('@', 0, 0));
  m->AddRecipient(to);
  m->SetFromAddress("sender@example.com");
  m->SetSubject(subject);
  m->SetBodyPlainText(plain);
  m->SetBodyHTML(html);
  return m;
}

// Two messages through STARTTLS and AUTH PLAIN, TLS from the first byte and an untrusted
// certificate (taken from a server on this machine unless told to verify it), each read
// back field by field; what is not sent stays in the list.
TEST(SmtpLoopback, MessagesReadBackByPython) {
  const struct {
    const char* name;
    QStringList serverArgs;
    int port;  // 465 is TLS from the first byte; every port reaches the test's server
    bool trustTestAuthority, verifyLoopback;
    const char* outcome;  // what went out, and the code the connection ended with
  } rows[] = {
      {"STARTTLS and AUTH PLAIN", {}, 2525, true, true, "bob carol / 102"},
      {"TLS from the first byte", {"--mode", "implicit"}, 465, true, true, "bob carol / 102"},
      {"certificate not trusted", {}, 2525, false, true, " / 107"},
      {"certificate not trusted, loopback", {"--mode", "implicit"}, 465, false, false, "bob carol / 102"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    SmtpServer server(row.serverArgs);
    ASSERT_NE(server.Port(), 0);
    SMTPSocket socket;
    socket.SetAddress("127.0.0.1:" + QString::number(row.port));
    socket.SetUsername("alice");
    socket.SetPassword("s3cret");
    socket.SetTlsPolicy(
        {row.trustTestAuthority ? server.Authority() : QList<QSslCertificate>(), row.verifyLoopback});
    socket.SetStreamFactory([port = server.Port()](const platform::TlsPolicy& policy) {
      return std::make_unique<testing_support::PortMappedStream>(policy, port);
    });
    const QList<std::shared_ptr<SpecialEmail>> letters = {
        Letter("bob@example.org", "Grüße aus Köln – ça va? 日本語",
               "Hello Bob,\n.a line with a dot\nZweite Zeile é 🙂\n" + QString(300, 'x')),
        Letter("carol@example.org", "Both parts", "Plain part", "<p>Très <b>bien</b></p>\n.<p>point</p>"),
    };
    for (const auto& letter : letters) socket.Messages() << letter;
    QStringList sent;
    int code = 0;
    QObject::connect(&socket, &SMTPSocket::MessageSent, [&](platform::EmailMessagePtr m) {
      sent << std::dynamic_pointer_cast<SpecialEmail>(m)->Name();
    });
    QObject::connect(&socket, &SMTPSocket::Error, [&] { code = socket.LastErrorCode(); });
    socket.SendMail();
    WaitUntil([&] { return code != 0; }, 60000);
    EXPECT_EQ(QString("%1 / %2").arg(sent.join(' ')).arg(code).toStdString(), row.outcome);
    EXPECT_EQ(socket.Messages().size() + sent.size(), 2);
    for (int i = 0; i < server.MessageCount(); ++i) {
      const auto& m = letters[i];
      const QJsonObject want{{"mail_from", "sender@example.com"}, {"rcpt_tos", QJsonArray{m->ToAddress()}},
                             {"from", "sender@example.com"},      {"subject", m->Subject()},
                             {"plain", m->BodyPlainText()},       {"html", m->BodyHTML()}};
      EXPECT_EQ(QJsonDocument(server.Message(i + 1)).toJson().toStdString(),
                QJsonDocument(want).toJson().toStdString());
    }
  }
}

}  // namespace
