#include "lists/HistoryJournalFormat.h"

#include <optional>

#include "platform/Text.h"

namespace lists {

namespace {

bool Escaped(char c) {
  return c == '%' || c == '\t' || c == '\n' || c == '\r';
}

void AppendEscaped(QByteArray& out, const QByteArray& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    if (Escaped(c)) {
      const auto byte = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
}

QByteArray Check(QByteArrayView fields) {
  return QByteArray::number(qChecksum(fields), 16).rightJustified(4, '0');
}

std::optional<JournalRecord> ParseLine(QByteArrayView line) {
  const qsizetype checkAt = line.lastIndexOf('\t');
  if (checkAt < 0) return std::nullopt;
  const QByteArrayView fields = line.first(checkAt);
  const qsizetype tab = fields.indexOf('\t');
  if (tab < 0 || line.sliced(checkAt + 1) != Check(fields)) return std::nullopt;
  const auto field = [](QByteArrayView escaped) {
    return platform::DecodeBytes(QByteArray::fromPercentEncoding(escaped.toByteArray()));
  };
  return JournalRecord{field(fields.first(tab)), field(fields.sliced(tab + 1))};
}

}  // namespace

void AppendJournalLine(QByteArray& out, const QString& address, const QString& entry) {
  const qsizetype start = out.size();
  AppendEscaped(out, platform::EncodeText(address));
  out += '\t';
  AppendEscaped(out, platform::EncodeText(entry));
  out += '\t' + Check(QByteArrayView(out).sliced(start)) + '\n';
}

std::vector<JournalRecord> ParseJournal(QByteArrayView bytes) {
  std::vector<JournalRecord> records;
  for (qsizetype start = 0, end = bytes.indexOf('\n'); end >= 0;
       start = end + 1, end = bytes.indexOf('\n', start)) {
    if (std::optional<JournalRecord> record = ParseLine(bytes.sliced(start, end - start))) {
      records.push_back(std::move(*record));
    }
  }
  return records;
}

}  // namespace lists
