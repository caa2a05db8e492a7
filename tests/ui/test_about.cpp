#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "MainWindowFixture.h"
#include "tools/ui/LinkLabel.h"

namespace {

class AboutTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    StartCountingSaves();
  }
};

// Each link turns red under the pointer on its own and back to blue after; every link
// opens the maker's page and the window stays. The logo shows the whole name.
TEST_F(AboutTest, Links) {
  LinkLabel* links[] = {m_about->StaticText1, m_about->StaticText2, m_about->StaticText7};
  const auto colours = [&] {
    QStringList names;
    for (LinkLabel* link : links) names << link->palette().color(QPalette::WindowText).name();
    return names;
  };
  for (int i = 0; i < 3; ++i) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(links[i], &enter);
    QStringList expected(3, "#001cff");
    expected[i] = "#ff0000";
    EXPECT_EQ(colours(), expected);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(links[i], &leave);
    EXPECT_EQ(colours(), QStringList(3, "#001cff"));
    QTest::mouseClick(links[i], Qt::LeftButton);
  }
  EXPECT_EQ(m_recorded.openedUrls, QStringList(3, AboutWindow::kMakerPage));
  EXPECT_EQ(m_about->isVisible(), true);
  EXPECT_GE(m_about->StaticText5->width(),
            m_about->StaticText5->fontMetrics().horizontalAdvance(m_about->StaticText5->text()));
}

// Continue, the default button, is the one way out: no close box, no Escape.
TEST_F(AboutTest, ReturnPressesContinue) {
  EXPECT_EQ(m_about->windowFlags() & Qt::WindowCloseButtonHint, Qt::WindowFlags());
  m_window->hide();
  m_about->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_about));
  QTest::keyClick(m_about, Qt::Key_Escape);
  EXPECT_TRUE(m_about->isVisible());
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
