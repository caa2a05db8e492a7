#include "tools/OptOut.h"

#include <algorithm>

#include "platform/Text.h"

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

bool IsAscii(QByteArrayView bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

qsizetype Characters(QByteArrayView bytes) {
  return IsAscii(bytes) ? bytes.size() : platform::DecodeBytes(bytes).size();
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

void ReplyReader::Add(QByteArrayView bytes) {
  KeepTail(bytes);
  if (m_part == Part::Done) return;
  // What was read goes once it is the larger part, so the buffer stays the size of a few
  // arrivals and no byte is moved more than twice on average.
  if (m_next > 0 && m_next >= m_pending.size() - m_next) {
    m_pending.remove(0, m_next);
    m_scanned -= m_next;
    m_next = 0;
  }
  m_pending += bytes;
}

void ReplyReader::End() {
  m_ended = true;
}

bool ReplyReader::Step() {
  if (m_part == Part::Done) return false;
  const char* const data = m_pending.constData();
  const qsizetype size = m_pending.size();
  qsizetype end = m_scanned;
  while (end < size && data[end] != '\n' && data[end] != '\r') ++end;
  m_scanned = end;
  qsizetype next = end + 1;
  if (end == size) {
    // No line end yet: the rest is a line only once the reply is over.
    if (!m_ended || m_next == size) {
      if (m_ended) EndBodyLine();
      return false;
    }
    next = size;
  } else if (data[end] == '\r') {
    // A CR that the reply's bytes so far end with may be the start of a CR LF.
    if (end + 1 == size && !m_ended) return false;
    if (end + 1 < size && data[end + 1] == '\n') next = end + 2;
  }
  const QByteArrayView line(data + m_next, end - m_next);
  m_next = m_scanned = next;
  Read(line);
  return true;
}

void ReplyReader::Read(QByteArrayView line) {
  constexpr int kHeadLines = 6;
  switch (m_part) {
    case Part::Head:
      if (++m_headLines == kHeadLines) m_part = Part::Size;
      return;
    case Part::Size:
      m_total += static_cast<quint32>(ConvertHex2Dec(platform::DecodeBytes(line)));
      m_wanted = static_cast<qint32>(m_total);
      if (m_length == m_wanted) {
        m_part = Part::Done;
        EndBodyLine();
        m_pending = QByteArray();
        m_next = m_scanned = 0;
      } else if (m_length < m_wanted) {
        m_part = Part::Data;
      }
      return;
    case Part::Data: {
      m_length += Characters(line);
      m_bodyLine += line;
      if (m_length != m_wanted) {
        ++m_length;
        EndBodyLine();
      }
      if (m_length >= m_wanted) m_part = Part::Size;
      return;
    }
    case Part::Done:
      return;
  }
}

void ReplyReader::EndBodyLine() {
  // The status is compared exactly, and "~" is one byte whatever the bytes around it:
  // the fields of the bytes are the bytes of the text's fields.
  const QByteArrayView line(m_bodyLine);
  const qsizetype first = line.indexOf('~');
  if (first >= 0) {
    QByteArrayView status = line.sliced(first + 1);
    if (const qsizetype second = status.indexOf('~'); second >= 0) status.truncate(second);
    if (status == "In") m_optedOut.Append(line.first(first));
  }
  m_bodyLine.clear();
}

void ReplyReader::KeepTail(QByteArrayView bytes) {
  m_tail += bytes;
  if (!bytes.contains('\n')) return;
  qsizetype cut = m_tail.size();
  for (int lfs = 0; lfs < 3; ++lfs) {
    if (cut == 0) return;
    cut = m_tail.lastIndexOf('\n', cut - 1);
    if (cut < 0) return;
  }
  m_tail.remove(0, cut);
}

}  // namespace tools::optout
