#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "MainWindowFixture.h"
#include "support/TestSupport.h"
#include "tools/ui/LinkLabel.h"

namespace {

const QColor kBlue(0, 28, 255);
const QColor kRed(255, 0, 0);

class AboutTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    StartCountingSaves();
  }

  static QColor ColorOf(QLabel* label) { return label->palette().color(QPalette::WindowText); }

  static void Enter(QWidget* w) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(w, &enter);
  }
  static void Leave(QWidget* w) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(w, &leave);
  }
};

// A fixed window with no close box (Continue is the way out), and a logo that shows the
// whole name.
TEST_F(AboutTest, WindowDesign) {
  EXPECT_EQ(m_about->windowTitle(), QString("About Velmora"));
  EXPECT_EQ(m_about->minimumSize(), m_about->maximumSize());
  EXPECT_EQ(m_about->windowFlags() &
                (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
            Qt::WindowFlags());
  EXPECT_EQ(m_about->CloseAbout->text(), QString("Continue"));
  EXPECT_GE(m_about->StaticText5->width(),
            m_about->StaticText5->fontMetrics().horizontalAdvance(m_about->StaticText5->text()));
}

// Each link turns red under the pointer on its own and back to blue after; every link
// opens the maker's page and the window stays.
TEST_F(AboutTest, Links) {
  LinkLabel* links[] = {m_about->StaticText1, m_about->StaticText2, m_about->StaticText7};
  for (LinkLabel* hovered : links) {
    Enter(hovered);
    for (LinkLabel* link : links) {
      EXPECT_EQ(ColorOf(link), link == hovered ? kRed : kBlue) << link->objectName().toStdString();
    }
    Leave(hovered);
    EXPECT_EQ(ColorOf(hovered), kBlue);
    QTest::mouseClick(hovered, Qt::LeftButton);
  }
  EXPECT_EQ(m_recorded.openedUrls,
            QStringList({AboutWindow::kMakerPage, AboutWindow::kMakerPage, AboutWindow::kMakerPage}));
  EXPECT_EQ(AboutWindow::kMakerPage.startsWith("https://"), true);
  EXPECT_EQ(m_about->isVisible(), true);
}

TEST_F(AboutTest, ReturnPressesContinue) {
  m_window->hide();
  m_about->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_about));
  QTest::keyClick(m_about, Qt::Key_Escape);
  EXPECT_TRUE(m_about->isVisible());  // Continue is the one way out
  QTest::keyClick(m_about, Qt::Key_Return);
  EXPECT_TRUE(testing_support::WaitUntil([&] { return m_about.isNull(); }));
  EXPECT_TRUE(m_window->isVisible());
  EXPECT_EQ(MainWindow::Existing(), m_window);
}

// Continue without a main window starts one, whose start-up yields: the about window
// closed and deleted meanwhile (by the window manager) is no fault.
TEST_F(AboutTest, ContinueSurvivesTheWindowGoingDuringStartUp) {
  delete m_window;
  QPointer<AboutWindow> about = m_about;
  MainWindowHooks::Installed().updateLists = [about](MainWindow&) { delete about.data(); };
  about->CloseAbout->click();
  EXPECT_EQ(about.isNull(), true);
  ASSERT_NE(MainWindow::Existing(), nullptr);
  EXPECT_EQ(MainWindow::Existing()->isVisible(), true);
}

}  // namespace
