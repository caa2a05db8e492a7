#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "MainWindowFixture.h"
#include "app/MessageLog.h"
#include "app/ui/LogView.h"
#include "platform/ui/Listbox.h"

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

  QWidget* Control(const QString& name) const { return m_window->findChild<QWidget*>(name); }

  QPointer<QWidget> m_sideBar;
};

struct Bounds {
  const char* control;
  QRect rect;
};

void ExpectBounds(MainWindow* w, const std::vector<Bounds>& table) {
  for (const Bounds& b : table) {
    QWidget* control = w->findChild<QWidget*>(b.control);
    ASSERT_NE(control, nullptr) << b.control;
    EXPECT_EQ(control->geometry(), b.rect) << b.control;
  }
}

TEST_F(MainWindowTest, LayoutAfterStartUp) {
  ASSERT_EQ(m_window->Width(), 475);
  ASSERT_EQ(m_window->Height(), 370);
  ExpectBounds(m_window, {
                             {"TabPanel1", {5, 5, 465, 340}},
                             {"elist", {5, 35, 465, 310}},
                             {"UserMessages", {5, 35, 465, 310}},
                             {"CheckList", {5, 35, 465, 260}},
                             {"StopSending", {12, 300, 99, 16}},
                             {"ProgressBar1", {123, 304, 100, 12}},
                             {"QueueStatus", {233, 302, 230, 16}},
                             {"Rate", {12, 325, 149, 14}},
                             {"RatePer", {173, 325, 149, 14}},
                             {"RandRate", {334, 320, 80, 20}},
                             {"Slug", {5, 350, 600, 15}},
                         });
  EXPECT_EQ(m_sideBar->geometry(), QRect(m_window->geometry().x() + 476, m_window->geometry().y(), 170, 370));
  // The side bar follows a move.
  m_window->move(m_window->pos() + QPoint(40, 30));
  EXPECT_EQ(m_sideBar->geometry(), QRect(m_window->geometry().x() + 476, m_window->geometry().y(), 170, 370));
}

TEST_F(MainWindowTest, LayoutAtTheMinimumSize) {
  m_window->SetSize(300, 250);
  ASSERT_EQ(m_window->Width(), 300);
  ASSERT_EQ(m_window->Height(), 250);
  ExpectBounds(m_window, {
                             {"TabPanel1", {5, 5, 290, 220}},
                             {"elist", {5, 35, 290, 190}},
                             {"CheckList", {5, 35, 290, 140}},
                             {"StopSending", {12, 180, 99, 16}},
                             {"Slug", {5, 230, 600, 15}},
                         });
  EXPECT_EQ(m_sideBar->geometry().size(), QSize(170, 250));
  // Not smaller than that.
  m_window->SetSize(200, 100);
  EXPECT_EQ(m_window->Width(), 300);
  EXPECT_EQ(m_window->Height(), 250);
}

// The tabs and columns the user reads, and the figures that set the pace and the autosave.
TEST_F(MainWindowTest, WindowDesign) {
  EXPECT_EQ(m_window->windowTitle(), QString("Velmora"));
  const QStringList tabs = {"Addresses", "Queue", "User Messages"};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(m_window->TabPanel1->tabText(i), tabs[i]);
  EXPECT_EQ(m_window->TabPanel1->currentIndex(), 0);
  QStringList headings;
  for (const platform::Listbox* list : {m_window->elist, m_window->CheckList}) {
    for (int c = 0; c < list->Model()->columnCount(); ++c) headings << list->Model()->Heading(c);
  }
  EXPECT_EQ(headings, QStringList({"Address", "Mailings", "Address", "Mailing", "Format", "Status"}));
  for (auto [slider, maximum] : {std::pair{m_window->Rate, 5}, std::pair{m_window->RatePer, 180}}) {
    EXPECT_EQ(std::tuple(slider->minimum(), slider->maximum(), slider->value()), std::tuple(1, maximum, 1));
  }
  EXPECT_EQ(m_window->SaveTimer->interval(), 300000);
  EXPECT_EQ(m_window->SendTimer->interval(), 1000);
  EXPECT_EQ(m_window->SaveTimer->isActive() && m_window->SendTimer->isActive(), true);
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(m_window->ToolbarItem1[i], nullptr);
    EXPECT_EQ(m_window->ToolbarItem1[i]->text(), QStringList({"Send", "Delete", "Sort"}).at(i));
    EXPECT_EQ(m_window->ToolbarItem1[i]->property("index").toInt(), i);
  }
}

TEST_F(MainWindowTest, TabsShowTheirOwnControls) {
  const QStringList tabs[] = {
      {"elist"},
      {"CheckList", "StopSending", "ProgressBar1", "QueueStatus", "Rate", "RatePer", "RandRate"},
      {"UserMessages"},
  };
  for (int tab = 0; tab < 3; ++tab) {
    m_window->TabPanel1->setCurrentIndex(tab);
    for (const QString& name : tabs[0] + tabs[1] + tabs[2]) {
      EXPECT_EQ(Control(name)->isVisible(), tabs[tab].contains(name))
          << "tab " << tab << " " << name.toStdString();
    }
    EXPECT_EQ(m_window->Slug->isVisible(), true);
  }
}

// The text as given, however long or empty, newest first in the log; nothing selected or
// scrolled by a report.
TEST_F(MainWindowTest, SetSlugLogsNewestFirst) {
  app::MessageLog& log = m_window->UserMessagesLog();
  const int before = log.Count();
  const QString longText = QString("x").repeated(2000) + "  ";
  for (const QString& text : {QString("first"), QString(), longText}) m_window->SetSlug(text);
  EXPECT_EQ(m_window->Slug->text(), longText);
  EXPECT_EQ(m_window->Slug->width(), 600);
  ASSERT_EQ(log.Count(), before + 3);
  EXPECT_EQ(log.Row(0), Logged(longText));
  EXPECT_EQ(log.Row(1), Logged(""));
  EXPECT_EQ(log.Row(2), Logged("first"));
  EXPECT_EQ(m_window->UserMessages->Model()->data(m_window->UserMessages->Model()->index(0, 0)).toString(),
            Logged(longText));
  EXPECT_EQ(m_window->UserMessages->SelectedRow(), -1);
  EXPECT_EQ(m_window->UserMessages->TopRow(), 0);
}

// Text and any file are taken; other data is not.
TEST_F(MainWindowTest, AcceptsDroppedTextAndEveryFile) {
  QMimeData text, file, image;
  text.setText("someone@example.com");
  file.setUrls({QUrl::fromLocalFile("/tmp/anything.bin")});
  image.setImageData(QImage(1, 1, QImage::Format_RGB32));
  EXPECT_EQ(m_window->AcceptsDrop(text), true);
  EXPECT_EQ(m_window->AcceptsDrop(file), true);
  EXPECT_EQ(m_window->AcceptsDrop(image), false);
}

// One row at most is selected, the selection stays on its text as reports come in, and
// the scroll range follows the rows.
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
  EXPECT_EQ(view.SelectedRow(), 2);
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
