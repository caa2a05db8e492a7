#include <gtest/gtest.h>

#include <QSignalSpy>
#include <numeric>
#include <random>

#include "platform/Date.h"
#include "platform/ListModel.h"
#include "platform/Text.h"
#include "support/ListToolsOracle.h"
#include "tools/ListSort.h"

namespace {

using tools::SortBy;

// Rows of (address, history, tag) from small pools, so keys repeat, in awkward forms (no or
// two "@", odd dots, markers, broken parentheses, dates of differing lengths).
std::vector<QStringList> RandomRows(std::mt19937& random, int count) {
  // Code points in and beyond the first plane, a lone surrogate (a byte that was not UTF-8),
  // halves of pairs alone (first halves of the block of two of the characters and of the block
  // before it, a second half), a NUL; keys of eight bytes and longer ones that begin with them.
  // clang-format off
  static const QStringList users = {"a", "A", "b", "ann", "Bob", "zed", "", QString::fromUtf8("\xC3\xA9"),
      QString(QChar(0xFFFD)), QString::fromUtf8("\xF0\x9F\x98\x80"), QString(QChar(0xDC80)) + "x",
      QString(QChar(0xD83D)), QString(QChar(0xD83C)) + "b", QString(QChar(0xDFFF)),
      QString::fromUtf8("\xF0\x9F\x90\x80"), QString("a") + QChar(0)};
  static const QStringList hosts = {"example.com", "mail.example.com", "example.org", "x.example.org", "host", "",
      ".", "a.", "h.b.c.d", "b@c.d", "mail.examples.org", "examplesx.org"};
  const auto day = [](int y, int m, int d) { return platform::Date(QDateTime(QDate(y, m, d), QTime(9, 0))).ShortDate(); };
  const QStringList histories = {"", "Black Listed", "Opted Out", "News(" + day(2026, 1, 2) + ") ",
      "News(" + day(2025, 12, 30) + ") Sale(" + day(2026, 1, 2) + ") ", "Old(" + day(1972, 3, 4) + ") ", "x(y) (",
      "((", "Sale(" + day(2026, 5, 4) + ")"};
  // clang-format on
  std::vector<QStringList> rows;
  for (int i = 0; i < count; ++i) {
    const QString user = users[random() % users.size()];
    const int shape = random() % 10;
    const QString address = shape == 0 ? user : user + "@" + hosts[random() % hosts.size()];
    rows.push_back({address, histories[random() % histories.size()], QString::number(i)});
  }
  return rows;
}

// Rows in blocks of one address each, such as a list sorted the other way: runs of equal
// keys that make the quicksort peel a few rows off a range at a time.
std::vector<QStringList> BlockRows(std::mt19937& random) {
  static const QStringList addresses = {"a@example.com", "b@mail.example.com", "c@example.org", "d@host",
                                        "e"};
  std::vector<QStringList> rows;
  for (int block = static_cast<int>(random() % 5); block >= 0; --block) {
    const QString address = addresses[random() % addresses.size()];
    for (int i = static_cast<int>(random() % 70); i >= 0; --i) {
      rows.push_back({address, "", QString::number(rows.size())});
    }
  }
  return rows;
}

// Rows that drive the quicksort into long chains of partitions that each place only their
// pivot: the middle row of each range holds its smallest or largest key, at random. Some
// keys are made equal, so that equal keys come into the chains.
std::vector<QStringList> ChainRows(std::mt19937& random) {
  std::vector<int> places(20 + random() % 180);
  std::iota(places.begin(), places.end(), 0);
  std::vector<int> value(places.size());
  int low = 0;
  int high = static_cast<int>(places.size());
  while (!places.empty()) {
    const auto middle = places.begin() + static_cast<std::ptrdiff_t>((places.size() - 1) / 2);
    const bool largest = random() % 2 == 0;
    value[*middle] = largest ? --high : low++;
    // The smallest goes first and the rows before it after it, last first; the largest last.
    if (!largest) std::reverse(places.begin(), middle);
    places.erase(middle);
  }
  const int coarse = 1 + static_cast<int>(random() % 4);
  std::vector<QStringList> rows;
  for (const int v : value)
    rows.push_back({QString::asprintf("u@h%03d.x", v / coarse), "", QString::number(rows.size())});
  return rows;
}

// The sort leaves every row exactly where the literal row-moving quicksort does, for every
// key and both directions, on lists full of equal keys.
TEST(ListSort, AgreesWithTheLiteralQuicksort) {
  std::mt19937 random(3103);
  for (const SortBy by : {SortBy::Id, SortBy::Domain, SortBy::Subdomain, SortBy::Date}) {
    for (const bool ascending : {true, false}) {
      for (int trial = 0; trial < 40; ++trial) {
        const std::vector<QStringList> rows = trial % 3 == 0 ? BlockRows(random)
                                              : trial % 3 == 1
                                                  ? ChainRows(random)
                                                  : RandomRows(random, static_cast<int>(random() % 160));
        oracle::LiteralSort literal(rows, by, ascending);
        literal.SortTable(0, static_cast<int>(rows.size()) - 1);
        platform::ListModel model(3);
        model.AppendRows(rows);
        EXPECT_EQ(tools::SortRows(model, 0, model.ListCount() - 1, by, ascending),
                  tools::SortOutcome::Sorted);
        for (int r = 0; r < model.ListCount(); ++r)
          ASSERT_EQ(model.Cell(r, 2), literal.rows[r][2]) << int(by) << ascending << trial << " row " << r;
      }
    }
  }
}

// Inputs that drive the quicksort as many ranges deep as there are rows (every pivot the
// largest of its range; two long blocks in the wrong order) sort in order with work near
// n log n and no recursion to run out of.
TEST(ListSort, WorstCasesSortWithoutDeepWork) {
  constexpr int kRows = 100000;
  // The largest remaining key to the middle row, the rest placed as that partition does.
  std::vector<int> places(kRows);
  for (int i = 0; i < kRows; ++i) places[i] = i;
  std::vector<int> value(kRows);
  for (int m = kRows; m >= 1; --m) {
    const int p = (m - 1) / 2;
    value[places[p]] = m;
    std::rotate(places.begin() + p, places.begin() + p + 1, places.begin() + m);
  }
  std::vector<QStringList> pivotsLargest;
  std::vector<QStringList> twoBlocks;
  for (int i = 0; i < kRows; ++i) {
    // Two rows share the smallest key: keys that all differ would be placed without partitions.
    pivotsLargest.push_back({QString::asprintf("%06d", std::max(value[i] - 1, 1))});
    twoBlocks.push_back({i < kRows / 2 ? "b" : "a"});
  }
  for (const auto& rows : {pivotsLargest, twoBlocks}) {
    platform::ListModel model(2);
    model.AppendRows(rows);
    long long steps = 0;
    const tools::SortOutcome outcome =
        tools::SortRows(model, 0, kRows - 1, SortBy::Id, true, [&](long long s, int, int, int) {
          steps = s;
          return true;
        });
    EXPECT_EQ(outcome, tools::SortOutcome::Sorted);
    EXPECT_LT(steps, 40LL * kRows);
    for (int i = 1; i < kRows; ++i) ASSERT_LE(model.Cell(i - 1, 0), model.Cell(i, 0)) << i;
  }
}

// The new order goes in with one layout change; a list edited while the sort runs, or a
// second sort started meanwhile, moves nothing.
TEST(ListSort, OneSignalAndNothingMovedWhenTheListChanges) {
  std::mt19937 random(7);
  const std::vector<QStringList> rows = RandomRows(random, 5000);
  const struct {
    const char* name;
    std::function<void(platform::ListModel&)> duringSort;
    tools::SortOutcome outcome;
    int layoutChanges;
  } cases[] = {
      // clang-format off
      {"untouched", [](platform::ListModel&) {}, tools::SortOutcome::Sorted, 1},
      {"row added", [](platform::ListModel& m) { m.AddRow(QString("new@example.com")); }, tools::SortOutcome::ListChanged, 0},
      {"second sort", [](platform::ListModel& m) {
         EXPECT_EQ(tools::SortRows(m, 0, m.ListCount() - 1, SortBy::Id, true), tools::SortOutcome::Busy); },
       tools::SortOutcome::Sorted, 1},
      // clang-format on
  };
  for (const auto& c : cases) {
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
    EXPECT_EQ(std::make_tuple(outcome, layouts.count()), std::make_tuple(c.outcome, c.layoutChanges))
        << c.name;
    if (c.outcome == tools::SortOutcome::ListChanged) {
      EXPECT_EQ(model.Cell(0, 2) + model.Cell(4999, 2), rows[0][2] + rows[4999][2]) << c.name;
    }
  }
}

}  // namespace
