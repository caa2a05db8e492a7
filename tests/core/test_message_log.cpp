#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include "app/MessageLog.h"

// Each report goes in at the top, as one row inserted at 0, so that a view keeps its
// selection and scroll position on the rows already there.
TEST(MessageLog, NewestFirstOneInsertAtRowZeroEach) {
  app::MessageLog log;
  QAbstractItemModelTester tester(&log, QAbstractItemModelTester::FailureReportingMode::Fatal);
  QSignalSpy inserted(&log, &QAbstractItemModel::rowsInserted);
  QSignalSpy reset(&log, &QAbstractItemModel::modelReset);
  for (const char* text : {"first", "second", ""}) log.InsertAtTop(text);
  EXPECT_EQ(log.Count(), 3);
  EXPECT_EQ(log.Row(0), QString(""));
  EXPECT_EQ(log.Row(1), QString("second"));
  EXPECT_EQ(log.Row(2), QString("first"));
  EXPECT_EQ(log.data(log.index(1)).toString(), QString("second"));
  EXPECT_EQ(log.Row(3), QString());
  EXPECT_EQ(log.Row(-1), QString());
  ASSERT_EQ(inserted.count(), 3);
  for (const auto& args : inserted)
    EXPECT_EQ(std::make_pair(args.at(1).toInt(), args.at(2).toInt()), std::make_pair(0, 0));
  EXPECT_EQ(reset.count(), 0);
}
