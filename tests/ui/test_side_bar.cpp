#include <gtest/gtest.h>

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
      done(true);
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

  QTemporaryDir m_dir;
  QString lastopen;
  QStringList opened;
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

// The keyboard's button shows its focus; the arrows stop at the column's ends.
TEST_F(SideBarTest, KeyboardFocusShowsAndStopsAtTheEnds) {
  Touch("Clients");
  Touch("Friends");
  lastopen = "Friends";
  bar->UpdateLists();
  bar->show();
  bar->TakeKeyboard();  // as F6 gives it
  ASSERT_TRUE(QTest::qWaitForWindowActive(bar.get()));
  const std::vector<FolderButton*> buttons = bar->Buttons();
  const QImage focusedLook = buttons[1]->grab().toImage();
  QTest::keyClick(buttons[1], Qt::Key_Down);
  EXPECT_EQ(QApplication::focusWidget(), buttons[1]);
  QTest::keyClick(buttons[1], Qt::Key_Up);
  EXPECT_EQ(std::make_pair(QApplication::focusWidget(), buttons[1]->grab().toImage() != focusedLook),
            std::make_pair(static_cast<QWidget*>(buttons[0]), true));
}

// Many lists: a rebuild leaves no old button, a release outside a button opens nothing, and
// a click clears every other mark.
TEST_F(SideBarTest, ManyLists) {
  for (int i = 0; i < 130; ++i) Touch(QString("L%1").arg(i, 3, 10, QChar('0')));
  lastopen = "L120";
  bar->UpdateLists();
  bar->UpdateLists();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(std::make_tuple(bar->CountFolderButtons(), bar->findChildren<FolderButton*>().size()),
            std::make_tuple(130, 130));

  bar->show();
  FolderButton* first = bar->Buttons().front();
  QTest::mousePress(first, Qt::LeftButton, {}, QPoint(3, 3));
  QTest::mouseRelease(first, Qt::LeftButton, {}, QPoint(3, 40));
  EXPECT_EQ(opened, QStringList{});
  QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_EQ(opened + Names().filter("*"), QStringList({"L000", "L000*"}));
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
