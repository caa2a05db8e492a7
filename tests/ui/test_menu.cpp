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

  // The names of the command items (not titles, not separators) that are enabled now.
  static QSet<QString> EnabledItems() {
    Menu::Instance().UpdateEnabling();
    QSet<QString> enabled;
    for (const app::MenuEntry& e : app::MenuTable()) {
      if (e.IsTitle() || e.IsSeparator()) continue;
      if (Menu::Instance().Lookup(e.name)->isEnabled()) enabled.insert(e.name);
    }
    return enabled;
  }

  static QSet<QString> AllCommandItems() {
    QSet<QString> all;
    for (const app::MenuEntry& e : app::MenuTable()) {
      if (!e.IsTitle() && !e.IsSeparator()) all.insert(e.name);
    }
    return all;
  }
};

TEST_F(MenuTest, TheBarFollowsTheTable) {
  const QList<QAction*> titles = m_window->menuBar()->actions();
  QStringList built;
  for (QAction* title : titles) {
    built << title->objectName() + "|" + title->text();
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

TEST_F(MenuTest, ShortcutsReachEveryWindowAndSpecialItemsHaveTheirRoles) {
  EXPECT_EQ(m_window->AddressesSendeMail()->shortcut(), QKeySequence("Ctrl+S"));
  EXPECT_EQ(m_window->AddressesRemove()->shortcut(), QKeySequence("Ctrl+X"));
  EXPECT_EQ(m_window->FileSaveAs()->shortcut(), QKeySequence("Ctrl+Shift+S"));
  EXPECT_EQ(m_window->EditSelectAll()->shortcut(), QKeySequence("Ctrl+A"));
  EXPECT_TRUE(m_window->FileSave()->shortcut().isEmpty());
  EXPECT_EQ(m_window->FileQuit()->shortcutContext(), Qt::ApplicationShortcut);
  EXPECT_EQ(m_window->FileQuit()->menuRole(), QAction::QuitRole);
  EXPECT_EQ(m_window->FilePreferences()->menuRole(), QAction::PreferencesRole);
  EXPECT_EQ(m_window->AppleAboutVelmora()->menuRole(), QAction::AboutRole);
  EXPECT_EQ(m_window->EditCopy()->menuRole(), QAction::NoRole);
}

TEST_F(MenuTest, OneAccessorPerEntry) {
#define NAME_OF(name) QStringLiteral(#name),
  const QStringList accessors = {VELMORA_MENU_ITEMS(NAME_OF)};
#undef NAME_OF
  QStringList tableNames;
  for (const app::MenuEntry& e : app::MenuTable()) tableNames << e.name;
  EXPECT_EQ(accessors, tableNames);
  for (const QString& name : tableNames) {
    QAction* item = m_window->MenuItem(name);
    ASSERT_NE(item, nullptr) << name.toStdString();
    EXPECT_EQ(item->objectName(), name);
    EXPECT_EQ(item, Menu::Instance().Lookup(name));
  }
  EXPECT_EQ(m_window->UntitledMenu7()->text(), QString("File"));
  EXPECT_EQ(m_window->MailingListsEmptyTash()->text(), QString("Empty Tash"));
  EXPECT_EQ(m_window->MenuItem("NoSuchItem"), nullptr);
  EXPECT_EQ(AddressesNew(), m_window->AddressesNew());
  EXPECT_EQ(EditSelectAll(), m_window->EditSelectAll());
  EXPECT_EQ(FileQuit(), m_window->FileQuit());
}

TEST_F(MenuTest, MainWindowInFrontEnablesAllButUndo) {
  BringToFront(m_window);
  QSet<QString> expected = AllCommandItems();
  expected.remove("EditUndo");
  EXPECT_EQ(EnabledItems(), expected);
}

TEST_F(MenuTest, AboutWindowInFrontEnablesQuitAndTheAutomaticItems) {
  BringToFront(m_about);
  QSet<QString> expected;
  for (const app::MenuEntry& e : app::MenuTable()) {
    if (!e.IsTitle() && !e.IsSeparator() && e.autoEnable) expected.insert(e.name);
  }
  EXPECT_EQ(EnabledItems(), expected);
  EXPECT_TRUE(expected.contains("FileQuit"));
  EXPECT_FALSE(expected.contains("FileSave"));
}

TEST_F(MenuTest, EnablingFollowsTheFrontWindowByItself) {
  BringToFront(m_about);
  EXPECT_FALSE(m_window->FileSave()->isEnabled());
  BringToFront(m_window);
  EXPECT_TRUE(m_window->FileSave()->isEnabled());
  EXPECT_FALSE(m_window->EditUndo()->isEnabled());
}

TEST_F(MenuTest, MainWindowRegistersTheHandlersThatExist) {
  EXPECT_EQ(app::CommandRouter::Instance().HandledItems(m_window),
            QStringList({"AppleAboutVelmora", "MailingListsNewMailingList", "MailingListsRemoveMailingList",
                         "MailingListsEmptyTash"}));
  EXPECT_EQ(app::CommandRouter::Instance().HandledItems(m_about), QStringList({"FileQuit"}));
}

TEST_F(MenuTest, AboutCommandOpensAnotherAboutWindow) {
  BringToFront(m_window);
  m_window->AppleAboutVelmora()->trigger();
  EXPECT_EQ(AboutWindows().size(), 2);
  EXPECT_EQ(m_quits, 0);
}

TEST_F(MenuTest, CommandsGoToTheFrontWindowOnly) {
  // The about item has no handler in the about window: nothing happens.
  BringToFront(m_about);
  m_window->AppleAboutVelmora()->setEnabled(true);
  m_window->AppleAboutVelmora()->trigger();
  EXPECT_EQ(AboutWindows().size(), 1);
  // Quit goes to the about window's handler: save, then quit.
  FileQuit()->trigger();
  EXPECT_EQ(m_saves, 1);
  EXPECT_EQ(m_quits, 1);
}

TEST_F(MenuTest, QuitWithoutAHandlerStillQuits) {
  BringToFront(m_window);
  FileQuit()->trigger();
  EXPECT_EQ(m_quits, 1);
  EXPECT_EQ(m_saves, 0);  // the main window saves when it closes, not here
}

TEST_F(MenuTest, ShortcutWorksWhileAnotherWindowIsInFront) {
  BringToFront(m_about);
  QTest::keyClick(m_about, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(m_quits, 1);
  EXPECT_EQ(m_saves, 1);
}

TEST_F(MenuTest, CloseHasNoHandlerWithTheMainWindowInFront) {
  BringToFront(m_window);
  QTest::keyClick(m_window, Qt::Key_W, Qt::ControlModifier);
  EXPECT_TRUE(m_window->isVisible());
  EXPECT_EQ(m_quits, 0);
}

}  // namespace
