#include "platform/Pop3Reply.h"

#include <limits>

namespace platform {

Pop3Line ReadPop3Line(QByteArrayView bytes, qsizetype maxLine) {
  Pop3Line line;
  const qsizetype limit = std::min(bytes.size(), maxLine);
  const qsizetype lf = QByteArrayView(bytes.data(), limit).indexOf('\n');
  if (lf < 0) {
    line.status = bytes.size() >= maxLine ? Pop3Line::Status::Bad : Pop3Line::Status::Incomplete;
    return line;
  }
  qsizetype end = lf;
  if (end > 0 && bytes[end - 1] == '\r') --end;
  line.status = Pop3Line::Status::Line;
  line.text = QByteArray(bytes.data(), end);
  line.consumed = lf + 1;
  return line;
}

Pop3Reply ParsePop3Reply(QByteArrayView bytes, qsizetype maxLine) {
  Pop3Reply reply;
  const Pop3Line line = ReadPop3Line(bytes, maxLine);
  if (line.status == Pop3Line::Status::Incomplete) return reply;
  reply.consumed = line.consumed;
  if (line.status == Pop3Line::Status::Bad) {
    reply.status = Pop3Reply::Status::Bad;
    return reply;
  }
  // The indicator stands alone or is followed by a blank; "+OKAY" is not a reply.
  auto indicator = [&line](QByteArrayView word) {
    const QByteArrayView text(line.text);
    return text.startsWith(word) && (text.size() == word.size() || text[word.size()] == ' ');
  };
  if (indicator("+OK")) {
    reply.status = Pop3Reply::Status::Ok;
    reply.text = line.text.mid(4);
  } else if (indicator("-ERR")) {
    reply.status = Pop3Reply::Status::Err;
    reply.text = line.text.mid(5);
  } else {
    reply.status = Pop3Reply::Status::Bad;
  }
  return reply;
}

namespace {

// Decimal digits only: no sign, no blank, no empty number; nullopt past `max`.
std::optional<qint64> Digits(QByteArrayView text, qint64 max) {
  if (text.isEmpty()) return std::nullopt;
  qint64 value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const int digit = c - '0';
    if (value > (max - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace

std::optional<Pop3Stat> ParsePop3Stat(QByteArrayView line) {
  if (!line.startsWith("+OK ")) return std::nullopt;
  const QByteArrayView rest = line.sliced(4);
  const qsizetype blank = rest.indexOf(' ');
  if (blank < 0) return std::nullopt;
  const auto count = Digits(rest.first(blank), std::numeric_limits<int>::max());
  const auto size = Digits(rest.sliced(blank + 1), std::numeric_limits<qint64>::max());
  if (!count || !size) return std::nullopt;
  return Pop3Stat{static_cast<int>(*count), *size};
}

}  // namespace platform
