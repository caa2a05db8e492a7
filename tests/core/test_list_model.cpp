#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <map>
#include <memory>
#include <random>

#include "platform/ListModel.h"
#include "platform/Text.h"

using platform::ListModel;
using namespace Qt::StringLiterals;

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
    EXPECT_EQ(g_checkerComplaints.join('\n').toStdString(), "");
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

// A literal reference with the model's operations: one vector per row, the selection as
// plain booleans, the first selected row and the count found by walking every row. Rows
// and columns out of range are ignored, which clips SelectOnly to the list by itself.
struct ReferenceList {
  std::vector<QStringList> cells;
  std::vector<bool> selected;
  int lastIndex = -1;

  int ListCount() const { return static_cast<int>(cells.size()); }
  bool Has(int row, int column = 0) const {
    return row >= 0 && row < ListCount() && column >= 0 && column < 2;
  }
  int SelCount() const { return static_cast<int>(std::count(selected.begin(), selected.end(), true)); }
  int ListIndex() const {
    for (int row = 0; row < ListCount(); ++row) {
      if (selected[row]) return row;
    }
    return -1;
  }
  int LastIndex() const { return lastIndex; }
  bool Selected(int row) const { return Has(row) && selected[row]; }
  QString Cell(int row, int column) const { return Has(row, column) ? cells[row][column] : QString(); }
  void AddRow(const QStringList& row) {
    cells.push_back({row.value(0), row.value(1)});
    selected.push_back(false);
    lastIndex = ListCount() - 1;
  }
  template <typename Row>
  void AppendRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) AddRow(QStringList(row));
  }
  void AppendFirstCells(const QStringList& texts) {
    for (const QString& text : texts) AddRow({text});
  }
  void InsertRow(int row, const QString& first) {
    row = std::clamp(row, 0, ListCount());
    cells.insert(cells.begin() + row, {first, QString()});
    selected.insert(selected.begin() + row, false);
    lastIndex = row;
  }
  void RemoveRow(int row) {
    if (!Has(row)) return;
    cells.erase(cells.begin() + row);
    selected.erase(selected.begin() + row);
    lastIndex = row < lastIndex ? lastIndex - 1 : (row == lastIndex ? -1 : lastIndex);
  }
  void RemoveRowsIf(const std::function<bool(int)>& remove) {
    for (int row = ListCount() - 1; row >= 0; --row) {
      if (remove(row)) RemoveRow(row);
    }
  }
  void DeleteAllRows() { *this = ReferenceList{}; }
  void SetCell(int row, int column, const QString& text) {
    if (Has(row, column)) cells[row][column] = text;
  }
  void SetSelected(int row, bool on) {
    if (Has(row)) selected[row] = on;
  }
  void SelectOnly(int first, int last) {
    if (first > last) std::swap(first, last);
    for (int row = 0; row < ListCount(); ++row) selected[row] = row >= first && row <= last;
  }
  void SetListIndex(int row) {
    if (row == -1 || Has(row)) SelectOnly(row, row);
  }
  void SetAllSelected(bool on) { std::fill(selected.begin(), selected.end(), on); }
  void SetSelectedWhere(const std::function<bool(int)>& select) {
    for (int row = 0; row < ListCount(); ++row) selected[row] = select(row);
  }
  void EditColumn(int column, const std::function<bool(int, QString&)>& edit) {
    for (int row = 0; Has(row, column); ++row) edit(row, cells[row][column]);
  }
  void ReorderRows(const std::vector<int>& order) {
    if (order.size() != cells.size()) return;
    ReferenceList moved;
    for (const int from : order) {
      moved.cells.push_back(cells[from]);
      moved.selected.push_back(selected[from]);
      if (from == lastIndex) moved.lastIndex = moved.ListCount() - 1;
    }
    *this = moved;
  }
};

// Compares everything a caller can read, rows just out of range included.
void ExpectSame(const ListModel& model, const ReferenceList& reference, int step) {
  ASSERT_EQ(model.ListCount(), reference.ListCount()) << "step " << step;
  EXPECT_EQ(model.SelCount(), reference.SelCount()) << "step " << step;
  EXPECT_EQ(model.ListIndex(), reference.ListIndex()) << "step " << step;
  EXPECT_EQ(model.LastIndex(), reference.LastIndex()) << "step " << step;
  for (int row = -1; row <= reference.ListCount(); ++row) {
    ASSERT_EQ(model.Selected(row), reference.Selected(row)) << "step " << step << " row " << row;
    ASSERT_EQ(model.data(model.index(row, 1), ListModel::SelectedRole).toBool(), reference.Selected(row));
    for (int c = -1; c <= 2; ++c) ASSERT_EQ(model.Cell(row, c), reference.Cell(row, c)) << "step " << step;
  }
}

}  // namespace

// Random edit sequences, single-row and bulk, against the literal reference, with the
// model checker watching every signal. Row numbers are sometimes out of range on purpose:
// loops yield to the event loop between steps, so a row number may be stale when used.
// An edit that changes nothing (a stale row, the same text or flags) must say nothing.
TEST(ListModel, RandomEditsMatchReference) {
  for (quint32 seed = 1; seed <= 12; ++seed) {
    CheckedModel checked(2);
    ListModel& model = checked.model;
    ReferenceList reference;
    const auto both = [&](const auto& edit) {
      edit(model);
      edit(reference);
    };
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QRandomGenerator random(seed);
    for (int step = 0; step < 400; ++step) {
      const ReferenceList before = reference;
      const int count = reference.ListCount();
      const int row = random.bounded(-2, count + 3);
      const int other = random.bounded(-2, count + 3);
      const bool on = random.bounded(3) != 0;
      const QString text = QString("r%1").arg(step);
      std::vector<bool> drop(static_cast<size_t>(count));
      for (int r = 0; r < count; ++r) drop[r] = random.bounded(3) == 0;
      const QStringList cells{text, "h"};
      const auto dropEdit = [&](int r, QString& cell) { return drop[r] && (cell = on ? text : "h", true); };
      std::vector<QStringList> rows;
      for (int i = random.bounded(5); i > 0; --i) rows.push_back({text + QString::number(i)});
      // A new order of the rows; now and then one that names a row too few.
      std::vector<int> order(static_cast<size_t>(count));
      for (int r = 0; r < count; ++r) order[r] = r;
      std::shuffle(order.begin(), order.end(), std::mt19937(step));
      if (count > 0 && random.bounded(4) == 0) order.pop_back();
      const std::function<void()> edits[] = {
          [&] { both([&](auto& list) { list.AddRow(cells); }); },
          [&] { both([&](auto& list) { list.InsertRow(row, text); }); },
          [&] { both([&](auto& list) { list.RemoveRow(row); }); },
          [&] { both([&](auto& list) { list.RemoveRow(other); }); },
          [&] { both([&](auto& list) { list.SetSelected(row, on); }); },
          [&] { both([&](auto& list) { list.SetListIndex(row); }); },
          [&] { both([&](auto& list) { list.SelectOnly(row, other); }); },
          [&] { both([&](auto& list) { list.SetAllSelected(on); }); },
          [&] { both([&](auto& list) { list.RemoveRowsIf([&](int r) { return bool(drop[r]); }); }); },
          [&] { both([&](auto& list) { list.AppendRows(rows); }); },
          [&] { both([&](auto& list) { list.AppendRows(std::vector<QString>(rows.size(), text)); }); },
          [&] { both([&](auto& list) { list.SetCell(row, other % 3, on ? text : "h"); }); },
          [&] { both([&](auto& list) { list.SetSelectedWhere([&](int r) { return bool(drop[r]); }); }); },
          [&] { both([&](auto& list) { list.EditColumn(other % 3, dropEdit); }); },
          [&] { both([&](auto& list) {
                  list.AppendFirstCells(QStringList{text, text + "b"});
                }); },
          [&] { both([&](auto& list) { list.SetCell(row, other % 3, on ? text : "h"); }); },
          [&] { both([&](auto& list) { list.ReorderRows(order); }); },
      };
      if (random.bounded(100) == 0) {  // now and then a fresh list
        both([](auto& list) { list.DeleteAllRows(); });
      } else {
        edits[random.bounded(int(std::size(edits)))]();
      }
      ExpectSame(model, reference, step);
      if (reference.cells == before.cells && reference.selected == before.selected) {
        EXPECT_EQ(changed.count(), 0) << "step " << step;
      }
      changed.clear();
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
    const auto both = [&](const auto& edit) {
      edit(model);
      edit(reference);
    };
    QRandomGenerator random(fromLast ? 7 : 8);
    both([](auto& list) { list.AppendRows(NumberedRows(3000)); });
    for (int row = 0; row < 3000; ++row) {
      if (random.bounded(3) != 0) both([&](auto& list) { list.SetSelected(row, true); });
    }
    const auto removeIfSelected = [&](int row) {
      const bool selected = model.Selected(row);
      if (selected) both([&](auto& list) { list.RemoveRow(row); });
      return selected;
    };
    if (fromLast) {
      for (int row = model.ListCount() - 1; row >= 0; --row) {
        removeIfSelected(row);
        if (row % 500 == 0) both([&](auto& list) { list.InsertRow(0, QString("log%1").arg(row)); });
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
  model.SetSelectedWhere([](int row) { return row % 3 == 0; });
  EXPECT_EQ(selection.count(), 3);
  EXPECT_EQ(model.EditColumn(1, [](int row, QString& cell) { return cell = "x", row % 2 == 0; }), kRows / 4);
  EXPECT_EQ(changed.count(), 4);
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
  // An edit that keeps the count (one row in, one out) is an edit all the same.
  previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  model.RemoveRowsIf([&model](int row) {
    if (row == 1) {
      model.InsertRow(0, "new@x.org");
      model.RemoveRow(model.ListCount() - 1);
    }
    return true;
  });
  qInstallMessageHandler(previous);
  EXPECT_EQ(model.ListCount(), 3);
  EXPECT_EQ(QStringList({model.Cell(0, 0), model.Cell(1, 0), model.Cell(2, 0)}).join(' '),
            "new@x.org a1@x.org a2@x.org");
}

// Whatever text a caller sets comes back as it was, by every way of reading it, and a
// snapshot writes it as a file holds it; bytes read from a file come back as their
// decoded text and are written back unchanged. Many edits later (the store packed more
// than once) the rows and an older snapshot are still right.
TEST(ListModel, KeepsAnyTextAsItWas) {
  const QString texts[] = {u""_s,
                           u"a@b.de"_s,
                           u"Caf\u00e9 (1/2/26) "_s,
                           u"\u2014 M\u00e4rz"_s,
                           u"\U0001F600@x.org"_s,
                           QString(QChar(0xD83D)) + u"lone high"_s,
                           QString(QChar(0xDE00)),
                           QString(QChar(0xDC00)),
                           QString(QChar(0xDCFF)) + u"kept byte"_s,
                           QString(QChar(0xDCC3)) + QChar(0xDCA9),  // joins into "é"
                           QString(300, u'x'),
                           QString(20000, QChar(0x3042))};
  ListModel model(2);
  ListModel::CellCopies copies;
  for (const QString& text : texts) {
    SCOPED_TRACE(text.toStdString());
    model.AppendRows(std::vector<QStringList>{{text, u"h"_s}});
    const int row = model.ListCount() - 1;
    model.SetCell(row, 1, text);
    QString read = u"old"_s;
    model.ReadCell(row, 1, read);
    QString appended = u">"_s;
    model.AppendCellText(row, 0, appended);
    EXPECT_EQ(QStringList({model.Cell(row, 0), model.Cell(row, 1), read, appended}),
              QStringList({text, text, text, u">"_s + text}));
    EXPECT_EQ(model.CellEquals(row, 0, text), true);
    EXPECT_EQ(model.CellHash(row, 1), ListModel::TextHash(text));
    QByteArray file;
    model.TakeSnapshot().AppendCellFileBytes(row, 1, file);
    EXPECT_EQ(file, platform::EncodeText(text));
    const QByteArrayView fromFile[] = {file, QByteArrayView("x")};
    model.AppendRowsFromBytes(fromFile);
    EXPECT_EQ(model.Cell(row + 1, 0), platform::DecodeBytes(file));
    model.CopyCell(row, 0, copies);
  }
  model.AppendFirstCells(copies);
  for (int i = 0; i < copies.Count(); ++i)
    EXPECT_EQ(model.Cell(model.ListCount() - copies.Count() + i, 0), texts[i]);

  // Texts grown and shrunk, with a snapshot alive and then without (records rewritten
  // where they lie, or packed): the rows and the snapshot keep what they held.
  std::map<std::pair<int, int>, QString> now;
  const QString big(5000, u'b');
  const auto edit = [&](int rounds) {
    for (int round = 0; round < rounds; ++round) {
      const std::pair<int, int> at{(round * 7) % model.ListCount(), round % 2};
      now[at] = (round / 36) % 2 == 0 ? QString::number(round) : big + QString::number(round);
      model.SetCell(at.first, at.second, now[at]);
    }
  };
  {
    const ListModel::Snapshot before = model.TakeSnapshot();
    edit(600);
    for (int row = 0; row < model.ListCount(); ++row) {
      QByteArray line;
      before.AppendRowFileBytes(row, ' ', '\n', line);
      const QString first = row < 24 ? texts[row / 2] : texts[row - 24];
      const QString second = row >= 24 ? u""_s : (row % 2 == 1 ? u"x"_s : first);
      EXPECT_EQ(line, platform::EncodeText(first) + ' ' + platform::EncodeText(second) + '\n');
    }
  }
  edit(900);
  for (const auto& [at, text] : now) EXPECT_EQ(model.Cell(at.first, at.second), text);
}
