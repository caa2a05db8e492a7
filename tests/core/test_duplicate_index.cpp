#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <functional>

#include "lists/AddressAdder.h"
#include "lists/DuplicateIndex.h"
#include "mailing/AddressIndex.h"
#include "platform/EventLoop.h"
#include "platform/ListModel.h"
#include "platform/Text.h"
#include "support/TestSupport.h"

using namespace Qt::StringLiterals;

namespace {

// The duplicate test as adding an address always did it: a walk from the last row up.
bool IsDuplicateByWalking(const platform::ListModel& list, const QString& address) {
  const QString wanted = platform::Uppercase(address);
  for (int row = list.ListCount() - 1; row >= 0; --row) {
    if (platform::StrComp(platform::Uppercase(list.Cell(row, 0)), wanted, 0) == 0) return true;
    platform::YieldToEventLoop();
  }
  return false;
}

// Addresses that collide only through letter case, including letters outside ASCII.
const QStringList kAddresses =
    u"john@example.com|JOHN@EXAMPLE.COM|John@Example.com|mary@example.org|jörg@example.de|JÖRG@EXAMPLE.DE|"
    u"straße@x.de|STRASSE@X.DE|fıle@x.org|FILE@X.ORG||a b@c.de|ǆ@x.org|Ǆ@X.ORG|ǅ@x.org|😀@x.org"_s.split(u'|');

// Every kind of edit: the duplicate test (letter case aside) and each address's rows
// (exactly as written) against walks.
TEST(DuplicateIndex, AgreesWithTheWalkOverRandomEdits) {
  QRandomGenerator random(1106);
  auto anyAddress = [&] { return kAddresses[random.bounded(static_cast<int>(kAddresses.size()))]; };
  for (int round = 0; round < 40; ++round) {
    platform::ListModel list(2);
    for (int i = random.bounded(4); i > 0; --i) list.AddRow(anyAddress());
    lists::DuplicateIndex index(&list);
    mailing::AddressIndex rowsIndex(&list);
    auto anyRow = [&] { return list.ListCount() > 0 ? random.bounded(list.ListCount()) : 0; };
    auto coin = [&] { return random.bounded(2) == 1; };
    const std::function<void()> edits[] = {
        [&] { list.AddRow(anyAddress()); },
        [&] {
          const QString a = anyAddress();
          index.Contains(a), list.AddRow(a);
        },  // tested, then added
        [&] { list.InsertRow(random.bounded(list.ListCount() + 1), anyAddress()); },
        [&] { list.RemoveRow(anyRow()); },
        [&] { list.SetCell(anyRow(), 0, anyAddress()); },
        [&] { list.SetCell(anyRow(), 1, anyAddress()); },
        [&] {
          list.EditColumn(0, [&](int, QString& cell) { return coin() && (cell = anyAddress(), true); });
        },
        [&] { list.SetSelected(anyRow(), coin()); },
        [&] { list.SetAllSelected(coin()); },
        [&] {
          list.AppendRows({{anyAddress()}, {anyAddress(), anyAddress()}});
        },
        [&] { list.RemoveRowsIf([keep = random.bounded(1, 4)](int r) { return r % keep != 0; }); },
        [&] { random.bounded(10) == 0 ? list.DeleteAllRows() : void(); },
    };
    for (int step = 0; step < 300; ++step) {
      edits[random.bounded(static_cast<int>(std::size(edits)))]();
      for (const QString& address : kAddresses) {
        std::vector<int> rows;
        for (int row = 0; row < list.ListCount(); ++row)
          if (list.Cell(row, 0) == address) rows.push_back(row);
        ASSERT_EQ(std::make_pair(index.Contains(address), rowsIndex.RowsOf(address)),
                  std::make_pair(IsDuplicateByWalking(list, address), rows))
            << address.toStdString() << " step " << step;
      }
    }
  }
}

// An import's batches give the reports and rows of adding one by one, with the list
// edited between batches.
TEST(DuplicateIndex, BatchesAgreeWithAddingOneByOne) {
  QRandomGenerator random(1107);
  const QStringList scanned =
      u"john@example.com|JOHN@EXAMPLE.com|file@x.org|FILE@X.ORG|mary@example.org|"
      u"STRASSE@X.DE|new@x.org|New@X.org|a@bc.de"_s.split(u'|');
  for (int round = 0; round < 30; ++round) {
    platform::ListModel list(2), literal(2);
    for (int i = random.bounded(6); i > 0; --i)
      list.AddRow(kAddresses[random.bounded(int(kAddresses.size()))]);
    for (int row = 0; row < list.ListCount(); ++row) literal.AddRow(list.Cell(row, 0));
    lists::DuplicateIndex index(&list);
    QStringList reports, expected;
    lists::AddressAdder adder(&list, &index, [] { return true; },
                              {[&](long long rows) { reports << QString::number(rows); },
                               [&](QByteArrayView a) { reports << QString::fromLatin1(a) + u" exists"_s; }});
    for (int step = 0; step < 200; ++step) {
      const int pick = random.bounded(10);
      const QString& address = scanned[random.bounded(static_cast<int>(scanned.size()))];
      if (pick < 7) {
        adder.Add(address.toLatin1());
        const bool exists = IsDuplicateByWalking(literal, address);
        if (!exists) literal.AddRow(address);
        expected << (exists ? address + u" exists"_s : QString::number(literal.ListCount()));
        continue;
      }
      adder.Flush();
      if (pick < 9) continue;
      // Other handlers edit the list only once the batch is in it.
      const int row = random.bounded(list.ListCount() + 1);
      const bool remove = random.bounded(2) == 0;
      for (platform::ListModel* l : {&list, &literal})
        remove ? l->RemoveRow(row) : l->SetCell(row, 0, scanned[step % scanned.size()]);
    }
    adder.Flush();
    ASSERT_EQ(reports, expected);
    ASSERT_EQ(testing_support::Rows(list), testing_support::Rows(literal));
  }
}

TEST(DuplicateIndex, SurvivesTheListGoingFirst) {
  auto list = std::make_unique<platform::ListModel>(2);
  list->AddRow(u"john@example.com"_s);
  lists::DuplicateIndex index(list.get());
  EXPECT_EQ(index.Contains(u"JOHN@example.com"_s), true);
  list.reset();
  EXPECT_EQ(index.Contains(u"john@example.com"_s), false);
}

}  // namespace
