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
QString Decode(QByteArrayView bytes) {
  if (bytes.isEmpty()) return QString();
  return platform::DecodeBytes(bytes);
}

}  // namespace

std::vector<QStringList> ParseListFile(QByteArrayView bytes) {
  std::vector<QStringList> rows;
  if (bytes.isEmpty()) return rows;
  rows.reserve(static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
  SplitListLines(bytes, true, [&rows](QByteArrayView address, QByteArrayView mailings) {
    rows.push_back(QStringList{Decode(address), Decode(mailings)});
  });
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
