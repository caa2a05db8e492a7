#include <QAction>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

#include "MainWindowFixture.h"
#include "app/ui/Menu.h"
#include "platform/ui/Listbox.h"
#include "tools/ui/HelpWindow.h"

namespace {

class HelpWindowTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    StartCountingSaves();
  }
  void TearDown() override {
    for (HelpWindow* help : HelpWindows()) delete help;
    MainWindowFixture::TearDown();
  }
  static QList<HelpWindow*> HelpWindows() {
    QList<HelpWindow*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* help = qobject_cast<HelpWindow*>(w); help && help->isVisible()) found.append(help);
    }
    return found;
  }
  static void BringToFront(QWidget* window) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    Menu::Instance().UpdateEnabling();
  }
  void OpenHelp() {
    BringToFront(m_window);
    m_window->HelpVelmoraHelp()->trigger();
  }
  // Cmd+W, as the user closes the window in front.
  static void PressClose(QWidget* front) {
    QTest::keyClick(front, Qt::Key_W, Qt::ControlModifier);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
};

// Every opening makes a window of its own; Close reaches only the help window in front,
// and nothing with the main window in front.
TEST_F(HelpWindowTest, CloseReachesTheHelpWindowInFront) {
  OpenHelp();
  OpenHelp();
  ASSERT_EQ(HelpWindows().size(), 2);
  BringToFront(HelpWindows().first());
  EXPECT_EQ(m_window->FileClose()->isEnabled(), true);
  EXPECT_EQ(m_window->FileSave()->isEnabled(), false);
  PressClose(HelpWindows().first());
  ASSERT_EQ(HelpWindows().size(), 1);
  BringToFront(m_window);
  PressClose(m_window);
  EXPECT_EQ(HelpWindows().size(), 1);
}

// The tab panel, the text and the table follow the window's size.
TEST_F(HelpWindowTest, ResizeRule) {
  auto* help = new HelpWindow();
  help->OpenInFront();
  EXPECT_EQ(QSize(help->Width(), help->Height()), QSize(667, 587));
  for (const auto& [window, panel, inner] : {std::tuple{QSize(700, 600), QSize(684, 488), QSize(674, 448)},
                                             std::tuple{QSize(100, 130), QSize(84, 18), QSize(74, 0)}}) {
    help->SetSize(window.width(), window.height());
    EXPECT_EQ(help->TabPanel1->size(), panel);
    EXPECT_EQ(help->EditField1->size(), inner);
    EXPECT_EQ(help->ListBox1->size(), inner);
  }
}

}  // namespace
