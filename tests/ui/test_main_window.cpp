#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include "MainWindowFixture.h"
#include "app/MessageLog.h"
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

  MainWindow* m_window = nullptr;
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

TEST_F(MainWindowTest, SideBarFollowsAMove) {
  m_window->move(m_window->pos() + QPoint(40, 30));
  EXPECT_EQ(m_sideBar->geometry(), QRect(m_window->geometry().x() + 476, m_window->geometry().y(), 170, 370));
}

TEST_F(MainWindowTest, WindowDesign) {
  EXPECT_EQ(m_window->windowTitle(), QString("Velmora"));
  EXPECT_EQ(m_window->maximumSize(), QSize(32000, 32000));
  EXPECT_EQ(m_window->TabPanel1->count(), 3);
  const QStringList tabs = {"Addresses", "Queue", "User Messages"};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(m_window->TabPanel1->tabText(i), tabs[i]);
  EXPECT_EQ(m_window->TabPanel1->currentIndex(), 0);
  EXPECT_EQ(m_window->TabPanel1->toolTip(), QString("Cmd-Shift-Left/Right to cycle."));
  EXPECT_EQ(
      m_window->elist->toolTip(),
      QString("To add email addresses to the list, drag and drop, copy and paste, or select \"New\" from "
              "the \"Addresses\" menu."));
  EXPECT_EQ(m_window->Slug->font().pixelSize(), 12);
  EXPECT_EQ(m_window->QueueStatus->text(), QString("0 addresses"));
  EXPECT_EQ(m_window->StopSending->text(), QString("Stop Sending"));
  EXPECT_FALSE(m_window->StopSending->isDefault());
  EXPECT_EQ(m_window->RandRate->text(), QString("Random"));
  EXPECT_FALSE(m_window->RandRate->isChecked());
  EXPECT_EQ(m_window->ProgressBar1->maximum(), 100);
  EXPECT_EQ(m_window->ProgressBar1->value(), 0);
}

TEST_F(MainWindowTest, ListsAndSliders) {
  const platform::ListModel* e = m_window->elist->Model();
  EXPECT_EQ(e->columnCount(), 2);
  EXPECT_EQ(e->Heading(0), QString("Address"));
  EXPECT_EQ(e->Heading(1), QString("Mailings"));
  EXPECT_EQ(m_window->elist->columnWidth(0), 200);
  const platform::ListModel* q = m_window->CheckList->Model();
  EXPECT_EQ(q->columnCount(), 4);
  const QStringList headings = {"Address", "Mailing", "Format", "Status"};
  for (int c = 0; c < 4; ++c) EXPECT_EQ(q->Heading(c), headings[c]);
  EXPECT_EQ(m_window->UserMessages->selectionMode(), QAbstractItemView::SingleSelection);

  struct Slider {
    QSlider* slider;
    int maximum, pageStep;
  };
  for (const Slider& s : {Slider{m_window->Rate, 5, 20}, Slider{m_window->RatePer, 180, 10}}) {
    EXPECT_EQ(s.slider->minimum(), 1);
    EXPECT_EQ(s.slider->maximum(), s.maximum);
    EXPECT_EQ(s.slider->value(), 1);
    EXPECT_EQ(s.slider->singleStep(), 1);
    EXPECT_EQ(s.slider->pageStep(), s.pageStep);
    EXPECT_TRUE(s.slider->hasTracking());
  }
}

TEST_F(MainWindowTest, TimersAndToolbar) {
  EXPECT_EQ(m_window->SaveTimer->interval(), 300000);
  EXPECT_EQ(m_window->SendTimer->interval(), 1000);
  EXPECT_TRUE(m_window->SaveTimer->isActive());
  EXPECT_TRUE(m_window->SendTimer->isActive());
  EXPECT_FALSE(m_window->SaveTimer->isSingleShot());
  const QStringList captions = {"Send", "Delete", "Sort"};
  for (int i = 0; i < 3; ++i) {
    QAction* item = m_window->ToolbarItem1[i];
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), captions[i]);
    EXPECT_EQ(item->objectName(), QString("ToolbarItem1"));
    EXPECT_EQ(item->property("index").toInt(), i);
    EXPECT_TRUE(item->isEnabled());
    EXPECT_FALSE(item->icon().isNull());
  }
}

TEST_F(MainWindowTest, TabsShowTheirOwnControls) {
  const std::vector<std::pair<int, QStringList>> tabs = {
      {0, {"elist"}},
      {1, {"CheckList", "StopSending", "ProgressBar1", "QueueStatus", "Rate", "RatePer", "RandRate"}},
      {2, {"UserMessages"}},
  };
  const QStringList all = {"elist", "CheckList", "StopSending", "ProgressBar1", "QueueStatus",
                           "Rate",  "RatePer",   "RandRate",    "UserMessages"};
  for (const auto& [tab, shown] : tabs) {
    m_window->TabPanel1->setCurrentIndex(tab);
    for (const QString& name : all) {
      EXPECT_EQ(Control(name)->isVisible(), shown.contains(name))
          << "tab " << tab << " " << name.toStdString();
    }
    EXPECT_TRUE(m_window->Slug->isVisible());
  }
}

TEST_F(MainWindowTest, EveryControlHasANameAndAnAccessibleName) {
  for (const char* name : {"TabPanel1", "elist", "Slug", "CheckList", "StopSending", "ProgressBar1",
                           "QueueStatus", "UserMessages", "Rate", "RatePer", "RandRate"}) {
    QWidget* control = Control(name);
    ASSERT_NE(control, nullptr) << name;
    EXPECT_FALSE(control->accessibleName().isEmpty()) << name;
  }
  EXPECT_EQ(m_window->accessibleName(), QString("Velmora"));
  EXPECT_EQ(m_window->StopSending->accessibleName(), QString("Stop Sending"));
}

TEST_F(MainWindowTest, SetSlugLogsNewestFirst) {
  app::MessageLog& log = m_window->UserMessagesLog();
  const int before = log.Count();
  m_window->SetSlug("first");
  m_window->SetSlug("second");
  EXPECT_EQ(m_window->Slug->text(), QString("second"));
  ASSERT_EQ(log.Count(), before + 2);
  EXPECT_EQ(log.Row(0), Logged("second"));
  EXPECT_EQ(log.Row(1), Logged("first"));
  EXPECT_EQ(m_window->UserMessages->model()->data(m_window->UserMessages->model()->index(0, 0)).toString(),
            Logged("second"));
  // Nothing selected by a report.
  EXPECT_FALSE(m_window->UserMessages->selectionModel()->hasSelection());
}

TEST_F(MainWindowTest, SetSlugKeepsTheTextAsGiven) {
  m_window->SetSlug("");
  EXPECT_EQ(m_window->Slug->text(), QString());
  EXPECT_EQ(m_window->UserMessagesLog().Row(0), Logged(""));
  const QString longText = QString("x").repeated(2000) + "  ";
  m_window->SetSlug(longText);
  EXPECT_EQ(m_window->Slug->text(), longText);
  EXPECT_EQ(m_window->Slug->width(), 600);
  EXPECT_EQ(m_window->UserMessagesLog().Row(0), Logged(longText));
}

TEST_F(MainWindowTest, AcceptsDroppedTextAndEveryFile) {
  QMimeData text;
  text.setText("someone@example.com");
  EXPECT_TRUE(m_window->AcceptsDrop(text));
  QMimeData file;
  file.setUrls({QUrl::fromLocalFile("/tmp/anything.bin")});
  EXPECT_TRUE(m_window->AcceptsDrop(file));
  QMimeData image;
  image.setImageData(QImage(1, 1, QImage::Format_RGB32));
  EXPECT_FALSE(m_window->AcceptsDrop(image));
}

}  // namespace
