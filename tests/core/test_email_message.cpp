// GLib names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <optional>

#include "platform/EmailMessage.h"

namespace {

using platform::EmailMessage;

// Python's email package reads the message independently of GMime; it reports what a
// receiving mail program would show.
const char* kPythonReader = R"PY(
import sys, json, email, email.policy
raw = sys.stdin.buffer.read()
msg = email.message_from_bytes(raw, policy=email.policy.default)
out = {
  "subject": str(msg["subject"] or ""),
  "from": str(msg["from"] or ""),
  "to": str(msg["to"] or ""),
  "content_type": msg.get_content_type(),
  "headers": [k for k in msg.keys()],
  "defects": len(msg.defects),
  "date_parsed": msg["date"] is not None and msg["date"].datetime is not None,
  "message_id": str(msg["message-id"] or ""),
}
def body(m, kind):
  part = m.get_body(preferencelist=(kind,))
  if part is None or part.get_content_type() != "text/" + kind:
    return None
  return part.get_content()
out["plain"] = body(msg, "plain")
out["html"] = body(msg, "html")
charsets = []
for part in msg.walk():
  if part.get_content_maintype() == "text":
    charsets.append(part.get_content_charset())
out["charsets"] = charsets
json.dump(out, sys.stdout)
)PY";

QJsonObject ReadWithPython(const QByteArray& source) {
  QProcess python;
  python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(kPythonReader)});
  if (!python.waitForStarted()) return {};
  python.write(source);
  python.closeWriteChannel();
  python.waitForFinished(30000);
  const QByteArray err = python.readAllStandardError();
  EXPECT_TRUE(err.isEmpty()) << err.constData();
  return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

struct GMimeView {
  QString subject, from, to, contentType, plain, html;
};

QString PartText(GMimeObject* object) {
  if (!GMIME_IS_TEXT_PART(object)) return {};
  char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(object));
  QString result = QString::fromUtf8(text);
  g_free(text);
  return result;
}

QString ContentType(GMimeObject* object) {
  GMimeContentType* type = g_mime_object_get_content_type(object);
  return QString::fromUtf8(g_mime_content_type_get_mime_type(type)).toLower();
}

GMimeView ReadWithGMime(const QByteArray& source) {
  GMimeView view;
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(source.constData(), source.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  g_object_unref(parser);
  g_object_unref(stream);
  if (!message) return view;
  view.subject = QString::fromUtf8(g_mime_message_get_subject(message));
  char* from = internet_address_list_to_string(g_mime_message_get_from(message), nullptr, FALSE);
  char* to = internet_address_list_to_string(g_mime_message_get_to(message), nullptr, FALSE);
  view.from = QString::fromUtf8(from);
  view.to = QString::fromUtf8(to);
  g_free(from);
  g_free(to);
  GMimeObject* body = g_mime_message_get_mime_part(message);
  view.contentType = ContentType(body);
  if (GMIME_IS_MULTIPART(body)) {
    GMimeMultipart* multipart = GMIME_MULTIPART(body);
    for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
      GMimeObject* part = g_mime_multipart_get_part(multipart, i);
      (ContentType(part) == QLatin1String("text/html") ? view.html : view.plain) = PartText(part);
    }
  } else {
    (view.contentType == QLatin1String("text/html") ? view.html : view.plain) = PartText(body);
  }
  g_object_unref(message);
  return view;
}

// Both readers return bodies with LF line ends and a final line end added by some.
QString Lines(QString text) {
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  while (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  return text;
}

struct Case {
  const char* name;
  QString subject, plain, html;
  // What a reader should show, where it differs from what was set.
  std::optional<QString> shownSubject = {}, shownPlain = {};
  QString from = QStringLiteral("sender@example.com");
  QStringList to = {QStringLiteral("a@example.org")};
};

std::vector<Case> Cases() {
  const QString ascii = QStringLiteral("Hello there,\nsecond line.\n");
  const QString accents = QStringLiteral("Grüße aus Köln – ça va? 日本語 🙂\nZweite Zeile é\n");
  const QString html = QStringLiteral("<html><body><p>Caf\u00e9 <b>bold</b></p></body></html>");
  const QString longSubject = QStringLiteral(
      "Ein sehr langer Betreff mit Umlauten äöü und noch mehr Text, damit er "
      "gefaltet werden muss: 日本語のテキストがここにあります 🙂🙂🙂 Ende");
  const QString longLine = QString(3000, QLatin1Char('x')) + QStringLiteral(" end");
  return {
      {"plain_ascii", "Plain", ascii, ""},
      {"non_ascii_subject_and_body", "Grüße – 日本語 🙂", accents, ""},
      {"long_non_ascii_subject", longSubject, ascii, ""},
      {"display_names",
       "Hallo",
       "x",
       "",
       {},
       {},
       "Jörg Müller <joerg@example.de>",
       {"Ann <a@example.org>", "b@example.org"}},
      {"html_only", "Html", "", html},
      {"both_bodies", "Both", accents, html},
      {"empty_body", "", "", ""},
      {"long_lines", "Long", longLine, ""},
      {"crlf_body", "Crlf", "one\r\ntwo\rthree\n.\n.dot\n", "", {}, "one\ntwo\nthree\n.\n.dot\n"},
      {"subject_injection", "Hi\r\nBcc: victim@example.net", "x", "", "Hi Bcc: victim@example.net"},
      {"subject_bare_lf_injection", "Hi\nX-Evil: 1\n\nbody", "x", "", "Hi X-Evil: 1 body"},
  };
}

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class EmailMessageSource : public ::testing::TestWithParam<Case> {};

TEST_P(EmailMessageSource, ReadsBackInGMimeAndPython) {
  const Case& c = GetParam();
  EmailMessage message;
  message.SetFromAddress(c.from);
  for (const QString& to : c.to) message.AddRecipient(to);
  message.SetSubject(c.subject);
  message.SetBodyPlainText(c.plain);
  message.SetBodyHTML(c.html);
  const QByteArray source = message.Source();
  const QString wantSubject = c.shownSubject.value_or(c.subject);
  const QString wantPlain = c.shownPlain.value_or(c.plain);
  const QString wantType = c.plain.isEmpty() && !c.html.isEmpty() ? QStringLiteral("text/html")
                           : c.html.isEmpty()                     ? QStringLiteral("text/plain")
                                                                  : QStringLiteral("multipart/alternative");

  // Every line ends in CR LF, and no line is longer than SMTP allows.
  EXPECT_EQ(source.count('\n'), source.count("\r\n"));
  EXPECT_EQ(source.count('\r'), source.count("\r\n"));
  for (const QByteArray& line : source.split('\n')) EXPECT_LE(line.size(), 999);
  // All 7-bit, for servers without 8BITMIME: non-ASCII travels as encoded words in the
  // headers and quoted-printable or base64 in the bodies.
  for (char ch : source) EXPECT_LT(static_cast<unsigned char>(ch), 0x80);
  const QByteArray head = source.left(source.indexOf("\r\n\r\n"));
  EXPECT_TRUE(head.contains("MIME-Version: 1.0")) << head.constData();

  const GMimeView gm = ReadWithGMime(source);
  EXPECT_EQ(gm.subject, wantSubject);
  EXPECT_EQ(gm.from, c.from);
  EXPECT_EQ(gm.to, c.to.join(QStringLiteral(", ")));
  EXPECT_EQ(gm.contentType, wantType);
  EXPECT_EQ(Lines(gm.plain), Lines(wantPlain));
  EXPECT_EQ(Lines(gm.html), Lines(c.html));

  const QJsonObject py = ReadWithPython(source);
  ASSERT_FALSE(py.isEmpty());
  EXPECT_EQ(py.value("subject").toString(), wantSubject);
  EXPECT_EQ(py.value("from").toString(), c.from);
  EXPECT_EQ(py.value("to").toString(), c.to.join(QStringLiteral(", ")));
  EXPECT_EQ(py.value("content_type").toString(), wantType);
  EXPECT_EQ(Lines(py.value("plain").toString()), Lines(wantPlain));
  EXPECT_EQ(Lines(py.value("html").toString()), Lines(c.html));
  EXPECT_EQ(py.value("defects").toInt(), 0);
  EXPECT_EQ(py.value("date_parsed").toBool(), true);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^<[^<>@\\s]+@[^<>@\\s]+>$"))
                  .match(py.value("message_id").toString())
                  .hasMatch())
      << py.value("message_id").toString().toStdString();
  for (const auto& charset : py.value("charsets").toArray())
    EXPECT_EQ(charset.toString(), QStringLiteral("utf-8"));
  // Injected text never becomes a header of its own.
  QStringList headers;
  for (const auto& h : py.value("headers").toArray()) headers << h.toString().toLower();
  EXPECT_EQ(headers.count(QStringLiteral("bcc")), 0);
  EXPECT_EQ(headers.count(QStringLiteral("x-evil")), 0);
}

INSTANTIATE_TEST_SUITE_P(Messages, EmailMessageSource, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EmailMessageSource, AddressInjectionStaysInItsHeader) {
  EmailMessage message;
  message.SetFromAddress(QStringLiteral("s@example.com\r\nBcc: evil@example.net"));
  message.AddRecipient(QStringLiteral("r@example.com\nX-Evil: yes"));
  message.AddRecipient(QStringLiteral("second@example.com"));
  const QByteArray source = message.Source();
  const QByteArray head = source.left(source.indexOf("\r\n\r\n"));
  for (const QByteArray& line : head.split('\n')) {
    EXPECT_FALSE(line.startsWith("Bcc:")) << head.constData();
    EXPECT_FALSE(line.startsWith("X-Evil:")) << head.constData();
  }
  const QJsonObject py = ReadWithPython(source);
  QStringList headers;
  for (const auto& h : py.value("headers").toArray()) headers << h.toString().toLower();
  EXPECT_EQ(headers.count(QStringLiteral("bcc")), 0);
  EXPECT_EQ(headers.count(QStringLiteral("x-evil")), 0);
  EXPECT_TRUE(py.value("to").toString().contains(QStringLiteral("second@example.com")));
}

}  // namespace
