#include "support/TestSupport.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <csignal>

#include "platform/ListModel.h"

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

QStringList Rows(const platform::ListModel& list) {
  QStringList rows;
  for (int r = 0; r < list.ListCount(); ++r)
    rows << QString(list.Selected(r) ? "*" : "") + list.Cell(r, 0) + "|" + list.Cell(r, 1);
  return rows;
}

QStringList Column(const platform::ListModel& list, int column) {
  QStringList cells;
  for (int r = 0; r < list.ListCount(); ++r) cells << list.Cell(r, column);
  return cells;
}

void SetRows(platform::ListModel& list, const QStringList& rows) {
  list.DeleteAllRows();
  for (const QString& row : rows) {
    list.AddRow(row.mid(row.startsWith('*') ? 1 : 0).split('|'));
    list.SetSelected(list.ListCount() - 1, row.startsWith('*'));
  }
}

QByteArray RunWithoutPrivileges(const std::function<QByteArray()>& body) {
  constexpr uid_t kNobody = 65534;
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeEnds[0]);
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(1);
    }
    const QByteArray out = body();
    // A blocking pipe takes the whole of one write.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], out.constData(), out.size());
    ::_exit(0);  // no destructors: they belong to the parent
  }
  ::close(pipeEnds[1]);
  QByteArray out;
  char buffer[4096];
  for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, got);
  ::close(pipeEnds[0]);
  int status = 0;
  if (child > 0) ::waitpid(child, &status, 0);
  return out;
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
