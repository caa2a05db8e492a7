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
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* help = qobject_cast<HelpWindow*>(w); help && help->isVisible()) found.append(help);
    return found;
  }
  // Brings the window to the front and presses Cmd+W there, as the user closes it.
  static void PressClose(QWidget* front) {
    front->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(front));
    Menu::Instance().UpdateEnabling();
    QTest::keyClick(front, Qt::Key_W, Qt::ControlModifier);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
};

// Every opening makes a window of its own; Close reaches only the help window in front,
// and nothing with the main window in front.
TEST_F(HelpWindowTest, CloseReachesTheHelpWindowInFront) {
  m_window->_HelpVelmoraHelp_Action();
  m_window->_HelpVelmoraHelp_Action();
  ASSERT_EQ(HelpWindows().size(), 2);
  PressClose(HelpWindows().first());
  ASSERT_EQ(HelpWindows().size(), 1);
  PressClose(m_window);
  EXPECT_EQ(HelpWindows().size(), 1);
}

// The tab panel, the text and the table follow the window's size, down to nothing.
TEST_F(HelpWindowTest, ResizeRule) {
  auto* help = new HelpWindow();
  help->OpenInFront();
  EXPECT_EQ(QSize(help->Width(), help->Height()), QSize(667, 587));
  for (const auto& [window, panel, inner] : {std::tuple{QSize(700, 600), QSize(684, 488), QSize(674, 448)},
                                             std::tuple{QSize(100, 130), QSize(84, 18), QSize(74, 0)}}) {
    help->SetSize(window.width(), window.height());
    EXPECT_EQ(QList<QSize>({help->TabPanel1->size(), help->EditField1->size(), help->ListBox1->size()}),
              QList<QSize>({panel, inner, inner}));
  }
}

}  // namespace
