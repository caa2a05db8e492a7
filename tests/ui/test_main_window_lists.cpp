#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <chrono>

#include <QTest>

#include "MainWindowFixture.h"
#include "app/MessageLog.h"
#include "lists/ListStore.h"
#include "lists/ui/EditWindow.h"
#include "lists/ui/FolderButton.h"
#include "lists/ui/MLWindow.h"
#include "lists/ui/MainWindowListsSetup.h"
#include "lists/ui/NewAddressWin.h"
#include "lists/ui/SideBarWindow.h"
#include "platform/EventLoop.h"
#include "platform/Text.h"
#include "platform/TextStream.h"
#include "platform/ui/Listbox.h"
#include "support/AddressScannerOracle.h"
#include "support/TestSupport.h"

using testing_support::ReadAll;
using testing_support::WriteAll;
using namespace std::chrono_literals;

namespace {

// The real main window with the address lists' parts installed, started on a Database
// folder that holds the list "Friends" (opened last) and Trash.
class MainWindowListsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    QDir(m_dir.path()).mkdir("Database");
    WriteAll(DatabasePath() + "/Friends", "ann@example.com News(1/2/26) \nbob@example.com \n");
    WriteAll(DatabasePath() + "/Trash", "old@example.com\n");
    WriteAll(DatabasePath() + "/LastDatabase", "Friends");
    lists::ui::InstallMainWindowHooks();
    m_window = MainWindow::Instance();
    platform::SetYieldInterval(0us);
  }
  void TearDown() override {
    platform::SetYieldInterval(2ms);
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<MLWindow*>(w) || qobject_cast<EditWindow*>(w) || qobject_cast<NewAddressWin*>(w))
        delete w;
    }
    MainWindowFixture::TearDown();
  }

  QString Path(const QString& name) const { return DatabasePath() + "/" + name; }
  QStringList Addresses() const {
    QStringList a;
    for (int r = 0; r < m_window->elist->ListCount(); ++r) a.append(m_window->elist->Cell(r, 0));
    return a;
  }
  SideBarWindow* SideBar() const { return qobject_cast<SideBarWindow*>(m_window->SideBar.data()); }
  QStringList SideBarNames() const {
    QStringList names;
    for (FolderButton* b : SideBar()->Buttons()) names.append(b->FolderName + (b->Selected ? "*" : ""));
    return names;
  }
  template <typename T>
  T* Only() const {
    T* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) found = t;
    }
    return found;
  }

  MainWindow* m_window = nullptr;
};

// A drop of a folder (with a sub-folder and an unreadable entry) and a text clip: every
// readable file first, then the clip's addresses, less those already listed in another
// letter case; a save writes them all.
TEST_F(MainWindowListsTest, DropFolderAndTextThenSave) {
  const QString folder = m_dir.path() + "/dropped";
  QDir().mkpath(folder + "/inner");
  WriteAll(folder + "/a.txt", "From: Carl <carl@example.org>\n");
  ASSERT_TRUE(QFile::link(folder + "/missing", folder + "/b-broken"));
  WriteAll(folder + "/inner/c.html", "<p>dora@example.net.</p>");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(folder)});
  data.setText("ANN@example.com and eve@example.com, too");
  m_window->xduplicates = true;
  ASSERT_EQ(m_window->AcceptsDrop(data), true);
  // Straight to the window: the application's event delivery drops a drop event that no
  // real drag started.
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  static_cast<QObject*>(m_window)->event(&drop);
  EXPECT_EQ(Addresses(), (QStringList{"ann@example.com", "bob@example.com", "carl@example.org",
                                      "dora@example.net", "eve@example.com"}));
  EXPECT_EQ(m_window->Changed, true);
  EXPECT_EQ(m_window->Slug->text(), QString("5 addresses"));
  QStringList log;
  for (int r = 0; r < m_window->UserMessagesLog().Count(); ++r) log << m_window->UserMessagesLog().Row(r);
  EXPECT_EQ(log.filter("Could not read the file").size(), 1);
  EXPECT_EQ(log.filter("ANN@example.com already exists in the database.").size(), 1);

  m_window->SaveFile();
  EXPECT_EQ(m_window->Changed, false);
  EXPECT_EQ(
      ReadAll(Path("Friends")),
      QByteArray("ann@example.com News(1/2/26) \nbob@example.com \ncarl@example.org \ndora@example.net \n"
                 "eve@example.com \n"));
}

// A drop adds what AddAddress, done as specified address by address, adds: the same rows,
// the same log rows in the same order and the same status line, though the addresses
// reach the list in batches (of one address when the event loop runs at every step).
TEST_F(MainWindowListsTest, DropAddsWhatAddingOneByOneAdds) {
  QByteArray bytes;
  for (int i = 0; i < 400; ++i) {
    bytes += QString("n%1@Example.com, N%2@example.COM; ann@example.com\n").arg(i).arg(i / 2).toLatin1();
  }
  WriteAll(m_dir.filePath("drop.txt"), bytes);
  m_window->xduplicates = true;
  const QStringList before = Addresses();
  platform::ListModel literal(2);
  QStringList reports;
  for (const QString& address : before) literal.AddRow(address);
  for (const QByteArray& line : bytes.split('\n')) {
    const QString found = oracle::FindEmailsLiterally(QString::fromLatin1(line));
    for (const QString& address : found.isEmpty() ? QStringList() : found.split(' ')) {
      bool exists = false;
      for (int row = literal.ListCount() - 1; row >= 0 && !exists; --row) {
        exists = platform::StrComp(platform::Uppercase(literal.Cell(row, 0)), platform::Uppercase(address),
                                   0) == 0;
      }
      if (!exists) literal.AddRow(address);
      reports << (exists ? address + " already exists in the database."
                         : QString::number(literal.ListCount()) + " addresses");
    }
  }
  reports << QString::number(literal.ListCount()) + " addresses...";
  for (const auto interval : {0ms, 2ms}) {
    platform::SetYieldInterval(interval);
    m_window->elist->DeleteAllRows();
    for (const QString& address : before) m_window->elist->AddRow(address);
    const int logged = m_window->UserMessagesLog().Count();
    m_window->getemailfromfile(platform::FolderItem(m_dir.filePath("drop.txt")));
    QStringList log;
    for (int row = m_window->UserMessagesLog().Count() - logged - 1; row >= 0; --row) {
      log << m_window->UserMessagesLog().Row(row).mid(Logged("").size());
    }
    EXPECT_EQ(log, reports);
    EXPECT_EQ(m_window->Slug->text(), reports.last());
    ASSERT_EQ(m_window->elist->ListCount(), literal.ListCount());
    for (int row = 0; row < literal.ListCount(); ++row)
      EXPECT_EQ(m_window->elist->Cell(row, 0), literal.Cell(row, 0));
  }
}

// A save that fails when the window closes, the program quits or another list opens never
// discards the edits: the user is told and offered Save As, and the list stays open until
// it is saved somewhere.
TEST_F(MainWindowListsTest, FailedSaveKeepsTheListOpen) {
  // The disk that holds Friends is full; other files can be written.
  platform::TextOutputStream::SetDeviceFactoryForTests([](const QString& temp) -> std::unique_ptr<QIODevice> {
    if (QFileInfo(temp).fileName().startsWith(".Friends.")) return nullptr;
    auto file = std::make_unique<QFile>(temp);
    if (!file->open(QIODevice::WriteOnly | QIODevice::NewOnly)) return nullptr;
    return file;
  });
  App::SetQuitForTests({});
  int exits = 0;
  App::SetExitForTests([&] { ++exits; });
  const QByteArray friends = ReadAll(Path("Friends"));
  m_window->elist->AddRow(QString("new@example.com"));
  m_window->Changed = true;
  const std::function<void()> ways[] = {[&] { m_window->close(); }, [] { App::Quit(); },
                                        [&] { m_window->OpenDatabase("Trash"); }};
  for (const auto& leave : ways) {
    m_recorded.messages.clear();
    m_recorded.saveDialogTitles.clear();
    leave();  // the offered Save As is cancelled
    EXPECT_EQ(m_recorded.messages.size(), 1);
    EXPECT_EQ(m_recorded.saveDialogTitles.size(), 1);
    EXPECT_EQ(m_window->isVisible(), true);
    EXPECT_EQ(Addresses().size(), 3);
    EXPECT_EQ(m_window->existingfile.DisplayName(), QString("Friends"));
  }
  EXPECT_EQ(exits, 0);
  EXPECT_EQ(ReadAll(Path("Friends")), friends);

  m_recorded.saveAnswers.append(Path("Friends 2"));
  App::Quit();
  EXPECT_EQ(exits, 1);
  EXPECT_EQ(ReadAll(Path("Friends 2")), friends + "new@example.com \n");
  platform::TextOutputStream::SetDeviceFactoryForTests({});
  App::SetExitForTests({});
}

// An import belongs to the list it started on: a list opened while a drop still adds
// addresses opens once the drop has ended, and the whole drop is in the first list.
TEST_F(MainWindowListsTest, SwitchingListsWaitsForTheImport) {
  QByteArray bytes;
  for (int i = 0; i < 100; ++i) bytes += QString("d%1@example.com\n").arg(i).toLatin1();
  WriteAll(m_dir.filePath("drop.txt"), bytes);
  bool duringImport = false;
  QTimer::singleShot(0, [&] {
    duringImport = m_window->ListFiles().ImportRunning();
    m_window->OpenDatabase("Trash");
  });
  m_window->getemailfromfile(platform::FolderItem(m_dir.filePath("drop.txt")));
  EXPECT_EQ(duringImport, true);
  EXPECT_EQ(Addresses(), QStringList{"old@example.com"});
  EXPECT_EQ(m_window->lastopen, QString("Trash"));
  EXPECT_EQ(ReadAll(Path("Friends")).count('\n'), 102);
}

// The autosave leaves an unchanged file alone; closing the window saves the changes.
TEST_F(MainWindowListsTest, AutosaveAndClose) {
  WriteAll(Path("Friends"), "changed on disk \n");
  m_window->SaveTimer_Action();
  EXPECT_EQ(m_window->Slug->text(), QString("Automatically saving addresses file."));
  EXPECT_EQ(ReadAll(Path("Friends")), QByteArray("changed on disk \n"));
  m_window->elist->AddRow(QString("last@example.com"));
  m_window->Changed = true;
  m_window->close();
  EXPECT_EQ(ReadAll(Path("Friends")).endsWith("bob@example.com \nlast@example.com \n"), true);
}

// Closing the window while a save still writes: the edit made meanwhile is saved before
// the window goes, not dropped with the save that waited for the first.
TEST_F(MainWindowListsTest, CloseDuringSaveSavesTheLaterEdit) {
  std::vector<QStringList> rows;
  for (int i = 0; i < 3000; ++i) rows.push_back({QString("a%1@example.com").arg(i), ""});
  m_window->elist->Model()->AppendRows(std::move(rows));
  m_window->Changed = true;
  QPointer<MainWindow> window(m_window);
  QTimer::singleShot(0, [&] {
    window->elist->AddRow(QString("late@example.com"));
    window->Changed = true;
    window->close();
  });
  m_window->SaveFile();
  EXPECT_EQ(ReadAll(Path("Friends")).endsWith("a2999@example.com \nlate@example.com \n"), true);
  EXPECT_EQ(window.isNull() || !window->isVisible(), true);
}

TEST_F(MainWindowListsTest, KeysReportAndMoveTabs) {
  m_window->Event_KeyDown("a");
  EXPECT_EQ(m_window->Slug->text(), QString("Key down = 97"));
  m_window->Event_KeyDown(QString(QChar(29)));
  EXPECT_EQ(m_window->TabPanel1->currentIndex(), 0);
  m_recorded.command = true;
  m_recorded.shift = true;
  for (int expected : {1, 2, 2}) {
    m_window->Event_KeyDown(QString(QChar(29)));
    EXPECT_EQ(m_window->TabPanel1->currentIndex(), expected);
  }
  m_window->Event_KeyDown(QString(QChar(28)));
  EXPECT_EQ(m_window->TabPanel1->currentIndex(), 1);
}

// A key typed in the list selects by type-ahead there, then reaches the window's echo.
TEST_F(MainWindowListsTest, TypeAheadAndSelectionReport) {
  m_window->elist->DeleteAllRows();
  for (const char* a : {"a@x.com", "b1@x.com", "b2@x.com"}) m_window->elist->AddRow(QString(a));
  m_window->elist->setFocus();
  for (auto modifier : {Qt::ShiftModifier, Qt::NoModifier}) {
    QTest::keyClick(m_window->elist, Qt::Key_B, modifier);
    EXPECT_EQ(m_window->elist->ListIndex(), 1);
  }
  EXPECT_EQ(m_window->Slug->text(), QString("Key down = 98"));
  QTest::keyClick(m_window->elist, Qt::Key_Backspace);
  EXPECT_EQ(Addresses(), (QStringList{"a@x.com", "b2@x.com"}));
  m_window->elist->Model()->SetAllSelected(true);
  EXPECT_EQ(m_window->Slug->text(), QString("2 addresses selected."));
  m_window->elist->Model()->SetAllSelected(false);
  EXPECT_EQ(m_window->Slug->text(), QString("2 addresses selected."));
}

// A key typed while the type-ahead walk for the previous one still yields wins over it.
TEST_F(MainWindowListsTest, TypeAheadLaterKeyWins) {
  std::vector<QStringList> rows;
  for (int i = 0; i < 3000; ++i) rows.push_back({QString("x%1@x.com").arg(i), ""});
  rows.push_back({"a@x.com", ""});
  rows.push_back({"b@x.com", ""});
  m_window->elist->DeleteAllRows();
  m_window->elist->Model()->AppendRows(std::move(rows));
  QTimer::singleShot(0, [&] { m_window->elist_KeyDown("b"); });
  m_window->elist_KeyDown("a");
  EXPECT_EQ(m_window->elist->ListIndex(), 3001);
}

TEST_F(MainWindowListsTest, SideBarFollowsActivation) {
  m_window->Event_Deactivate();
  EXPECT_EQ(SideBar()->isVisible(), false);
  m_window->Event_Activate();
  EXPECT_EQ(SideBar()->isVisible(), true);
}

TEST_F(MainWindowListsTest, EditWindowUpdatesSelectedRow) {
  m_window->elist->SetListIndex(0);
  m_window->elist_DoubleClick();
  EditWindow* edit = Only<EditWindow>();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->Address->text(), QString("ann@example.com"));
  EXPECT_EQ(edit->emaillist->text(), QString("News(1/2/26) "));
  edit->Address->setText("not-an-address");
  edit->PushButton1->click();
  EXPECT_EQ(m_window->elist->Cell(0, 0), QString("not-an-address"));
  EXPECT_EQ(m_window->elist->Cell(0, 1), QString("News(1/2/26) "));
  EXPECT_EQ(m_window->Changed, true);

  // Blanks around a typed address are dropped. What the list file could not give back as
  // typed (empty, a blank or a line end inside) is refused with a message, and the window
  // stays to mend it: stored, the row would come back split, or not at all.
  for (const auto& [typed, stored] : {std::pair{"  ann@example.org ", "ann@example.org"},
                                      {"   ", ""},
                                      {"ann smith@example.org", ""},
                                      {"ann@example.org\nbob@example.org", ""}}) {
    SCOPED_TRACE(typed);
    m_recorded.messages.clear();
    m_window->elist->SetListIndex(0);
    m_window->elist_DoubleClick();
    Only<EditWindow>()->Address->setText(typed);
    Only<EditWindow>()->PushButton1->click();
    EXPECT_EQ(m_window->elist->Cell(0, 0), QString(*stored ? stored : "ann@example.org"));
    EXPECT_EQ(m_window->elist->Cell(0, 1), QString("News(1/2/26) "));
    EXPECT_EQ(m_recorded.messages.size(), *stored ? 0 : 1);
    EXPECT_EQ(Only<EditWindow>() != nullptr, !*stored);
    if (EditWindow* left = Only<EditWindow>()) left->close();
  }
}

// The dialog adds what it finds to the list it was opened for, and tests duplicates in
// that list; opened for no list it reports the fault.
TEST_F(MainWindowListsTest, NewAddressWinTargets) {
  platform::Listbox other(1);
  m_window->xduplicates = true;
  for (platform::Listbox* target : {static_cast<platform::Listbox*>(nullptr), m_window->elist, &other}) {
    auto* win = new NewAddressWin(m_window);
    win->show();
    win->list = target;
    win->emailaddress->setText("Write to zed@example.com. Or ann@example.com");
    win->OK->click();
  }
  EXPECT_EQ(m_recorded.messages, QStringList{"Error in the NewAddressWin - contact HarlockDevelopment."});
  EXPECT_EQ(Addresses(), (QStringList{"ann@example.com", "bob@example.com", "zed@example.com"}));
  EXPECT_EQ(m_window->Changed, true);
  EXPECT_EQ(other.ListCount(), 2);
}

// A new list takes the first free name of the series, opens empty and joins the side bar.
TEST_F(MainWindowListsTest, NewMailingListSeries) {
  WriteAll(Path("News"), "");
  WriteAll(Path("News.1"), "");
  m_window->_MailingListsNewMailingList_Action();
  MLWindow* dialog = Only<MLWindow>();
  ASSERT_NE(dialog, nullptr);
  dialog->EditField1->setText("News");
  dialog->OK->click();
  EXPECT_EQ(QFile::exists(Path("News.2")), true);
  EXPECT_EQ(m_window->lastopen, QString("News.2"));
  EXPECT_EQ(m_window->elist->ListCount(), 0);
  EXPECT_EQ(SideBarNames(), (QStringList{"Friends", "News", "News.1", "News.2*", "Trash"}));
}

// A name kept for the program's own files is refused with a message, and the dialog stays
// for another name; written as a list, "Preferences" would have replaced the settings.
TEST_F(MainWindowListsTest, NewMailingListRefusesProgramNames) {
  m_window->_MailingListsNewMailingList_Action();
  MLWindow* dialog = Only<MLWindow>();
  ASSERT_NE(dialog, nullptr);
  dialog->EditField1->setText("Preferences");
  dialog->OK->click();
  EXPECT_EQ(m_recorded.messages.size(), 1);
  EXPECT_EQ(QFile::exists(Path("Preferences")), false);
  EXPECT_EQ(Only<MLWindow>(), dialog);
  dialog->EditField1->setText("News");
  dialog->OK->click();
  EXPECT_EQ(m_window->lastopen, QString("News"));
}

// OK pressed again while the first OK still looks for a free name (it yields) makes no
// second list, and the dialog closing meanwhile is no fault.
TEST_F(MainWindowListsTest, NewMailingListOkTwiceMakesOneList) {
  WriteAll(Path("News"), "");
  m_window->_MailingListsNewMailingList_Action();
  QPointer<MLWindow> dialog = Only<MLWindow>();
  ASSERT_NE(dialog, nullptr);
  dialog->EditField1->setText("News");
  QTimer::singleShot(0, [&] {
    if (dialog) dialog->OK->click();
  });
  dialog->OK->click();
  EXPECT_EQ(QFile::exists(Path("News.1")), true);
  EXPECT_EQ(QFile::exists(Path("News.2")), false);
  EXPECT_EQ(m_window->lastopen, QString("News.1"));
}

// The same for the new-address dialog: a second OK while the first adds its addresses adds
// nothing more.
TEST_F(MainWindowListsTest, NewAddressOkTwiceAddsOnce) {
  auto* win = new NewAddressWin(m_window);
  win->show();
  win->list = m_window->elist;
  win->emailaddress->setText("zed@example.com");
  QPointer<NewAddressWin> guard(win);
  QTimer::singleShot(0, [&] {
    if (guard) guard->OK->click();
  });
  win->OK->click();
  EXPECT_EQ(Addresses(), (QStringList{"ann@example.com", "bob@example.com", "zed@example.com"}));
}

// Removing a list moves its addresses to Trash; removing Trash while it is open deletes it;
// Empty Tash leaves an empty Trash.
TEST_F(MainWindowListsTest, RemoveListsThenEmptyTrash) {
  m_window->_MailingListsRemoveMailingList_Action();
  EXPECT_EQ(QFile::exists(Path("Friends")), false);
  EXPECT_EQ(ReadAll(Path("Trash")), QByteArray("old@example.com\nann@example.com\nbob@example.com\n"));
  EXPECT_EQ(SideBarNames(), QStringList{"Trash"});
  QTest::mouseClick(SideBar()->Buttons().at(0), Qt::LeftButton, {}, QPoint(4, 4));
  ASSERT_EQ(Addresses().size(), 3);
  m_window->_MailingListsRemoveMailingList_Action();
  EXPECT_EQ(QFile::exists(Path("Trash")), false);
  EXPECT_EQ(m_window->elist->ListCount(), 0);
  EXPECT_EQ(SideBarNames(), QStringList{});
  m_window->_MailingListsEmptyTash_Action();
  EXPECT_EQ(ReadAll(Path("Trash")), QByteArray());
  EXPECT_EQ(QFile::exists(Path("Trash")), true);
}

// Start-up opens the last list and marks it in the side bar; clicking another button saves
// the open list and opens the clicked one.
TEST_F(MainWindowListsTest, StartUpThenSideBarClickSwitchesLists) {
  EXPECT_EQ(Addresses(), (QStringList{"ann@example.com", "bob@example.com"}));
  EXPECT_EQ(m_window->elist->Cell(0, 1), QString("News(1/2/26) "));
  EXPECT_EQ(m_window->lastopen, QString("Friends"));
  EXPECT_EQ(m_window->Changed, false);
  EXPECT_EQ(SideBarNames(), (QStringList{"Friends*", "Trash"}));
  m_window->elist->AddRow(QString("new@example.com"));
  m_window->Changed = true;
  FolderButton* trash = SideBar()->Buttons().at(1);
  QTest::mouseClick(trash, Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_EQ(ReadAll(Path("Friends")).endsWith("new@example.com \n"), true);
  EXPECT_EQ(Addresses(), QStringList{"old@example.com"});
  EXPECT_EQ(SideBarNames(), (QStringList{"Friends", "Trash*"}));
  EXPECT_EQ(ReadAll(Path("LastDatabase")), QByteArray("Trash"));
}

}  // namespace
