// Feeds arbitrary server bytes to the POP3 reply, line and STAT parsers, the way the
// client consumes them: reply after reply from the front of one buffer.
#include <cstddef>
#include <cstdint>

#include "platform/Pop3Reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  qsizetype offset = 0;
  while (offset < bytes.size()) {
    const QByteArrayView rest = bytes.sliced(offset);
    const platform::Pop3Reply reply = platform::ParsePop3Reply(rest);
    if (reply.consumed > rest.size()) __builtin_trap();
    if (reply.status == platform::Pop3Reply::Status::Ok) {
      const auto stat = platform::ParsePop3Stat("+OK " + reply.text);
      if (stat && (stat->count < 0 || stat->size < 0)) __builtin_trap();
    }
    const platform::Pop3Line line = platform::ReadPop3Line(rest, 64);
    if (line.status == platform::Pop3Line::Status::Line && line.text.size() >= 64) __builtin_trap();
    if (reply.consumed == 0) break;
    offset += reply.consumed;
  }
  platform::ParsePop3Stat(bytes);
  return 0;
}
