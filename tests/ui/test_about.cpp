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

// A fixed window with no close box: Continue is the way out.
TEST_F(AboutTest, WindowDesign) {
  EXPECT_EQ(m_about->windowTitle(), QString("About Velmora"));
  EXPECT_EQ(m_about->size(), QSize(480, 366));
  EXPECT_EQ(m_about->minimumSize(), m_about->maximumSize());
  EXPECT_EQ(m_about->windowFlags() &
                (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
            Qt::WindowFlags());
  EXPECT_EQ(m_about->CloseAbout->text(), QString("Continue"));
}

// The texts and colours the user sees; the links start blue.
TEST_F(AboutTest, Labels) {
  const std::tuple<const char*, QColor, QString> labels[] = {
      {"StaticText1", kBlue, "Harlock"},
      {"StaticText2", kBlue, "Development"},
      {"StaticText4", Qt::black, "v2.9.5"},
      {"StaticText6", Qt::black,
       "Manage all those email addresses in your text files!  Just drag and drop from your text files or "
       "your "
       "web browser into Velmora and the email addresses will be stripped out and added to your emailing "
       "list.\n\nWritten in September, 2002, Updated in May, 2004."},
      {"StaticText7", kBlue, AboutWindow::kMakerPage},
      {"StaticText3", kRed, "V"},
      {"StaticText5", Qt::black, "elmora"},
  };
  for (const auto& [name, color, text] : labels) {
    auto* label = m_about->findChild<QLabel*>(name);
    ASSERT_NE(label, nullptr) << name;
    EXPECT_EQ(ColorOf(label), color) << name;
    EXPECT_EQ(label->text(), text) << name;
  }
  // The logo may grow rightwards so the whole name shows.
  EXPECT_GE(m_about->StaticText5->width(),
            m_about->StaticText5->fontMetrics().horizontalAdvance(m_about->StaticText5->text()));
}

TEST_F(AboutTest, LinksTurnRedUnderThePointerEachOnItsOwn) {
  LinkLabel* links[] = {m_about->StaticText1, m_about->StaticText2, m_about->StaticText7};
  for (LinkLabel* hovered : links) {
    Enter(hovered);
    for (LinkLabel* link : links) {
      EXPECT_EQ(ColorOf(link), link == hovered ? kRed : kBlue) << link->objectName().toStdString();
    }
    Leave(hovered);
    EXPECT_EQ(ColorOf(hovered), kBlue);
  }
}

TEST_F(AboutTest, EveryLinkOpensTheSamePageAndTheWindowStays) {
  for (LinkLabel* link : {m_about->StaticText1, m_about->StaticText2, m_about->StaticText7}) {
    QTest::mouseClick(link, Qt::LeftButton);
  }
  EXPECT_EQ(m_recorded.openedUrls,
            QStringList({AboutWindow::kMakerPage, AboutWindow::kMakerPage, AboutWindow::kMakerPage}));
  EXPECT_TRUE(m_about->isVisible());
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

TEST_F(AboutTest, QuitWithoutAMainWindowCreatesNone) {
  delete m_window;
  m_about->_FileQuit_Action();
  EXPECT_EQ(MainWindow::Existing(), nullptr);
  EXPECT_EQ(m_saves, 0);
  EXPECT_EQ(m_quits, 1);
}

}  // namespace
