#include <gtest/gtest.h>

#include <QSignalSpy>
#include <random>

#include "platform/Date.h"
#include "platform/ListModel.h"
#include "platform/Text.h"
#include "support/ListToolsOracle.h"
#include "tools/ListSort.h"

namespace {

using tools::SortBy;

// Rows of (address, history, tag): addresses and histories drawn from small pools, so keys
// repeat a lot, with the awkward forms (no "@", two "@", hosts without or with odd dots,
// histories with markers, broken parentheses and dates whose day counts differ in length).
std::vector<QStringList> RandomRows(std::mt19937& random, int count) {
  static const QStringList users = {"a", "A", "b", "ann", "Bob", "zed", ""};
  static const QStringList hosts = {
      "example.com", "mail.example.com", "example.org", "x.example.org", "host", "", ".",
      "a.",          "h.b.c.d",          "b@c.d"};
  const auto day = [](int y, int m, int d) {
    return platform::Date(QDateTime(QDate(y, m, d), QTime(9, 0))).ShortDate();
  };
  const QStringList histories = {"",
                                 "Black Listed",
                                 "Opted Out",
                                 "News(" + day(2026, 1, 2) + ") ",
                                 "News(" + day(2025, 12, 30) + ") Sale(" + day(2026, 1, 2) + ") ",
                                 "Old(" + day(1972, 3, 4) + ") ",
                                 "x(y) (",
                                 "((",
                                 "Sale(" + day(2026, 5, 4) + ")"};
  std::vector<QStringList> rows;
  for (int i = 0; i < count; ++i) {
    const QString user = users[random() % users.size()];
    const int shape = random() % 10;
    const QString address = shape == 0 ? user : user + "@" + hosts[random() % hosts.size()];
    rows.push_back({address, histories[random() % histories.size()], QString::number(i)});
  }
  return rows;
}

std::vector<QStringList> RowsOf(const platform::ListModel& model) {
  std::vector<QStringList> rows;
  for (int r = 0; r < model.ListCount(); ++r)
    rows.push_back({model.Cell(r, 0), model.Cell(r, 1), model.Cell(r, 2)});
  return rows;
}

// The sort leaves every row exactly where the literal row-moving quicksort does, for every
// key and both directions, on lists full of equal keys.
TEST(ListSort, AgreesWithTheLiteralQuicksort) {
  std::mt19937 random(3103);
  for (const SortBy by : {SortBy::Id, SortBy::Domain, SortBy::Subdomain, SortBy::Date}) {
    for (const bool ascending : {true, false}) {
      for (int trial = 0; trial < 40; ++trial) {
        const std::vector<QStringList> rows = RandomRows(random, static_cast<int>(random() % 160));
        oracle::LiteralSort literal(rows, by, ascending);
        literal.SortTable(0, static_cast<int>(rows.size()) - 1);
        platform::ListModel model(3);
        model.AppendRows(rows);
        EXPECT_EQ(tools::SortRows(model, 0, model.ListCount() - 1, by, ascending),
                  tools::SortOutcome::Sorted);
        ASSERT_EQ(RowsOf(model), literal.rows) << int(by) << ascending << trial;
      }
    }
  }
}

// A list built so that every pivot is the largest key of its range takes the quicksort as
// many ranges deep as it has rows; it still sorts, with no message and no crash.
TEST(ListSort, WorstCaseDepthSortsWithoutRecursion) {
  constexpr int kRows = 20000;
  // Give the largest remaining key to whatever row stands at the middle of the range, then
  // arrange the rest as that partition does: all of them before the pivot, in order.
  std::vector<int> places(kRows);
  for (int i = 0; i < kRows; ++i) places[i] = i;
  std::vector<int> value(kRows);
  for (int m = kRows; m >= 1; --m) {
    const int p = (m - 1) / 2;
    const int pivot = places[p];
    value[pivot] = m;
    places.erase(places.begin() + p);
    places.insert(places.begin() + (m - 1), pivot);
  }
  std::vector<QStringList> rows;
  for (int i = 0; i < kRows; ++i) rows.push_back({QString::asprintf("%06d", value[i])});
  platform::ListModel model(2);
  model.AppendRows(rows);
  long long steps = 0;
  const tools::SortOutcome outcome =
      tools::SortRows(model, 0, kRows - 1, SortBy::Id, true, [&](long long s, int, int, int) {
        steps = s;
        return true;
      });
  EXPECT_EQ(outcome, tools::SortOutcome::Sorted);
  EXPECT_GT(steps, 1000LL * kRows);  // the quadratic walk of this input really happened
  for (int i = 0; i < kRows; ++i) ASSERT_EQ(model.Cell(i, 0), QString::asprintf("%06d", i + 1));
}

// The new order goes in with one layout change; a list edited while the sort runs, or a
// second sort started meanwhile, moves nothing.
TEST(ListSort, OneSignalAndNothingMovedWhenTheListChanges) {
  std::mt19937 random(7);
  const std::vector<QStringList> rows = RandomRows(random, 5000);
  struct Case {
    const char* name;
    std::function<void(platform::ListModel&)> duringSort;
    tools::SortOutcome outcome;
    int layoutChanges;
  } cases[] = {
      {"untouched", [](platform::ListModel&) {}, tools::SortOutcome::Sorted, 1},
      {"row added", [](platform::ListModel& m) { m.AddRow(QString("new@example.com")); },
       tools::SortOutcome::ListChanged, 0},
      {"second sort",
       [](platform::ListModel& m) {
         EXPECT_EQ(tools::SortRows(m, 0, m.ListCount() - 1, SortBy::Id, true), tools::SortOutcome::Busy);
       },
       tools::SortOutcome::Sorted, 1},
  };
  for (const Case& c : cases) {
    platform::ListModel model(3);
    model.AppendRows(rows);
    QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);
    bool first = true;
    const tools::SortOutcome outcome =
        tools::SortRows(model, 0, model.ListCount() - 1, SortBy::Domain, true, [&](long long, int, int, int) {
          if (first) c.duringSort(model);
          first = false;
          return true;
        });
    EXPECT_EQ(outcome, c.outcome) << c.name;
    EXPECT_EQ(layouts.count(), c.layoutChanges) << c.name;
    if (c.outcome == tools::SortOutcome::ListChanged) {
      EXPECT_EQ(model.Cell(0, 2), rows[0][2]) << c.name;
      EXPECT_EQ(model.Cell(4999, 2), rows[4999][2]) << c.name;
    }
  }
}

}  // namespace
