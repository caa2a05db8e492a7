#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <memory>

#include "platform/ListModel.h"

using platform::ListModel;

namespace {

// The model checker reports through qWarning in Warning mode; collect its complaints so a
// test fails with the checker's own message instead of aborting the run.
QStringList g_checkerComplaints;

class CheckedModel {
 public:
  explicit CheckedModel(int columns) : model(columns) {
    g_checkerComplaints.clear();
    m_previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
          if (type != QtDebugMsg && type != QtInfoMsg) g_checkerComplaints.append(message);
        });
    m_tester = std::make_unique<QAbstractItemModelTester>(
        &model, QAbstractItemModelTester::FailureReportingMode::Warning);
  }
  ~CheckedModel() {
    m_tester.reset();
    qInstallMessageHandler(m_previous);
    EXPECT_EQ(g_checkerComplaints, QStringList{});
  }
  ListModel model;

 private:
  QtMessageHandler m_previous = nullptr;
  std::unique_ptr<QAbstractItemModelTester> m_tester;
};

std::vector<QStringList> NumberedRows(int count) {
  std::vector<QStringList> rows;
  for (int i = 0; i < count; ++i) rows.push_back({QString("a%1@x.org").arg(i), QString::number(i)});
  return rows;
}

// A literal reference: one vector per row, the selection as plain booleans, the first
// selected row and the count found by walking every row. Rows out of range are ignored.
struct ReferenceList {
  std::vector<QStringList> cells;
  std::vector<bool> selected;
  int lastIndex = -1;

  int Count() const { return static_cast<int>(cells.size()); }
  bool Has(int row) const { return row >= 0 && row < Count(); }
  int SelCount() const { return static_cast<int>(std::count(selected.begin(), selected.end(), true)); }
  int ListIndex() const {
    for (int row = 0; row < Count(); ++row) {
      if (selected[row]) return row;
    }
    return -1;
  }
  void Add(const QStringList& row) {
    cells.push_back({row.value(0), row.value(1)});
    selected.push_back(false);
    lastIndex = Count() - 1;
  }
  void Insert(int row, const QString& first) {
    row = std::clamp(row, 0, Count());
    cells.insert(cells.begin() + row, {first, QString()});
    selected.insert(selected.begin() + row, false);
    lastIndex = row;
  }
  void Remove(int row) {
    if (!Has(row)) return;
    cells.erase(cells.begin() + row);
    selected.erase(selected.begin() + row);
    lastIndex = row < lastIndex ? lastIndex - 1 : (row == lastIndex ? -1 : lastIndex);
  }
  void SelectOnly(int first, int last) {
    if (first > last) std::swap(first, last);
    for (int row = 0; row < Count(); ++row) selected[row] = row >= first && row <= last;
  }
  void SetListIndex(int row) {
    if (row == -1 || Has(row)) SelectOnly(row, row);
  }
};

void ExpectSame(const ListModel& model, const ReferenceList& reference, int step) {
  ASSERT_EQ(model.ListCount(), reference.Count()) << "step " << step;
  EXPECT_EQ(model.SelCount(), reference.SelCount()) << "step " << step;
  EXPECT_EQ(model.ListIndex(), reference.ListIndex()) << "step " << step;
  EXPECT_EQ(model.LastIndex(), reference.lastIndex) << "step " << step;
  for (int row = 0; row < reference.Count(); ++row) {
    ASSERT_EQ(model.Selected(row), reference.selected[row]) << "step " << step << " row " << row;
    for (int c = 0; c < 2; ++c) ASSERT_EQ(model.Cell(row, c), reference.cells[row][c]) << "step " << step;
  }
}

}  // namespace

// Random edit sequences, single-row and bulk, against the literal reference, with the
// model checker watching every signal.
TEST(ListModel, RandomEditsMatchReference) {
  for (quint32 seed = 1; seed <= 12; ++seed) {
    CheckedModel checked(2);
    ListModel& model = checked.model;
    ReferenceList reference;
    QRandomGenerator random(seed);
    int next = 0;
    for (int step = 0; step < 400; ++step) {
      const int count = reference.Count();
      const int anyRow = random.bounded(-2, count + 3);  // sometimes out of range on purpose
      const QString text = QString("r%1").arg(next++);
      switch (random.bounded(11)) {
        case 0:
          model.AddRow(QStringList{text, "h"});
          reference.Add({text, "h"});
          break;
        case 1:
          model.InsertRow(anyRow, text);
          reference.Insert(anyRow, text);
          break;
        case 2:
        case 3:
          model.RemoveRow(anyRow);
          reference.Remove(anyRow);
          break;
        case 4: {
          const bool on = random.bounded(2) == 1;
          model.SetSelected(anyRow, on);
          if (reference.Has(anyRow)) reference.selected[anyRow] = on;
          break;
        }
        case 5:
          model.SetListIndex(anyRow);
          reference.SetListIndex(anyRow);
          break;
        case 6: {
          const int other = random.bounded(-2, count + 3);
          model.SelectOnly(anyRow, other);
          const int first = std::max(std::min(anyRow, other), 0);
          const int last = std::min(std::max(anyRow, other), count - 1);
          reference.SelectOnly(first <= last ? first : -1, first <= last ? last : -1);  // clipped, or none
          break;
        }
        case 7: {
          const bool on = random.bounded(3) != 0;
          model.SetAllSelected(on);
          std::fill(reference.selected.begin(), reference.selected.end(), on);
          break;
        }
        case 8: {
          std::vector<bool> drop(static_cast<size_t>(count));
          for (int row = 0; row < count; ++row) drop[row] = random.bounded(3) == 0;
          model.RemoveRowsIf([&](int row) { return static_cast<bool>(drop[row]); });
          for (int row = count - 1; row >= 0; --row) {
            if (drop[row]) reference.Remove(row);
          }
          break;
        }
        case 9: {
          std::vector<QStringList> rows;
          for (int i = random.bounded(5); i > 0; --i) {
            rows.push_back({text + QString::number(i)});
            reference.Add(rows.back());
          }
          model.AppendRows(rows);
          break;
        }
        case 10:
          model.SetCell(anyRow, 1, text);
          if (reference.Has(anyRow)) reference.cells[anyRow][1] = text;
          break;
      }
      if (step % 97 == 96) {
        model.DeleteAllRows();
        reference = ReferenceList{};
      }
      ExpectSame(model, reference, step);
      if (testing::Test::HasFatalFailure()) return;
    }
  }
}

// The list commands remove selected rows walking from the last row to the first, the
// send queue walks from the first, and the message log inserts at the top; each against
// the literal reference on a list large enough to move rows across wide gaps.
TEST(ListModel, RemovalWalksMatchReference) {
  for (const bool fromLast : {true, false}) {
    SCOPED_TRACE(fromLast ? "from the last row" : "from the first row");
    ListModel model(2);  // no model checker: it re-reads every row on every signal
    ReferenceList reference;
    QRandomGenerator random(fromLast ? 7 : 8);
    const std::vector<QStringList> rows = NumberedRows(3000);
    for (const QStringList& row : rows) reference.Add(row);
    model.AppendRows(rows);
    for (int row = 0; row < 3000; ++row) {
      if (random.bounded(3) == 0) continue;
      model.SetSelected(row, true);
      reference.selected[row] = true;
    }
    const auto removeIfSelected = [&](int row) {
      if (!model.Selected(row)) return false;
      model.RemoveRow(row);
      reference.Remove(row);
      return true;
    };
    if (fromLast) {
      for (int row = model.ListCount() - 1; row >= 0; --row) {
        removeIfSelected(row);
        if (row % 500 == 0) {
          model.InsertRow(0, QString("log%1").arg(row));
          reference.Insert(0, QString("log%1").arg(row));
        }
      }
    } else {
      for (int row = 0; row < model.ListCount();) row += removeIfSelected(row) ? 0 : 1;
    }
    ExpectSame(model, reference, 0);
  }
}

// Bulk edits must reach a view as one signal each, not one per row.
TEST(ListModel, BulkEditsEmitOneSignal) {
  constexpr int kRows = 20000;
  ListModel model(2);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
  QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  QSignalSpy selection(&model, &ListModel::SelectionChanged);

  model.AppendRows(NumberedRows(kRows));
  EXPECT_EQ(inserted.count(), 1);
  EXPECT_EQ(inserted.at(0).at(2).toInt(), kRows - 1);
  model.SetAllSelected(true);
  model.SetAllSelected(true);  // nothing changes, nothing is said
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(selection.count(), 1);
  model.RemoveRowsIf([](int row) { return row % 2 == 0; });
  EXPECT_EQ(layout.count() + reset.count() + removed.count(), 1);
  EXPECT_EQ(model.SelCount(), kRows / 2);
  EXPECT_EQ(selection.count(), 1);
  model.SetListIndex(7);
  EXPECT_EQ(selection.count(), 2);
  EXPECT_EQ(changed.count(), 2);
  model.DeleteAllRows();
  EXPECT_EQ(layout.count() + reset.count() + removed.count(), 2);
  EXPECT_EQ(model.ListIndex(), -1);
}

// A view's current row is a persistent index; after a bulk removal it must still name
// the same address, or be gone with its row.
TEST(ListModel, PersistentIndexesFollowBulkRemoval) {
  CheckedModel checked(2);
  ListModel& model = checked.model;
  model.AppendRows(NumberedRows(10));
  QPersistentModelIndex kept(model.index(7, 1));
  QPersistentModelIndex dropped(model.index(4, 0));
  model.RemoveRowsIf([](int row) { return row == 1 || row == 4 || row == 5; });
  EXPECT_EQ(kept.row(), 4);
  EXPECT_EQ(kept.column(), 1);
  EXPECT_EQ(kept.data().toString(), "7");
  EXPECT_EQ(dropped.isValid(), false);
}

// Loops yield to the event loop between steps, so a row number may be stale by the time
// it is used: reads give nothing and writes change nothing, silently.
TEST(ListModel, StaleRowNumbersAreHarmless) {
  ListModel model(2);
  QSignalSpy anything(&model, &QAbstractItemModel::dataChanged);
  model.AddRow(QStringList{"a@x.org", "m"});
  EXPECT_EQ(model.Cell(1, 0), QString());
  EXPECT_EQ(model.Cell(0, 2), QString());
  EXPECT_EQ(model.Cell(-1, 0), QString());
  model.SetCell(0, 9, "x");
  model.SetCell(0, 1, "m");  // unchanged
  model.SetSelected(-4, true);
  EXPECT_EQ(anything.count(), 0);
  model.SetSelected(0, true);
  EXPECT_EQ(model.data(model.index(0, 0), ListModel::SelectedRole).toBool(), true);
}

// The predicate may read rows; one that changes them gets nothing removed rather than
// the wrong rows.
TEST(ListModel, RemoveRowsIfRefusesAPredicateThatEdits) {
  ListModel model(2);
  model.AppendRows(NumberedRows(6));
  QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  model.RemoveRowsIf([&model](int row) {
    if (row == 2) model.RemoveRow(0);
    return row % 2 == 0;
  });
  qInstallMessageHandler(previous);
  EXPECT_EQ(model.ListCount(), 5);
  EXPECT_EQ(model.Cell(0, 0), "a1@x.org");
  model.RemoveRowsIf([&model](int row) { return model.Cell(row, 1).toInt() > 3; });
  EXPECT_EQ(model.ListCount(), 3);
  EXPECT_EQ(model.Cell(2, 0), "a3@x.org");
}
