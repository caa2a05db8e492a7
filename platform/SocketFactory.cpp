#include "platform/SocketFactory.h"

#include "platform/SslByteStream.h"

namespace platform {

namespace {

ByteStreamFactory& FactoryForTests() {
  static ByteStreamFactory factory;
  return factory;
}

}  // namespace

std::unique_ptr<ByteStream> MakeByteStream(const TlsPolicy& policy) {
  if (const ByteStreamFactory& factory = FactoryForTests()) return factory(policy);
  return std::make_unique<SslByteStream>(policy);
}

void SetByteStreamFactoryForTests(ByteStreamFactory factory) {
  FactoryForTests() = std::move(factory);
}

}  // namespace platform
