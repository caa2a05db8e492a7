#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTimer>
#include <chrono>

#include "lists/ListCommands.h"
#include "lists/OpenList.h"
#include "mailing/MailSelection.h"
#include "platform/EventLoop.h"
#include "platform/ListModel.h"
#include "platform/Text.h"
#include "support/TestSupport.h"
#include "tools/AddressPattern.h"
#include "tools/ListSort.h"

using platform::ListModel;

namespace {

// The commands as designed, row by row through the list's single-row operations.
namespace literal {

void Duplicate(ListModel& l) {
  if (l.SelCount() == 1) return l.AddRow(l.Cell(l.ListIndex(), 0));
  const int last = l.ListCount() - 1;
  for (int row = last; row >= 0; --row) {
    if (l.Selected(row)) l.AddRow(l.Cell(row, 0));
  }
}

std::optional<QString> Copy(ListModel& l) {
  QString text;
  for (int row = 0; row < l.ListCount(); ++row) text += l.Selected(row) ? l.Cell(row, 0) + ", " : "";
  return text.size() < 2 ? std::nullopt : std::optional(text.left(text.size() - 2));
}

void SelectUnsent(ListModel& l) {
  for (int row = 0; row < l.ListCount(); ++row) l.SetSelected(row, l.Cell(row, 1).size() == 0);
}

bool Holds(ListModel& l, int row, const char* marker) {
  return platform::InStr(l.Cell(row, 1), marker) > 0;
}

bool BlackList(ListModel& l) {
  for (int row = 0; row < l.ListCount(); ++row) {
    if (l.Selected(row)) l.SetCell(row, 1, Holds(l, row, "Black Listed") ? "" : "Black Listed");
  }
  return l.SelCount() > 0;
}

bool ClearHistory(ListModel& l) {
  bool changed = false;
  for (int row = 0; row < l.ListCount(); ++row) {
    if (!l.Selected(row) || Holds(l, row, "Black Listed") || Holds(l, row, "Opted Out")) continue;
    l.SetCell(row, 1, "");
    changed = true;
  }
  return changed;
}

}  // namespace literal

// Random lists through the fast commands and their literal designs: the same results.
TEST(ListCommands, MatchTheirLiteralDesign) {
  const QStringList mailings = {
      "", "N(1/2/26) ", "N(1/2/26) M(2/2/26) ", "Black Listed", "black listed", "Opted Out", "x Opted Out"};
  for (quint32 seed = 1; seed <= 200; ++seed) {
    SCOPED_TRACE(seed);
    QRandomGenerator random(seed);
    QStringList rows;
    for (int i = random.bounded(12); i > 0; --i) {
      rows << QString(random.bounded(2) ? "*" : "") + QString("a%1@x.com|").arg(random.bounded(6)) +
                  mailings[random.bounded(mailings.size())];
    }
    ListModel fast(2), slow(2);
    testing_support::SetRows(fast, rows);
    testing_support::SetRows(slow, rows);
    switch (seed % 5) {
      case 0:
        lists::DuplicateSelected(fast);
        literal::Duplicate(slow);
        break;
      case 1:
        EXPECT_EQ(lists::JoinSelectedAddresses(fast), literal::Copy(slow));
        break;
      case 2:
        lists::SelectUnsent(fast);
        literal::SelectUnsent(slow);
        break;
      case 3:
        EXPECT_EQ(lists::ToggleBlackList(fast), literal::BlackList(slow));
        break;
      case 4:
        EXPECT_EQ(lists::ClearHistory(fast), literal::ClearHistory(slow));
        break;
    }
    EXPECT_EQ(testing_support::Rows(fast), testing_support::Rows(slow));
  }
}

// Walks that yield read the rows of their start, whatever is done to the list meanwhile;
// mail marks follow their rows, and a row black listed meanwhile gets none.
TEST(ListCommands, WalksReadTheRowsOfTheirStart) {
  testing_support::YieldEveryStep yielding;
  const mailing::Mailing mailing{"M", false, true, platform::Date(QDateTime(QDate(2026, 5, 4), QTime(9, 0)))};
  const QStringList rows = {"*a@x.com|", "*b@x.com|Black Listed", "*c@x.com|H ", "d@x.com|"};
  struct Case {
    const char* name;
    std::function<void(ListModel&)> edit;
    QStringList marked;  // %1: the mail's history entry
  };
  const Case cases[] = {
      {"row inserted",
       [](ListModel& l) { l.InsertRow(0, "new@x.com"); },
       {"new@x.com|", "*a@x.com|%1", "*b@x.com|Black Listed", "*c@x.com|H %1", "d@x.com|"}},
      {"row removed",
       [](ListModel& l) { l.RemoveRow(0); },
       {"*b@x.com|Black Listed", "*c@x.com|H %1", "d@x.com|"}},
      {"sorted",
       [](ListModel& l) { tools::SortRows(l, 0, l.ListCount() - 1, tools::SortBy::Id, false); },
       {"d@x.com|", "*c@x.com|H %1", "*b@x.com|Black Listed", "*a@x.com|%1"}},
      {"deselected, black listed",
       [](ListModel& l) {
         l.SetAllSelected(false);
         l.SetCell(2, 1, "Black Listed");
       },
       {"a@x.com|%1", "b@x.com|Black Listed", "c@x.com|Black Listed", "d@x.com|"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ListModel list(2);
    const auto walk = [&](const auto& run) {
      testing_support::SetRows(list, rows);
      QTimer::singleShot(0, [&] { c.edit(list); });
      return run();
    };
    EXPECT_EQ(walk([&] { return lists::JoinSelectedAddresses(list); }), QString("a@x.com, b@x.com, c@x.com"));
    EXPECT_EQ(walk([&] { return lists::DuplicateSelected(list); }), 3);
    EXPECT_EQ(testing_support::Rows(list).mid(list.ListCount() - 3),
              (QStringList{"c@x.com|", "b@x.com|", "a@x.com|"}));
    ListModel found(2);
    const tools::FindAllHooks hooks{
        [] { return QString("x\\.com$"); },
        [&](const ListModel::CellCopies& cells) { found.AppendFirstCells(cells); },
        {}};
    EXPECT_EQ(walk([&] { return tools::FindAll(&list, hooks); }), std::nullopt);
    EXPECT_EQ(testing_support::Rows(found), (QStringList{"a@x.com|", "b@x.com|", "c@x.com|", "d@x.com|"}));
    int changes = 0;
    EXPECT_EQ(walk([&] { return mailing::MailSelectedRows(&list, nullptr, mailing, [&] { ++changes; }); }),
              QString("a@x.com, c@x.com"));
    EXPECT_EQ(testing_support::Rows(list).join("\n"),
              c.marked.join("\n").arg(mailing::HistoryEntry("M", mailing.date)));
    EXPECT_EQ(changes, 1);
  }
}

}  // namespace
