#pragma once

#include <QString>

namespace platform {

// The outcome of a file write, creation or removal, with the system's words for a failure
// ("No space left on device", "Permission denied"), so that what the user is told says why
// and never guesses. Unread, a failure would be silent data loss: the type is [[nodiscard]].
class [[nodiscard]] FileResult {
 public:
  static FileResult Success() { return FileResult(); }
  // An empty reason still fails; Reason() then names no cause.
  static FileResult Failure(QString reason);
  // The failure the C library's errno value stands for.
  static FileResult FromErrno(int error);

  bool Ok() const { return m_ok; }
  // Empty on success.
  const QString& Reason() const { return m_reason; }

 private:
  FileResult() = default;
  bool m_ok = true;
  QString m_reason;
};

// The system's words for an errno value, as strerror gives them.
QString SystemReason(int error);
// The words for an item that exists but is no regular file (a pipe, a device, a socket): no
// errno says it, and such an item is never written.
QString NotARegularFile();

// A reason to end a sentence with: ": reason." (or only "." when there is none).
QString Because(const QString& reason);
// A reason within a sentence: " (reason)" (or nothing when there is none).
QString InBrackets(const QString& reason);

}  // namespace platform
