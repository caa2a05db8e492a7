#include "platform/SocketFactory.h"

#include "platform/SslByteStream.h"

namespace platform {

std::unique_ptr<ByteStream> MakeByteStream(const TlsPolicy& policy) {
  return std::make_unique<SslByteStream>(policy);
}

}  // namespace platform
