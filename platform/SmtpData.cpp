#include "platform/SmtpData.h"

namespace platform {

std::optional<QByteArray> EncodeSmtpData(QByteArrayView source) {
  QByteArray out;
  out.reserve(source.size() + source.size() / 64 + 8);
  qsizetype lineLength = 0;
  bool lineStart = true;
  const qsizetype n = source.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char c = source[i];
    if (c == '\r' || c == '\n') {
      // CR LF is one line end; a lone CR or a lone LF is one too.
      if (c == '\r' && i + 1 < n && source[i + 1] == '\n') ++i;
      out.append("\r\n", 2);
      lineLength = 0;
      lineStart = true;
      continue;
    }
    // The doubled dot does not count toward the line limit (RFC 5321 section 4.5.3.1.6).
    if (lineStart && c == '.') out.append('.');
    lineStart = false;
    out.append(c);
    if (++lineLength > kSmtpMaxLineLength) return std::nullopt;
  }
  if (!lineStart) out.append("\r\n", 2);
  out.append(".\r\n", 3);
  return out;
}

}  // namespace platform
