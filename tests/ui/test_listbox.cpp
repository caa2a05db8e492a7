#include <gtest/gtest.h>

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "platform/ui/Listbox.h"

using platform::Listbox;

namespace {

// Stands in for the window: records the keys that the list lets through.
class KeyRecorder : public QWidget {
 public:
  QStringList keys;

 protected:
  void keyPressEvent(QKeyEvent* event) override { keys.append(event->text()); }
};

struct Fixture {
  KeyRecorder window;
  Listbox* list;

  explicit Fixture(int rows) {
    auto* layout = new QVBoxLayout(&window);
    list = new Listbox(2, &window);
    layout->addWidget(list);
    window.resize(300, 400);
    std::vector<QStringList> cells;
    for (int i = 0; i < rows; ++i) cells.push_back({QString("a%1@x.org").arg(i), {}});
    list->Model()->AppendRows(std::move(cells));
    window.show();
    EXPECT_EQ(QTest::qWaitForWindowExposed(&window), true);
    list->setFocus();
  }

  void Click(int row, Qt::KeyboardModifiers modifiers = {}) {
    const QPoint at = list->visualRect(list->Model()->index(row, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, at);
  }

  std::vector<int> SelectedRows() const {
    std::vector<int> rows;
    for (int row = 0; row < list->ListCount(); ++row) {
      if (list->Selected(row)) rows.push_back(row);
    }
    return rows;
  }
};

// One user action on the list: a click on a row or a key, with modifiers.
struct Action {
  int row;  // clicked row, or -1 for a key press
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
};

Action ClickOn(int row, Qt::KeyboardModifiers modifiers = {}) {
  return {row, Qt::Key_unknown, modifiers};
}
Action Press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
  return {-1, key, modifiers};
}

struct GestureCase {
  const char* name;
  bool multiple;
  std::vector<Action> actions;
  std::vector<int> selected;
};

}  // namespace

TEST(Listbox, ClicksAndKeysSetTheRowFlags) {
  const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
  const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
  const std::vector<GestureCase> cases = {
      {"plain click selects one", true, {ClickOn(2), ClickOn(4)}, {4}},
      {"ctrl-click adds", true, {ClickOn(2), ClickOn(5, ctrl)}, {2, 5}},
      {"ctrl-click toggles off", true, {ClickOn(2), ClickOn(5, ctrl), ClickOn(2, ctrl)}, {5}},
      {"shift-click selects a range", true, {ClickOn(2), ClickOn(5, shift)}, {2, 3, 4, 5}},
      {"shift-click upwards", true, {ClickOn(5), ClickOn(2, shift)}, {2, 3, 4, 5}},
      {"shift-click again shrinks from the anchor",
       true,
       {ClickOn(2), ClickOn(6, shift), ClickOn(3, shift)},
       {2, 3}},
      {"shift-click from a ctrl-click anchor",
       true,
       {ClickOn(1), ClickOn(6, ctrl), ClickOn(8, shift)},
       {6, 7, 8}},
      {"single mode: ctrl-click replaces", false, {ClickOn(2), ClickOn(5, ctrl)}, {5}},
      {"single mode: shift-click replaces", false, {ClickOn(2), ClickOn(5, shift)}, {5}},
      {"down arrow moves", true, {ClickOn(3), Press(Qt::Key_Down)}, {4}},
      {"up arrow stops at the top", true, {ClickOn(0), Press(Qt::Key_Up)}, {0}},
      {"shift-down extends",
       true,
       {ClickOn(3), Press(Qt::Key_Down, shift), Press(Qt::Key_Down, shift)},
       {3, 4, 5}},
      {"shift-up after shift-down shrinks",
       true,
       {ClickOn(3), Press(Qt::Key_Down, shift), Press(Qt::Key_Down, shift), Press(Qt::Key_Up, shift)},
       {3, 4}},
      {"home", true, {ClickOn(6), Press(Qt::Key_Home)}, {0}},
      {"end", true, {ClickOn(6), Press(Qt::Key_End)}, {29}},
      {"shift-end", true, {ClickOn(26), Press(Qt::Key_End, shift)}, {26, 27, 28, 29}},
      {"single mode: shift-down moves", false, {ClickOn(3), Press(Qt::Key_Down, shift)}, {4}},
      {"down with nothing selected takes the first row", true, {Press(Qt::Key_Down)}, {0}},
      {"arrows move from the ctrl-clicked row",
       true,
       {ClickOn(2), ClickOn(7, ctrl), Press(Qt::Key_Down)},
       {8}},
  };
  for (const GestureCase& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f(30);
    f.list->SetMultipleSelection(c.multiple);
    for (const Action& action : c.actions) {
      if (action.row >= 0) {
        f.Click(action.row, action.modifiers);
      } else {
        QTest::keyClick(f.list, action.key, action.modifiers);
      }
    }
    EXPECT_EQ(f.SelectedRows(), c.selected);
    EXPECT_EQ(f.list->SelCount(), static_cast<int>(c.selected.size()));
  }
}

TEST(Listbox, PageKeysMoveByAPage) {
  Fixture f(200);
  f.Click(0);
  QTest::keyClick(f.list, Qt::Key_PageDown);
  const int page = f.list->ListIndex();
  EXPECT_GT(page, 1);
  QTest::keyClick(f.list, Qt::Key_PageDown, Qt::ShiftModifier);
  EXPECT_EQ(f.list->SelCount(), page + 1);
  QTest::keyClick(f.list, Qt::Key_PageUp);
  EXPECT_EQ(f.list->ListIndex(), page);
}

// KeyDown sees every key first, as the control codes the program's handlers compare;
// a handled key stops there, a key the list has no use for goes on to the window.
TEST(Listbox, KeyDownComesFirstAndUnusedKeysReachTheWindow) {
  Fixture f(5);
  QStringList seen;
  QObject::connect(f.list, &Listbox::KeyDown, [&](const QString& key, bool* handled) {
    seen.append(key);
    if (key == "b") *handled = true;
  });
  f.Click(2);
  QTest::keyClick(f.list, Qt::Key_B);
  QTest::keyClick(f.list, Qt::Key_Down);
  QTest::keyClick(f.list, Qt::Key_Backspace);
  QTest::keyClick(f.list, Qt::Key_Left);
  QTest::keyClick(f.list, Qt::Key_A);
  EXPECT_EQ(seen, (QStringList{"b", QString(QChar(31)), QString(QChar(8)), QString(QChar(28)), "a"}));
  EXPECT_EQ(f.list->ListIndex(), 3);
  EXPECT_EQ(f.window.keys.size(), 3);  // Backspace, left arrow, a; not b, not down
  EXPECT_EQ(f.window.keys.value(2), "a");
}

TEST(Listbox, KeyDownCanSwallowNavigation) {
  Fixture f(5);
  QObject::connect(f.list, &Listbox::KeyDown, [](const QString&, bool* handled) { *handled = true; });
  f.Click(2);
  QTest::keyClick(f.list, Qt::Key_Down);
  EXPECT_EQ(f.list->ListIndex(), 2);
}

TEST(Listbox, EventsFireOncePerChange) {
  Fixture f(10);
  QSignalSpy change(f.list, &Listbox::Change);
  QSignalSpy doubleClick(f.list, &Listbox::DoubleClick);
  f.Click(1);
  f.Click(4, Qt::ShiftModifier);
  EXPECT_EQ(change.count(), 2);
  f.list->Model()->SetAllSelected(true);
  EXPECT_EQ(change.count(), 3);
  const QPoint at = f.list->visualRect(f.list->Model()->index(3, 0)).center();
  QTest::mouseDClick(f.list->viewport(), Qt::LeftButton, {}, at);
  EXPECT_EQ(doubleClick.count(), 1);
  EXPECT_EQ(f.list->ListIndex(), 3);
  EXPECT_EQ(f.list->SelCount(), 1);
}

TEST(Listbox, HeadingRowFollowsTheModel) {
  Fixture f(3);
  f.list->Model()->SetHeadings({"Address", "Mailings"});
  EXPECT_EQ(f.list->horizontalHeader()->isVisible(), true);
  f.list->Model()->SetHasHeading(false);
  EXPECT_EQ(f.list->horizontalHeader()->isVisible(), false);
  EXPECT_EQ(f.list->verticalHeader()->isVisible(), false);
}

// A million rows: the view tracks bulk edits of the model without walking rows.
TEST(Listbox, MillionRows) {
  Fixture f(1000000);
  EXPECT_EQ(f.list->verticalHeader()->count(), 1000000);
  f.list->Model()->SetAllSelected(true);
  EXPECT_EQ(f.list->SelCount(), 1000000);
  f.Click(0);
  QTest::keyClick(f.list, Qt::Key_End, Qt::ShiftModifier);
  EXPECT_EQ(f.list->SelCount(), 1000000);
  EXPECT_EQ(f.list->verticalScrollBar()->value(), f.list->verticalScrollBar()->maximum());
  f.list->Model()->RemoveRowsIf([](int row) { return row % 2 == 1; });
  EXPECT_EQ(f.list->verticalHeader()->count(), 500000);
  EXPECT_EQ(f.list->SelCount(), 500000);
  f.list->SetListIndex(499999);
  EXPECT_EQ(f.list->Cell(499999, 0), "a999998@x.org");
  EXPECT_EQ(f.list->SelCount(), 1);
  QTest::keyClick(f.list, Qt::Key_Up);
  EXPECT_EQ(f.list->ListIndex(), 499998);
}

TEST(Listbox, DraggingSelectsFromThePressedRow) {
  for (const bool multiple : {true, false}) {
    SCOPED_TRACE(multiple ? "several rows" : "one row");
    Fixture f(10);
    f.list->SetMultipleSelection(multiple);
    const auto at = [&](int row) { return f.list->visualRect(f.list->Model()->index(row, 0)).center(); };
    QTest::mousePress(f.list->viewport(), Qt::LeftButton, {}, at(6));
    QTest::mouseMove(f.list->viewport(), at(4));
    QTest::mouseMove(f.list->viewport(), at(3));
    QTest::mouseRelease(f.list->viewport(), Qt::LeftButton, {}, at(3));
    QTest::mouseMove(f.list->viewport(), at(8));  // button up: no effect
    const std::vector<int> expected = multiple ? std::vector<int>{3, 4, 5, 6} : std::vector<int>{3};
    EXPECT_EQ(f.SelectedRows(), expected);
  }
}

// The selection is drawn from the model's flags, not from the view's selection model.
TEST(Listbox, SelectedRowsAreDrawnHighlighted) {
  Fixture f(6);
  f.list->SetSelected(1, true);
  f.list->SetSelected(4, true);
  const QImage shot = f.list->viewport()->grab().toImage();
  const auto colourOf = [&](int row) {
    const QRect cell = f.list->visualRect(f.list->Model()->index(row, 1));  // column 1 is empty
    return shot.pixelColor(cell.center());
  };
  EXPECT_EQ(colourOf(1), colourOf(4));
  EXPECT_EQ(colourOf(0), colourOf(2));
  EXPECT_NE(colourOf(1), colourOf(2));
}

// Single-row removals reach the hidden row header in one batch; the view must still
// agree with the model by the time it draws or takes a click.
TEST(Listbox, RowRemovalsReachTheViewBeforeItDrawsOrClicks) {
  Fixture f(60);
  for (int row = 59; row >= 20; row -= 2) f.list->RemoveRow(row);
  EXPECT_EQ(f.list->ListCount(), 40);
  f.Click(5);  // at once, before the event loop ran
  EXPECT_EQ(f.SelectedRows(), std::vector<int>{5});
  for (int row = 39; row >= 30; --row) f.list->RemoveRow(row);
  QCoreApplication::processEvents();
  EXPECT_EQ(f.list->verticalHeader()->count(), 30);
  QTest::keyClick(f.list, Qt::Key_End);
  EXPECT_EQ(f.list->ListIndex(), 29);
  EXPECT_EQ(f.list->verticalScrollBar()->value(), f.list->verticalScrollBar()->maximum());
  f.list->InsertRow(0, "first@x.org");
  f.list->AddRow("last@x.org");
  EXPECT_EQ(f.list->verticalHeader()->count(), 32);
  f.list->DeleteAllRows();
  EXPECT_EQ(f.list->verticalHeader()->count(), 0);
}

TEST(Listbox, RowsGrowWithTheFont) {
  Fixture f(3);
  const int before = f.list->rowHeight(0);
  QFont larger = f.list->font();
  larger.setPointSize(larger.pointSize() * 3);
  f.list->setFont(larger);
  EXPECT_GT(f.list->rowHeight(0), before);
  EXPECT_EQ(f.list->rowHeight(0), f.list->rowHeight(2));
}
