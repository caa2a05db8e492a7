// The addresses of a mailing: which selected rows are queued or marked, and how.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "mailing/MailSelection.h"

namespace {

struct Row {
  QString address, mailings;
  bool selected;
};

std::unique_ptr<platform::ListModel> AddressList(const std::vector<Row>& rows) {
  auto list = std::make_unique<platform::ListModel>(2);
  for (const Row& r : rows) {
    list->AddRow(QStringList{r.address, r.mailings});
    list->SetSelected(list->LastIndex(), r.selected);
  }
  return list;
}

QList<QStringList> Rows(const platform::ListModel& list) {
  QList<QStringList> rows;
  for (int r = 0; r < list.ListCount(); ++r) {
    QStringList cells;
    for (int c = 0; c < list.columnCount(); ++c) cells << list.Cell(r, c);
    rows << cells;
  }
  return rows;
}

// Selected rows in list order, markers found anywhere in any letter case, repeats kept;
// queueing leaves the list alone, marking leaves the queue alone and all marks carry one
// date.
TEST(MailSelection, QueuesOrMarksTheSelectedSendableRows) {
  const std::vector<Row> rows = {
      {"ann@x.org", "", true},
      {"bob@x.org", "Black Listed", true},
      {"cat@x.org", "News(1/2/26) ", true},
      {"dan@x.org", "", false},
      {"eve@x.org", "News(1/2/26) opted out", true},
      {"ann@x.org", "", true},
      {"fay@x.org", "News(1/2/26) Black Listed News(3/2/26) ", true},
  };
  const platform::Date date(QDateTime(QDate(2026, 5, 4), QTime(9, 0)));
  const QString entry = "Launch(" + date.ShortDate() + ") ";
  for (const bool markAsSent : {false, true}) {
    SCOPED_TRACE(markAsSent);
    auto elist = AddressList(rows);
    platform::ListModel queue(4);
    int changes = 0;
    const auto addresses = mailing::MailSelectedRows(elist.get(), &queue, {"Launch", true, markAsSent, date},
                                                     [&] { ++changes; });
    EXPECT_EQ(addresses, std::optional<QString>("ann@x.org, cat@x.org, ann@x.org"));
    QList<QStringList> list = Rows(*AddressList(rows));
    QList<QStringList> queued;
    if (markAsSent) {
      for (int r : {0, 2, 5}) list[r][1] += entry;
    } else {
      for (const char* a : {"ann@x.org", "cat@x.org", "ann@x.org"})
        queued << QStringList{a, "Launch", "HTML", "Queued"};
    }
    EXPECT_EQ(Rows(*elist), list);
    EXPECT_EQ(Rows(queue), queued);
    EXPECT_EQ(changes, markAsSent ? 3 : 0);
  }
}

// A big selection reaches the queue in a few batches, each one model signal.
TEST(MailSelection, QueuesInBatches) {
  auto elist = AddressList(std::vector<Row>(50000, {"ann@x.org", "", true}));
  platform::ListModel queue(4);
  QSignalSpy inserted(&queue, &platform::ListModel::rowsInserted);
  const auto addresses = mailing::MailSelectedRows(elist.get(), &queue, {"Launch", false, false, {}}, {});
  EXPECT_EQ(addresses->size(), 50000 * 11 - 2);
  EXPECT_EQ(queue.ListCount(), 50000);
  EXPECT_LT(inserted.count(), 10);
  EXPECT_EQ(queue.Cell(49999, 2), QString("Plain Text"));
}

}  // namespace
