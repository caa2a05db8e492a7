#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QSet>
#include <QSignalSpy>
#include <QStyleOption>
#include <QTest>

#include "MainWindowFixture.h"
#include "app/ui/LogView.h"
#include "lists/ui/EditWindow.h"
#include "lists/ui/FolderButton.h"
#include "lists/ui/MLWindow.h"
#include "lists/ui/NewAddressWin.h"
#include "mailing/SendEngine.h"
#include "mailing/ui/PreferencesWindow.h"
#include "mailing/ui/SendWindow.h"
#include "platform/ui/Listbox.h"
#include "tools/ui/HelpWindow.h"
#include "tools/ui/MessageWindow.h"
#include "tools/ui/SearchWindow.h"
#include "tools/ui/SortWindow.h"

namespace {

QAccessibleInterface* Iface(QObject* object) {
  return QAccessible::queryAccessibleInterface(object);
}

QString Name(QObject* object) {
  QAccessibleInterface* iface = Iface(object);
  return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

// Everything assistive technology reaches from an interface, depth first.
void Walk(QAccessibleInterface* iface, QList<QAccessibleInterface*>& out) {
  if (iface == nullptr || !iface->isValid() || iface->state().invisible) return;
  out.append(iface);
  for (int i = 0; i < iface->childCount(); ++i) Walk(iface->child(i), out);
}

// Roles a person operates, which must each be read by a name.
const QSet<QAccessible::Role> kOperated = {
    QAccessible::PushButton, QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::EditableText,
    QAccessible::ComboBox,   QAccessible::Slider,   QAccessible::ProgressBar, QAccessible::List,
    QAccessible::Table,      QAccessible::PageTab,  QAccessible::Dialog,      QAccessible::Window};

class AccessibilityTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    Start();
  }
  // Every window of the program but the main and about windows of start-up, shown.
  std::vector<QWidget*> OpenEveryWindow() {
    std::vector<QWidget*> dialogs = {new EditWindow(m_window->elist, &m_window->OpenList(), m_window),
                                     app::ui::MakeNewAddressWin(*m_window, nullptr),
                                     app::ui::MakeMLWindow(*m_window),
                                     new HelpWindow,
                                     app::ui::MakeSendWindow(*m_window),
                                     new PreferencesWindow(m_window->Settings(), m_window),
                                     app::ui::MakeSearchWindow(*m_window),
                                     app::ui::MakeSortWindow(*m_window),
                                     app::ui::MakeMessageWindow(*m_window)};
    for (QWidget* d : dialogs) d->show();
    return dialogs;
  }
  // As a click on it does; the side bar, which it shows when active, is shown first.
  void ActivateMainWindow() {
    using testing_support::WaitUntil;
    ASSERT_TRUE(WaitUntil([this] { return m_about->isActiveWindow(); }));
    m_window->SideBar->show();
    ASSERT_TRUE(WaitUntil([this] { return m_window->SideBar->isActiveWindow(); }));
    m_window->activateWindow();
    ASSERT_TRUE(WaitUntil([this] { return m_window->isActiveWindow(); }));
  }
};

// Every window and control is read as the user sees it, never by the program's own names.
TEST_F(AccessibilityTest, EveryControlIsReadAsTheUserSeesIt) {
  const QStringList internal = {"elist",     "CheckList",    "Slug",          "UserMessages",
                                "TabPanel1", "ProgressBar1", "QueueStatus",   "Toolbar",
                                "Rate",      "RatePer",      "SideBarWindow", "Menu"};
  std::vector<QWidget*> dialogs = OpenEveryWindow();
  dialogs.back()->setWindowTitle("Search results...");
  EXPECT_EQ(Name(dialogs.back()), QString("Search results..."));
  EXPECT_EQ(Iface(dialogs.front())->role(), QAccessible::Dialog);

  int operated = 0;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible()) continue;
    QList<QAccessibleInterface*> all;
    Walk(Iface(top), all);
    for (QAccessibleInterface* iface : all) {
      const QString name = iface->text(QAccessible::Name);
      const QString where = QString(top->metaObject()->className()) + " / " +
                            (iface->object() ? iface->object()->objectName() : name);
      EXPECT_FALSE(internal.contains(name) || name.startsWith("StaticText")) << where.toStdString();
      if (kOperated.contains(iface->role())) {
        ++operated;
        EXPECT_FALSE(name.isEmpty()) << where.toStdString();
      }
      if (auto* label = qobject_cast<QLabel*>(iface->object()); label && label->buddy()) {
        EXPECT_EQ(Name(label->buddy()), label->text()) << where.toStdString();
      }
    }
  }
  EXPECT_GT(operated, 60);

  QAccessibleInterface* status = Iface(m_window->Slug);
  EXPECT_EQ(QStringList({Name(m_window->elist), Name(m_window->CheckList), Name(m_window->UserMessages),
                         Name(m_window->SideBar), status->text(QAccessible::Description)}),
            QStringList({"Addresses", "Send queue", "Message log", "Lists", "Status"}));
  EXPECT_EQ(status->role(), QAccessible::StatusBar);
}

// Every caption of every window shows whole at its control's design size: a label's text
// as the label sets it (wrapped or on one line), a button's, check box's or radio button's
// beside its indicator.
TEST_F(AccessibilityTest, EveryCaptionFitsItsControl) {
  OpenEveryWindow();
  for (QWidget* top : QApplication::topLevelWidgets()) {
    for (QWidget* control : top->isVisible() ? top->findChildren<QWidget*>() : QList<QWidget*>()) {
      auto* label = qobject_cast<QLabel*>(control);
      auto* button = qobject_cast<QAbstractButton*>(control);
      QStyleOptionButton option;
      option.initFrom(control);
      const auto element = qobject_cast<QCheckBox*>(button)      ? QStyle::SE_CheckBoxContents
                           : qobject_cast<QRadioButton*>(button) ? QStyle::SE_RadioButtonContents
                                                                 : QStyle::SE_PushButtonContents;
      const QRect room =
          label ? label->contentsRect() : control->style()->subElementRect(element, &option, control);
      const QString text = label ? label->text() : button ? button->text().remove('&') : QString();
      const bool wraps = label && label->wordWrap();
      const QSize needed = control->fontMetrics()
                               .boundingRect(QRect(0, 0, wraps ? room.width() : 1 << 20, 1 << 20),
                                             wraps ? Qt::TextWordWrap : 0, text)
                               .size();
      EXPECT_TRUE(text.isEmpty() ||
                  (needed.width() <= room.width() && (!wraps || needed.height() <= room.height())))
          << control->objectName().toStdString() << ": " << text.toStdString();
    }
  }
}

// The status line and the message log's rows (newest first) are read.
TEST_F(AccessibilityTest, StatusLineLogRowsAndCellsAreRead) {
  m_window->SetSlug("Reading Friends");
  m_window->SetSlug("3 addresses");
  EXPECT_EQ(Name(m_window->Slug), QString("3 addresses"));

  QAccessibleInterface* log = Iface(m_window->UserMessages);
  EXPECT_EQ(log->role(), QAccessible::List);
  QStringList read;
  for (int i = 0; i < log->childCount(); ++i) {
    EXPECT_EQ(std::make_pair(log->child(i)->role(), log->indexOfChild(log->child(i))),
              std::make_pair(QAccessible::ListItem, i));
    read << log->child(i)->text(QAccessible::Name);
  }
  EXPECT_EQ(read, LogRows());

  // The keyboard's row is the selected item and stays on its text as reports come in.
  QTest::keyClick(m_window->UserMessages, Qt::Key_Down);
  QTest::keyClick(m_window->UserMessages, Qt::Key_Down);
  EXPECT_EQ(log->child(1)->state().selected, true);
  m_window->SetSlug("later");
  EXPECT_EQ(std::make_tuple(bool(log->child(1)->state().selected), bool(log->child(2)->state().selected),
                            log->child(2)->text(QAccessible::Name)),
            std::make_tuple(false, true, Logged("Reading Friends")));
}

// Assistive technology reads the selection from the rows' flags and the focused cell.
TEST_F(AccessibilityTest, ListSelectionIsReadFromTheRowsFlags) {
  platform::Listbox* list = m_window->elist;
  std::vector<QStringList> rows;
  rows.reserve(200000);
  for (int i = 0; i < 200000; ++i) rows.push_back({QString("a%1@example.com").arg(i), "News(1/2/26) "});
  list->Model()->AppendRows(std::move(rows));
  list->SetSelected(1, true);
  list->SetSelected(3, true);
  QAccessibleTableInterface* table = Iface(list)->tableInterface();
  ASSERT_NE(table, nullptr);
  QStringList selected;
  for (QAccessibleInterface* cell : table->selectedCells()) selected << cell->text(QAccessible::Name);
  EXPECT_EQ(
      std::make_tuple(table->selectedRows(), table->selectedCellCount(), table->isRowSelected(2),
                      bool(table->cellAt(3, 1)->state().selected),
                      bool(table->cellAt(2, 0)->state().selected), selected),
      std::make_tuple(QList<int>({1, 3}), 4, false, true, false,
                      QStringList({"a1@example.com", "News(1/2/26) ", "a3@example.com", "News(1/2/26) "})));
  ActivateMainWindow();
  list->setFocus();
  list->SetListIndex(5);
  QTest::keyClick(list, Qt::Key_Down);
  QAccessibleInterface* current = Iface(list)->focusChild();
  ASSERT_NE(current, nullptr);
  EXPECT_EQ(std::make_tuple(current->text(QAccessible::Name), bool(current->state().focused),
                            table->selectedRows()),
            std::make_tuple(QString("a6@example.com"), true, QList<int>({6})));
  list->Model()->SetAllSelected(true);
  EXPECT_EQ(std::make_pair(bool(table->cellAt(150000, 0)->state().selected), table->selectedRowCount()),
            std::make_pair(true, 200000));
}

// A click on a side bar button leaves the keyboard with the main window, even where the
// side bar is made active only after the click.
TEST_F(AccessibilityTest, SideBarClickLeavesTheKeyboardWithTheMainWindow) {
  QDir().mkpath(DatabasePath());
  testing_support::WriteAll(DatabasePath() + "/Friends", "a@example.com \n");
  m_window->UpdateLists();
  ActivateMainWindow();
  QSignalSpy focusMoves(qApp, &QGuiApplication::focusWindowChanged);
  QTest::mouseClick(m_window->SideBar->findChild<FolderButton*>(), Qt::LeftButton);
  m_window->SideBar->activateWindow();
  EXPECT_EQ(testing_support::WaitUntil([&] { return focusMoves.size() >= 2 && m_window->isActiveWindow(); }),
            true);
  EXPECT_EQ(m_window->lastopen, QString("Friends"));
}

}  // namespace
