#include "platform/FileResult.h"

#include <cstring>

namespace platform {

FileResult FileResult::Failure(QString reason) {
  FileResult result;
  result.m_ok = false;
  result.m_reason = std::move(reason);
  return result;
}

FileResult FileResult::FromErrno(int error) {
  return Failure(SystemReason(error));
}

QString SystemReason(int error) {
  return QString::fromLocal8Bit(std::strerror(error));
}

QString NotARegularFile() {
  return QStringLiteral("Not a regular file");
}

QString Because(const QString& reason) {
  return reason.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + reason + QStringLiteral(".");
}

QString InBrackets(const QString& reason) {
  return reason.isEmpty() ? QString() : QStringLiteral(" (") + reason + QStringLiteral(")");
}

}  // namespace platform
