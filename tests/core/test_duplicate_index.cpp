#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "lists/DuplicateIndex.h"
#include "platform/EventLoop.h"
#include "platform/ListModel.h"
#include "platform/Text.h"

using namespace Qt::StringLiterals;

namespace {

// The duplicate test as adding an address has always done it: walk the list from the last
// row to the first and compare each upper-cased address with the upper-cased new one,
// byte for byte.
bool IsDuplicateByWalking(const platform::ListModel& list, const QString& address) {
  const QString wanted = platform::Uppercase(address);
  for (int row = list.ListCount() - 1; row >= 0; --row) {
    if (platform::StrComp(platform::Uppercase(list.Cell(row, 0)), wanted, 0) == 0) return true;
    platform::YieldToEventLoop();
  }
  return false;
}

// Addresses that collide only through letter case, including letters outside ASCII.
const QStringList& Addresses() {
  static const QStringList addresses =
      u"john@example.com|JOHN@EXAMPLE.COM|John@Example.com|mary@example.org|jörg@example.de|JÖRG@EXAMPLE.DE|"
      u"straße@x.de|STRASSE@X.DE|fıle@x.org|FILE@X.ORG||a b@c.de|ǆ@x.org|Ǆ@X.ORG|ǅ@x.org|😀@x.org"_s.split(
          u'|');
  return addresses;
}

void ExpectSameAnswers(const lists::DuplicateIndex& index, const platform::ListModel& list) {
  for (const QString& address : Addresses()) {
    ASSERT_EQ(index.Contains(address), IsDuplicateByWalking(list, address)) << address.toStdString();
  }
}

// Every kind of edit, rows present before the index exists, and addresses that differ
// only in letter case.
TEST(DuplicateIndex, AgreesWithTheWalkOverRandomEdits) {
  QRandomGenerator random(1106);
  const QStringList& addresses = Addresses();
  auto anyAddress = [&] { return addresses[random.bounded(static_cast<int>(addresses.size()))]; };
  for (int round = 0; round < 40; ++round) {
    platform::ListModel list(2);
    for (int i = random.bounded(4); i > 0; --i) list.AddRow(anyAddress());
    lists::DuplicateIndex index(&list);
    for (int step = 0; step < 300; ++step) {
      const int count = list.ListCount();
      const int row = count > 0 ? random.bounded(count) : 0;
      switch (random.bounded(11)) {
        case 0:
        case 1:
          list.AddRow(anyAddress());
          break;
        case 2:
          list.InsertRow(random.bounded(count + 1), anyAddress());
          break;
        case 3:
          list.RemoveRow(row);
          break;
        case 4:
          list.SetCell(row, 0, anyAddress());
          break;
        case 5:
          list.SetCell(row, 1, anyAddress());
          break;
        case 6:
          list.SetSelected(row, random.bounded(2) == 1);
          break;
        case 7: {
          std::vector<QStringList> batch;
          for (int i = random.bounded(5); i > 0; --i) batch.push_back({anyAddress()});
          list.AppendRows(std::move(batch));
          break;
        }
        case 8: {
          const int keepEvery = random.bounded(1, 4);
          list.RemoveRowsIf([&](int r) { return r % keepEvery != 0; });
          break;
        }
        case 9:
          if (random.bounded(10) == 0) list.DeleteAllRows();
          break;
        case 10:
          list.SetAllSelected(random.bounded(2) == 1);
          break;
      }
      ExpectSameAnswers(index, list);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(DuplicateIndex, SurvivesTheListGoingFirst) {
  auto list = std::make_unique<platform::ListModel>(2);
  list->AddRow(u"john@example.com"_s);
  lists::DuplicateIndex index(list.get());
  EXPECT_TRUE(index.Contains(u"JOHN@example.com"_s));
  list.reset();
  EXPECT_FALSE(index.Contains(u"john@example.com"_s));
}

}  // namespace
