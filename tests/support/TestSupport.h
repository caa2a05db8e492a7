#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

#include "platform/EventLoop.h"

namespace platform {
class ListModel;
}
#include <sys/resource.h>

namespace testing_support {

// Runs the event loop until the predicate holds or the timeout passes; returns the predicate.
bool WaitUntil(const std::function<bool()>& predicate, int timeoutMs = 5000);

// While it lives, a loop that yields runs the event loop at every step.
class YieldEveryStep {
 public:
  YieldEveryStep() { platform::SetYieldInterval({}); }
  ~YieldEveryStep() { platform::SetYieldInterval(m_saved); }

 private:
  std::chrono::microseconds m_saved = platform::YieldInterval();
};

// Whole-file helpers for arranging and checking test folders.
QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);

// A two-column list's rows as "address|mailings", led by "*" when selected.
QStringList Rows(const platform::ListModel& list);
void SetRows(platform::ListModel& list, const QStringList& rows);
// One column's cells, top to bottom.
QStringList Column(const platform::ListModel& list, int column = 0);
// Runs `body` in a child process, as the user nobody when this process runs as root (whom
// no permission binds), so that a test can meet a folder the user may not read; returns
// what `body` returned there.
QByteArray RunWithoutPrivileges(const std::function<QByteArray()>& body);

// The bytes of address space the process has mapped now.
qint64 AddressSpaceInUse();

// While it lives, no file of this process may grow past `bytes`: a write beyond fails as
// on a disk that is full there.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit m_saved{};
};

}  // namespace testing_support
