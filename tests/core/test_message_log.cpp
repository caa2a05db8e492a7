#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>

#include "app/MessageLog.h"

TEST(MessageLog, NewestFirst) {
  app::MessageLog log;
  QAbstractItemModelTester tester(&log, QAbstractItemModelTester::FailureReportingMode::Fatal);
  log.InsertAtTop("first");
  log.InsertAtTop("second");
  log.InsertAtTop("");
  EXPECT_EQ(log.Count(), 3);
  EXPECT_EQ(log.Row(0), QString(""));
  EXPECT_EQ(log.Row(1), QString("second"));
  EXPECT_EQ(log.Row(2), QString("first"));
  EXPECT_EQ(log.data(log.index(1)).toString(), QString("second"));
  EXPECT_EQ(log.Row(3), QString());
  EXPECT_EQ(log.Row(-1), QString());
}

TEST(MessageLog, EachEntryIsOneInsertAtRowZero) {
  app::MessageLog log;
  QSignalSpy inserted(&log, &QAbstractItemModel::rowsInserted);
  QSignalSpy reset(&log, &QAbstractItemModel::modelReset);
  for (int i = 0; i < 5; ++i) log.InsertAtTop(QString::number(i));
  ASSERT_EQ(inserted.count(), 5);
  for (const auto& args : inserted) {
    EXPECT_EQ(args.at(1).toInt(), 0);
    EXPECT_EQ(args.at(2).toInt(), 0);
  }
  EXPECT_EQ(reset.count(), 0);
}

// The log as its rule says: each report is inserted at position 0.
TEST(MessageLog, MatchesInsertAtPositionZeroOnRandomTexts) {
  auto* rng = QRandomGenerator::global();
  for (int round = 0; round < 20; ++round) {
    app::MessageLog log;
    QStringList oracle;
    const int n = rng->bounded(200);
    for (int i = 0; i < n; ++i) {
      const QString text = QString::number(rng->bounded(1000));
      log.InsertAtTop(text);
      oracle.insert(0, text);
    }
    ASSERT_EQ(log.Count(), oracle.size());
    for (int r = 0; r < oracle.size(); ++r) ASSERT_EQ(log.Row(r), oracle.at(r)) << "row " << r;
  }
}
