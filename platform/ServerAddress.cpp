#include "platform/ServerAddress.h"

namespace platform {

namespace {

std::optional<quint16> ParsePort(QStringView text) {
  if (text.isEmpty() || text.size() > 5) return std::nullopt;
  int port = 0;
  for (QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    port = port * 10 + (c.unicode() - '0');
  }
  if (port < 1 || port > 65535) return std::nullopt;
  return static_cast<quint16>(port);
}

bool IsPlainHost(const QString& host) {
  if (host.isEmpty()) return false;
  for (QChar c : host) {
    if (c.isSpace() || c.unicode() < 0x20 || c.unicode() == 0x7f) return false;
  }
  return true;
}

}  // namespace

std::optional<ServerAddress> ParseServerAddress(const QString& text, quint16 defaultPort) {
  const QString t = text.trimmed();
  ServerAddress result;
  result.port = defaultPort;
  if (t.startsWith(QLatin1Char('['))) {
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0) return std::nullopt;
    result.host = t.mid(1, close - 1);
    const QStringView rest = QStringView(t).mid(close + 1);
    if (!rest.isEmpty()) {
      if (!rest.startsWith(QLatin1Char(':'))) return std::nullopt;
      const auto port = ParsePort(rest.mid(1));
      if (!port) return std::nullopt;
      result.port = *port;
    }
  } else if (t.count(QLatin1Char(':')) == 1) {
    const qsizetype colon = t.indexOf(QLatin1Char(':'));
    result.host = t.left(colon);
    const auto port = ParsePort(QStringView(t).mid(colon + 1));
    if (!port) return std::nullopt;
    result.port = *port;
  } else {
    result.host = t;  // a name, or a bare IPv6 address (many colons, no port)
  }
  if (!IsPlainHost(result.host)) return std::nullopt;
  return result;
}

}  // namespace platform
