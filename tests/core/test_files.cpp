#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <optional>

#include "app/Preferences.h"
#include "platform/FolderItem.h"
#include "platform/Text.h"
#include "platform/TextStream.h"
#include "support/TestSupport.h"

using namespace platform;
using testing_support::ReadAll;
using testing_support::WriteAll;

namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { FolderItem::SetAppFolderForTests(m_dir.path()); }
  void TearDown() override { FolderItem::SetAppFolderForTests(QString()); }
  QString Path(const QString& name) const { return m_dir.path() + '/' + name; }
  static FolderItem Item(const QString& name) { return FolderItem::GetFolderItem(name); }
  QStringList FolderEntries() const {
    return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
  }
  static QStringList Listing(const FolderItem& folder) {
    QStringList names;
    for (int i = 1; i <= folder.Count(); ++i) names << folder.Item(i).DisplayName();
    return names;
  }
  // Replaces the file with the lines through Create; the result of Close.
  static bool Save(const QString& path, const QStringList& lines) {
    auto out = TextOutputStream::Create(FolderItem(path));
    if (!out) return false;
    for (const QString& line : lines) out->WriteLine(line);
    return out->Close();
  }
  static mode_t Mode(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode;
  }

  QTemporaryDir m_dir;
};

// ---- FolderItem ----------------------------------------------------------------------

// A child is an entry of its folder whatever its name holds: a typed list name must not
// reach outside the Database folder, and the name shown opens the same entry again.
TEST_F(FilesTest, PathsAndChildNamesStayInsideTheFolder) {
  const FolderItem database = Item("Database");
  EXPECT_EQ(database.Parent(), FolderItem::AppFolder());
  EXPECT_EQ(FolderItem(Path("a/./b/../c")).AbsolutePath(), Path("a/c"));
  EXPECT_EQ(FolderItem("/").Parent().IsNull(), true);
  // Name, the entry it names (none: "").
  const std::pair<QString, QString> cases[] = {{"a b.1", "a b.1"},
                                               {".hidden", ".hidden"},
                                               {"../escape", "..:escape"},
                                               {"a/b", "a:b"},
                                               {"...", "..."},
                                               {"", ""},
                                               {".", ""},
                                               {"..", ""}};
  for (const auto& [name, entry] : cases) {
    const FolderItem child = database.Child(name);
    EXPECT_EQ(child.DisplayName(), entry) << name.toStdString();
    if (!child.IsNull())
      EXPECT_EQ(std::make_pair(child.Parent(), database.Child(entry)), std::make_pair(database, child));
  }
}

TEST_F(FilesTest, FoldersAreCreatedAndOnlyEmptyOnesDeleted) {
  const FolderItem database = Item("Database");
  EXPECT_EQ(database.IsWriteable(), true);  // missing but can be made, so the start-up may go on
  EXPECT_EQ(Item("none/Database").IsWriteable(), false);
  EXPECT_EQ(std::make_pair(database.CreateAsFolder(), database.CreateAsFolder()), std::make_pair(true, true));
  const FolderItem list = database.Child("Friends");
  WriteAll(list.AbsolutePath(), "a@b.com \n");
  EXPECT_EQ(
      QList<bool>({database.Delete(), list.Delete(), list.Delete(), database.Delete(), database.Exists()}),
      QList<bool>({false, true, false, true, false}));
}

// A file is saved by replacing it inside its folder: writable itself, it is still not
// writeable in a folder that takes no new files.
TEST_F(FilesTest, ReadOnlyFolderIsNotWriteable) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  ASSERT_TRUE(Item("locked").CreateAsFolder());
  WriteAll(Path("locked/list"), "a@b.com \n");
  QFile::setPermissions(Path("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  EXPECT_EQ(std::make_pair(Item("locked").IsWriteable(), Item("locked/list").IsWriteable()),
            std::make_pair(false, false));
  EXPECT_EQ(TextOutputStream::Create(Item("locked/list")), nullptr);
  QFile::setPermissions(Path("locked"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// Items count from one in name order, hidden ones too, but never a save's temporary file.
// A folder's listing is reused until it changes: changes right after a listing, and to a
// folder left alone for a while, both show at the next Count.
TEST_F(FilesTest, ListingFollowsEveryChange) {
  const FolderItem drop = Item("drop");
  ASSERT_TRUE(drop.CreateAsFolder());
  for (const char* name : {"b", ".hidden", "C", ".b.velmora-save-x1.tmp"})
    WriteAll(Path("drop/") + name, "x");
  ASSERT_TRUE(drop.Child("sub").CreateAsFolder());
  EXPECT_EQ(Listing(drop), (QStringList{".hidden", "C", "b", "sub"}));
  EXPECT_EQ(std::make_tuple(drop.Item(0).IsNull(), drop.Item(5).IsNull(), drop.Child("b").Count()),
            std::make_tuple(true, true, 0));
  const FolderItem folder = Item("Database");
  ASSERT_TRUE(folder.CreateAsFolder());
  for (bool settled : {false, true}) {
    for (const char* name : {"a", "b", "c"}) WriteAll(folder.Child(name).AbsolutePath(), "x");
    if (settled) QThread::sleep(4);
    EXPECT_EQ(Listing(folder), (QStringList{"a", "b", "c"}));
    WriteAll(folder.Child("d").AbsolutePath(), "x");
    EXPECT_EQ(Listing(folder), (QStringList{"a", "b", "c", "d"}));
    ASSERT_TRUE(QFile::rename(folder.Child("a").AbsolutePath(), folder.Child("e").AbsolutePath()));
    EXPECT_EQ(Listing(folder), (QStringList{"b", "c", "d", "e"}));
    for (const char* name : {"b", "c", "d", "e"}) ASSERT_TRUE(folder.Child(name).Delete());
    EXPECT_EQ(folder.Count(), 0) << settled;
  }
}

// ---- Reading -------------------------------------------------------------------------

// An empty file gives one empty line; a lone CR ends a line, also at the very end; LF then
// CR is two line ends; the last line needs no line end.
TEST(TextInputStreamLines, LineEndsTable) {
  const std::pair<QByteArray, QString> cases[] = {
      // bytes, the lines joined by |
      {"", ""},        {"a", "a"},           {"a\r", "a"},       {"a\r\n", "a"},  {"\n", ""},
      {"a\nb", "a|b"}, {"a\n\nb\n", "a||b"}, {"a\r\rb", "a||b"}, {"a\n\r", "a|"}, {"a\r\n\r\nb", "a||b"}};
  for (const auto& [bytes, joined] : cases) {
    auto in = TextInputStream::FromBytes(bytes);
    QStringList lines;
    do {  // as the list reader does: the first line is read before the first end test
      lines << in->ReadLine();
    } while (!in->EOF_());
    EXPECT_EQ(std::make_pair(lines, in->ReadLine()), std::make_pair(joined.split('|'), QString()))
        << bytes.toHex().toStdString();
  }
  auto in = TextInputStream::FromBytes("first\r\nsecond\rthird\n\xff");
  EXPECT_EQ(in->ReadLine(), "first");
  EXPECT_EQ(in->ReadAll(), "second\rthird\n" + QString(QChar(char16_t(0xDCFF))));  // the rest unchanged
  EXPECT_EQ(in->EOF_(), true);
}

// A pipe would block the program for ever, in a read or in a write; replacing it would
// destroy what is not a list. A link to it is no different.
TEST_F(FilesTest, OnlyRegularFilesAreReadOrWritten) {
  EXPECT_EQ(TextInputStream::Open(Item("missing")), nullptr);
  EXPECT_EQ(TextInputStream::Open(FolderItem::AppFolder()), nullptr);
  EXPECT_EQ(TextOutputStream::Create(FolderItem::AppFolder()), nullptr);
  EXPECT_EQ(TextOutputStream::Append(FolderItem::AppFolder()), nullptr);
  ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe")).constData(), 0600), 0);
  ASSERT_TRUE(QFile::link(Path("pipe"), Path("link")));
  for (const char* name : {"pipe", "link"}) {
    EXPECT_EQ(TextInputStream::Open(Item(name)), nullptr) << name;
    EXPECT_EQ(TextOutputStream::Append(Item(name)), nullptr) << name;
    EXPECT_EQ(TextOutputStream::Create(Item(name)), nullptr) << name;
  }
  EXPECT_EQ(S_ISFIFO(Mode(Path("pipe"))), true);
}

// Latin-1, a cut UTF-8 sequence, NULs, CR LF, a lone CR, a BOM and a CR at the very end.
TEST_F(FilesTest, EveryByteOfEveryLineSurvivesAReadAndAWrite) {
  static const char raw[] =
      "\xef\xbb\xbf"
      "caf\xe9 a@b.com\r\nnul\0inside\ncut \xe2\x82\r"
      "\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80\n\nlast\r";
  const QByteArray original(raw, sizeof raw - 1);
  WriteAll(Path("list"), original);
  auto in = TextInputStream::Open(Item("list"));
  ASSERT_NE(in, nullptr);
  QStringList lines;
  while (!in->EOF_()) lines << in->ReadLine();
  ASSERT_TRUE(Save(Path("copy"), lines));
  EXPECT_EQ(ReadAll(Path("copy")), QByteArray(original).replace("\r\n", "\n").replace('\r', '\n'));
}

// ---- Writing -------------------------------------------------------------------------

TEST_F(FilesTest, CreateReplacesOnlyOnClose) {
  const QString path = Path("Friends");
  WriteAll(path, "old@list.com \n");
  {
    auto out = TextOutputStream::Create(FolderItem(path));
    ASSERT_NE(out, nullptr);
    out->WriteLine("lost");
  }  // no Close: the old file stands
  EXPECT_EQ(std::make_pair(ReadAll(path), FolderEntries()),
            std::make_pair(QByteArray("old@list.com \n"), QStringList{"Friends"}));
  auto out = TextOutputStream::Create(FolderItem(path));
  ASSERT_NE(out, nullptr);
  out->WriteLine("new@list.com Launch(1/2/26) ");
  out->Write("tail");
  EXPECT_EQ(ReadAll(path), QByteArray("old@list.com \n"));  // nothing visible before Close
  EXPECT_EQ(std::make_pair(out->Close(), out->Close()), std::make_pair(true, true));
  EXPECT_EQ(std::make_pair(ReadAll(path), FolderEntries()),
            std::make_pair(QByteArray("new@list.com Launch(1/2/26) \ntail"), QStringList{"Friends"}));

  // Empty files, and names so long (in bytes: 120 two-byte letters are 240) that the
  // temporary name must be cut.
  for (const QString& name : {QString("Untitled"), QString(240, 'n'), QString(120, QChar(0x0436))}) {
    EXPECT_EQ(Save(Path(name), {}), true);
    EXPECT_EQ(QFileInfo(Path(name)).size(), 0);
  }
  EXPECT_EQ(TextOutputStream::Create(Item("no/such/list")), nullptr);
}

// Saved by root, a user's file must stay the user's, or the user is locked out of it; the
// mode stays too. A link (or a chain of links) stays, and the file at its end is replaced.
TEST_F(FilesTest, CreateKeepsPermissionsOwnerAndFollowsLinks) {
  const QString path = Path("Friends");
  WriteAll(path, "a@b.com \n");
  ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
  const bool root = ::geteuid() == 0;
  if (root) ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 4242, 4343), 0);
  ASSERT_TRUE(QFile::link(path, Path("link")));
  ASSERT_TRUE(QFile::link(Path("link"), Path("outer")));
  for (const char* name : {"Friends", "link", "outer"}) {
    ASSERT_TRUE(Save(Path(name), {name}));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(std::make_tuple(ReadAll(path), info.st_mode & 0777, info.st_uid, info.st_gid),
              std::make_tuple(QByteArray(name) + '\n', 0600u, root ? 4242u : ::geteuid(),
                              root ? 4343u : ::getegid()));
  }
  EXPECT_EQ(std::make_pair(QFileInfo(Path("link")).isSymLink(), QFileInfo(Path("outer")).isSymLink()),
            std::make_pair(true, true));
}

// The settings file holds passwords: readable by its owner only, whether new or replacing
// a file that allowed more. A line break in a value stays on its line as a blank, or every
// later setting would move; the duplicate test is on only when its line begins with "True".
TEST_F(FilesTest, PreferencesArePrivateAndKeepTheirLines) {
  const app::Preferences settings{"smtp.host", "me", " p w ", true, "", "pop\r\nuser", "x\ny"};
  const QByteArray file = "smtp.host\nme\n p w \nTrue\n\npop user\nx y\n";
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(app::WritePreferences(FolderItem(m_dir.path()), settings), true);
    EXPECT_EQ(std::make_pair(ReadAll(Path("Preferences")), Mode(Path("Preferences")) & 0777),
              std::make_pair(file, 0600u));
    ::chmod(QFile::encodeName(Path("Preferences")).constData(), 0666);
  }
  EXPECT_EQ(app::ParsePreferences(QString(file).split('\n')),
            (app::Preferences{"smtp.host", "me", " p w ", true, "", "pop user", "x y"}));
  for (const auto& [line, on] :
       std::vector<std::pair<QString, bool>>{{"True and more", true}, {" True", false}, {"xTrue", false}})
    EXPECT_EQ(app::ParsePreferences({"", "", "", line}).xduplicates, on) << line.toStdString();
}

TEST_F(FilesTest, AppendAddsToTheEnd) {
  const QString path = Path("Trash");
  const auto append = [&](const char* line, bool close) {
    auto out = TextOutputStream::Append(FolderItem(path));
    ASSERT_NE(out, nullptr);
    out->WriteLine(line);
    if (close) EXPECT_EQ(out->Close(), true);
  };
  append("a@b.com", true);   // created when missing
  append("c@d.org", false);  // no Close: appended lines are still kept
  EXPECT_EQ(ReadAll(path), QByteArray("a@b.com\nc@d.org\n"));
  // A last line without a line end (edited by hand) is ended before the new line.
  const std::pair<QByteArray, QByteArray> cases[] = {
      {"", "new\n"}, {"old", "old\nnew\n"}, {"old\r\n", "old\r\nnew\n"}, {"old\r", "old\rnew\n"}};
  for (const auto& [before, after] : cases) {
    WriteAll(path, before);
    append("new", true);
    EXPECT_EQ(ReadAll(path), after) << before.toStdString();
  }
}

// An append that fails half-way (the disk fills up) leaves the file as it was, or no file
// when there was none, never a torn part of the lines; with or without Close.
TEST_F(FilesTest, FailedAppendLeavesTheFileAsItWas) {
  const QString path = Path("Trash");
  struct Case {
    std::optional<QByteArray> before;  // none: no file yet
    int lines;                         // of 20 bytes; past the write buffer, a write fails
    bool close;
  };
  const Case cases[] = {{"old@b.com\n", 5000, true},  // a write fails
                        {"old@b.com", 10, true},      // the close fails, no last line end
                        {"old@b.com\n", 10, false},   // the destructor's write fails
                        {std::nullopt, 5000, true}};
  for (const Case& c : cases) {
    QFile::remove(path);
    if (c.before) WriteAll(path, *c.before);
    {
      testing_support::FileSizeLimit full(c.before.value_or("").size() + 40);
      auto out = TextOutputStream::Append(FolderItem(path));
      ASSERT_NE(out, nullptr);
      for (int i = 0; i < c.lines; ++i) out->WriteLine("someone@example.com");
      if (c.close) EXPECT_EQ(out->Close(), false);
    }
    EXPECT_EQ(std::make_pair(QFile::exists(path), ReadAll(path)),
              std::make_pair(c.before.has_value(), c.before.value_or("")))
        << c.lines << c.close;
  }
}

// A save that fails at any point (the disk fills up) says so, keeps the old file and
// leaves no temporary file behind; a short list at every byte, about a megabyte around
// the write buffer's size.
TEST_F(FilesTest, FailingWriteKeepsTheOldFile) {
  const QString path = Path("Friends");
  const QByteArray old("old@list.com Welcome(3/4/25) \nsecond@list.com \n");
  WriteAll(path, old);
  const QStringList small(40, "person@example.com Issue(1/2/26) ");
  const QStringList big(5000, "someone@example.com " + QString(200, 'x'));
  const qsizetype smallSize = 40 * 34;
  const auto failsAndKeepsTheOldFile = [&](qsizetype limit, const QStringList& lines) {
    testing_support::FileSizeLimit full(limit);
    EXPECT_EQ(Save(path, lines), false) << limit;
    EXPECT_EQ(std::make_pair(ReadAll(path), FolderEntries()), std::make_pair(old, QStringList{"Friends"}))
        << limit;
  };
  for (qsizetype limit = 0; limit < smallSize; ++limit) failsAndKeepsTheOldFile(limit, small);
  for (qsizetype limit : {65535, 65536, 65537, 500000}) failsAndKeepsTheOldFile(limit, big);
  testing_support::FileSizeLimit room(smallSize);
  EXPECT_EQ(Save(path, small), true);
  EXPECT_EQ(ReadAll(path).size(), smallSize);
}

// Run only as the child of the test below: saves two versions of the list in turn until
// killed.
TEST(KillHelper, DISABLED_SavesUntilKilled) {
  const QString path = qEnvironmentVariable("VELMORA_KILL_TARGET");
  for (int round = 0;; ++round) {
    auto out = TextOutputStream::Create(FolderItem(path));
    ASSERT_NE(out, nullptr);
    for (int i = 0; i < 30000; ++i)
      out->WriteLine(QStringLiteral("v%1 person%2@example.com ").arg(round % 2).arg(i));
    ASSERT_EQ(out->Close(), true);
  }
}

// A save killed at any moment, while it writes or while it commits, leaves the list
// whole: the old content or the new, never a torn mix; its abandoned temporary file is
// no list.
TEST_F(FilesTest, KillDuringASaveLeavesAWholeFile) {
  const QString path = Path("Friends");
  QByteArray versions[2];
  for (int i = 0; i < 30000; ++i)
    for (int v : {0, 1})
      versions[v] += QStringLiteral("v%1 person%2@example.com \n").arg(v).arg(i).toLatin1();
  WriteAll(path, versions[1]);
  for (int run = 0; run < 12; ++run) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VELMORA_KILL_TARGET", path);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=KillHelper.*", "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(child.waitForStarted());
    ASSERT_TRUE(testing_support::WaitUntil([&] { return FolderEntries().size() > 1; }, 30000));
    QThread::msleep(QRandomGenerator::global()->bounded(1 + run * 20));
    child.kill();
    child.waitForFinished();
    const QByteArray now = ReadAll(path);
    EXPECT_NE(now == versions[0]   ? 0
              : now == versions[1] ? 1
                                   : -1,
              -1)
        << "torn after run " << run << ": " << now.size();
    EXPECT_EQ(Listing(FolderItem::AppFolder()), (QStringList{"Friends"}));
    for (const QString& name : FolderEntries())
      if (name != "Friends") QFile::remove(Path(name));
  }
}

}  // namespace
