#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "MainWindowFixture.h"
#include "lists/OpenList.h"
#include "lists/ui/EditWindow.h"
#include "lists/ui/FolderButton.h"
#include "lists/ui/NewAddressWin.h"
#include "lists/ui/SideBarWindow.h"
#include "platform/EventLoop.h"
#include "platform/Text.h"
#include "platform/TextStream.h"
#include "platform/ui/Listbox.h"
#include "support/AddressScannerOracle.h"
#include "support/FailingFile.h"

using testing_support::ReadAll;
using testing_support::Rows;
using testing_support::WriteAll;
using namespace std::chrono_literals;

namespace {

// The main window with the lists' parts, started on the lists "Friends" (opened last) and Trash.
class MainWindowListsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    QDir(m_dir.path()).mkdir("Database");
    WriteAll(DatabasePath() + "/Friends", "ann@example.com News(1/2/26) \nbob@example.com \n");
    WriteAll(DatabasePath() + "/Trash", "old@example.com\n");
    WriteAll(DatabasePath() + "/LastDatabase", "Friends");
    m_window = MainWindow::Instance();
  }
  testing_support::YieldEveryStep m_yielding;
  QString Path(const QString& name) const { return DatabasePath() + "/" + name; }
  QStringList Addresses() const { return testing_support::Column(*m_window->elist->Model()); }
};

// A dropped folder and text clip: the files first, then the clip, less addresses listed in
// another letter case.
TEST_F(MainWindowListsTest, DropFolderAndText) {
  QDir().mkpath(m_dir.filePath("dropped/inner"));
  WriteAll(m_dir.filePath("dropped/inner/a.txt"), "From: Carl <carl@example.org>\n");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(m_dir.filePath("dropped"))});
  data.setText("ANN@example.com and eve@example.com, too");
  m_window->xduplicates = true;
  // Straight to the window: the application drops a drop event that no real drag started.
  QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  static_cast<QObject*>(m_window)->event(&drop);
  EXPECT_EQ(
      std::make_tuple(Addresses(), Changed(), LogRows().filter("ANN@example.com already").size()),
      std::make_tuple(
          QStringList{"ann@example.com", "bob@example.com", "carl@example.org", "eve@example.com"}, true, 1));
}

// A drop adds what AddAddress address by address adds: the same rows, log rows and status
// line, though the addresses come in batches (of one when the event loop runs every step).
TEST_F(MainWindowListsTest, DropAddsWhatAddingOneByOneAdds) {
  QByteArray bytes;
  for (int i = 0; i < 400; ++i)
    bytes += QString("n%1@Example.com, N%2@example.COM; ann@example.com\n").arg(i).arg(i / 2).toLatin1();
  WriteAll(m_dir.filePath("drop.txt"), bytes);
  m_window->xduplicates = true;
  const QStringList before = Addresses();
  QStringList literal = before, reports;
  for (const QByteArray& line : bytes.split('\n')) {
    const QString found = oracle::FindEmailsLiterally(QString::fromLatin1(line));
    for (const QString& address : found.isEmpty() ? QStringList() : found.split(' ')) {
      const bool exists = std::any_of(literal.rbegin(), literal.rend(), [&](const QString& row) {
        return platform::StrComp(platform::Uppercase(row), platform::Uppercase(address), 0) == 0;
      });
      if (!exists) literal << address;
      reports << (exists ? address + " already exists in the database."
                         : QString::number(literal.size()) + " addresses");
    }
  }
  reports << QString::number(literal.size()) + " addresses...";
  for (const auto interval : {0ms, 2ms}) {
    SCOPED_TRACE(testing::Message() << "a yield every " << interval.count() << " ms");
    platform::SetYieldInterval(interval);
    m_window->elist->DeleteAllRows();
    for (const QString& address : before) m_window->elist->AddRow(address);
    const int logged = m_window->UserMessagesLog().Count();
    m_window->getemailfromfile(platform::FolderItem(m_dir.filePath("drop.txt")));
    QStringList log;
    for (int row = m_window->UserMessagesLog().Count() - logged - 1; row >= 0; --row)
      log << m_window->UserMessagesLog().Row(row).mid(Logged("").size());
    EXPECT_EQ(std::make_tuple(log, m_window->Slug->text(), Addresses()),
              std::make_tuple(reports, reports.last(), literal));
  }
}

// A failed save on close, quit or opening another list discards nothing unasked: the user is
// told why, offered Save As, then asked; kept open, the list stays until saved or discarded.
TEST_F(MainWindowListsTest, FailedSaveKeepsTheListOpen) {
  // The disk is full but for the file "Friends 2".
  platform::TextOutputStream::SetDeviceFactoryForTests([](const QString& temp) -> std::unique_ptr<QIODevice> {
    if (temp.contains("/.Friends 2.")) return std::make_unique<QFile>(temp);
    return std::make_unique<testing_support::FailingFile>(temp, 0, 0, ENOSPC);
  });
  App::SetQuitForTests({});
  int exits = 0;
  App::SetExitForTests([&] { ++exits; });
  m_window->elist->AddRow(QString("new@example.com"));
  m_window->Changed = true;
  const std::pair<const char*, std::function<void()>> ways[] = {
      {"close", [&] { m_window->close(); }},
      {"quit", [] { App::Quit(); }},
      {"open another", [&] { m_window->OpenDatabase("Trash"); }}};
  for (const auto& [way, leave] : ways) {
    SCOPED_TRACE(way);
    m_recorded = {};
    leave();  // the offered Save As is cancelled, and the list kept open
    EXPECT_EQ(std::make_tuple(m_recorded.messages.first(), m_recorded.messages.size(),
                              m_recorded.messages.last().startsWith("3 addresses"), m_window->isVisible(),
                              Addresses().size(), m_window->OpenList().File().DisplayName()),
              std::make_tuple("The list could not be saved to " + Path("Friends") +
                                  ": No space left on device. So that no address is lost, it stays open: "
                                  "please choose another file to save it to.",
                              2, true, true, 3, QString("Friends")));
  }
  // Saved as another file, the edit is kept; discarded, it goes with the list, saved or not.
  m_recorded.saveAnswers = {Path("Friends 2")};
  m_window->OpenDatabase("Trash");
  m_window->elist->AddRow(QString("new@example.com"));
  m_window->Changed = true;
  m_recorded.confirmAnswers = {true, true};
  m_window->OpenDatabase("Gone");
  EXPECT_EQ(std::make_tuple(Changed(), m_window->elist->ListCount(), ReadAll(Path("Friends 2"))),
            std::make_tuple(false, 0, ReadAll(Path("Friends")) + "new@example.com \n"));
  m_window->elist->AddRow(QString("new@example.com"));
  m_window->Changed = true;
  App::Quit();
  EXPECT_EQ(exits, 1);
  platform::TextOutputStream::SetDeviceFactoryForTests({});
  App::SetExitForTests({});
}

// A list opened during an import opens once it ends; the whole import is in the first list.
TEST_F(MainWindowListsTest, SwitchingListsWaitsForTheImport) {
  QByteArray bytes;
  for (int i = 0; i < 100; ++i) bytes += QString("d%1@example.com\n").arg(i).toLatin1();
  WriteAll(m_dir.filePath("drop.txt"), bytes);
  bool duringImport = false;
  QTimer::singleShot(0, [&] {
    duringImport = m_window->OpenList().ImportRunning();
    m_window->OpenDatabase("Trash");
  });
  m_window->getemailfromfile(platform::FolderItem(m_dir.filePath("drop.txt")));
  EXPECT_EQ(std::make_tuple(duringImport, Addresses(), QString(m_window->lastopen),
                            ReadAll(Path("Friends")).count('\n')),
            std::make_tuple(true, QStringList{"old@example.com"}, QString("Trash"), 102));
}

// Closing the window while a save writes: the edit made meanwhile is saved before it goes.
TEST_F(MainWindowListsTest, CloseDuringSaveSavesTheLaterEdit) {
  m_window->elist->Model()->AppendRows(std::vector<QString>(3000, "a@example.com"));
  m_window->Changed = true;
  QPointer<MainWindow> window(m_window);
  QTimer::singleShot(0, [&] {
    window->elist->AddRow(QString("late@example.com"));
    window->Changed = true;
    window->close();
  });
  m_window->SaveFile();
  EXPECT_EQ(ReadAll(Path("Friends")).endsWith("a@example.com \nlate@example.com \n"), true);
  EXPECT_EQ(window.isNull() || !window->isVisible(), true);
}

// A key typed in the list selects by type-ahead, then reaches the window (Backspace
// deletes); the status line shows the selection; activation shows and hides the side bar.
TEST_F(MainWindowListsTest, KeysActivationAndTypeAhead) {
  testing_support::SetRows(*m_window->elist->Model(), {"a@x.com|", "b1@x.com|", "b2@x.com|"});
  m_window->elist->setFocus();
  for (auto modifier : {Qt::ShiftModifier, Qt::NoModifier}) {
    QTest::keyClick(m_window->elist, Qt::Key_B, modifier);
    EXPECT_EQ(m_window->elist->ListIndex(), 1) << (modifier == Qt::ShiftModifier ? "Shift+B" : "B");
  }
  QTest::keyClick(m_window->elist, Qt::Key_Backspace);
  m_window->elist->Model()->SetAllSelected(true);
  m_window->elist->Model()->SetAllSelected(false);
  EXPECT_EQ(std::make_pair(Addresses(), m_window->Slug->text()),
            std::make_pair(QStringList{"a@x.com", "b2@x.com"}, QString("2 addresses selected.")));
  m_window->Event_Deactivate();
  const bool hidden = m_window->SideBar->isHidden();
  m_window->Event_Activate();
  EXPECT_EQ(std::make_pair(hidden, m_window->SideBar->isVisible()), std::make_pair(true, true));
  // A key typed while a long type-ahead walk yields starts its own walk, and wins.
  QStringList rows(2000, "x@x.com|");
  testing_support::SetRows(*m_window->elist->Model(), rows << "b@x.com|"
                                                           << "a@x.com|");
  QTimer::singleShot(0, [this] { m_window->elist_KeyDown("b"); });
  m_window->elist_KeyDown("a");
  EXPECT_EQ(m_window->elist->ListIndex(), 2000);
}

// The edit window shows the selected row; an address the list file could not hold is
// refused with a message and the window stays; one with blanks around it is trimmed.
TEST_F(MainWindowListsTest, EditWindowUpdatesSelectedRow) {
  m_window->elist->SetListIndex(0);
  m_window->elist_DoubleClick();
  EditWindow* edit = Shown<EditWindow>();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(QStringList({edit->Address->text(), edit->emaillist->text()}),
            QStringList({"ann@example.com", "News(1/2/26) "}));
  edit->Address->setText("ann smith@example.org");
  edit->PushButton1->click();
  EXPECT_EQ(std::make_tuple(m_recorded.messages.size(), Shown<EditWindow>(), Changed()),
            std::make_tuple(1, edit, false));
  edit->Address->setText("  not-an-address ");
  edit->PushButton1->click();
  EXPECT_EQ(std::make_tuple(Shown<EditWindow>(), Changed(), Rows(*m_window->elist->Model()).first()),
            std::make_tuple(nullptr, true, QString("*not-an-address|News(1/2/26) ")));
}

// The dialog adds to its own list (duplicates tested there), once however often OK is
// pressed; opened for no list it reports the fault.
TEST_F(MainWindowListsTest, NewAddressWinTargets) {
  platform::Listbox other(1);
  m_window->xduplicates = true;
  for (platform::Listbox* target : {static_cast<platform::Listbox*>(nullptr), m_window->elist, &other}) {
    QPointer<NewAddressWin> win = app::ui::MakeNewAddressWin(*m_window, nullptr);
    win->show();
    win->list = target;
    win->emailaddress->setText("Write to zed@example.com. Or ann@example.com");
    if (target) QTimer::singleShot(0, [win] { win ? win->OK->click() : void(); });
    win->OK->click();
  }
  EXPECT_EQ(
      std::make_tuple(m_recorded.messages.size(), Addresses(), Changed(), other.ListCount()),
      std::make_tuple(1, QStringList{"ann@example.com", "bob@example.com", "zed@example.com"}, true, 2));
}

// Removing the open list takes it from the side bar (its addresses go to Trash); Empty
// Tash empties Trash.
TEST_F(MainWindowListsTest, RemoveListThenEmptyTrash) {
  m_window->_MailingListsRemoveMailingList_Action();
  EXPECT_EQ(std::make_pair(QFile::exists(Path("Friends")), SideBarNames()),
            std::make_pair(false, QStringList{"Trash"}));
  m_window->_MailingListsEmptyTash_Action();
  EXPECT_EQ(ReadAll(Path("Trash")), QByteArray());
}

// The autosave writes a list that changed.
TEST_F(MainWindowListsTest, AutosaveSavesChanges) {
  WriteAll(Path("Friends"), "changed on disk \n");
  m_window->Changed = true;
  m_window->SaveTimer_Action();
  EXPECT_EQ(ReadAll(Path("Friends")), QByteArray("ann@example.com News(1/2/26) \nbob@example.com \n"));
}

}  // namespace
