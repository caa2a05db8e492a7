#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

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

void SetRows(platform::ListModel& list, const QStringList& rows) {
  list.DeleteAllRows();
  for (const QString& row : rows) {
    list.AddRow(row.mid(row.startsWith('*') ? 1 : 0).split('|'));
    list.SetSelected(list.ListCount() - 1, row.startsWith('*'));
  }
}

}  // namespace testing_support
