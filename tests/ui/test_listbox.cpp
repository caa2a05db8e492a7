#include <gtest/gtest.h>

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/ui/Listbox.h"
#include "support/TestSupport.h"

using platform::Listbox;

namespace {

// A list of rows "a0@x.org"... in a window that records the keys the list lets through.
struct Fixture {
  struct Window : QWidget {
    QStringList keys;
    void keyPressEvent(QKeyEvent* event) override { keys.append(event->text()); }
  } window;
  Listbox* list = new Listbox(2, &window);
  explicit Fixture(int rows, bool multiple = true) {
    (new QVBoxLayout(&window))->addWidget(list);
    list->SetMultipleSelection(multiple);
    window.resize(300, 400);
    std::vector<QStringList> cells;
    cells.reserve(rows);
    for (int i = 0; i < rows; ++i) cells.push_back({QString("a%1@x.org").arg(i), {}});
    list->Model()->AppendRows(std::move(cells));
    window.show();
    EXPECT_EQ(QTest::qWaitForWindowExposed(&window), true);
    list->setFocus();
  }

  QPoint At(int row) const { return list->visualRect(list->Model()->index(row, 0)).center(); }
  void Click(int row, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, At(row));
  }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(list, key, modifiers); }

  std::vector<int> SelectedRows() const {
    std::vector<int> rows;
    for (int row = 0; row < list->ListCount(); ++row)
      if (list->Selected(row)) rows.push_back(row);
    return rows;
  }
};

constexpr Qt::KeyboardModifiers Ctrl = Qt::ControlModifier, Shift = Qt::ShiftModifier;

}  // namespace

// What the user does, one action a word: a row number clicks it ("^" with Ctrl, "+" with
// Shift); D and U are the Down and Up keys ("+" with Shift); p, m, r and a row press
// the button on it, move to it and release it there.
TEST(Listbox, ClicksKeysAndDragsSetTheRowFlags) {
  using Case = std::tuple<const char*, bool, const char*, std::vector<int>>;  // several rows selectable
  const Case cases[] = {
      {"plain click selects one", true, "2 4", {4}},
      {"ctrl-click toggles", true, "2 ^5 ^2", {5}},
      {"shift-click selects from the anchor, again to shrink", true, "2 +6 +3", {2, 3}},
      {"shift-click from a ctrl-click anchor", true, "1 ^6 +8", {6, 7, 8}},
      {"single mode: ctrl-click replaces", false, "2 ^5", {5}},
      {"up arrow stops at the top", true, "0 U", {0}},
      {"shift-up after shift-down", true, "3 +D +D +U", {3, 4}},
      {"down with nothing selected takes the first row", true, "D", {0}},
      {"arrows move from the ctrl-clicked row", true, "2 ^7 D", {8}},
      {"a drag selects from the pressed row; not after the release", true, "p6 m4 m3 r3 m8", {3, 4, 5, 6}},
      {"single mode: a drag moves the one row", false, "p6 m4 m3 r3 m8", {3}},
  };
  for (const auto& [name, multiple, actions, selected] : cases) {
    SCOPED_TRACE(name);
    Fixture f(30, multiple);
    for (QString action : QString(actions).split(' ')) {
      const Qt::KeyboardModifiers modifiers = action[0] == '^'   ? Ctrl
                                              : action[0] == '+' ? Shift
                                                                 : Qt::NoModifier;
      if (modifiers != Qt::NoModifier) action.remove(0, 1);
      const int row = action.mid(action[0].isDigit() ? 0 : 1).toInt();
      QWidget* viewport = f.list->viewport();
      if (action[0].isDigit()) f.Click(row, modifiers);
      if (action[0] == 'p') QTest::mousePress(viewport, Qt::LeftButton, {}, f.At(row));
      if (action[0] == 'm') QTest::mouseMove(viewport, f.At(row));
      if (action[0] == 'r') QTest::mouseRelease(viewport, Qt::LeftButton, {}, f.At(row));
      if (action[0] == 'D' || action[0] == 'U')
        f.Key(action[0] == 'D' ? Qt::Key_Down : Qt::Key_Up, modifiers);
    }
    EXPECT_EQ(std::make_pair(f.SelectedRows(), f.list->SelCount()),
              std::make_pair(selected, int(selected.size())));
  }
}

// Change fires once per change, DoubleClick once on the row it selects. KeyDown sees every
// key first (as control codes); a handled key stops there, an unused one reaches the window.
TEST(Listbox, EventsAndKeyDown) {
  Fixture f(10);
  QSignalSpy change(f.list, &Listbox::Change);
  QSignalSpy doubleClick(f.list, &Listbox::DoubleClick);
  f.Click(1);
  f.Click(4, Shift);
  f.list->Model()->SetAllSelected(true);
  EXPECT_EQ(change.count(), 3);
  QTest::mouseDClick(f.list->viewport(), Qt::LeftButton, {}, f.At(2));
  EXPECT_EQ(std::make_pair(doubleClick.count(), f.SelectedRows()),
            std::make_pair(qsizetype(1), std::vector<int>{2}));

  QStringList seen;
  QObject::connect(f.list, &Listbox::KeyDown, [&](const QString& key, bool* handled) {
    seen.append(key);
    *handled = key == "b" || key == QChar(30);
  });
  for (Qt::Key key : {Qt::Key_B, Qt::Key_Down, Qt::Key_Up, Qt::Key_Backspace, Qt::Key_Left, Qt::Key_A})
    f.Key(key);
  EXPECT_EQ(seen, (QStringList{"b", QChar(31), QChar(30), QChar(8), QChar(28), "a"}));
  EXPECT_EQ(f.list->ListIndex(), 3);  // down moved, up was swallowed
  EXPECT_EQ(f.window.keys, (QStringList{"\b", "", "a"}));
}

// The heading follows the model, selection is drawn from the flags, and a cell of megabytes
// is drawn cut (laid out whole, it froze every repaint).
TEST(Listbox, Drawing) {
  Fixture f(6);
  f.list->Model()->SetHasHeading(false);
  EXPECT_EQ(f.list->horizontalHeader()->isVisible(), false);
  f.list->SetSelected(1, true);
  f.list->SetSelected(4, true);
  const QImage shot = f.list->viewport()->grab().toImage();
  const auto colourOf = [&](int row) {  // column 1 is empty
    return shot.pixelColor(f.list->visualRect(f.list->Model()->index(row, 1)).center());
  };
  EXPECT_EQ(QList({colourOf(1), colourOf(0)}), QList({colourOf(4), colourOf(2)}));
  EXPECT_NE(colourOf(1), colourOf(2));
  f.list->SetCell(0, 0, QString(1000000, u'x'));
  f.list->SetCell(1, 0, QString(1000, u'x'));
  const auto width = [&](int row) {
    return f.list->itemDelegate()->sizeHint(QStyleOptionViewItem(), f.list->Model()->index(row, 0)).width();
  };
  EXPECT_EQ(width(0), width(1));
  f.list->SetColumnWidths({f.list->viewport()->width() + 100});  // wider than the list: it scrolls sideways
  EXPECT_EQ(f.list->horizontalScrollBar()->maximum(),
            f.list->horizontalHeader()->length() - f.list->viewport()->width());
}

// A million rows: page keys, bulk edits and single removals leave the view in step with
// the model before it draws or takes a click.
TEST(Listbox, ViewFollowsTheRows) {
  Fixture f(1000000);
  f.Click(0);
  f.Key(Qt::Key_PageDown);
  const int page = f.list->ListIndex();
  EXPECT_GT(page, 1);
  f.Key(Qt::Key_PageDown, Shift);
  EXPECT_EQ(f.list->SelCount(), page + 1);
  f.Key(Qt::Key_PageUp);
  EXPECT_EQ(f.list->ListIndex(), page);
  f.Click(0);
  f.Key(Qt::Key_End, Shift);
  EXPECT_EQ(std::make_pair(f.list->SelCount(), f.list->verticalScrollBar()->value()),
            std::make_pair(1000000, f.list->verticalScrollBar()->maximum()));
  f.list->Model()->RemoveRowsIf([](int row) { return row % 2 == 1 || row >= 120; });
  f.list->SetListIndex(59);
  f.Key(Qt::Key_Up);
  EXPECT_EQ(std::make_pair(f.list->ListIndex(), f.list->Cell(58, 0)),
            std::make_pair(58, QString("a116@x.org")));
  for (int row = 59; row >= 30; --row) f.list->RemoveRow(row);
  f.Key(Qt::Key_End);
  QScrollBar* bar = f.list->verticalScrollBar();
  EXPECT_EQ(std::make_tuple(f.list->ListIndex(), bar->value(), f.list->RowAt(f.At(29).y())),
            std::make_tuple(29, bar->maximum(), 29));
  const int end = bar->maximum();
  f.list->InsertRow(0, "first@x.org");
  f.list->AddRow("last@x.org");
  EXPECT_EQ(bar->maximum(), end + 2);
}

// A change of every row's flag (Select All) asks for the places of the rows in sight only.
TEST(Listbox, BulkChangeRedrawsTheRowsInSight) {
  struct Counting : Listbox {
    using Listbox::Listbox;
    mutable int asked = 0;
    QRect visualRect(const QModelIndex& index) const override { return ++asked, Listbox::visualRect(index); }
  } list(2);
  list.Model()->AppendRows(std::vector<QString>(100000, "a@x.org"));
  list.show();
  list.Model()->SetAllSelected(true);
  EXPECT_LT(list.asked, 1000);
}

// A handler that runs the event loop may delete the list; it must not touch itself after.
TEST(Listbox, ListDeletedWhileAHandlerRunsTheEventLoop) {
  const std::function<void(Listbox*, QPoint)> starts[] = {
      [](Listbox* list, QPoint at) { QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at); },
      [](Listbox* list, QPoint) { QTest::keyPress(list, Qt::Key_Down); },
      [](Listbox* list, QPoint at) {
        QMouseEvent event(QEvent::MouseButtonDblClick, at, list->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &event);
      }};
  for (const auto& start : starts) {
    Fixture f(10);
    QPointer<Listbox> list = f.list;
    QObject::connect(list, &Listbox::Change, [&list] {
      QTimer::singleShot(0, [&list] { delete list.data(); });
      testing_support::WaitUntil([&list] { return list.isNull(); });
    });
    start(list, f.At(3));
    EXPECT_EQ(list.isNull(), true);
  }
}
