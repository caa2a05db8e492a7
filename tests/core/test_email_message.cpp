// A message's source as a receiving mail program reads it: Python's email package, which
// shares no code with the writer, reports what it would show.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "platform/EmailMessage.h"

namespace {

using platform::EmailMessage;

const char* kPythonReader = R"PY(
import sys, json, re, email, email.policy
msg = email.message_from_bytes(sys.stdin.buffer.read(), policy=email.policy.default)
def text(s):
  return (s or "").replace("\r\n", "\n").rstrip("\n")
def body(kind):
  part = msg.get_body(preferencelist=(kind,))
  return text(part.get_content()) if part and part.get_content_type() == "text/" + kind else ""
json.dump({
  "subject": str(msg["subject"] or ""), "from": str(msg["from"] or ""), "to": str(msg["to"] or ""),
  "type": msg.get_content_type(), "plain": body("plain"), "html": body("html"),
  "defects": len(msg.defects), "date": msg["date"].datetime is not None,
  "id": bool(re.fullmatch(r"<[^<>@\s]+@[^<>@\s]+>", str(msg["message-id"]))),
  "charsets": sorted({p.get_content_charset() for p in msg.walk() if p.get_content_maintype() == "text"}),
  "injected": [k for k in msg.keys() if k.lower() in ("bcc", "x-evil")],
}, sys.stdout)
)PY";

// What Python read, or its complaint under "error".
QJsonObject ReadWithPython(const QByteArray& source) {
  QProcess python;
  python.start("python3", {"-c", kPythonReader});
  python.write(source);
  python.closeWriteChannel();
  python.waitForFinished(30000);
  const QJsonObject read = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
  return read.isEmpty() ? QJsonObject{{"error", QString(python.readAllStandardError())}} : read;
}

TEST(EmailMessageSource, ReadsBackInPython) {
  const QString accents = "Grüße aus Köln – ça va? 日本語 🙂\nZweite Zeile é";
  const QString html = "<html><body><p>Caf\u00e9 <b>bold</b></p></body></html>";
  const struct {
    const char* name;
    QString subject, plain, html;
    // What a reader shows (LF line ends, no last one), where it differs from what was set.
    QString shownSubject = {}, shownPlain = {};
    QString from = "sender@example.com";
    QString to = "a@example.org";  // recipients, one by one, as a reader joins them
  } cases[] = {
      {"non-ASCII subject and body", "Grüße – 日本語 🙂", accents, ""},
      {"long non-ASCII subject",
       "Ein sehr langer Betreff mit Umlauten äöü und noch mehr Text, damit er gefaltet werden muss: "
       "日本語のテキストがここにあります 🙂🙂🙂 Ende",
       "x", ""},
      {"display names", "Hallo", "x", "", "", "", "Jörg Müller <joerg@example.de>",
       "Ann <a@example.org>, b@example.org"},
      {"HTML only", "Html", "", html},
      {"both bodies", "Both", accents, html},
      {"empty", "", "", ""},
      {"long lines", "Long", QString(3000, 'x') + " end", ""},
      {"line ends and dots", "Crlf", "one\r\ntwo\rthree\n.\n.dot\n", "", "", "one\ntwo\nthree\n.\n.dot"},
      {"line breaks in the subject", "Hi\r\nBcc: victim@example.net\nX-Evil: 1\n\nbody", "x", "",
       "Hi Bcc: victim@example.net X-Evil: 1 body"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EmailMessage message;
    message.SetFromAddress(c.from);
    for (const QString& to : c.to.split(", ")) message.AddRecipient(to);
    message.SetSubject(c.subject);
    message.SetBodyPlainText(c.plain);
    message.SetBodyHTML(c.html);
    // CR LF line ends, lines SMTP allows, all 7-bit (for servers without 8BITMIME).
    const QByteArray bytes = message.Source();
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
    EXPECT_EQ(bytes.count('\r'), bytes.count("\r\n"));
    for (const QByteArray& line : bytes.split('\n')) EXPECT_LE(line.size(), 999);
    for (char ch : bytes) EXPECT_LT(static_cast<unsigned char>(ch), 0x80);
    EXPECT_EQ(bytes.left(bytes.indexOf("\r\n\r\n")).contains("\r\nMIME-Version: 1.0\r\n"), true);
    const QString type = c.html.isEmpty()    ? "text/plain"
                         : c.plain.isEmpty() ? "text/html"
                                             : "multipart/alternative";
    const QJsonObject want{{"subject", c.shownSubject.isEmpty() ? c.subject : c.shownSubject},
                           {"from", c.from},
                           {"to", c.to},
                           {"type", type},
                           {"plain", c.shownPlain.isEmpty() ? c.plain : c.shownPlain},
                           {"html", c.html},
                           {"defects", 0},
                           {"date", true},
                           {"id", true},
                           {"charsets", QJsonArray{"utf-8"}},
                           {"injected", QJsonArray{}}};
    EXPECT_EQ(QJsonDocument(ReadWithPython(bytes)).toJson().toStdString(),
              QJsonDocument(want).toJson().toStdString());
  }
}

// Line breaks in addresses never start a header of their own.
TEST(EmailMessageSource, AddressInjectionStaysInItsHeader) {
  EmailMessage message;
  message.SetFromAddress("s@example.com\r\nBcc: evil@example.net");
  message.AddRecipient("r@example.com\nX-Evil: yes");
  message.AddRecipient("second@example.com");
  const QJsonObject read = ReadWithPython(message.Source());
  EXPECT_EQ(read["injected"], QJsonArray{});
  EXPECT_EQ(read["to"].toString().endsWith(", second@example.com"), true)
      << read["to"].toString().toStdString();
}

}  // namespace
