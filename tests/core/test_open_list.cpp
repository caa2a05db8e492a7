#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTimer>

#include "lists/MailingLists.h"
#include "lists/OpenList.h"
#include "platform/EventLoop.h"
#include "platform/Seams.h"
#include "platform/Text.h"
#include "platform/TextStream.h"
#include "support/FailingFile.h"
#include "support/ListFileOracle.h"
#include "support/TestSupport.h"
#include "tools/ListSort.h"

using testing_support::ReadAll;
using testing_support::WriteAll;

namespace {

using Rows = std::vector<QStringList>;

// A Database folder, an address list and the open list over them. The writers
// that saves open are counted through the stream's device factory.
class OpenListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir(m_dir.path()).mkdir("Database");
    store = std::make_unique<lists::OpenList>(&list);
    store->SetDatabase(platform::FolderItem(m_dir.path() + "/Database"));
    QObject::connect(store.get(), &lists::OpenList::reported,
                     [this](const QString& text) { slugs.append(text); });
    platform::TextOutputStream::SetDeviceFactoryForTests([this](const QString& path) {
      auto file = std::make_unique<QFile>(path);
      most = std::max(most, ++open);
      ++created;
      QObject::connect(file.get(), &QObject::destroyed, [this] { --open; });
      return file;
    });
  }
  void TearDown() override { platform::TextOutputStream::SetDeviceFactoryForTests({}); }
  testing_support::YieldEveryStep m_yielding;

  QString Path(const QString& name) const { return store->Database().AbsolutePath() + "/" + name; }
  Rows GetRows() const {
    Rows rows;
    for (int r = 0; r < list.ListCount(); ++r) rows.push_back({list.Cell(r, 0), list.Cell(r, 1)});
    return rows;
  }
  // Rows that are not yet in any file (`n` of them, or the one address given).
  void SetUnsavedRows(int n, const QString& file = {}, const QString& address = "a@b.com") {
    Rows rows;
    for (int i = 0; i < n; ++i) rows.push_back({n == 1 ? address : QString("a%1@b.com").arg(i), ""});
    list.DeleteAllRows();
    list.AppendRows(std::move(rows));
    store->SetFile(file.isEmpty() ? platform::FolderItem() : platform::FolderItem(Path(file)));
    store->MarkChanged();
  }

  QTemporaryDir m_dir;
  platform::ListModel list{2};
  QStringList slugs;
  platform::RecordingSeams recording;
  platform::ScopedSeams seams{recording.seams()};
  std::unique_ptr<lists::OpenList> store;
  int open = 0, most = 0, created = 0;
};

// Opening and saving give what reading and writing line by line give; bytes that are not
// UTF-8 come back byte for byte.
TEST_F(OpenListTest, OpenAndSaveMatchLiteralReadingOnRandomFiles) {
  QRandomGenerator random(20261206);
  const QByteArray alphabet("ab@. \r\n\xe9\xc3\xa9\xff(1)");
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    QByteArray bytes =
        round > 0 ? QByteArray()
                  : "caf\xe9@b.com News\xff(1/2/26) \nx@y.org \x80\x81\n\xff\xfe@x.org \xe2\x82 Sent\xc3\n"
                    "j\xc3\xb6rg@x.org M\xc3\xa4rz(1/3/26) \t tab  \nemoji@x.org \xf0\x9f\x98\x80\n";
    const int length = round == 0 ? 0 : random.bounded(round % 20 == 1 ? 60000 : 3000);
    for (int i = 0; i < length; ++i) bytes += alphabet.at(random.bounded(alphabet.size()));
    WriteAll(Path("R"), bytes);
    store->OpenDatabase("R");
    const Rows rows = GetRows();
    ASSERT_EQ(rows, oracle::ReadListLiterally(bytes));
    ASSERT_EQ(
        std::make_tuple(store->IsChanged(), store->LastOpen(), ReadAll(Path("LastDatabase")), slugs.last()),
        std::make_tuple(false, QString("R"), QByteArray("R"), QString("%1 addresses").arg(rows.size())));
    store->MarkChanged();
    store->SaveFile();
    ASSERT_EQ(std::make_pair(store->IsChanged(), ReadAll(Path("R"))),
              std::make_pair(false, round == 0 ? bytes : oracle::WriteListLiterally(rows)));
  }
}

// An empty name only saves the open list. A missing file, a folder and a name reaching
// outside the Database folder open nothing and leave LastDatabase alone.
TEST_F(OpenListTest, OpenDatabaseOfNoReadableList) {
  SetUnsavedRows(1, "L");
  store->OpenDatabase("");
  EXPECT_EQ(std::make_tuple(ReadAll(Path("L")), list.ListCount(), store->File().AbsolutePath(),
                            QFile::exists(Path("LastDatabase"))),
            std::make_tuple(QByteArray("a@b.com \n"), 1, Path("L"), false));
  WriteAll(m_dir.path() + "/Outside", "o@b.com \n");
  QDir(Path("")).mkdir("Folder");
  WriteAll(Path("LastDatabase"), "Old");
  for (const QString name : {"Gone", "Folder", "../Outside"}) {
    SCOPED_TRACE(name.toStdString());
    SetUnsavedRows(1), store->MarkClean(), store->SetLastOpen("Old");
    store->OpenDatabase(name);
    EXPECT_EQ(std::make_tuple(list.ListCount(), store->File().IsNull(), store->LastOpen(),
                              ReadAll(Path("LastDatabase"))),
              std::make_tuple(0, true, QString("Old"), QByteArray("Old")));
  }
  EXPECT_EQ(slugs.filter("Could not read the list file").size(), 1);
}

// A read that fails part-way stops there and says why. The rows read stay, to be saved
// elsewhere, but never over their file: the list has none, and Save As refuses that file.
TEST_F(OpenListTest, ReadErrorNeverSavesThePartOverTheWhole) {
  QByteArray bytes;
  for (int i = 0; i < 3000; ++i) bytes += QString("a%1@b.com H \n").arg(i, 4, 10, QChar('0')).toLatin1();
  WriteAll(Path("L"), bytes);
  platform::TextInputStream::SetDeviceFactoryForTests(
      [](const QString& path) { return std::make_unique<testing_support::FailingFile>(path, 20000, 0); });
  store->OpenDatabase("L");
  platform::TextInputStream::SetDeviceFactoryForTests({});
  EXPECT_EQ(std::make_tuple(store->File().IsNull(), store->IsChanged()), std::make_tuple(true, false));
  list.AddRow("new@b.com");
  store->MarkChanged();
  recording.saveAnswers = {Path("L"), Path("Part")};
  store->SaveFile();  // refused: the list's own file
  store->SaveAsFile();
  EXPECT_EQ(std::make_tuple(slugs.last(), recording.messages.size(), ReadAll(Path("L")),
                            ReadAll(Path("Part")).count('\n')),
            std::make_tuple("Could not read all of the list file " + Path("L") +
                                ": Input/output error. Only part of it is shown.",
                            1, bytes, 20000 / 15 + 1));
}

// Without a file the save asks for one; refused, it keeps Changed and the rows. A list is
// never saved as, nor opened from, one of the program's own files.
TEST_F(OpenListTest, SaveWithoutFileAsksForOne) {
  const QByteArray settings = "smtp.example.com\nuser\npass\nTrue\n\n\n\n";
  WriteAll(Path("Preferences"), settings);
  WriteAll(Path("LastDatabase"), "L");
  SetUnsavedRows(1);
  store->OpenDatabase("Preferences");
  EXPECT_EQ(
      std::make_tuple(GetRows(), store->IsChanged(), store->File().IsNull(), recording.saveDialogTitles),
      std::make_tuple(Rows{{"a@b.com", ""}}, true, true, QStringList{lists::OpenList::SaveDialogTitle()}));
  recording.saveAnswers = {Path("LastDatabase")};
  EXPECT_EQ(store->SaveAsFile(), false);
  EXPECT_EQ(std::make_tuple(store->IsChanged(), store->File().IsNull(), recording.messages.last()),
            std::make_tuple(true, true, lists::ListNameProblem("LastDatabase").value_or("")));
  recording.saveAnswers = {Path("L")};
  store->OpenDatabase("Preferences");
  EXPECT_EQ(slugs.last(), lists::ListNameProblem("Preferences").value_or(""));
  EXPECT_EQ(std::make_tuple(store->IsChanged(), store->File().IsNull(), ReadAll(Path("L")),
                            ReadAll(Path("LastDatabase")), ReadAll(Path("Preferences"))),
            std::make_tuple(false, true, QByteArray("a@b.com \n"), QByteArray("L"), settings));
}

// An edit made while a save writes is written by a save asked for meanwhile (with no second
// writer), or else stays marked unsaved; the mark's signal tells each turn.
TEST_F(OpenListTest, EditDuringSave) {
  for (const auto& [hasFile, saveAgain] : {std::pair{true, true}, {true, false}, {false, false}}) {
    SCOPED_TRACE(testing::Message() << "file " << hasFile << ", saved again " << saveAgain);
    open = most = created = 0;
    SetUnsavedRows(2000, hasFile ? "L" : "");
    if (!hasFile) recording.saveAnswers.append(Path("L"));
    int openAtTick = -1;
    const QSignalSpy marks(store.get(), &lists::OpenList::changedChanged);
    QTimer::singleShot(0, [&, saveAgain = saveAgain] {
      list.AddRow("late@b.com");
      store->MarkChanged();
      if (saveAgain) {
        store->AutoSave();
        store->SaveFile();
      }
      openAtTick = open;
    });
    store->SaveFile();
    EXPECT_EQ(
        std::make_tuple(openAtTick, most, created, store->IsChanged(), ReadAll(Path("L")).count('\n'),
                        marks.size()),
        std::make_tuple(1, 1, saveAgain ? 2 : 1, !saveAgain, saveAgain ? 2001 : 2000, saveAgain ? 3 : 2));
    store->SaveFile();
    EXPECT_EQ(ReadAll(Path("L")).right(12), "late@b.com \n");
  }
}

// While a list is read, an autosave writes nothing; an edit made meanwhile stays marked
// unsaved and the next save writes it.
TEST_F(OpenListTest, TicksAndEditsDuringRead) {
  QByteArray bytes;
  for (int i = 0; i < 5000; ++i) bytes += QString("a%1@b.com \n").arg(i).toLatin1();
  // What the tick does, and a line the next save writes once.
  const std::tuple<const char*, std::function<void()>, QByteArray> cases[] = {
      {"autosave", [&] { store->AutoSave(); }, "a0@b.com \n"},
      {"row added", [&] { list.AddRow("late@b.com"); }, "late@b.com \n"},
      {"cell edited", [&] { list.SetCell(0, 0, "first@b.com"); }, "first@b.com \n"}};
  for (const auto& [name, tick, line] : cases) {
    SCOPED_TRACE(name);
    WriteAll(Path("L"), bytes);
    store->MarkClean(), store->SetFile({}), created = 0;
    bool ticked = false;
    QTimer::singleShot(0, [&, &tick = tick] {
      ASSERT_GT(list.ListCount(), 0);
      ticked = true, store->MarkChanged();
      tick();
    });
    store->OpenDatabase("L");
    EXPECT_EQ(std::make_tuple(ticked, ReadAll(Path("L")), created), std::make_tuple(true, bytes, 1));
    store->SaveFile();
    EXPECT_EQ(ReadAll(Path("L")).count(line), 1);
  }
}

// Mailings journaled while a list is open, whatever their bytes, come back when it is opened
// after the program ended unsaved; a line a crash cut short is left out. A save writes them
// into the file and drops them from the journal, but for one journaled while it wrote.
TEST_F(OpenListTest, JournaledMailingsOutliveAnEndWithoutSave) {
  const QByteArray odd = "caf\xe9@b.com", entry = "N\xff\t%41(5/4/26) ";  // neither is UTF-8
  const QString journal = Path(".L.velmora-journal");
  WriteAll(Path("L"), "a@b.com M(1) \n" + odd + " \nz@b.com \na@b.com \n");
  store->OpenDatabase("L");
  store->JournalMailing("a@b.com", "A(5/4/26) ");
  store->JournalMailing(platform::DecodeBytes(odd), platform::DecodeBytes(entry));
  WriteAll(journal, ReadAll(journal) + "z@b.com\tCut(5/4/26) \t1");  // a line a crash cut short
  const auto reopen = [&] {
    list.DeleteAllRows(), store->SetFile({}), store->MarkClean();
    store->OpenDatabase("L");
    return std::make_pair(testing_support::Rows(list), store->IsChanged());
  };
  const QStringList restored = {"a@b.com|M(1) A(5/4/26) ", platform::DecodeBytes(odd + "|" + entry),
                                "z@b.com|", "a@b.com|A(5/4/26) "};
  EXPECT_EQ(reopen(), std::make_pair(restored, true));
  QTimer::singleShot(0, [&] { store->JournalMailing("z@b.com", "Late(5/4/26) "); });
  store->SaveFile();
  reopen();
  store->SaveFile();
  const QByteArray saved =
      "a@b.com M(1) A(5/4/26) \n" + odd + " " + entry + "\nz@b.com Late(5/4/26) \na@b.com A(5/4/26) \n";
  EXPECT_EQ(std::make_pair(ReadAll(Path("L")), QFile::exists(journal)), std::make_pair(saved, false));
  testing_support::FileSizeLimit full(8);
  store->JournalMailing("a@b.com", "B(5/4/26) ");
  EXPECT_EQ(std::make_pair(slugs.last(), QFile::exists(journal)),
            std::make_pair("Could not record the mailing to a@b.com in " + journal +
                               " (File too large): it is kept only once the list is saved.",
                           false));
}

// The autosave waits for an import to end; a list opened during a save opens after it.
TEST_F(OpenListTest, ImportAndOpenWaitForTheirTurn) {
  SetUnsavedRows(1, "L", "late@b.com");
  {
    const platform::LongWork import(&list, platform::LongWork::Importing);
    store->AutoSave();
    EXPECT_EQ(created, 0);
    list.AddRow("c@d.com");
  }
  EXPECT_EQ(std::make_pair(created, ReadAll(Path("L"))),
            std::make_pair(1, QByteArray("late@b.com \nc@d.com \n")));
  WriteAll(Path("B"), "b@b.com \n");
  SetUnsavedRows(1000, "A");
  QTimer::singleShot(0, [&] { store->OpenDatabase("B"); });
  store->SaveFile();
  EXPECT_EQ(std::make_tuple(ReadAll(Path("A")).count('\n'), GetRows(), store->LastOpen()),
            std::make_tuple(1000, Rows{{"b@b.com", ""}}, QString("B")));
}

// Removing the open list copies its addresses (without history) to Trash and deletes its
// file; Trash itself is deleted and copies nothing; a list with no file yet keeps Changed.
TEST_F(OpenListTest, RemoveOpenList) {
  for (const QString open : {"L", "Trash", ""}) {
    SCOPED_TRACE(open.isEmpty() ? "no file" : open.toStdString());
    WriteAll(Path("Trash"), "old@b.com\n");
    WriteAll(Path("L"), "a@b.com M(1) \nc@d.com \n");
    open.isEmpty() ? SetUnsavedRows(1) : store->OpenDatabase(open);
    store->MarkChanged();
    store->JournalMailing("a@b.com", "M(2) ");
    store->RemoveOpenList();
    const QByteArray trash = open == "L"  ? "old@b.com\na@b.com\nc@d.com\n"
                             : open == "" ? "old@b.com\na@b.com\n"
                                          : "";
    EXPECT_EQ(std::make_tuple(ReadAll(Path("Trash")), QFile::exists(Path("Trash")), QFile::exists(Path("L")),
                              list.ListCount(), store->File().IsNull(), store->IsChanged(),
                              QFile::exists(Path("." + open + ".velmora-journal"))),
              std::make_tuple(trash, open != "Trash", open != "L", 0, true, open.isEmpty(), false));
  }
}

// Rows added or changed while Trash is written stay in the list, unsaved; the rest go.
TEST_F(OpenListTest, RemoveOpenListKeepsRowsEditedMeanwhile) {
  using Edit = std::function<void(platform::ListModel&)>;
  const Edit sort = [](auto& l) { tools::SortRows(l, 0, l.ListCount() - 1, tools::SortBy::Id, false); };
  const std::vector<std::tuple<const char*, Edit, QStringList>> cases = {
      {"added", [](auto& l) { l.AddRow("new@x.com"); }, {"new@x.com|"}},
      {"inserted", [](auto& l) { l.InsertRow(0, "a6@x.com"); }, {"a6@x.com|"}},
      {"history edited", [](auto& l) { l.SetCell(5, 1, "N(1/2/26) "); }, {"a5@x.com|N(1/2/26) "}},
      {"removed", [](auto& l) { l.RemoveRow(0); }, {}},
      {"sorted", sort, {}},
      {"sorted, twin", [&](auto& l) { sort(l), l.AddRow(QStringList("a1@x.com") << "H "); }, {"a1@x.com|H "}},
  };
  QStringList rows;
  QByteArray trash = "old@x.com\n";
  for (int i = 0; i < 300; ++i) {
    rows << QString("a%1@x.com|%2").arg(i).arg(i % 2 ? "H " : "");
    trash += QString("a%1@x.com\n").arg(i).toUtf8();
  }
  for (const auto& [name, edit, left] : cases) {
    SCOPED_TRACE(name);
    WriteAll(Path("Trash"), "old@x.com\n");
    WriteAll(Path("L"), "");
    store->SetFile(platform::FolderItem(Path("L")));
    testing_support::SetRows(list, rows);
    store->MarkClean(), slugs.clear();
    QTimer::singleShot(0, [&, &edit = edit] { edit(list); });
    store->RemoveOpenList();
    const QStringList told = {"1 addresses added or changed during the removal stay in the list, unsaved."};
    EXPECT_EQ(std::make_tuple(ReadAll(Path("Trash")), QFile::exists(Path("L")), testing_support::Rows(list),
                              store->IsChanged(), slugs),
              std::make_tuple(trash, false, left, !left.isEmpty(), left.isEmpty() ? QStringList() : told));
  }
}

// A pipe in the place of Trash (or LastDatabase), or a Trash whose last write fails (at its
// close, after part of it, on a full disk) in a folder that takes no new file: nothing waits
// on the pipe, the list stays, Trash keeps its old lines, and each command says why it did
// nothing in the system's words.
TEST_F(OpenListTest, TrashThatCannotBeWrittenIsRefused) {
  ASSERT_EQ(::mkfifo(QFile::encodeName(Path("LastDatabase")).constData(), 0600), 0);
  for (const qint64 writable : {-1, 0, 5}) {  // -1: Trash is a pipe
    SCOPED_TRACE(writable < 0 ? std::string("Trash a pipe")
                              : "Trash failing after " + std::to_string(writable));
    QFile::remove(Path("Trash"));
    writable < 0 ? (void)::mkfifo(QFile::encodeName(Path("Trash")).constData(), 0600)
                 : WriteAll(Path("Trash"), "old@b.com\n");
    WriteAll(Path("L"), "a@b.com \nc@d.com \n");
    slugs.clear();
    store->OpenDatabase("L");
    platform::TextOutputStream::SetDeviceFactoryForTests([&](const QString& path) {
      const bool trash = path == Path("Trash");
      return std::make_unique<testing_support::FailingFile>(path, 0, trash ? writable : -1,
                                                            trash ? ENOSPC : EACCES);
    });
    store->RemoveOpenList();
    store->EmptyTrash();
    const QString pipe = "Not a regular file";
    EXPECT_EQ(std::make_tuple(QFile::exists(Path("L")), list.ListCount(), store->File().AbsolutePath(),
                              QFileInfo(Path("Trash")).size(), slugs.mid(1)),
              std::make_tuple(true, 2, Path("L"), writable < 0 ? 0 : 10,
                              QStringList{"Could not write " + Path("LastDatabase") + " (" + pipe +
                                              "): the next start will not open this list.",
                                          "Could not copy the list to Trash (" +
                                              (writable < 0 ? pipe : "No space left on device") +
                                              "); the list was not removed.",
                                          "Could not empty Trash " + Path("Trash") + ": " +
                                              (writable < 0 ? pipe : "Permission denied") + "."}));
  }
}

// Emptying Trash truncates it; the open list is emptied only when it is Trash and Trash
// could be written.
TEST_F(OpenListTest, EmptyTrash) {
  struct Case {
    const char* open;
    bool trashExists, diskFull;
    int rowsAfter;
  };
  for (const Case& c : {Case{"Other", true, false, 1}, Case{"Trash", true, false, 0},
                        Case{"Other", false, false, 1}, Case{"Trash", true, true, 1}}) {
    SCOPED_TRACE(testing::Message() << c.open << " open" << (c.trashExists ? "" : ", no Trash")
                                    << (c.diskFull ? ", disk full" : ""));
    QFile::remove(Path("Trash"));
    if (c.trashExists) WriteAll(Path("Trash"), "x@y.com\n");
    WriteAll(Path("Other"), "o@b.com \n");
    store->MarkClean();
    store->OpenDatabase(c.open);
    store->MarkChanged();
    store->JournalMailing("x@y.com", "M(1) ");
    slugs.clear();
    if (c.diskFull)
      platform::TextOutputStream::SetDeviceFactoryForTests([](const QString&) { return nullptr; });
    store->EmptyTrash();
    EXPECT_EQ(std::make_tuple(ReadAll(Path("Trash")), list.ListCount(), store->IsChanged(), slugs.size(),
                              QFile::exists(Path(".Trash.velmora-journal"))),
              std::make_tuple(QByteArray(c.diskFull ? "x@y.com\n" : ""), c.rowsAfter, c.rowsAfter > 0,
                              c.diskFull ? 1 : 0, c.diskFull));
  }
}

// The program's own files, and names LastDatabase could not hold on one line, are refused
// (the series is taken in the new-list dialog's test).
TEST_F(OpenListTest, NewListNames) {
  // Typed | the list made (none: refused).
  for (const QString c : {"News|News", "|Untitled", "a/b|a:b", "Trash|Trash", ".velmora-lock|",
                          ".News.velmora-save-x1.tmp|", ".News.velmora-journal|", "two\nlines|"}) {
    SCOPED_TRACE(c.toStdString());
    const auto file = lists::FreeListFile(store->Database(), c.section('|', 0, 0));
    EXPECT_EQ(file ? file->DisplayName() : QString(), c.section('|', 1));
  }
}

}  // namespace
