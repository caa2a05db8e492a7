#pragma once

#include <QString>
#include <optional>

namespace platform {

struct ServerAddress {
  QString host;
  quint16 port = 0;
};

// Reads a server setting as the user types it: "host", "host:port", "[v6]", "[v6]:port"
// or a bare IPv6 address. Surrounding blanks are ignored. Empty when there is no host,
// the port is not 1 to 65535, or the host holds blanks or control characters.
std::optional<ServerAddress> ParseServerAddress(const QString& text, quint16 defaultPort);

}  // namespace platform
