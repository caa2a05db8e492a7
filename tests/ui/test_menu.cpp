#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTest>

#include "MainWindowFixture.h"
#include "app/CommandRouter.h"
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
    ASSERT_EQ(QApplication::activeWindow(), window);
  }

  // The command items (not titles, not separators) that pass the filter, in table order.
  static QStringList Items(const std::function<bool(const app::MenuEntry&)>& keep) {
    QStringList items;
    for (const app::MenuEntry& e : app::MenuTable()) {
      if (!e.IsTitle() && !e.IsSeparator() && keep(e)) items.append(e.name);
    }
    return items;
  }
  static QStringList EnabledItems() {
    Menu::Instance().UpdateEnabling();
    return Items([](const app::MenuEntry& e) { return Menu::Instance().Lookup(e.name)->isEnabled(); });
  }
};

TEST_F(MenuTest, TheBarFollowsTheTable) {
  const QList<QAction*> titles = m_window->menuBar()->actions();
  QStringList built;
  for (QAction* title : titles) {
    built << title->objectName() + "|" + QString(title->text()).remove('&');
    for (QAction* item : title->menu()->actions()) {
      built << item->objectName() + "|" + (item->isSeparator() ? QString("-") : item->text()) + "|" +
                   item->shortcut().toString(QKeySequence::PortableText);
    }
  }
  QStringList expected;
  for (const app::MenuEntry& e : app::MenuTable()) {
    expected << (e.IsTitle() ? e.name + "|" + e.text
                             : e.name + "|" + e.text + "|" + app::PortableShortcut(e.shortcut));
  }
  EXPECT_EQ(built, expected);
}

TEST_F(MenuTest, OneAccessorPerEntry) {
#define NAME_OF(name) QStringLiteral(#name),
  const QStringList accessors = {VELMORA_MENU_ITEMS(NAME_OF)};
#undef NAME_OF
  QStringList tableNames;
  for (const app::MenuEntry& e : app::MenuTable()) tableNames << e.name;
  EXPECT_EQ(accessors, tableNames);
  EXPECT_EQ(m_window->EditSelectAll()->objectName(), QString("EditSelectAll"));
  EXPECT_EQ(m_window->MenuItem("NoSuchItem"), nullptr);
}

// Each window in front enables the items it has handlers for: the main window all but
// Undo, Close and the commands still to come; the about window only Quit.
TEST_F(MenuTest, EnablingFollowsTheFrontWindow) {
  BringToFront(m_window);
  EXPECT_EQ(Items([](const app::MenuEntry& e) { return !Menu::Instance().Lookup(e.name)->isEnabled(); }),
            QStringList({"FileClose", "EditUndo"}));
  BringToFront(m_about);
  EXPECT_EQ(m_window->FileSave()->isEnabled(), false);
  EXPECT_EQ(EnabledItems(), QStringList{"FileQuit"});
}

TEST_F(MenuTest, MainWindowRegistersTheHandlersThatExist) {
  EXPECT_EQ(app::CommandRouter::Instance().HandledItems(m_window), app::MainWindowMenuHandlerOrder());
  EXPECT_EQ(app::CommandRouter::Instance().HandledItems(m_about), QStringList({"FileQuit"}));
}

// About goes to the main window's handler only; with the about window in front nothing
// happens.
TEST_F(MenuTest, AboutCommandGoesToTheFrontWindowOnly) {
  BringToFront(m_about);
  m_window->AppleAboutVelmora()->setEnabled(true);
  m_window->AppleAboutVelmora()->trigger();
  EXPECT_EQ(AboutWindows().size(), 1);
  BringToFront(m_window);
  m_window->AppleAboutVelmora()->trigger();
  EXPECT_EQ(AboutWindows().size(), 2);
  EXPECT_EQ(m_quits, 0);
}

// Quit by menu or by shortcut: the about window's handler saves first; without a handler
// it still quits (the main window saves when it closes, not here).
TEST_F(MenuTest, QuitFromEitherWindow) {
  struct Case {
    bool aboutInFront;
    bool byShortcut;
    int saves;
  };
  for (const Case& c : {Case{true, false, 1}, Case{true, true, 1}, Case{false, false, 0}}) {
    SCOPED_TRACE(testing::Message() << "about in front " << c.aboutInFront << ", shortcut " << c.byShortcut);
    m_saves = m_quits = 0;
    QWidget* front = c.aboutInFront ? static_cast<QWidget*>(m_about) : m_window;
    BringToFront(front);
    if (c.byShortcut) {
      QTest::keyClick(front, Qt::Key_Q, Qt::ControlModifier);
    } else {
      FileQuit()->trigger();
    }
    EXPECT_EQ(m_quits, 1);
    EXPECT_EQ(m_saves, c.saves);
  }
}

TEST_F(MenuTest, CloseHasNoHandlerWithTheMainWindowInFront) {
  BringToFront(m_window);
  QTest::keyClick(m_window, Qt::Key_W, Qt::ControlModifier);
  EXPECT_EQ(m_window->isVisible(), true);
  EXPECT_EQ(m_quits, 0);
}

}  // namespace
