#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAccessible>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTabBar>
#include <QTextEdit>

#include "MainWindowFixture.h"
#include "support/TestSupport.h"

#include <QDir>

#include "lists/ui/EditWindow.h"
#include "lists/ui/MLWindow.h"
#include "lists/ui/MainWindowListsSetup.h"
#include "lists/ui/NewAddressWin.h"
#include "mailing/ui/PreferencesWindow.h"
#include "mailing/ui/SendWindow.h"
#include "platform/ui/Listbox.h"
#include "tools/ui/HelpWindow.h"
#include "tools/ui/MessageWindow.h"
#include "tools/ui/SearchWindow.h"
#include "tools/ui/SortWindow.h"

namespace {

// Widgets that Qt builds inside its own controls (scroll-area bars, header views, the tab
// widget's bar) are reached through their owner's accessible interface.
bool InsideQtInternals(const QWidget* w) {
  for (const QObject* o = w; o != nullptr; o = o->parent()) {
    if (o->objectName().startsWith(QLatin1String("qt_"))) return true;
  }
  return qobject_cast<const QHeaderView*>(w) != nullptr || w->inherits("QTableCornerButton");
}

bool IsControl(QWidget* w) {
  return qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QTextEdit*>(w) ||
         qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QAbstractItemView*>(w) ||
         qobject_cast<QAbstractSlider*>(w) || qobject_cast<QProgressBar*>(w) || qobject_cast<QTabBar*>(w) ||
         qobject_cast<QLabel*>(w);
}

QString AccessibleName(QWidget* w) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
  return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

class AccessibilityTest : public MainWindowFixture {};

// Assistive technology reads every window and every control a person can reach by a name:
// the caption where there is one, the control's own name otherwise.
TEST_F(AccessibilityTest, EveryWindowAndControlHasAName) {
  MainWindowHooks saved = MainWindowHooks::Installed();
  lists::ui::InstallMainWindowHooks();
  StartCountingSaves();
  MainWindowHooks::Installed().saveFile = [this](MainWindow&) { ++m_saves; };
  std::vector<QWidget*> dialogs = {new EditWindow,
                                   new NewAddressWin(m_window),
                                   new MLWindow,
                                   new HelpWindow,
                                   new SendWindow(m_window),
                                   new PreferencesWindow(m_window),
                                   new SearchWindow(m_window),
                                   new SortWindow(m_window),
                                   new MessageWindow(m_window)};
  for (QWidget* d : dialogs) d->show();

  int checked = 0;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible()) continue;
    EXPECT_FALSE(AccessibleName(top).isEmpty()) << top->metaObject()->className();
    for (QWidget* w : top->findChildren<QWidget*>()) {
      if (!IsControl(w) || InsideQtInternals(w)) continue;
      ++checked;
      EXPECT_FALSE(AccessibleName(w).isEmpty())
          << top->metaObject()->className() << " / " << w->metaObject()->className() << " '"
          << w->objectName().toStdString() << "'";
      // A labelled field is known by its label.
      if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy())
        EXPECT_EQ(AccessibleName(label->buddy()), label->text()) << w->objectName().toStdString();
    }
  }
  EXPECT_GT(checked, 30);
  for (QWidget* d : dialogs) delete d;
  MainWindowHooks::Installed() = saved;
}

}  // namespace

namespace {

// The side bar's buttons are drawn by hand: assistive technology still sees buttons named
// after their lists and can press one to open its list.
TEST_F(AccessibilityTest, SideBarButtonsCanBePressed) {
  MainWindowHooks saved = MainWindowHooks::Installed();
  lists::ui::InstallMainWindowHooks();
  QDir().mkpath(DatabasePath());
  testing_support::WriteAll(DatabasePath() + "/Friends", "a@example.com \n");
  testing_support::WriteAll(DatabasePath() + "/Clients", "b@example.com \n");
  StartCountingSaves();

  QAccessibleInterface* friends = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    for (QWidget* w : top->findChildren<QWidget*>()) {
      if (!w->inherits("FolderButton")) continue;
      QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
      ASSERT_NE(iface, nullptr);
      EXPECT_EQ(iface->role(), QAccessible::Button);
      if (iface->text(QAccessible::Name) == "Friends") friends = iface;
    }
  }
  ASSERT_NE(friends, nullptr);
  ASSERT_NE(friends->actionInterface(), nullptr);
  friends->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(m_window->lastopen, QString("Friends"));
  EXPECT_EQ(m_window->elist->Cell(0, 0), QString("a@example.com"));
  MainWindowHooks::Installed() = saved;
}

}  // namespace
