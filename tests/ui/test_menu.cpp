// The menus, and the about and help windows their items open.
#include <QAccessible>
#include <QAction>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "MainWindowFixture.h"
#include "app/MenuTable.h"
#include "lists/ui/NewAddressWin.h"
#include "platform/ui/Listbox.h"
#include "platform/ui/Menu.h"
#include "tools/ui/HelpWindow.h"
#include "tools/ui/MessageWindow.h"

namespace {

class MenuTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    Start();
    m_window->Changed = true;
    // Shown with the main window, offscreen it would take the activation from it.
    delete m_window->SideBar.data();
  }
  // Saves of the unsaved list, which has no file yet: each asks for one.
  int Saves() const { return static_cast<int>(m_recorded.saveDialogTitles.size()); }
  static void BringToFront(QWidget* window) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  }
  // The command items (not titles, not separators) enabled or not, in table order.
  static QStringList Items(bool enabled) {
    Menu::Instance().UpdateEnabling();
    QStringList items;
    for (const app::MenuEntry& e : app::MenuTable()) {
      if (!e.IsTitle() && !e.IsSeparator() && Menu::Instance().Lookup(e.name)->isEnabled() == enabled)
        items.append(e.name);
    }
    return items;
  }
};

// The main window in front enables every command but Undo (Close too, which it does not
// handle); the about window only Quit. About goes to the main window's handler.
TEST_F(MenuTest, EnablingAndCommandsFollowTheFrontWindow) {
  BringToFront(m_window);
  EXPECT_EQ(Items(false), QStringList({"EditUndo"}));
  BringToFront(m_about);
  EXPECT_EQ(Items(true), QStringList{"FileQuit"});
  m_window->AppleAboutVelmora()->setEnabled(true);
  m_window->AppleAboutVelmora()->trigger();
  EXPECT_EQ(Windows<AboutWindow>().size(), 1);
  BringToFront(m_window);
  m_window->AppleAboutVelmora()->trigger();
  EXPECT_EQ(Windows<AboutWindow>().size(), 2);
}

// Continue starts a main window; the about window deleted during its start-up (while the
// last list is read) is no fault.
TEST_F(MenuTest, AboutContinueSurvivesTheWindowGoingDuringStartUp) {
  delete m_window;
  testing_support::WriteAll(DatabasePath() + "/Customers", "a@x.com \n");
  testing_support::WriteAll(DatabasePath() + "/LastDatabase", "Customers");
  testing_support::YieldEveryStep yielding;
  QPointer<AboutWindow> about = m_about;
  QTimer::singleShot(0, [about] { delete about.data(); });
  about->CloseAbout->click();
  EXPECT_EQ(std::make_pair(about.isNull(), MainWindow::Existing() && MainWindow::Existing()->isVisible()),
            std::make_pair(true, true));
}

// Each window that handles a command has a menu bar of its own, where choosing the command
// reaches that window alone, and where assistive technology finds each menu title (not in
// the main window's bar). Close chosen with the main window in front closes no help window;
// Quit quits from either, the about window's handler saving first, by its shortcut too.
TEST_F(MenuTest, EachWindowsOwnMenuBarServesIt) {
  QPointer<HelpWindow> help = new HelpWindow, other = new HelpWindow;
  other->show();
  auto* addresses = app::ui::MakeMessageWindow(*m_window);
  const struct {
    QWidget* window;
    const char* item;
    std::function<bool()> done;
  } cases[] = {
      {m_window, "FileClose", [&] { return help && other; }},
      {help, "FileClose", [&] { return !help && other; }},
      {addresses, "AddressesNew",
       [&] { return Shown<NewAddressWin>() && Shown<NewAddressWin>()->list == addresses->MessageList; }},
      {m_about, "FileQuit", [this] { return m_quits == 1 && Saves() == 1; }},
      {m_window, "FileQuit", [this] { return m_quits == 2 && Saves() == 1; }}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.window->metaObject()->className());
    c.window->show();
    BringToFront(c.window);
    auto* bar = c.window->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(bar, nullptr);
    QAccessibleInterface* titles = QAccessible::queryAccessibleInterface(bar);
    for (int i = 0; i < titles->childCount(); ++i) EXPECT_EQ(titles->child(i)->parent(), titles) << i;
    for (QAction* title : bar->actions()) {
      for (QAction* item : title->menu()->actions())
        if (item->objectName() == c.item) item->trigger();
    }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(c.done());
  }
  BringToFront(m_about);
  QTest::keyClick(m_about, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(std::make_pair(m_quits, Saves()), std::make_pair(3, 2));
}

}  // namespace
