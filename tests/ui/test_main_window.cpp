#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

#include "MainWindowFixture.h"
#include "app/MessageLog.h"
#include "app/ui/LogView.h"

namespace {

class MainWindowTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    MainWindowHooks::Installed().createSideBar = [this](MainWindow&) -> QWidget* {
      m_sideBar = new QWidget;
      m_sideBar->show();
      return m_sideBar;
    };
    m_window = MainWindow::Instance();
  }
  void TearDown() override {
    delete m_sideBar;
    MainWindowFixture::TearDown();
  }

  QPointer<QWidget> m_sideBar;
};

// Every control follows the window's size, down to the smallest size; the side bar keeps
// to the window's right edge.
TEST_F(MainWindowTest, ControlsFollowTheWindowSize) {
  m_window->SetSize(200, 100);
  QStringList bounds;
  for (const char* name : {"TabPanel1", "elist", "UserMessages", "CheckList", "StopSending", "ProgressBar1",
                           "QueueStatus", "Rate", "RatePer", "RandRate", "Slug"}) {
    const QRect r = m_window->findChild<QWidget*>(name)->geometry();
    bounds << QString::asprintf("%s %d %d %d %d", name, r.x(), r.y(), r.width(), r.height());
  }
  EXPECT_EQ(bounds,
            QStringList({"TabPanel1 5 5 290 220", "elist 5 35 290 190", "UserMessages 5 35 290 190",
                         "CheckList 5 35 290 140", "StopSending 12 180 99 16", "ProgressBar1 123 184 100 12",
                         "QueueStatus 233 182 230 16", "Rate 12 205 149 14", "RatePer 173 205 149 14",
                         "RandRate 334 200 80 20", "Slug 5 230 600 15"}));
  m_window->move(m_window->pos() + QPoint(40, 30));
  EXPECT_EQ(m_sideBar->geometry(), QRect(m_window->geometry().topLeft() + QPoint(301, 0), QSize(170, 250)));
}

// Each tab shows its own controls; the autosave and the send queue's pace run from the start.
TEST_F(MainWindowTest, TabsShowTheirOwnControlsAndTimersRun) {
  const QStringList tabs[] = {
      {"elist"},
      {"CheckList", "StopSending", "ProgressBar1", "QueueStatus", "Rate", "RatePer", "RandRate"},
      {"UserMessages"},
  };
  for (int tab = 0; tab < 3; ++tab) {
    m_window->TabPanel1->setCurrentIndex(tab);
    QStringList shown;
    for (const QString& name : tabs[0] + tabs[1] + tabs[2] + QStringList{"Slug"})
      if (m_window->findChild<QWidget*>(name)->isVisible()) shown << name;
    EXPECT_EQ(shown, tabs[tab] + QStringList{"Slug"});
  }
  EXPECT_EQ(std::make_pair(m_window->SaveTimer->isActive(), m_window->SendTimer->isActive()),
            std::make_pair(true, true));
}

// Text and any file are taken; other data is not.
TEST_F(MainWindowTest, AcceptsDroppedTextAndEveryFile) {
  QMimeData text, file, image;
  text.setText("someone@example.com");
  file.setUrls({QUrl::fromLocalFile("/tmp/anything.bin")});
  image.setImageData(QImage(1, 1, QImage::Format_RGB32));
  EXPECT_EQ(
      QList<bool>({m_window->AcceptsDrop(text), m_window->AcceptsDrop(file), m_window->AcceptsDrop(image)}),
      QList<bool>({true, true, false}));
}

// One row at most is selected, the selection stays on its text as reports come in, and
// the scroll range follows the rows without scrolling.
TEST(LogViewTest, SelectionAndScrollRange) {
  app::MessageLog log;
  LogView view;
  view.resize(300, 100);
  view.SetModel(&log);
  for (const char* text : {"a", "b", "c"}) log.InsertAtTop(text);  // rows: c b a
  view.show();
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(5, view.RowHeight() + 1));
  ASSERT_EQ(view.SelectedRow(), 1);
  log.InsertAtTop("d");  // rows: d c b a
  EXPECT_EQ(log.Row(view.SelectedRow()), QString("b"));
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(5, 1));
  EXPECT_EQ(view.SelectedRow(), 0);
  QTest::keyClick(&view, Qt::Key_End);
  EXPECT_EQ(view.SelectedRow(), 3);
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(5, 90));
  EXPECT_EQ(view.SelectedRow(), -1);  // below the last row

  for (int i = 0; i < 1000; ++i) log.InsertAtTop(QString::number(i));
  QApplication::processEvents();
  EXPECT_EQ(view.verticalScrollBar()->maximum(), 1004 - view.viewport()->height() / view.RowHeight());
  EXPECT_EQ(view.TopRow(), 0);
}

}  // namespace
