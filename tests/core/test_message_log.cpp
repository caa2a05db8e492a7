#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include "app/MessageLog.h"
#include "platform/Date.h"

// Each report goes in at the top, as one row inserted at 0, so that a view keeps its
// selection and scroll position on the rows already there.
TEST(MessageLog, NewestFirstOneInsertAtRowZeroEach) {
  app::MessageLog log;
  QAbstractItemModelTester tester(&log, QAbstractItemModelTester::FailureReportingMode::Fatal);
  QSignalSpy inserted(&log, &QAbstractItemModel::rowsInserted);
  QSignalSpy reset(&log, &QAbstractItemModel::modelReset);
  for (const char* text : {"first", "second", ""}) log.InsertAtTop(text);
  EXPECT_EQ(QStringList({log.Row(-1), log.Row(0), log.Row(1), log.Row(2), log.Row(3),
                         log.data(log.index(1)).toString()}),
            QStringList({{}, "", "second", "first", {}, "second"}));
  ASSERT_EQ(inserted.count(), 3);
  for (const auto& args : inserted)
    EXPECT_EQ(std::make_pair(args.at(1).toInt(), args.at(2).toInt()), std::make_pair(0, 0));
  EXPECT_EQ(reset.count(), 0);
}

// The reports an import makes by the thousand wait without a signal until published, then
// come in one insert, newest first, each with its time and the text it stands for.
TEST(MessageLog, ReportsOfAnImportComeInOneInsert) {
  const QDateTime now(QDate(2026, 5, 4), QTime(13, 14, 15));
  platform::SetClockForTests([now] { return now; });
  const QString time = platform::Date(now).LongTime() + u' ';
  app::MessageLog log;
  QAbstractItemModelTester tester(&log, QAbstractItemModelTester::FailureReportingMode::Fatal);
  QSignalSpy inserted(&log, &QAbstractItemModel::rowsInserted);
  using Ending = app::MessageLog::Ending;
  log.Report(QStringLiteral("Processing file line 500..."));
  log.ReportNumber(41, Ending::Addresses);
  log.ReportAscii("Ann@x.org", Ending::AlreadyExists);
  log.ReportNumber(42, Ending::Addresses);
  EXPECT_EQ(log.Count(), 1);
  log.Report(QString::fromUtf8("caf\xc3\xa9 \xe2\x80\x94 done"));  // the waiting ones first
  QStringList rows;
  for (int row = 0; row < log.Count(); ++row) rows << log.Row(row);
  EXPECT_EQ(rows, QStringList({time + QString::fromUtf8("caf\xc3\xa9 \xe2\x80\x94 done"),
                               time + "42 addresses", time + "Ann@x.org already exists in the database.",
                               time + "41 addresses", time + "Processing file line 500..."}));
  ASSERT_EQ(inserted.count(), 2);
  EXPECT_EQ(std::make_pair(inserted.at(1).at(1).toInt(), inserted.at(1).at(2).toInt()), std::make_pair(0, 3));
  platform::SetClockForTests({});
}
