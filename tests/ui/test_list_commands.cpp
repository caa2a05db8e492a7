#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTabWidget>

#include "MainWindowFixture.h"
#include "app/CommandRouter.h"
#include "lists/ui/MainWindowListsSetup.h"
#include "platform/ui/Listbox.h"
#include "support/TestSupport.h"

using testing_support::ReadAll;
using testing_support::WriteAll;

namespace {

// Rows written as a list file's line ("address mailings"), led by "*" when selected.
void SetRows(platform::Listbox* list, const QStringList& rows) {
  list->DeleteAllRows();
  for (const QString& row : rows) {
    const QString line = row.startsWith('*') ? row.mid(1) : row;
    const qsizetype blank = line.indexOf(' ');
    list->AddRow(QStringList{line.left(blank), blank < 0 ? QString() : line.mid(blank + 1)});
    list->SetSelected(list->ListCount() - 1, row.startsWith('*'));
  }
}

QStringList Rows(const platform::Listbox* list) {
  QStringList rows;
  for (int r = 0; r < list->ListCount(); ++r) {
    const QString mailings = list->Cell(r, 1);
    rows << (list->Selected(r) ? "*" : "") + list->Cell(r, 0) + (mailings.isEmpty() ? "" : " " + mailings);
  }
  return rows;
}

// The main window on a Database that holds the list "Friends" (opened last) and Trash.
class ListCommandsTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    QDir(m_dir.path()).mkdir("Database");
    WriteAll(TrashPath(), "old@x.com\n");
    WriteAll(DatabasePath() + "/Friends", "");
    WriteAll(DatabasePath() + "/LastDatabase", "Friends");
    lists::ui::InstallMainWindowHooks();
    m_window = MainWindow::Instance();
  }
  QString TrashPath() const { return DatabasePath() + "/Trash"; }
  bool Run(const QString& command) { return app::CommandRouter::Instance().Dispatch(m_window, command); }
};

// Each command by its item name, on the rows before it, as the user finds them after.
TEST_F(ListCommandsTest, EditCommands) {
  struct Case {
    const char* command;
    int tab;
    QStringList before;
    QString clipboard;  // before, and after
    QStringList after;
    QString clipboardAfter;
    QStringList messages;
    bool changed;
  };
  const QStringList none;
  const Case cases[] = {
      // Copies come last row first, address only, without the duplicate test.
      {"EditDuplicate",
       0,
       {"a@x.com H(1/2/26) ", "*b@x.com", "c@x.com", "*d@x.com H(1/2/26) "},
       "",
       {"a@x.com H(1/2/26) ", "*b@x.com", "c@x.com", "*d@x.com H(1/2/26) ", "d@x.com", "b@x.com"},
       "",
       none,
       true},
      {"EditDuplicate", 0, {"a@x.com"}, "", {"a@x.com"}, "", {"Select a list entry to duplicate."}, false},
      {"EditCopy", 0, {"a@x.com", "*b@x.com"}, "kept", {"a@x.com", "*b@x.com"}, "b@x.com", none, false},
      {"EditCopy",
       0,
       {"*a@x.com", "b@x.com", "*c@x.com H "},
       "kept",
       {"*a@x.com", "b@x.com", "*c@x.com H "},
       "a@x.com, c@x.com",
       none,
       false},
      {"EditCopy", 0, {"a@x.com"}, "kept", {"a@x.com"}, "kept", none, false},
      {"EditPaste",
       0,
       {"a@x.com"},
       "To: <b@x.com>, c@x.com.",
       {"a@x.com", "b@x.com", "c@x.com"},
       "To: <b@x.com>, c@x.com.",
       none,
       true},
      // The earlier selection is replaced; markers and history count as sent.
      {"EditSelectUnsent",
       0,
       {"a@x.com H ", "*b@x.com Black Listed", "c@x.com", "*d@x.com Opted Out", "e@x.com"},
       "",
       {"a@x.com H ", "b@x.com Black Listed", "*c@x.com", "d@x.com Opted Out", "*e@x.com"},
       "",
       none,
       false},
      {"EditSelectAll", 2, {"a@x.com", "*b@x.com"}, "", {"a@x.com", "*b@x.com"}, "", none, false},
      {"EditUnselectAll", 1, {"*a@x.com", "*b@x.com"}, "", {"a@x.com", "b@x.com"}, "", none, false},
      // The marker replaces history and the opt-out marker; a second time it leaves nothing.
      {"AddressesBlackList",
       0,
       {"*a@x.com N(1/2/26) ", "*b@x.com Opted Out", "*c@x.com black listed", "d@x.com N ", "*e@x.com"},
       "",
       {"*a@x.com Black Listed", "*b@x.com Black Listed", "*c@x.com", "d@x.com N ", "*e@x.com Black Listed"},
       "",
       none,
       true},
      {"AddressesBlackList",
       0,
       {"a@x.com N "},
       "",
       {"a@x.com N "},
       "",
       {"You must select an email address from the list."},
       false},
      {"AddressesClearHistory",
       0,
       {"*a@x.com N(1/2/26) M(2/2/26) ", "*b@x.com Black Listed", "*c@x.com x Opted Out", "*d@x.com",
        "e@x.com N "},
       "",
       {"*a@x.com", "*b@x.com Black Listed", "*c@x.com x Opted Out", "*d@x.com", "e@x.com N "},
       "",
       none,
       true},
      {"AddressesClearHistory",
       0,
       {"*b@x.com Black Listed", "e@x.com N "},
       "",
       {"*b@x.com Black Listed", "e@x.com N "},
       "",
       none,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.command << " on " << c.before.join('|').toStdString());
    SetRows(m_window->elist, c.before);
    m_window->TabPanel1->setCurrentIndex(c.tab);
    m_window->Changed = false;
    m_recorded.clipboard = c.clipboard;
    m_recorded.messages.clear();
    m_window->xduplicates = true;
    ASSERT_EQ(Run(c.command), true);
    EXPECT_EQ(Rows(m_window->elist), c.after);
    EXPECT_EQ(m_recorded.clipboard, c.clipboardAfter);
    EXPECT_EQ(m_recorded.messages, c.messages);
    EXPECT_EQ(m_window->Changed, c.changed);
  }
  // Black List twice: the history it replaced does not come back.
  SetRows(m_window->elist, {"*a@x.com N(1/2/26) "});
  Run("AddressesBlackList");
  Run("AddressesBlackList");
  EXPECT_EQ(Rows(m_window->elist), QStringList{"*a@x.com"});
}

// Remove by the tab in front and the list open; an address leaves the list only once it
// is in Trash, so a Trash that cannot be written loses nothing.
TEST_F(ListCommandsTest, Remove) {
  enum class TrashKind { File, Missing, DiskFull, Folder };
  struct Case {
    const char* what;
    const char* open;  // the list opened first; "" for a list without a file
    int tab;
    TrashKind trash;
    QStringList before;
    QStringList after;
    QByteArray trashAfter;
    QStringList queueAfter;
    QStringList messages;
  };
  const QStringList queue = {"*q1@x.com News HTML Queued", "q2@x.com News HTML Queued"};
  const QString full =
      "The addresses could not be written to Trash (is the disk full?), so none was removed.";
  const QStringList rows = {"a@x.com H ", "*b@x.com", "c@x.com", "*d@x.com H(1/2/26) "};
  const QStringList kept = {"a@x.com H ", "c@x.com"};
  const Case cases[] = {
      {"last row first, address only",
       "Friends",
       0,
       TrashKind::File,
       rows,
       kept,
       "old@x.com\nd@x.com\nb@x.com\n",
       queue,
       {}},
      {"no list file", "", 0, TrashKind::File, rows, kept, "old@x.com\nd@x.com\nb@x.com\n", queue, {}},
      {"Trash open", "Trash", 0, TrashKind::File, rows, kept, "old@x.com\n", queue, {}},
      {"queue tab",
       "Friends",
       1,
       TrashKind::File,
       rows,
       rows,
       "old@x.com\n",
       {"q2@x.com News HTML Queued"},
       {}},
      {"user messages tab",
       "Friends",
       2,
       TrashKind::File,
       rows,
       rows,
       "old@x.com\n",
       {"q2@x.com News HTML Queued"},
       {}},
      {"nothing selected",
       "Friends",
       0,
       TrashKind::Missing,
       kept,
       kept,
       "",
       queue,
       {"Select a list entry to delete."}},
      {"disk full", "Friends", 0, TrashKind::DiskFull, rows, rows, {}, queue, {full}},
      {"Trash a folder", "Friends", 0, TrashKind::Folder, rows, rows, {}, queue, {full}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QFile::remove(TrashPath());
    QDir(TrashPath()).removeRecursively();
    if (c.trash == TrashKind::File) WriteAll(TrashPath(), "old@x.com\n");
    if (c.trash == TrashKind::DiskFull) ASSERT_TRUE(QFile::link("/dev/full", TrashPath()));
    if (c.trash == TrashKind::Folder) ASSERT_TRUE(QDir().mkdir(TrashPath()));
    m_window->Changed = false;
    m_window->OpenDatabase(c.open);
    if (QString(c.open).isEmpty()) m_window->existingfile = platform::FolderItem();
    SetRows(m_window->elist, c.before);
    SetRows(m_window->CheckList, queue);
    m_window->TabPanel1->setCurrentIndex(c.tab);
    m_window->Changed = false;
    m_recorded.messages.clear();
    ASSERT_EQ(Run("AddressesRemove"), true);
    EXPECT_EQ(Rows(m_window->elist), c.after);
    EXPECT_EQ(Rows(m_window->CheckList), c.queueAfter);
    EXPECT_EQ(m_recorded.messages, c.messages);
    EXPECT_EQ(m_window->Changed, c.after != c.before);
    if (!c.trashAfter.isNull()) {
      EXPECT_EQ(QFile::exists(TrashPath()), true);
      EXPECT_EQ(ReadAll(TrashPath()), c.trashAfter);
    }
    if (c.tab == 0) EXPECT_EQ(m_window->Slug->text(), QString("%1 addresses").arg(c.after.size()));
  }
}

}  // namespace
