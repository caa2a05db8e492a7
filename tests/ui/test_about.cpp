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

TEST_F(AboutTest, WindowDesign) {
  EXPECT_EQ(m_about->windowTitle(), QString("About Velmora"));
  EXPECT_EQ(m_about->accessibleName(), QString("About Velmora"));
  EXPECT_EQ(m_about->size(), QSize(480, 366));
  EXPECT_EQ(m_about->minimumSize(), m_about->maximumSize());
  EXPECT_FALSE(m_about->windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(m_about->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(m_about->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(m_about->CloseAbout->isDefault());
  EXPECT_TRUE(m_about->CloseAbout->isEnabled());
  EXPECT_EQ(m_about->CloseAbout->text(), QString("Continue"));
  EXPECT_EQ(m_about->CloseAbout->geometry(), QRect(398, 5, 74, 20));
}

TEST_F(AboutTest, LabelsInCreationOrder) {
  struct Label {
    const char* name;
    QRect bounds;
    int pixelSize;
    QColor color;
    QString text;
  };
  const std::vector<Label> labels = {
      {"StaticText1", {178, 65, 89, 18}, 20, kBlue, "Harlock"},
      {"StaticText2", {199, 82, 100, 14}, 12, kBlue, "Development"},
      {"StaticText4", {286, 48, 51, 20}, 10, Qt::black, "v2.9.5"},
      {"StaticText6",
       {5, 118, 467, 239},
       12,
       Qt::black,
       "Manage all those email addresses in your text files!  Just drag and drop from your text files or "
       "your "
       "web browser into Velmora and the email addresses will be stripped out and added to your emailing "
       "list.\n\nWritten in September, 2002, Updated in May, 2004."},
      {"StaticText7", {153, 99, 171, 14}, 9, kBlue, AboutWindow::kMakerPage},
      {"StaticText3", {148, 3, 30, 55}, 48, kRed, "V"},
      {"StaticText5", {175, 3, 144, 55}, 48, Qt::black, "elmora"},
  };
  for (const Label& l : labels) {
    auto* label = m_about->findChild<QLabel*>(l.name);
    ASSERT_NE(label, nullptr) << l.name;
    if (l.name == std::string("StaticText5")) {
      // The logo may grow rightwards so the whole name shows.
      EXPECT_EQ(label->pos(), l.bounds.topLeft());
      EXPECT_EQ(label->height(), l.bounds.height());
      EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
    } else {
      EXPECT_EQ(label->geometry(), l.bounds) << l.name;
    }
    EXPECT_EQ(label->font().pixelSize(), l.pixelSize) << l.name;
    EXPECT_EQ(ColorOf(label), l.color) << l.name;
    EXPECT_EQ(label->text(), l.text) << l.name;
    EXPECT_FALSE(label->accessibleName().isEmpty()) << l.name;
  }
  EXPECT_TRUE(AboutWindow::kMakerPage.startsWith("https://www.example.com/"));
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

TEST_F(AboutTest, QuitSavesThenQuits) {
  m_about->_FileQuit_Action();
  EXPECT_EQ(m_saves, 1);
  EXPECT_EQ(m_quits, 1);
}

TEST_F(AboutTest, QuitWithoutAMainWindowCreatesNone) {
  delete m_window;
  m_about->_FileQuit_Action();
  EXPECT_EQ(MainWindow::Existing(), nullptr);
  EXPECT_EQ(m_saves, 0);
  EXPECT_EQ(m_quits, 1);
}

}  // namespace
