#include <gtest/gtest.h>

#include <QResizeEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>

#include "lists/ui/FolderButton.h"
#include "lists/ui/SideBarWindow.h"
#include "platform/EventLoop.h"
#include "support/TestSupport.h"

namespace {

class SideBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SideBarWindow::Host host;
    host.database = [this] { return platform::FolderItem(m_dir.path()); };
    host.lastopen = [this] { return lastopen; };
    host.openDatabase = [this](const QString& name, const std::function<void(bool)>& done) {
      opened.append(name);
      done(leaves);
    };
    bar = std::make_unique<SideBarWindow>(host);
    bar->resize(170, 382);
  }
  void Touch(const QString& name) { testing_support::WriteAll(m_dir.path() + "/" + name, ""); }
  // The buttons' names in order, the selected one marked with a star.
  QStringList Names() const {
    QStringList names;
    for (FolderButton* b : bar->Buttons()) names.append(b->FolderName + (b->Selected ? "*" : ""));
    return names;
  }
  int TopOf(int place) const { return bar->Buttons().at(place)->y(); }

  QTemporaryDir m_dir;
  QString lastopen;
  QStringList opened;
  bool leaves = true;  // whether an open leaves the open list
  std::unique_ptr<SideBarWindow> bar;
};

// Every entry but the program's own files is a button; the last list opened is marked.
TEST_F(SideBarTest, ButtonsForListsOnly) {
  for (const char* name : {"Preferences", "LastDatabase", ".DS_Store", ".ds_store", "Trash", "News",
                           "velmorastoredemails", ".News.velmora-save-k3j.tmp"})
    Touch(name);
  QDir(m_dir.path()).mkdir("Sub");
  for (const auto& [last, news] : {std::pair{"News", "News*"}, std::pair{"Gone", "News"}}) {
    lastopen = last;
    bar->UpdateLists();
    EXPECT_EQ(Names(), (QStringList{".ds_store", news, "Sub", "Trash"}));
  }
}

// Many lists: a rebuild leaves no old button, scrolling shifts the column, a release outside
// a button opens nothing, and a click clears every other mark unless the switch is refused.
TEST_F(SideBarTest, ManyLists) {
  for (int i = 0; i < 130; ++i) Touch(QString("L%1").arg(i, 3, 10, QChar('0')));
  lastopen = "L120";
  bar->UpdateLists();
  bar->UpdateLists();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(std::make_tuple(bar->CountFolderButtons(), bar->findChildren<FolderButton*>().size()),
            std::make_tuple(130, 130));

  // Scrolled, the column stays when the window is activated (which focuses its first button)
  // or resized to the size it has.
  bar->show();
  const int top = TopOf(0);
  bar->ScrollBar1->setValue(3);
  bar->activateWindow();
  ASSERT_TRUE(testing_support::WaitUntil([&] { return bar->isActiveWindow(); }));
  QResizeEvent same(bar->size(), bar->size());
  QApplication::sendEvent(bar.get(), &same);
  EXPECT_EQ(std::make_pair(TopOf(3), bar->ScrollBar1->value()), std::make_pair(top, 3));
  bar->ScrollBar1->setValue(0);

  FolderButton* first = bar->Buttons().front();
  QTest::mousePress(first, Qt::LeftButton, {}, QPoint(3, 3));
  QTest::mouseRelease(first, Qt::LeftButton, {}, QPoint(3, 40));
  EXPECT_EQ(opened, QStringList{});
  QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_EQ(opened + Names().filter("*"), QStringList({"L000", "L000*"}));
  leaves = false;  // the open list could not be saved, and stays
  QTest::mouseClick(bar->Buttons().at(1), Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_EQ(opened + Names().filter("*"), QStringList({"L000", "L001", "L000*"}));
}

// A rebuild asked for while another yields wins, even when it finds no list at all.
TEST_F(SideBarTest, LaterRebuildWins) {
  Touch("A");
  testing_support::YieldEveryStep yielding;
  bool rebuilt = false;
  QTimer::singleShot(0, [&] {
    QFile::remove(m_dir.path() + "/A");
    bar->UpdateLists();
    rebuilt = true;
  });
  bar->UpdateLists();
  EXPECT_EQ(rebuilt, true);
  EXPECT_EQ(Names(), QStringList{});
}

}  // namespace
