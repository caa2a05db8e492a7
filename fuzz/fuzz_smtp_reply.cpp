// Fuzzes the SMTP reply parser and the DATA encoder with arbitrary server and message
// bytes, checking what the client relies on.
#include <cstdint>
#include <cstdlib>

#include "platform/SmtpData.h"
#include "platform/SmtpReply.h"

namespace {
void Check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

  // Small limits reach the limit paths quickly; the defaults cover the ordinary ones.
  const platform::SmtpReplyLimits small{16, 4};
  for (const auto& limits : {platform::SmtpReplyLimits{}, small}) {
    qsizetype pos = 0;
    while (pos < input.size()) {
      const platform::SmtpReply reply = platform::ParseSmtpReply(input.sliced(pos), limits);
      if (reply.status != platform::SmtpReply::Status::Complete) break;
      Check(reply.code >= 200 && reply.code <= 599);
      Check(!reply.lines.isEmpty() && reply.lines.size() <= limits.maxLines);
      Check(reply.consumed > 0 && reply.consumed <= input.size() - pos);
      for (const QByteArray& line : reply.lines) Check(line.size() <= limits.maxLineLength);
      // The same reply is found in its own bytes alone: nothing after it mattered.
      const platform::SmtpReply again = platform::ParseSmtpReply(input.sliced(pos, reply.consumed), limits);
      Check(again.status == platform::SmtpReply::Status::Complete && again.consumed == reply.consumed);
      pos += reply.consumed;
    }
  }

  if (const auto wire = platform::EncodeSmtpData(input)) {
    Check(wire->endsWith("\r\n.\r\n") || *wire == ".\r\n");
    // Only CR LF line ends, and the only line that is a lone "." is the last.
    for (qsizetype i = 0; i < wire->size(); ++i) {
      if (wire->at(i) == '\r') Check(i + 1 < wire->size() && wire->at(i + 1) == '\n');
      if (wire->at(i) == '\n') Check(i > 0 && wire->at(i - 1) == '\r');
    }
    Check(wire->indexOf("\r\n.\r\n") == wire->size() - 5 || *wire == ".\r\n");
    Check(!wire->startsWith(".\r\n") || *wire == ".\r\n");
  }
  return 0;
}
