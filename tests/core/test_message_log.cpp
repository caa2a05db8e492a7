#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include "app/MessageLog.h"
#include "platform/Date.h"

using namespace Qt::StringLiterals;

// Each report goes in at the top, as one row inserted at 0, so that a view
// keeps its selection and scroll position on the rows already there. The
// reports an import makes by the thousand wait without a signal until
// published, then come in one insert, newest first, each with its time and the
// text it stands for, also where one entry keeps a run of counts.
TEST(MessageLog, NewestFirstAndAnImportsReportsInOneInsert) {
  QTime now(13, 14, 15);
  platform::SetClockForTests([&now] { return QDateTime(QDate(2026, 5, 4), now); });
  const QString time = platform::Date::Now().LongTime() + u' ';
  app::MessageLog log;
  QAbstractItemModelTester tester(&log, QAbstractItemModelTester::FailureReportingMode::Fatal);
  QSignalSpy inserted(&log, &QAbstractItemModel::rowsInserted);
  using Ending = app::MessageLog::Ending;
  log.InsertAtTop("first");
  log.Report(u"Processing file line 500..."_s);
  log.ReportNumber(41, Ending::Addresses);
  log.ReportAscii("Ann@x.org", Ending::AlreadyExists);
  log.ReportNumber(42, Ending::Addresses);
  log.ReportNumber(43, Ending::Addresses);
  now = now.addSecs(1);
  const QString later = platform::Date::Now().LongTime() + u' ';
  log.ReportNumber(44, Ending::Addresses);
  log.ReportNumber(46, Ending::Addresses);
  EXPECT_EQ(log.Count(), 2);
  log.Report(u"caf\u00e9 \u2014 done"_s);  // the waiting ones first
  QStringList rows;
  for (int row = -1; row <= log.Count(); ++row) rows << log.Row(row);
  EXPECT_EQ(rows, QStringList({"", later + u"caf\u00e9 \u2014 done"_s, later + "46 addresses",
                               later + "44 addresses", time + "43 addresses", time + "42 addresses",
                               time + "Ann@x.org already exists in the database.", time + "41 addresses",
                               time + "Processing file line 500...", "first", ""}));
  QList<std::pair<int, int>> spans;
  for (const auto& args : inserted) spans << std::pair(args.at(1).toInt(), args.at(2).toInt());
  EXPECT_EQ(spans, (QList<std::pair<int, int>>{{0, 0}, {0, 0}, {0, 6}}));
  platform::SetClockForTests({});
}
