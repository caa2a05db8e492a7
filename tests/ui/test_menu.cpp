#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "MainWindowFixture.h"
#include "app/MenuTable.h"
#include "app/ui/Menu.h"

namespace {

class MenuTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    StartCountingSaves();
  }
  // Brings a window to the front, as the user clicking it would.
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

TEST_F(MenuTest, TheBarFollowsTheTable) {
  QStringList built, expected;
  for (QAction* title : m_window->menuBar()->actions()) {
    built << title->objectName() + "|" + QString(title->text()).remove('&');
    for (QAction* item : title->menu()->actions()) {
      built << item->objectName() + "|" + (item->isSeparator() ? QString("-") : item->text()) + "|" +
                   item->shortcut().toString(QKeySequence::PortableText);
    }
  }
  for (const app::MenuEntry& e : app::MenuTable())
    expected << e.name + "|" + e.text + (e.IsTitle() ? "" : "|" + app::PortableShortcut(e.shortcut));
  EXPECT_EQ(built, expected);
}

// Each window in front enables the items it has handlers for: the main window all but
// Undo and Close; the about window only Quit. About goes to the main window's handler
// only.
TEST_F(MenuTest, EnablingAndCommandsFollowTheFrontWindow) {
  BringToFront(m_window);
  EXPECT_EQ(Items(false), QStringList({"FileClose", "EditUndo"}));
  BringToFront(m_about);
  EXPECT_EQ(Items(true), QStringList{"FileQuit"});
  m_window->AppleAboutVelmora()->setEnabled(true);
  m_window->AppleAboutVelmora()->trigger();
  EXPECT_EQ(AboutWindows().size(), 1);
  BringToFront(m_window);
  m_window->AppleAboutVelmora()->trigger();
  EXPECT_EQ(AboutWindows().size(), 2);
}

// Quit by menu or by shortcut: the about window's handler saves first; without a handler
// it still quits (the main window saves when it closes, not here).
TEST_F(MenuTest, QuitFromEitherWindow) {
  for (const auto& [aboutInFront, byShortcut, saves] :
       {std::tuple{true, false, 1}, std::tuple{true, true, 1}, std::tuple{false, false, 0}}) {
    m_saves = m_quits = 0;
    QWidget* front = aboutInFront ? static_cast<QWidget*>(m_about) : m_window;
    BringToFront(front);
    if (byShortcut) QTest::keyClick(front, Qt::Key_Q, Qt::ControlModifier);
    if (!byShortcut) FileQuit()->trigger();
    EXPECT_EQ(std::make_pair(m_quits, m_saves), std::make_pair(1, saves)) << aboutInFront << byShortcut;
  }
}

}  // namespace
