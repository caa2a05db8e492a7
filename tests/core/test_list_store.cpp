#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
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

struct RoundTripCase {
  const char* name;
  Rows rows;
  QByteArray file;
};

class ListFileRoundTrip : public ListStoreTest, public ::testing::WithParamInterface<RoundTripCase> {};

// Saving writes exactly the expected bytes, and reading them back gives the same rows.
TEST_P(ListFileRoundTrip, SaveThenRead) {
  const RoundTripCase& c = GetParam();
  SetRows(c.rows);
  existingfile = platform::FolderItem(Path("L"));
  changed = true;
  store->SaveFile();
  EXPECT_EQ(changed, false);
  EXPECT_EQ(ReadAll(Path("L")), c.file);

  list.DeleteAllRows();
  store->OpenDatabase("L");
  EXPECT_EQ(GetRows(), c.rows);
  EXPECT_EQ(changed, false);
  EXPECT_EQ(slugs.last(), QString::number(c.rows.size()) + " addresses");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListFileRoundTrip,
    ::testing::Values(
        RoundTripCase{"Empty", {}, ""}, RoundTripCase{"NeverMailed", {{"a@b.com", ""}}, "a@b.com \n"},
        RoundTripCase{
            "History", {{"a@b.com", "News(1/2/26) News(2/2/26) "}}, "a@b.com News(1/2/26) News(2/2/26) \n"},
        RoundTripCase{"LeadingBlanksInMailings", {{"a@b.com", "  Black Listed"}}, "a@b.com   Black Listed\n"},
        RoundTripCase{"Markers",
                      {{"x@y.org", "Black Listed"}, {"z@y.org", "Opted Out"}},
                      "x@y.org Black Listed\nz@y.org Opted Out\n"},
        RoundTripCase{
            "Accented", {{QString::fromUtf8("caf\xc3\xa9@b.com"), "M(1) "}}, "caf\xc3\xa9@b.com M(1) \n"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReadCase {
  const char* name;
  QByteArray file;
  Rows rows;
};

class ListFileRead : public ListStoreTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ListFileRead, Rows) {
  WriteAll(Path("L"), GetParam().file);
  store->OpenDatabase("L");
  EXPECT_EQ(GetRows(), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListFileRead,
    ::testing::Values(
        ReadCase{"TrashLinesWithoutBlank", "a@b.com\nc@d.com\n", {{"a@b.com", ""}, {"c@d.com", ""}}},
        ReadCase{"EmptyAndBlankLeadingLinesDropped", "\n a@b.com x\na@b.com\n\n", {{"a@b.com", ""}}},
        ReadCase{"CrLf", "a@b.com M(1) \r\nc@d.com \r\n", {{"a@b.com", "M(1) "}, {"c@d.com", ""}}},
        ReadCase{"NoFinalLineEnd", "a@b.com x", {{"a@b.com", "x"}}},
        ReadCase{"AddressWithBlankSplits", "a b@c.com M(1) \n", {{"a", "b@c.com M(1) "}}}),
    [](const auto& info) { return std::string(info.param.name); });

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

// Bytes that are not UTF-8 (a Latin-1 list) come back byte for byte after an open and a save.
TEST_F(ListStoreTest, NonUtf8FileSurvivesOpenAndSave) {
  const QByteArray bytes = "caf\xe9@b.com News\xff(1/2/26) \nx@y.org \x80\x81\n";
  WriteAll(Path("L"), bytes);
  store->OpenDatabase("L");
  ASSERT_EQ(list.ListCount(), 2);
  changed = true;
  store->SaveFile();
  EXPECT_EQ(ReadAll(Path("L")), bytes);
}

TEST_F(ListStoreTest, OpenDatabaseRecordsLastDatabaseWithoutLineEnd) {
  WriteAll(Path("Friends"), "a@b.com \n");
  store->OpenDatabase("Friends");
  EXPECT_EQ(ReadAll(Path("LastDatabase")), QByteArray("Friends"));
  EXPECT_EQ(lastopen, QString("Friends"));
  EXPECT_EQ(existingfile.AbsolutePath(), Path("Friends"));
}

TEST_F(ListStoreTest, OpenDatabaseWithEmptyNameOnlySaves) {
  SetRows({{"a@b.com", ""}});
  existingfile = platform::FolderItem(Path("L"));
  changed = true;
  store->OpenDatabase("");
  EXPECT_EQ(ReadAll(Path("L")), QByteArray("a@b.com \n"));
  EXPECT_EQ(list.ListCount(), 1);
  EXPECT_EQ(existingfile.AbsolutePath(), Path("L"));
  EXPECT_EQ(QFile::exists(Path("LastDatabase")), false);
}

TEST_F(ListStoreTest, OpenDatabaseWithMissingFileLeavesNoListOpen) {
  WriteAll(Path("LastDatabase"), "Old");
  lastopen = "Old";
  SetRows({{"a@b.com", ""}});
  store->OpenDatabase("Gone");
  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_EQ(existingfile.IsNull(), true);
  EXPECT_EQ(lastopen, QString("Old"));
  EXPECT_EQ(ReadAll(Path("LastDatabase")), QByteArray("Old"));
}

// A name that is not a plain file name must not reach a file outside the Database folder.
TEST_F(ListStoreTest, OpenDatabaseRefusesPathNames) {
  WriteAll(m_dir.path() + "/Outside", "a@b.com \n");
  store->OpenDatabase("../Outside");
  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_EQ(existingfile.IsNull(), true);
}

TEST_F(ListStoreTest, SaveWithoutChangesLeavesFileAlone) {
  WriteAll(Path("L"), "old \n");
  SetRows({{"new@b.com", ""}});
  existingfile = platform::FolderItem(Path("L"));
  store->SaveFile();
  EXPECT_EQ(ReadAll(Path("L")), QByteArray("old \n"));
}

// Without a file the save asks for one; cancelling leaves Changed set and writes nothing,
// so the next save asks again.
TEST_F(ListStoreTest, SaveWithoutFileAsksForOne) {
  SetRows({{"a@b.com", ""}});
  changed = true;
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
  SetRows({{"a@b.com", ""}});
  changed = true;
  store->OpenDatabase("Other");
  EXPECT_EQ(GetRows(), (Rows{{"a@b.com", ""}}));
  EXPECT_EQ(changed, true);
  EXPECT_EQ(existingfile.IsNull(), true);
}

TEST_F(ListStoreTest, UnreadableListIsNotLeftOpen) {
  QDir(database.AbsolutePath()).mkdir("Folder");
  store->OpenDatabase("Folder");
  EXPECT_EQ(existingfile.IsNull(), true);
  EXPECT_EQ(slugs.last().startsWith("Could not read the list file"), true);
  EXPECT_EQ(QFile::exists(Path("LastDatabase")), false);
}

// Counts the writers that are open at once, through the stream's device factory.
struct WriterCounter {
  int open = 0;
  int most = 0;
  int created = 0;
};

class CountingFile : public QFile {
 public:
  CountingFile(const QString& path, WriterCounter* counter) : QFile(path), m_counter(counter) {
    ++m_counter->open;
    ++m_counter->created;
    m_counter->most = std::max(m_counter->most, m_counter->open);
  }
  ~CountingFile() override { --m_counter->open; }

 private:
  WriterCounter* m_counter;
};

class WriterGuardTest : public ListStoreTest {
 protected:
  void SetUp() override {
    ListStoreTest::SetUp();
    platform::TextOutputStream::SetDeviceFactoryForTests(
        [this](const QString& path) { return std::make_unique<CountingFile>(path, &counter); });
  }
  void TearDown() override {
    platform::TextOutputStream::SetDeviceFactoryForTests({});
    ListStoreTest::TearDown();
  }
  void FillRows(int n) {
    std::vector<QStringList> rows;
    for (int i = 0; i < n; ++i) rows.push_back({QString("a%1@b.com").arg(i), ""});
    list.AppendRows(std::move(rows));
  }
  WriterCounter counter;
};

// An autosave tick and a File > Save during a yielding save start no second writer; the
// edit made meanwhile is written by the save that waited.
TEST_F(WriterGuardTest, SaveDuringSaveWaits) {
  FillRows(2000);
  existingfile = platform::FolderItem(Path("L"));
  changed = true;
  int openAtTick = -1;
  QTimer::singleShot(0, [&] {
    list.AddRow(QStringList{"late@b.com", ""});
    changed = true;
    store->AutoSave();
    store->SaveFile();
    openAtTick = counter.open;
  });
  store->SaveFile();
  EXPECT_EQ(openAtTick, 1);
  EXPECT_EQ(counter.most, 1);
  EXPECT_EQ(counter.created, 2);
  EXPECT_EQ(changed, false);
  EXPECT_EQ(ReadAll(Path("L")).endsWith("late@b.com \n"), true);
}

// An edit made while a save writes must stay marked unsaved, whether the list had a file
// or the save asked for one.
TEST_F(WriterGuardTest, EditDuringSaveStaysUnsaved) {
  for (const bool hasFile : {true, false}) {
    list.DeleteAllRows();
    FillRows(2000);
    existingfile = hasFile ? platform::FolderItem(Path("L")) : platform::FolderItem();
    if (!hasFile) recording.saveAnswers.append(Path("L"));
    changed = true;
    QTimer::singleShot(0, [&] {
      list.AddRow(QStringList{"late@b.com", ""});
      changed = true;
    });
    store->SaveFile();
    EXPECT_EQ(changed, true) << hasFile;
    EXPECT_EQ(ReadAll(Path("L")).count('\n'), 2000) << hasFile;
    changed = true;
    store->SaveFile();
    EXPECT_EQ(ReadAll(Path("L")).endsWith("late@b.com \n"), true) << hasFile;
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
  // Only LastDatabase was written.
  EXPECT_EQ(counter.created, 1);
}

// While an import adds addresses the autosave waits, and saves once the import is over.
TEST_F(WriterGuardTest, AutosaveDuringImportSavesAfterIt) {
  existingfile = platform::FolderItem(Path("L"));
  {
    lists::ListStore::ImportScope import(store.get());
    list.AddRow(QStringList{"a@b.com", ""});
    changed = true;
    store->AutoSave();
    EXPECT_EQ(counter.created, 0);
    list.AddRow(QStringList{"c@d.com", ""});
  }
  EXPECT_EQ(counter.created, 1);
  EXPECT_EQ(ReadAll(Path("L")), QByteArray("a@b.com \nc@d.com \n"));
}

// A list opened while another is being saved opens after the save: the saved file holds
// its own rows, never the rows of the list opened meanwhile.
TEST_F(WriterGuardTest, OpenDuringSaveWaitsForIt) {
  WriteAll(Path("B"), "b@b.com \n");
  FillRows(1000);
  existingfile = platform::FolderItem(Path("A"));
  changed = true;
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
  EXPECT_EQ(ReadAll(Path("LastDatabase")), QByteArray("L"));
}

TEST_F(ListStoreTest, RemoveTrashWhileOpenDeletesItAndCopiesNothing) {
  WriteAll(Path("Trash"), "old@b.com\n");
  store->OpenDatabase("Trash");
  store->RemoveOpenList();
  EXPECT_EQ(QFile::exists(Path("Trash")), false);
  EXPECT_EQ(list.ListCount(), 0);
}

TEST_F(ListStoreTest, RemoveWithoutFileCopiesAndKeepsChanged) {
  SetRows({{"a@b.com", "M(1) "}});
  changed = true;
  store->RemoveOpenList();
  EXPECT_EQ(ReadAll(Path("Trash")), QByteArray("a@b.com\n"));
  EXPECT_EQ(list.ListCount(), 0);
  EXPECT_EQ(changed, true);
}

// When the addresses cannot reach Trash the list file stays, rows and all.
TEST_F(ListStoreTest, RemoveKeepsListWhenTrashFails) {
  QDir(database.AbsolutePath()).mkdir("Trash");
  WriteAll(Path("L"), "a@b.com \n");
  store->OpenDatabase("L");
  store->RemoveOpenList();
  EXPECT_EQ(QFile::exists(Path("L")), true);
  EXPECT_EQ(list.ListCount(), 1);
  EXPECT_EQ(existingfile.AbsolutePath(), Path("L"));
}

struct EmptyTrashCase {
  const char* name;
  const char* open;  // the list open when Trash is emptied
  bool trashExists;
  int rowsAfter;
  bool changedAfter;
};

class EmptyTrash : public ListStoreTest, public ::testing::WithParamInterface<EmptyTrashCase> {};

TEST_P(EmptyTrash, TruncatesTrash) {
  const EmptyTrashCase& c = GetParam();
  if (c.trashExists) WriteAll(Path("Trash"), "x@y.com\n");
  WriteAll(Path("Other"), "o@b.com \n");
  store->OpenDatabase(c.open);
  changed = true;
  store->EmptyTrash();
  EXPECT_EQ(QFile::exists(Path("Trash")), true);
  EXPECT_EQ(ReadAll(Path("Trash")), QByteArray());
  EXPECT_EQ(list.ListCount(), c.rowsAfter);
  EXPECT_EQ(changed, c.changedAfter);
}

INSTANTIATE_TEST_SUITE_P(Cases, EmptyTrash,
                         ::testing::Values(EmptyTrashCase{"OtherListOpen", "Other", true, 1, true},
                                           EmptyTrashCase{"TrashOpen", "Trash", true, 0, false},
                                           EmptyTrashCase{"NoTrashYet", "Other", false, 1, true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct NameSeriesCase {
  const char* name;
  QStringList existing;
  QString typed;
  QString expected;  // empty: refused
};

class NewListName : public ListStoreTest, public ::testing::WithParamInterface<NameSeriesCase> {};

TEST_P(NewListName, FirstFreeName) {
  for (const QString& name : GetParam().existing) WriteAll(Path(name), "");
  const auto file = lists::FreeListFile(database, GetParam().typed);
  EXPECT_EQ(file ? file->DisplayName() : QString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NewListName,
    ::testing::Values(NameSeriesCase{"Free", {}, "News", "News"},
                      NameSeriesCase{"TakenTwice", {"News", "News.1"}, "News", "News.2"},
                      NameSeriesCase{"SuffixOnTypedName", {"News", "News.1", "News.1.1"}, "News", "News.2"},
                      NameSeriesCase{"GapIsUsed", {"News", "News.2"}, "News", "News.1"},
                      NameSeriesCase{"EmptyIsUntitled", {}, "", "Untitled"},
                      NameSeriesCase{"UntitledAgain", {"Untitled"}, "", "Untitled.1"},
                      NameSeriesCase{"SlashStaysInFolder", {}, "a/b", "a:b"},
                      NameSeriesCase{"DotDotRefused", {}, "..", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
