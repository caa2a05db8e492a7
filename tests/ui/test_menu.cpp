// The menus, and the about and help windows their items open.
#include <QAccessible>
#include <QAction>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "MainWindowFixture.h"
#include "app/MenuTable.h"
#include "app/ui/Menu.h"
#include "app/ui/StatusLine.h"
#include "platform/ui/Listbox.h"
#include "tools/ui/HelpWindow.h"
#include "tools/ui/LinkLabel.h"

namespace {

class MenuTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    StartCountingSaves();
  }
  static void BringToFront(QWidget* window) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  }
  // Cmd+W in the window in front, as the user closes it.
  static void PressClose(QWidget* front) {
    BringToFront(front);
    Menu::Instance().UpdateEnabling();
    QTest::keyClick(front, Qt::Key_W, Qt::ControlModifier);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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

// Only keys that type or move echo, not a modifier alone. Cmd-Shift-arrows move between the
// tabs, stopping at either end, and the keyboard stays with the tab's list, where a plain
// arrow only echoes.
TEST_F(MenuTest, KeysEchoAndMoveBetweenTabs) {
  BringToFront(m_window);
  m_window->elist->setFocus();
  const qsizetype rows = LogRows().size();
  for (Qt::Key modifier : {Qt::Key_Shift, Qt::Key_Control})
    QTest::keyClick(m_window->focusWidget(), modifier);
  using std::tuple;
  for (const auto& [cmdShift, key, tab] :
       {tuple{false, Qt::Key_Right, 0}, tuple{true, Qt::Key_Right, 1}, tuple{false, Qt::Key_Right, 1},
        tuple{true, Qt::Key_Right, 2}, tuple{false, Qt::Key_Left, 2}, tuple{true, Qt::Key_Right, 2},
        tuple{true, Qt::Key_Left, 1}, tuple{false, Qt::Key_Left, 1}}) {
    m_recorded.command = m_recorded.shift = cmdShift;
    QTest::keyClick(m_window->focusWidget(), key,
                    cmdShift ? Qt::ControlModifier | Qt::ShiftModifier : Qt::NoModifier);
    EXPECT_EQ(std::make_pair(m_window->TabPanel1->currentIndex(), m_window->Slug->text()),
              std::make_pair(tab, QString("Key down = %1").arg(key == Qt::Key_Right ? 29 : 28)));
  }
  EXPECT_EQ(LogRows().size(), rows + 8);
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

// Every link opens the maker's page (click, Return or Space after Tab from Continue, or
// pressed through assistive technology) and the window stays.
TEST_F(MenuTest, AboutLinks) {
  LinkLabel* links[] = {m_about->StaticText1, m_about->StaticText2, m_about->StaticText7};
  for (LinkLabel* link : links) QTest::mouseClick(link, Qt::LeftButton);
  BringToFront(m_about);
  QTest::keyClick(m_about->CloseAbout, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), links[0]);
  QTest::keyClick(links[0], Qt::Key_Return);
  QTest::keyClick(links[1], Qt::Key_Space);
  QAccessibleInterface* link = QAccessible::queryAccessibleInterface(links[2]);
  EXPECT_EQ(std::make_pair(link->role(), link->text(QAccessible::Name)),
            std::make_pair(QAccessible::Link, QString(AboutWindow::kMakerPage)));
  link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(m_recorded.openedUrls, QStringList(6, AboutWindow::kMakerPage));
  EXPECT_EQ(m_about->isVisible(), true);
}

// Continue starts a main window; the about window deleted during its start-up is no fault.
TEST_F(MenuTest, AboutContinueSurvivesTheWindowGoingDuringStartUp) {
  delete m_window;
  QPointer<AboutWindow> about = m_about;
  MainWindowHooks::Installed().updateLists = [about](MainWindow&) { delete about.data(); };
  about->CloseAbout->click();
  EXPECT_EQ(std::make_pair(about.isNull(), MainWindow::Existing() && MainWindow::Existing()->isVisible()),
            std::make_pair(true, true));
}

// Each opening makes a help window; Close reaches only a help window in front.
TEST_F(MenuTest, CloseReachesTheHelpWindowInFront) {
  m_window->_HelpVelmoraHelp_Action();
  m_window->_HelpVelmoraHelp_Action();
  ASSERT_EQ(Windows<HelpWindow>().size(), 2);
  PressClose(Windows<HelpWindow>().first());
  ASSERT_EQ(Windows<HelpWindow>().size(), 1);
  PressClose(m_window);
  EXPECT_EQ(Windows<HelpWindow>().size(), 1);
}

}  // namespace
