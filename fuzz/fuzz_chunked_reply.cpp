// Feeds arbitrary bytes to the opt-out check as the service's reply: the chunked decoding,
// the reading of the decoded lines, the hexadecimal sizes and the test for the last chunk.
#include <cstddef>
#include <cstdint>

#include "tools/OptOut.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArrayView reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString body = tools::optout::DecodeChunkedReply(reply);
  // Every body character comes from a reply byte or is the LF given back to a line.
  if (body.size() > 2 * reply.size()) __builtin_trap();
  const QStringList addresses = tools::optout::OptedOutAddresses(body);
  if (addresses.size() > body.size()) __builtin_trap();
  tools::optout::ConvertHex2Dec(body);
  if (tools::optout::ReplyComplete(reply) && !reply.endsWith('\n')) __builtin_trap();
  return 0;
}
