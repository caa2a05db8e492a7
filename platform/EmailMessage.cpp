#include "platform/EmailMessage.h"

// GLib names a struct member `signals`, which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")

#include <memory>

namespace platform {

namespace {

// GMime keeps global tables (charsets, parser options) that must be set up once before
// any use; the program runs on one thread, so a function-local static is enough.
void EnsureGMime() {
  static const bool initialised = [] {
    g_mime_init();
    return true;
  }();
  (void)initialised;
}

struct GObjectUnref {
  void operator()(gpointer object) const {
    if (object) g_object_unref(object);
  }
};
template <typename T>
using GPtr = std::unique_ptr<T, GObjectUnref>;

struct GFree {
  void operator()(gpointer p) const { g_free(p); }
};

// A CR or LF inside a header value would end the header and let the value start a new
// one (a forged Bcc:, say). Each run of line breaks becomes one blank, the way an
// unfolded header reads, so the value stays on its own header.
QByteArray HeaderValue(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  QByteArray out;
  out.reserve(utf8.size());
  bool inBreak = false;
  for (char c : utf8) {
    if (c == '\r' || c == '\n') {
      if (!inBreak) out.append(' ');
      inBreak = true;
      continue;
    }
    inBreak = false;
    // A NUL would cut the C string GMime reads; drop it.
    if (c != '\0') out.append(c);
  }
  return out;
}

// Adds each address of `text` to `list`. Text GMime cannot read as an address list is
// kept as one bare mailbox so that nothing the user typed is silently dropped.
void AddAddresses(InternetAddressList* list, const QString& text) {
  const QByteArray value = HeaderValue(text).trimmed();
  if (value.isEmpty()) return;
  GPtr<InternetAddressList> parsed(internet_address_list_parse(nullptr, value.constData()));
  if (parsed && internet_address_list_length(parsed.get()) > 0) {
    // Display names go out as UTF-8 encoded words, like the rest of the message.
    for (int i = 0; i < internet_address_list_length(parsed.get()); ++i)
      internet_address_set_charset(internet_address_list_get_address(parsed.get(), i), "utf-8");
    internet_address_list_append(list, parsed.get());
    return;
  }
  GPtr<InternetAddress> mailbox(internet_address_mailbox_new(nullptr, value.constData()));
  internet_address_list_add(list, mailbox.get());
}

// Line breaks in a body become LF here; the writer turns every line end into CR LF.
QByteArray BodyBytes(const QString& text) {
  QByteArray utf8 = text.toUtf8();
  utf8.replace("\r\n", "\n");
  utf8.replace('\r', '\n');
  return utf8;
}

// A text part in UTF-8 with the transfer encoding its bytes need: 7bit for short ASCII
// lines, quoted-printable or base64 (GMime's pick) for 8-bit bytes or lines over 998.
GMimeTextPart* TextPart(const char* subtype, const QString& text) {
  GMimeTextPart* part = g_mime_text_part_new_with_subtype(subtype);
  const QByteArray bytes = BodyBytes(text);
  GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size()));
  GPtr<GMimeDataWrapper> content(
      g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
  g_mime_part_set_content(GMIME_PART(part), content.get());
  g_mime_text_part_set_charset(part, "utf-8");
  GMimeContentEncoding encoding =
      g_mime_part_get_best_content_encoding(GMIME_PART(part), GMIME_ENCODING_CONSTRAINT_7BIT);
  // Name 7bit outright rather than leave readers to assume it.
  if (encoding == GMIME_CONTENT_ENCODING_DEFAULT) encoding = GMIME_CONTENT_ENCODING_7BIT;
  g_mime_part_set_content_encoding(GMIME_PART(part), encoding);
  return part;
}

// The domain of the first sender mailbox, for the right-hand side of the Message-ID.
QByteArray MessageIdDomain(InternetAddressList* from) {
  QByteArray domain;
  for (int i = 0; i < internet_address_list_length(from) && domain.isEmpty(); ++i) {
    InternetAddress* address = internet_address_list_get_address(from, i);
    if (!INTERNET_ADDRESS_IS_MAILBOX(address)) continue;
    const QByteArray addr(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    const qsizetype at = addr.lastIndexOf('@');
    if (at < 0) continue;
    for (char c : addr.mid(at + 1)) {
      const bool ok =
          (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
      if (!ok) break;
      domain.append(c);
    }
    while (domain.startsWith('.')) domain.remove(0, 1);
    while (domain.endsWith('.')) domain.chop(1);
  }
  return domain.isEmpty() ? QByteArray("localhost") : domain;
}

// Every line end in the written message as CR LF (GMime's DOS newline format already
// gives that; this also covers anything it passes through verbatim).
QByteArray NormaliseLineEnds(const QByteArray& in) {
  QByteArray out;
  out.reserve(in.size() + in.size() / 64);
  for (qsizetype i = 0; i < in.size(); ++i) {
    const char c = in[i];
    if (c == '\r') {
      out.append("\r\n");
      if (i + 1 < in.size() && in[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out.append("\r\n");
    } else {
      out.append(c);
    }
  }
  return out;
}

}  // namespace

QString MailboxAddress(const QString& text) {
  EnsureGMime();
  const QByteArray value = HeaderValue(text).trimmed();
  if (value.isEmpty()) return {};
  GPtr<InternetAddressList> parsed(internet_address_list_parse(nullptr, value.constData()));
  if (!parsed || internet_address_list_length(parsed.get()) != 1) return {};
  InternetAddress* address = internet_address_list_get_address(parsed.get(), 0);
  if (!INTERNET_ADDRESS_IS_MAILBOX(address)) return {};
  const QString addr =
      QString::fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
  const qsizetype at = addr.lastIndexOf(QLatin1Char('@'));
  if (at <= 0 || at == addr.size() - 1) return {};
  for (QChar c : addr) {
    if (c.isSpace() || c.unicode() < 0x20 || c == QLatin1Char('<') || c == QLatin1Char('>')) return {};
  }
  return addr;
}

QByteArray EmailMessage::Source() const {
  EnsureGMime();
  GPtr<GMimeMessage> message(g_mime_message_new(TRUE));

  AddAddresses(g_mime_message_get_from(message.get()), m_from);
  InternetAddressList* to = g_mime_message_get_to(message.get());
  for (const QString& recipient : m_recipients) AddAddresses(to, recipient);
  g_mime_message_set_subject(message.get(), HeaderValue(m_subject).constData(), "utf-8");

  GDateTime* now = g_date_time_new_now_local();
  g_mime_message_set_date(message.get(), now);
  g_date_time_unref(now);
  std::unique_ptr<char, GFree> id(
      g_mime_utils_generate_message_id(MessageIdDomain(g_mime_message_get_from(message.get())).constData()));
  g_mime_message_set_message_id(message.get(), id.get());

  const bool hasPlain = !m_plain.isEmpty();
  const bool hasHtml = !m_html.isEmpty();
  if (hasPlain && hasHtml) {
    GPtr<GMimeMultipart> alternative(g_mime_multipart_new_with_subtype("alternative"));
    GPtr<GMimeTextPart> plain(TextPart("plain", m_plain));
    GPtr<GMimeTextPart> html(TextPart("html", m_html));
    g_mime_multipart_add(alternative.get(), GMIME_OBJECT(plain.get()));
    g_mime_multipart_add(alternative.get(), GMIME_OBJECT(html.get()));
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(alternative.get()));
  } else {
    GPtr<GMimeTextPart> body(hasHtml ? TextPart("html", m_html) : TextPart("plain", m_plain));
    g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(body.get()));
  }

  GMimeFormatOptions* options = g_mime_format_options_new();
  g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
  GPtr<GMimeStream> out(g_mime_stream_mem_new());
  g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), options, out.get());
  g_mime_format_options_free(options);
  GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out.get()));
  return NormaliseLineEnds(
      QByteArray(reinterpret_cast<const char*>(bytes->data), static_cast<qsizetype>(bytes->len)));
}

}  // namespace platform
