#include "tools/OptOut.h"

#include <algorithm>
#include <memory>

#include "platform/Text.h"
#include "platform/TextStream.h"

namespace tools::optout {

namespace {

bool NeedsEscape(unsigned char byte) {
  return byte <= 0x20 || byte >= 0x7F || byte == '&' || byte == '#' || byte == '%';
}

QByteArray EscapeQuery(const QString& text) {
  const QByteArray bytes = platform::EncodeText(text);
  QByteArray out;
  out.reserve(bytes.size());
  static const char kHex[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (NeedsEscape(byte)) {
      out.append('%').append(kHex[byte >> 4]).append(kHex[byte & 15]);
    } else {
      out.append(c);
    }
  }
  return out;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return 0;
}

// Takes the line end (LF or CR LF) off the end of the bytes, if they end in one.
bool ChopLineEnd(QByteArrayView& bytes) {
  if (!bytes.endsWith('\n')) return false;
  bytes.chop(bytes.endsWith("\r\n") ? 2 : 1);
  return true;
}

}  // namespace

std::optional<platform::ServerAddress> Service() {
  const QString configured = qEnvironmentVariable("VELMORA_OPTOUT_SERVICE");
  if (configured.trimmed().isEmpty())
    return platform::ServerAddress{QString::fromLatin1(kDefaultHost), kDefaultPort};
  return platform::ParseServerAddress(configured, kDefaultPort);
}

QList<QByteArray> RequestPieces(const platform::ServerAddress& service, const QString& checkaddresses) {
  // A Host line names the port when it is not HTTP's own, and an IPv6 host in brackets.
  QByteArray host = service.host.toUtf8();
  if (host.contains(':')) host = '[' + host + ']';
  if (service.port != kDefaultPort) host += ':' + QByteArray::number(service.port);
  return {
      "GET /cgi-bin/optout.cgi?operation=Check+eMail+Address&address=" + EscapeQuery(checkaddresses) +
          " HTTP/1.1\n",
      "Host: " + host + '\n',
      "Connection: keep-alive\n",
      "User-Agent: Velmora\n",
      "Accept: */*\n",
      "Accept-Language: en, ja;q=0.50\n\n",
  };
}

qint32 ConvertHex2Dec(QStringView text) {
  quint32 result = 0;
  quint32 weight = 1;
  for (qsizetype i = text.size() - 1; i >= 0; --i) {
    result += static_cast<quint32>(HexDigit(text[i].unicode())) * weight;
    weight *= 16;
  }
  return static_cast<qint32>(result);
}

QString DecodeChunkedReply(QByteArrayView reply) {
  constexpr int kSizeLine = 7;
  std::unique_ptr<platform::TextInputStream> in = platform::TextInputStream::FromBytes(reply.toByteArray());
  int n = 0;
  quint32 total = 0;  // wraps as the 32-bit sum does
  QString body;
  while (!in->EOF_()) {
    const QString line = in->ReadLine();
    ++n;
    if (n != kSizeLine) continue;
    total += static_cast<quint32>(ConvertHex2Dec(line));
    const auto wanted = static_cast<qint32>(total);
    if (body.size() == wanted) break;
    while (body.size() < wanted && !in->EOF_()) {
      body += in->ReadLine();
      if (body.size() != wanted) body += QLatin1Char('\n');
    }
    --n;
  }
  return body;
}

bool ReplyComplete(QByteArrayView reply) {
  QByteArrayView rest = reply;
  if (!ChopLineEnd(rest) || !ChopLineEnd(rest)) return false;
  const qsizetype start = rest.lastIndexOf('\n');
  if (start < 0) return false;
  QByteArrayView size = rest.sliced(start + 1);
  if (const qsizetype extension = size.indexOf(';'); extension >= 0) size.truncate(extension);
  size = size.trimmed();
  return !size.isEmpty() && std::all_of(size.begin(), size.end(), [](char c) { return c == '0'; });
}

QStringList OptedOutAddresses(const QString& body) {
  QStringList found;
  std::unique_ptr<platform::TextInputStream> in =
      platform::TextInputStream::FromBytes(platform::EncodeText(body));
  while (!in->EOF_()) {
    const QString line = in->ReadLine();
    if (platform::StrComp(platform::NthField(line, QStringLiteral("~"), 2), QStringLiteral("In"), 0) == 0) {
      found.append(platform::NthField(line, QStringLiteral("~"), 1));
    }
  }
  return found;
}

}  // namespace tools::optout
