#pragma once

#include <functional>
#include <memory>

#include "platform/ByteStream.h"
#include "platform/TlsPolicy.h"

namespace platform {

// Makes the byte stream for one connection. Clients keep a factory so tests can hand
// them a fake stream; the default makes a real TCP/TLS stream with the given policy.
using ByteStreamFactory = std::function<std::unique_ptr<ByteStream>(const TlsPolicy&)>;

std::unique_ptr<ByteStream> MakeByteStream(const TlsPolicy& policy);

// While set, MakeByteStream makes its streams with this factory instead, so a test can put
// a scripted server (or a real one on another port) behind the clients that windows make
// for themselves; an empty factory restores real streams.
void SetByteStreamFactoryForTests(ByteStreamFactory factory);

}  // namespace platform
