#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "lists/ListCommands.h"
#include "platform/ListModel.h"
#include "platform/Text.h"
#include "support/TestSupport.h"

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

// Random lists, with repeated addresses and every kind of second column, through the
// fast commands and their literal designs: the same rows, flags and results.
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
    ListModel fast(2);
    ListModel slow(2);
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

}  // namespace
