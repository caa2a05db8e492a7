#include "lists/ListFileFormat.h"

#include <algorithm>
#include <cstring>

#include "lists/AddressScanner.h"
#include "platform/Text.h"

namespace lists {

std::optional<QStringList> ParseListLine(const QString& line) {
  const qsizetype blank = line.indexOf(u' ');
  if (blank == 0 || line.isEmpty()) return std::nullopt;
  if (blank < 0) return QStringList{line, QString()};
  return QStringList{line.left(blank), line.mid(blank + 1)};
}

QString FormatListLine(const QString& address, const QString& mailings) {
  QString line;
  line.reserve(address.size() + 1 + mailings.size());
  line += address;
  line += u' ';
  line += mailings;
  return line;
}

namespace {

// A stretch of a line. Cutting the bytes at a blank or a line end before decoding gives
// the same characters as decoding first: neither byte ever belongs to a multi-byte
// character, and DecodeBytes keeps every other byte on its own.
QString Decode(const char* start, qsizetype length, bool ascii) {
  if (length == 0) return QString();
  if (ascii) return QString::fromLatin1(start, length);
  return platform::DecodeBytes(QByteArrayView(start, length));
}

}  // namespace

std::vector<QStringList> ParseListFile(QByteArrayView bytes) {
  std::vector<QStringList> rows;
  const char* const data = bytes.data();
  const qsizetype n = bytes.size();
  if (n == 0) return rows;
  rows.reserve(static_cast<size_t>(std::count(data, data + n, '\n')) + 1);

  qsizetype pos = 0;
  while (pos < n) {
    const qsizetype lineStart = pos;
    qsizetype blank = -1;
    unsigned char high = 0;
    while (pos < n) {
      const unsigned char c = static_cast<unsigned char>(data[pos]);
      if (c == '\n' || c == '\r') break;
      if (c == ' ' && blank < 0) blank = pos;
      high |= c;
      ++pos;
    }
    const qsizetype lineEnd = pos;
    // Any line end, CR LF included: the empty line between a CR and its LF is no row anyway.
    if (pos < n) ++pos;

    if (lineEnd == lineStart || blank == lineStart) continue;
    const bool ascii = (high & 0x80) == 0;
    if (blank < 0) {
      rows.push_back(QStringList{Decode(data + lineStart, lineEnd - lineStart, ascii), QString()});
    } else {
      rows.push_back(QStringList{Decode(data + lineStart, blank - lineStart, ascii),
                                 Decode(data + blank + 1, lineEnd - blank - 1, ascii)});
    }
  }
  return rows;
}

namespace {

QStringView WithoutBlanksAround(const QString& typed) {
  QStringView view(typed);
  while (view.startsWith(u' ')) view = view.sliced(1);
  while (view.endsWith(u' ')) view.chop(1);
  return view;
}

}  // namespace

std::optional<QString> AddressProblem(const QString& typed) {
  const QStringView address = WithoutBlanksAround(typed);
  if (address.isEmpty()) return QStringLiteral("An address cannot be empty.");
  for (const QChar c : address) {
    if (c == u' ') {
      return QStringLiteral("An address cannot hold a blank: the list file would split it in two.");
    }
    if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
      return QStringLiteral("An address cannot hold a line end or another control character.");
    }
  }
  if (platform::EncodeText(address.toString()).size() > kMaxAddressLength) {
    return QStringLiteral("An address cannot be longer than 254 characters.");
  }
  return std::nullopt;
}

std::optional<QString> StorableAddress(const QString& typed) {
  if (AddressProblem(typed)) return std::nullopt;
  return WithoutBlanksAround(typed).toString();
}

}  // namespace lists
