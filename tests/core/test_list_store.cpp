#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "lists/ListStore.h"
#include "lists/MailingLists.h"
#include "platform/EventLoop.h"
#include "platform/Seams.h"
#include "platform/TextStream.h"
#include "support/ListFileOracle.h"
#include "support/TestSupport.h"

using testing_support::ReadAll;
using testing_support::WriteAll;
using namespace std::chrono_literals;

namespace {

using Rows = std::vector<std::pair<QString, QString>>;

// A Database folder, an address list and the main window's four properties.
class ListStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    QDir(m_dir.path()).mkdir("Database");
    database = platform::FolderItem(m_dir.path() + "/Database");
    store = std::make_unique<lists::ListStore>(&list,
                                               lists::OpenListRefs{database, existingfile, lastopen, changed},
                                               [this](const QString& text) { slugs.append(text); });
    platform::SetYieldInterval(0us);
  }
  void TearDown() override { platform::SetYieldInterval(2ms); }

  QString Path(const QString& name) const { return database.AbsolutePath() + "/" + name; }
  void SetRows(const Rows& rows) {
    list.DeleteAllRows();
    for (const auto& [a, m] : rows) list.AddRow(QStringList{a, m});
  }
  Rows GetRows() const {
    Rows rows;
    for (int r = 0; r < list.ListCount(); ++r) rows.emplace_back(list.Cell(r, 0), list.Cell(r, 1));
    return rows;
  }
  // Rows that are not yet in any file.
  void SetUnsavedRows(const Rows& rows, const QString& file = {}) {
    SetRows(rows);
    existingfile = file.isEmpty() ? platform::FolderItem() : platform::FolderItem(Path(file));
    changed = true;
  }

  QTemporaryDir m_dir;
  platform::ListModel list{2};
  platform::FolderItem database;
  platform::FolderItem existingfile;
  QString lastopen;
  bool changed = false;
  QStringList slugs;
  platform::RecordingSeams recording;
  platform::ScopedSeams seams{recording.seams()};
  std::unique_ptr<lists::ListStore> store;
};

// Opening gives the rows and records the list as the last one; saving writes them back.
TEST_F(ListStoreTest, OpenThenSaveRoundTrips) {
  struct Case {
    const char* name;
    QByteArray file;
    Rows rows;
    QByteArray saved;  // what a save writes back; empty: the file itself
  };
  const Case cases[] = {
      {"empty", "", {}, ""},
      {"never mailed", "a@b.com \n", {{"a@b.com", ""}}, ""},
      {"history", "a@b.com News(1/2/26) News(2/2/26) \n", {{"a@b.com", "News(1/2/26) News(2/2/26) "}}, ""},
      {"leading blanks in Mailings", "a@b.com   Black Listed\n", {{"a@b.com", "  Black Listed"}}, ""},
      {"lines without a blank",
       "a@b.com\nc@d.com\n",
       {{"a@b.com", ""}, {"c@d.com", ""}},
       "a@b.com \nc@d.com \n"},
      {"CR LF",
       "a@b.com M(1) \r\nc@d.com \r\n",
       {{"a@b.com", "M(1) "}, {"c@d.com", ""}},
       "a@b.com M(1) \nc@d.com \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteAll(Path("L"), c.file);
    store->OpenDatabase("L");
    EXPECT_EQ(GetRows(), c.rows);
    EXPECT_EQ(changed, false);
    EXPECT_EQ(slugs.last(), QString::number(c.rows.size()) + " addresses");
    EXPECT_EQ(ReadAll(Path("LastDatabase")), QByteArray("L"));
    EXPECT_EQ(lastopen, QString("L"));
    changed = true;
    store->SaveFile();
    EXPECT_EQ(changed, false);
    EXPECT_EQ(ReadAll(Path("L")), c.saved.isEmpty() ? c.file : c.saved);
  }
}

// Opening a list reads in batches and saving writes a snapshot; both must give exactly
// what reading line by line with NthField and Right, and writing row by row, give.
TEST_F(ListStoreTest, OpenAndSaveMatchLiteralReadingOnRandomFiles) {
  QRandomGenerator random(20261206);
  const QByteArray alphabet("ab@. \r\n\xe9\xc3\xa9\xff(1)");
  for (int round = 0; round < 300; ++round) {
    QByteArray bytes;
    // Now and then a file long enough for several read batches.
    const int length = random.bounded(round % 20 == 0 ? 60000 : 3000);
    for (int i = 0; i < length; ++i) bytes += alphabet.at(random.bounded(alphabet.size()));
    WriteAll(Path("R"), bytes);
    store->OpenDatabase("R");
    std::vector<QStringList> rows;
    for (int r = 0; r < list.ListCount(); ++r) rows.push_back({list.Cell(r, 0), list.Cell(r, 1)});
    ASSERT_EQ(rows, oracle::ReadListLiterally(bytes)) << "round " << round;
    changed = true;
    store->SaveFile();
    ASSERT_EQ(ReadAll(Path("R")), oracle::WriteListLiterally(rows)) << "round " << round;
  }
}

// Bytes that are not UTF-8 (a Latin-1 list, broken sequences) come back byte for byte.
TEST_F(ListStoreTest, NonUtf8FileSurvivesOpenAndSave) {
  const QByteArray bytes =
      "caf\xe9@b.com News\xff(1/2/26) \nx@y.org \x80\x81\n\xff\xfe@x.org \xe2\x82 Sent\xc3\n"
      "j\xc3\xb6rg@x.org M\xc3\xa4rz(1/3/26) \t tab  \nemoji@x.org \xf0\x9f\x98\x80\n";
  WriteAll(Path("L"), bytes);
  store->OpenDatabase("L");
  ASSERT_EQ(list.ListCount(), 5);
  changed = true;
  store->SaveFile();
  EXPECT_EQ(ReadAll(Path("L")), bytes);
}

TEST_F(ListStoreTest, OpenDatabaseWithEmptyNameOnlySaves) {
  SetUnsavedRows({{"a@b.com", ""}}, "L");
  store->OpenDatabase("");
  EXPECT_EQ(ReadAll(Path("L")), QByteArray("a@b.com \n"));
  EXPECT_EQ(list.ListCount(), 1);
  EXPECT_EQ(existingfile.AbsolutePath(), Path("L"));
  EXPECT_EQ(QFile::exists(Path("LastDatabase")), false);
}

// A missing file, a folder and a name reaching outside the Database folder open nothing
// and leave LastDatabase alone.
TEST_F(ListStoreTest, OpenDatabaseOfNoReadableListLeavesNoListOpen) {
  WriteAll(m_dir.path() + "/Outside", "o@b.com \n");
  QDir(database.AbsolutePath()).mkdir("Folder");
  for (const QString name : {"Gone", "Folder", "../Outside"}) {
    WriteAll(Path("LastDatabase"), "Old");
    lastopen = "Old";
    SetRows({{"a@b.com", ""}});
    changed = false;
    store->OpenDatabase(name);
    EXPECT_EQ(list.ListCount(), 0) << name.toStdString();
    EXPECT_EQ(existingfile.IsNull(), true) << name.toStdString();
    EXPECT_EQ(lastopen, QString("Old"));
    EXPECT_EQ(ReadAll(Path("LastDatabase")), QByteArray("Old"));
  }
  EXPECT_EQ(slugs.filter("Could not read the list file").size(), 1);
}

// Without a file the save asks for one; cancelling leaves Changed set and writes nothing,
// so the next save asks again.
TEST_F(ListStoreTest, SaveWithoutFileAsksForOne) {
  SetUnsavedRows({{"a@b.com", ""}});
  store->SaveFile();
  EXPECT_EQ(changed, true);
  EXPECT_EQ(recording.saveDialogTitles, QStringList{lists::ListStore::SaveDialogTitle()});
  recording.saveAnswers.append(Path("Chosen"));
  store->SaveFile();
  EXPECT_EQ(changed, false);
  EXPECT_EQ(ReadAll(Path("Chosen")), QByteArray("a@b.com \n"));
  EXPECT_EQ(existingfile.AbsolutePath(), Path("Chosen"));
}

// Opening another list when the open list could not be saved must not throw its rows away.
TEST_F(ListStoreTest, OpenKeepsUnsavedListWhenSaveIsCancelled) {
  WriteAll(Path("Other"), "o@b.com \n");
  SetUnsavedRows({{"a@b.com", ""}});
  store->OpenDatabase("Other");
  EXPECT_EQ(GetRows(), (Rows{{"a@b.com", ""}}));
  EXPECT_EQ(changed, true);
  EXPECT_EQ(existingfile.IsNull(), true);
}

// A list is never opened from, nor saved as, one of the program's own files in Database:
// a list written there would overwrite the settings or LastDatabase.
TEST_F(ListStoreTest, ProgramFilesAreNoLists) {
  const QByteArray settings = "smtp.example.com\nuser\npass\nTrue\n\n\n\n";
  WriteAll(Path("Preferences"), settings);
  WriteAll(Path("LastDatabase"), "L");
  SetUnsavedRows({{"a@b.com", ""}}, "L");
  recording.saveAnswers = {Path("LastDatabase")};
  EXPECT_EQ(store->SaveAsFile(), false);
  store->OpenDatabase("Preferences");
  EXPECT_EQ(recording.messages, QStringList{lists::ListNameProblem("LastDatabase").value_or("")});
  EXPECT_EQ(slugs.last(), lists::ListNameProblem("Preferences").value_or(""));
  EXPECT_EQ(existingfile.IsNull(), true);
  EXPECT_EQ(ReadAll(Path("L")), QByteArray("a@b.com \n"));
  EXPECT_EQ(ReadAll(Path("LastDatabase")), QByteArray("L"));
  EXPECT_EQ(ReadAll(Path("Preferences")), settings);
}

// Counts the writers open at once, through the stream's device factory.
class CountingFile : public QFile {
 public:
  CountingFile(const QString& path, int* open, int* most, int* created) : QFile(path), m_open(open) {
    *most = std::max(*most, ++*m_open);
    ++*created;
  }
  ~CountingFile() override { --*m_open; }

 private:
  int* m_open;
};

class WriterGuardTest : public ListStoreTest {
 protected:
  void SetUp() override {
    ListStoreTest::SetUp();
    platform::TextOutputStream::SetDeviceFactoryForTests(
        [this](const QString& path) { return std::make_unique<CountingFile>(path, &open, &most, &created); });
  }
  void TearDown() override {
    platform::TextOutputStream::SetDeviceFactoryForTests({});
    ListStoreTest::TearDown();
  }
  // Enough rows that a save yields to the event loop on the way.
  void FillRows(int n, const QString& file) {
    std::vector<QStringList> rows;
    for (int i = 0; i < n; ++i) rows.push_back({QString("a%1@b.com").arg(i), ""});
    SetUnsavedRows({}, file);
    list.AppendRows(std::move(rows));
  }
  void AddLateRow() {
    list.AddRow(QStringList{"late@b.com", ""});
    changed = true;
  }
  int open = 0, most = 0, created = 0;
};

// An edit made while a save writes is written by a save asked for meanwhile (an autosave
// tick and a File > Save start no second writer), or else stays marked unsaved, whether
// the list had a file or the save asked for one.
TEST_F(WriterGuardTest, EditDuringSave) {
  for (const auto [hasFile, saveAgain] : {std::pair{true, true}, {true, false}, {false, false}}) {
    SCOPED_TRACE(testing::Message() << "file " << hasFile << ", saved again " << saveAgain);
    open = most = created = 0;
    FillRows(2000, hasFile ? "L" : "");
    if (!hasFile) recording.saveAnswers.append(Path("L"));
    int openAtTick = -1;
    QTimer::singleShot(0, [&] {
      AddLateRow();
      if (saveAgain) {
        store->AutoSave();
        store->SaveFile();
      }
      openAtTick = open;
    });
    store->SaveFile();
    EXPECT_EQ(openAtTick, 1);
    EXPECT_EQ(most, 1);
    EXPECT_EQ(created, saveAgain ? 2 : 1);
    EXPECT_EQ(changed, !saveAgain);
    EXPECT_EQ(ReadAll(Path("L")).count('\n'), saveAgain ? 2001 : 2000);
    store->SaveFile();
    EXPECT_EQ(ReadAll(Path("L")).endsWith("late@b.com \n"), true);
  }
}

// An autosave tick while a list is being read must not write the half-read list over it.
TEST_F(WriterGuardTest, AutosaveDuringReadWritesNothing) {
  QByteArray bytes;
  for (int i = 0; i < 5000; ++i) bytes += QString("a%1@b.com \n").arg(i).toLatin1();
  WriteAll(Path("L"), bytes);
  bool ticked = false;
  QTimer::singleShot(0, [&] {
    ticked = true;
    changed = true;
    store->AutoSave();
  });
  store->OpenDatabase("L");
  EXPECT_EQ(ticked, true);
  EXPECT_EQ(list.ListCount(), 5000);
  EXPECT_EQ(ReadAll(Path("L")), bytes);
  EXPECT_EQ(created, 1);  // LastDatabase only
}

// Edits made while a list is being read are not in its file: the read must not mark them
// saved, or closing the window afterwards would drop them. A bare tick sets no edit.
TEST_F(WriterGuardTest, EditDuringReadStaysUnsaved) {
  QByteArray bytes;
  for (int i = 0; i < 5000; ++i) bytes += QString("a%1@b.com \n").arg(i).toLatin1();
  WriteAll(Path("L"), bytes);
  struct Case {
    const char* name;
    std::function<void(platform::ListModel&)> edit;
    QByteArray savedLine;
  };
  const Case cases[] = {
      {"row added",
       [](platform::ListModel& l) {
         l.AddRow(QStringList{"late@b.com", ""});
       },
       "\nlate@b.com \n"},
      {"cell edited", [](platform::ListModel& l) { l.SetCell(0, 0, "first@b.com"); }, "first@b.com \n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    changed = false;
    existingfile = platform::FolderItem();
    QTimer::singleShot(0, [&] {
      ASSERT_GT(list.ListCount(), 0);
      c.edit(list);
      changed = true;
    });
    store->OpenDatabase("L");
    EXPECT_EQ(changed, true);
    store->SaveFile();
    EXPECT_EQ(ReadAll(Path("L")).count(c.savedLine), 1);
    WriteAll(Path("L"), bytes);
  }
}

// While an import adds addresses the autosave waits, and saves once the import is over.
TEST_F(WriterGuardTest, AutosaveDuringImportSavesAfterIt) {
  existingfile = platform::FolderItem(Path("L"));
  {
    lists::ListStore::ImportScope import(store.get());
    AddLateRow();
    store->AutoSave();
    EXPECT_EQ(created, 0);
    list.AddRow(QStringList{"c@d.com", ""});
  }
  EXPECT_EQ(created, 1);
  EXPECT_EQ(ReadAll(Path("L")), QByteArray("late@b.com \nc@d.com \n"));
}

// A list opened while another is being saved opens after the save: the saved file holds
// its own rows, never the rows of the list opened meanwhile.
TEST_F(WriterGuardTest, OpenDuringSaveWaitsForIt) {
  WriteAll(Path("B"), "b@b.com \n");
  FillRows(1000, "A");
  QTimer::singleShot(0, [&] { store->OpenDatabase("B"); });
  store->SaveFile();
  EXPECT_EQ(ReadAll(Path("A")).count('\n'), 1000);
  EXPECT_EQ(GetRows(), (Rows{{"b@b.com", ""}}));
  EXPECT_EQ(lastopen, QString("B"));
}

// Removing the open list: its addresses (without history) go to Trash, its file goes.
TEST_F(ListStoreTest, RemoveOpenListCopiesToTrash) {
  WriteAll(Path("Trash"), "old@b.com\n");
  WriteAll(Path("L"), "a@b.com M(1) \nc@d.com \n");
  store->OpenDatabase("L");
  changed = true;
  store->RemoveOpenList();
  EXPECT_EQ(ReadAll(Path("Trash")), QByteArray("old@b.com\na@b.com\nc@d.com\n"));
  EXPECT_EQ(QFile::exists(Path("L")), false);
  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_EQ(existingfile.IsNull(), true);
  EXPECT_EQ(changed, false);
}

TEST_F(ListStoreTest, RemoveTrashWhileOpenDeletesItAndCopiesNothing) {
  WriteAll(Path("Trash"), "old@b.com\n");
  store->OpenDatabase("Trash");
  store->RemoveOpenList();
  EXPECT_EQ(QFile::exists(Path("Trash")), false);
  EXPECT_EQ(list.ListCount(), 0);
}

TEST_F(ListStoreTest, RemoveWithoutFileCopiesAndKeepsChanged) {
  SetUnsavedRows({{"a@b.com", "M(1) "}});
  store->RemoveOpenList();
  EXPECT_EQ(ReadAll(Path("Trash")), QByteArray("a@b.com\n"));
  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_EQ(changed, true);
}

// When the addresses cannot reach Trash (a folder or a pipe in its place) the list file
// stays, rows and all; neither command waits on a pipe, and both say why they did nothing.
// Neither does opening a list wait on a pipe in the place of LastDatabase.
TEST_F(ListStoreTest, TrashThatIsNoFileIsRefused) {
  ASSERT_EQ(::mkfifo(QFile::encodeName(Path("LastDatabase")).constData(), 0600), 0);
  for (const bool pipe : {false, true}) {
    QDir(Path("Trash")).removeRecursively();
    QFile::remove(Path("Trash"));
    ASSERT_EQ(pipe ? ::mkfifo(QFile::encodeName(Path("Trash")).constData(), 0600) == 0
                   : QDir(database.AbsolutePath()).mkdir("Trash"),
              true);
    WriteAll(Path("L"), "a@b.com \n");
    slugs.clear();
    store->OpenDatabase("L");
    EXPECT_EQ(slugs.last(),
              "Could not write " + Path("LastDatabase") + ": the next start will not open this list.");
    slugs.clear();
    store->RemoveOpenList();
    EXPECT_EQ(QFile::exists(Path("L")), true);
    EXPECT_EQ(list.ListCount(), 1);
    EXPECT_EQ(existingfile.AbsolutePath(), Path("L"));
    store->EmptyTrash();
    EXPECT_EQ(slugs,
              (QStringList{"Could not copy the list to Trash; the list was not removed.",
                           "Could not empty Trash: " + Path("Trash") + " is no file that can be written."}));
  }
}

// Emptying Trash truncates it (creating it if need be); the open list is touched only
// when it is Trash, and not at all when Trash could not be written (a full disk).
TEST_F(ListStoreTest, EmptyTrash) {
  struct Case {
    const char* open;
    bool trashExists;
    bool diskFull;
    int rowsAfter;
    bool changedAfter;
  };
  for (const Case& c : {Case{"Other", true, false, 1, true}, Case{"Trash", true, false, 0, false},
                        Case{"Other", false, false, 1, true}, Case{"Trash", true, true, 1, true}}) {
    SCOPED_TRACE(std::string(c.open) + (c.trashExists ? "" : ", no Trash yet") +
                 (c.diskFull ? ", disk full" : ""));
    QFile::remove(Path("Trash"));
    if (c.trashExists) WriteAll(Path("Trash"), "x@y.com\n");
    WriteAll(Path("Other"), "o@b.com \n");
    changed = false;
    store->OpenDatabase(c.open);
    changed = true;
    slugs.clear();
    if (c.diskFull)
      platform::TextOutputStream::SetDeviceFactoryForTests([](const QString&) { return nullptr; });
    store->EmptyTrash();
    platform::TextOutputStream::SetDeviceFactoryForTests({});
    EXPECT_EQ(ReadAll(Path("Trash")), QByteArray(c.diskFull ? "x@y.com\n" : ""));
    EXPECT_EQ(list.ListCount(), c.rowsAfter);
    EXPECT_EQ(changed, c.changedAfter);
    EXPECT_EQ(slugs.size(), c.diskFull ? 1 : 0);
  }
}

TEST_F(ListStoreTest, NewListTakesTheFirstFreeNameOfTheSeries) {
  struct Case {
    QStringList existing;
    QString typed;
    QString expected;  // empty: refused
  };
  const Case cases[] = {
      {{}, "News", "News"},
      {{"News", "News.1"}, "News", "News.2"},
      {{"News", "News.2"}, "News", "News.1"},
      {{}, "", "Untitled"},
      {{}, "a/b", "a:b"},
      {{}, "..", ""},
      {{}, "Trash", "Trash"},
      // The program's own files, and names LastDatabase could not hold on one line.
      {{}, "Preferences", ""},
      {{}, "LastDatabase", ""},
      {{}, ".velmora-lock", ""},
      {{}, ".News.velmora-save-x1.tmp", ""},
      {{}, "two\nlines", ""},
      {{}, "tab\t", ""},
  };
  for (const Case& c : cases) {
    QTemporaryDir dir;
    for (const QString& name : c.existing) WriteAll(dir.filePath(name), "");
    const auto file = lists::FreeListFile(platform::FolderItem(dir.path()), c.typed);
    EXPECT_EQ(file ? file->DisplayName() : QString(), c.expected) << c.typed.toStdString();
  }
}

}  // namespace
