#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <random>

#include "platform/ListModel.h"
#include "platform/Text.h"
#include "support/TestSupport.h"

using platform::ListModel;
using namespace Qt::StringLiterals;

namespace {

// A model watched by Qt's model checker; its complaints (logged as warnings) fail the test.
QStringList g_complaints;
struct CheckedModel {
  ListModel model{2};
  QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& m) {
        if (type != QtDebugMsg && type != QtInfoMsg) g_complaints.append(m);
      });
  QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Warning};
  ~CheckedModel() {
    qInstallMessageHandler(previous);
    EXPECT_EQ(std::exchange(g_complaints, {}).join('\n').toStdString(), "");
  }
};

std::vector<QStringList> NumberedRows(int count) {
  std::vector<QStringList> rows;
  rows.reserve(count);
  for (int i = 0; i < count; ++i) rows.push_back({QString("a%1@x.org").arg(i), QString::number(i)});
  return rows;
}

// A literal reference with the model's operations; rows and columns out of range are ignored.
struct ReferenceList {
  struct Row {
    QString cells[2];
    bool selected = false;
    bool operator==(const Row&) const = default;
  };
  std::vector<Row> rows;
  int lastIndex = -1;

  int ListCount() const { return static_cast<int>(rows.size()); }
  bool Has(int row, int column = 0) const {
    return row >= 0 && row < ListCount() && column >= 0 && column < 2;
  }
  void AddRow(const QStringList& row) {
    rows.push_back({{row.value(0), row.value(1)}});
    lastIndex = ListCount() - 1;
  }
  template <typename Row>
  void AppendRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) AddRow(QStringList(row));
  }
  void AppendFirstCells(const QStringList& texts) {
    AppendRows(std::vector<QString>(texts.begin(), texts.end()));
  }
  void InsertRow(int row, const QString& first) {
    lastIndex = std::clamp(row, 0, ListCount());
    rows.insert(rows.begin() + lastIndex, {{first}});
  }
  void RemoveRow(int row) {
    if (!Has(row)) return;
    rows.erase(rows.begin() + row);
    lastIndex = row < lastIndex ? lastIndex - 1 : (row == lastIndex ? -1 : lastIndex);
  }
  void RemoveRowsIf(const std::function<bool(int)>& remove) {
    for (int row = ListCount() - 1; row >= 0; --row) remove(row) ? RemoveRow(row) : void();
  }
  void DeleteAllRows() { *this = ReferenceList{}; }
  void SetCell(int row, int column, const QString& text) {
    Has(row, column) ? void(rows[row].cells[column] = text) : void();
  }
  void SetSelected(int row, bool on) { Has(row) ? void(rows[row].selected = on) : void(); }
  void SelectOnly(int first, int last) {
    if (first > last) std::swap(first, last);
    SetSelectedWhere([&](int row) { return row >= first && row <= last; });
  }
  void SetListIndex(int row) { row == -1 || Has(row) ? SelectOnly(row, row) : void(); }
  void SetAllSelected(bool on) {
    SetSelectedWhere([on](int) { return on; });
  }
  void SetSelectedWhere(const std::function<bool(int)>& select) {
    for (int row = 0; row < ListCount(); ++row) rows[row].selected = select(row);
  }
  void EditColumn(int column, const std::function<bool(int, QString&)>& edit) {
    for (int row = 0; Has(row, column); ++row) edit(row, rows[row].cells[column]);
  }
  void ReorderRows(const std::vector<int>& order) {
    if (order.size() != rows.size()) return;
    std::vector<Row> moved;
    moved.reserve(order.size());
    for (const int from : order) moved.push_back(rows[from]);
    lastIndex = lastIndex < 0
                    ? -1
                    : static_cast<int>(std::find(order.begin(), order.end(), lastIndex) - order.begin());
    rows = moved;
  }
};

// The same edit on the model and on the reference.
struct Both {
  ListModel& model;
  ReferenceList reference;
  void operator()(const auto& edit) {
    edit(model);
    edit(reference);
  }
};

// Compares everything a caller can read, rows just out of range included.
void ExpectSame(const ListModel& model, const ReferenceList& reference) {
  std::vector<int> selected;
  for (int row = 0; row < reference.ListCount(); ++row)
    if (reference.rows[row].selected) selected.push_back(row);
  ASSERT_EQ(std::make_tuple(model.ListCount(), model.SelCount(), model.ListIndex(), model.LastIndex()),
            std::make_tuple(reference.ListCount(), int(selected.size()), selected.empty() ? -1 : selected[0],
                            reference.lastIndex));
  for (int row = -1; row <= reference.ListCount(); ++row) {
    const bool on = reference.Has(row) && reference.rows[row].selected;
    ASSERT_EQ(model.Selected(row), on) << " row " << row;
    ASSERT_EQ(model.data(model.index(row, 1), ListModel::SelectedRole).toBool(), on);
    for (int c = -1; c <= 2; ++c)
      ASSERT_EQ(model.Cell(row, c), reference.Has(row, c) ? reference.rows[row].cells[c] : QString());
  }
}

}  // namespace

// Random edits against the reference, rows out of range included (a row number may be
// stale after a yield); an edit that changes nothing must say nothing.
TEST(ListModel, RandomEditsMatchReference) {
  for (quint32 seed = 1; seed <= 12; ++seed) {
    CheckedModel checked;
    Both both{checked.model, {}};
    QSignalSpy changed(&checked.model, &QAbstractItemModel::dataChanged);
    QRandomGenerator random(seed);
    for (int step = 0; step < 400; ++step) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " step " << step);
      const ReferenceList before = both.reference;
      const int count = before.ListCount();
      const int row = random.bounded(-2, count + 3);
      const int other = random.bounded(-2, count + 3);
      const bool on = random.bounded(3) != 0;
      const QString text = QString("r%1").arg(step);
      std::vector<bool> drop(static_cast<size_t>(count));
      for (int r = 0; r < count; ++r) drop[r] = random.bounded(3) == 0;
      const auto dropped = [&](int r) { return bool(drop[r]); };
      const auto dropEdit = [&](int r, QString& cell) { return drop[r] && (cell = on ? text : "h", true); };
      std::vector<QStringList> rows;
      for (int i = random.bounded(5); i > 0; --i) rows.push_back({text + QString::number(i)});
      // A new order of the rows; now and then one that names a row too few.
      std::vector<int> order(static_cast<size_t>(count));
      std::iota(order.begin(), order.end(), 0);
      std::shuffle(order.begin(), order.end(), std::mt19937(step));
      if (count > 0 && random.bounded(4) == 0) order.pop_back();
      const std::function<void()> edits[] = {
          [&] { both([&](auto& list) { list.AddRow(QStringList(text) << "h"); }); },
          [&] { both([&](auto& list) { list.InsertRow(row, text); }); },
          [&] { both([&](auto& list) { list.RemoveRow(row); }); },
          [&] { both([&](auto& list) { list.SetSelected(row, on); }); },
          [&] { both([&](auto& list) { list.SetListIndex(row); }); },
          [&] { both([&](auto& list) { list.SelectOnly(row, other); }); },
          [&] { both([&](auto& list) { list.SetAllSelected(on); }); },
          [&] { both([&](auto& list) { list.RemoveRowsIf(dropped); }); },
          [&] { both([&](auto& list) { list.AppendRows(rows); }); },
          [&] { both([&](auto& list) { list.AppendRows(std::vector<QString>(rows.size(), text)); }); },
          [&] { both([&](auto& list) { list.AppendFirstCells(QStringList(text) << text + "b"); }); },
          [&] { both([&](auto& list) { list.SetCell(row, other % 3, on ? text : "h"); }); },
          [&] { both([&](auto& list) { list.SetSelectedWhere(dropped); }); },
          [&] { both([&](auto& list) { list.EditColumn(other % 3, dropEdit); }); },
          [&] { both([&](auto& list) { list.ReorderRows(order); }); },
      };
      if (random.bounded(100) == 0) {  // now and then a fresh list
        both([](auto& list) { list.DeleteAllRows(); });
      } else {
        edits[random.bounded(int(std::size(edits)))]();
      }
      ExpectSame(checked.model, both.reference);
      EXPECT_EQ(both.reference.rows == before.rows ? changed.count() : 0, 0);
      changed.clear();
      if (testing::Test::HasFatalFailure()) return;
    }
  }
}

// Bulk edits emit one signal each; persistent indexes follow a bulk removal, or go with their row.
TEST(ListModel, BulkEditsEmitOneSignal) {
  constexpr int kRows = 20000;
  ListModel model(2);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
  QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);
  QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  QSignalSpy selection(&model, &ListModel::SelectionChanged);
  const auto counts = [&] {
    return std::vector<qsizetype>{inserted.count(), layout.count() + reset.count() + removed.count(),
                                  changed.count(), selection.count()};
  };
  model.AppendRows(NumberedRows(kRows));
  const QPersistentModelIndex kept(model.index(7, 1)), dropped(model.index(4, 0));
  model.SetAllSelected(true);
  model.SetAllSelected(true);  // nothing changes, nothing is said
  EXPECT_EQ(counts(), (std::vector<qsizetype>{1, 0, 1, 1}));
  model.RemoveRowsIf([](int row) { return row % 2 == 0; });
  EXPECT_EQ(std::make_tuple(kept.row(), kept.column(), kept.data().toString(), dropped.isValid()),
            std::make_tuple(3, 1, u"7"_s, false));
  EXPECT_EQ(model.SelCount(), kRows / 2);
  model.SetListIndex(7);
  model.SetSelectedWhere([](int row) { return row % 3 == 0; });
  EXPECT_EQ(model.EditColumn(1, [](int row, QString& cell) { return cell = "x", row % 2 == 0; }), kRows / 4);
  EXPECT_EQ(counts(), (std::vector<qsizetype>{1, 1, 4, 3}));
  model.DeleteAllRows();
  EXPECT_EQ(counts(), (std::vector<qsizetype>{1, 2, 4, 3}));
}

// A predicate that adds or removes rows (even keeping their count) gets nothing removed.
TEST(ListModel, RemoveRowsIfRefusesAPredicateThatEdits) {
  ListModel model(2);
  model.AppendRows(NumberedRows(6));
  model.RemoveRowsIf([&model](int row) {
    if (row == 2) model.RemoveRow(0);
    return row % 2 == 0;
  });
  model.RemoveRowsIf([&model](int row) {
    if (row == 1) model.InsertRow(0, "new@x.org"), model.RemoveRow(model.ListCount() - 1);
    return true;
  });
  model.RemoveRowsIf([&model](int row) { return model.Cell(row, 1).toInt() > 3; });
  EXPECT_EQ(testing_support::Rows(model),
            QStringList({"new@x.org|", "a1@x.org|1", "a2@x.org|2", "a3@x.org|3"}));
}

// Any text, bytes that are not UTF-8 included, comes back as it was by every way of reading
// it, and as file bytes unchanged; so after many edits (the store packed), older snapshots too.
TEST(ListModel, KeepsAnyTextAsItWas) {
  // Lone surrogates; bytes kept from a file, two of which join into "\u00e9"; long texts.
  // clang-format off
  const QString texts[] = {u""_s, u"a@b.de"_s, u"Caf\u00e9 (1/2/26) "_s, u"\u2014 M\u00e4rz"_s, u"\U0001F600@x.org"_s,
      QString(QChar(0xD83D)) + u"lone high"_s, QString(QChar(0xDE00)), QString(QChar(0xDC00)),
      QString(QChar(0xDCFF)) + u"kept byte"_s, QString(QChar(0xDCC3)) + QChar(0xDCA9),
      QString(300, u'x'), QString(20000, QChar(0x3042))};
  // clang-format on
  ListModel model(2);
  ListModel::CellCopies copies;
  for (const QString& text : texts) {
    SCOPED_TRACE(text.toStdString());
    model.AppendRows(std::vector<QStringList>{{text, u"h"_s}});
    const int row = model.ListCount() - 1;
    model.SetCell(row, 1, text);
    QString read = u"old"_s, appended = u">"_s;
    model.ReadCell(row, 1, read);
    model.AppendCellText(row, 0, appended);
    QByteArray file;
    model.TakeSnapshot().AppendCellFileBytes(row, 1, file);
    EXPECT_EQ(std::make_tuple(QStringList({model.Cell(row, 0), model.Cell(row, 1), read, appended}),
                              model.CellEquals(row, 0, text), model.CellHash(row, 1), file),
              std::make_tuple(QStringList({text, text, text, u">"_s + text}), true, ListModel::TextHash(text),
                              platform::EncodeText(text)));
    const QByteArrayView fromFile[] = {file, QByteArrayView("x")};
    model.AppendRowsFromBytes(fromFile);
    EXPECT_EQ(model.Cell(row + 1, 0), platform::DecodeBytes(file));
    model.CopyCell(row, 0, copies);
  }
  model.AppendFirstCells(copies);
  for (int i = 0; i < copies.Count(); ++i)
    EXPECT_EQ(model.Cell(model.ListCount() - copies.Count() + i, 0), texts[i]);

  std::map<std::pair<int, int>, QString> now;
  const auto edit = [&](int rounds) {
    for (int round = 0; round < rounds; ++round) {
      const std::pair<int, int> at{(round * 7) % model.ListCount(), round % 2};
      now[at] = QString((round / 36) % 2 == 0 ? 0 : 5000, u'b') + QString::number(round);
      model.SetCell(at.first, at.second, now[at]);
    }
  };
  {
    const ListModel::Snapshot before = model.TakeSnapshot();
    edit(600);
    QByteArray lines;
    QByteArray expected;
    for (int row = 0; row < model.ListCount();)  // a few lines at a time
      row = before.AppendRowLines(row, ' ', '\n', lines, lines.size() + 1 + qsizetype{row % 3} * 9);
    for (int row = 0; row < model.ListCount(); ++row) {
      const QString first = row < 24 ? texts[row / 2] : texts[row - 24];
      const QString second = row >= 24 ? u""_s : (row % 2 == 1 ? u"x"_s : first);
      expected += platform::EncodeText(first) + ' ' + platform::EncodeText(second) + '\n';
    }
    EXPECT_EQ(lines, expected);
  }
  edit(900);
  for (const auto& [at, text] : now) EXPECT_EQ(model.Cell(at.first, at.second), text);
}

// A snapshot of the whole list reads its rows where the list keeps them until the list
// moves or changes one: every such edit, with the list's gap (left by a removal) closed or
// open, and the list gone, leaves the snapshot's lines as they were; so do rows appended
// after, which overwrite any memory freed.
TEST(ListModel, SnapshotKeepsItsRowsThroughEveryEdit) {
  using Edit = std::function<void(std::unique_ptr<ListModel>&)>;
  const std::pair<const char*, Edit> edits[] = {
      {"append only", [](auto&) {}},
      {"insert at the top", [](auto& m) { m->InsertRow(0, u"new@x.org"_s); }},
      {"remove a row", [](auto& m) { m->RemoveRow(7); }},
      {"delete all", [](auto& m) { m->DeleteAllRows(); }},
      {"set a cell", [](auto& m) { m->SetCell(3, 1, u"Sent(1/1/26) "_s); }},
      {"remove some", [](auto& m) { m->RemoveRowsIf([](int row) { return row % 3 == 0; }); }},
      {"edit a column",
       [](auto& m) { m->EditColumn(0, [](int, QString& cell) { return cell += 'x', true; }); }},
      {"reverse",
       [](auto& m) {
         std::vector<int> order(static_cast<size_t>(m->ListCount()));
         std::iota(order.rbegin(), order.rend(), 0);
         m->ReorderRows(order);
       }},
      {"select all", [](auto& m) { m->SetAllSelected(true); }},
      {"list gone", [](auto& m) { m = std::make_unique<ListModel>(2); }},
  };
  for (const bool gap : {false, true}) {
    for (const auto& [name, edit] : edits) {
      SCOPED_TRACE(std::string(name) + (gap ? ", gap open" : ""));
      auto model = std::make_unique<ListModel>(2);
      std::vector<QStringList> rows;
      QByteArray expected;
      for (int i = 0; i < 30; ++i) {
        rows.push_back({u"a%1@x.org"_s.arg(i), i % 2 ? u"News(1/2/26) "_s : u""_s});
        if (!gap || i != 10) expected += rows.back().join(' ').toUtf8() + '\n';
      }
      model->AppendRows(std::move(rows));
      if (gap) model->RemoveRow(10);
      const ListModel::Snapshot snapshot = model->TakeSnapshot();
      edit(model);
      model->AppendRows(std::vector<QString>(30, u"other@x.org"_s));
      QByteArray lines;
      snapshot.AppendRowLines(0, ' ', '\n', lines, 1 << 20);
      EXPECT_EQ(lines, expected);
    }
  }
}
