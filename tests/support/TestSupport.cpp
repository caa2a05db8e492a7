#include "support/TestSupport.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <csignal>

namespace testing_support {

bool WaitUntil(const std::function<bool()>& predicate, int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  while (!predicate()) {
    if (deadline.hasExpired()) return predicate();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  return true;
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

qint64 AddressSpaceInUse() {
  // The first field of statm: the size of the whole address space, in pages.
  const QList<QByteArray> fields = ReadAll(QStringLiteral("/proc/self/statm")).split(' ');
  return fields.isEmpty() ? 0 : fields.first().toLongLong() * ::sysconf(_SC_PAGESIZE);
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  // A write past the limit then fails with EFBIG instead of ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  ::getrlimit(RLIMIT_FSIZE, &m_saved);
  const rlimit limited{bytes, m_saved.rlim_max};
  ::setrlimit(RLIMIT_FSIZE, &limited);
}

FileSizeLimit::~FileSizeLimit() {
  ::setrlimit(RLIMIT_FSIZE, &m_saved);
}

}  // namespace testing_support
