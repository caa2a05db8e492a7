#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QThread>

#include "app/Preferences.h"
#include "app/Settings.h"
#include "platform/TextStream.h"
#include "support/TestSupport.h"

using namespace platform;
using testing_support::ReadAll;
using testing_support::WriteAll;

namespace {

QStringList Listing(const FolderItem& folder) {
  QStringList names;
  for (int i = 1; i <= folder.Count(); ++i) names << folder.Item(i).DisplayName();
  return names;
}

// Replaces the file with the lines through Create; the result of Close.
FileResult Save(const QString& path, const QStringList& lines) {
  QString reason;
  auto out = TextOutputStream::Create(FolderItem(path), &reason);
  if (!out) return FileResult::Failure(reason);
  for (const QString& line : lines) out->WriteLine(line);
  return out->Close();
}

struct stat Stat(const QString& path) {
  struct stat info {};
  ::stat(QFile::encodeName(path).constData(), &info);
  return info;
}

QString Line(int version, int i) {
  return QStringLiteral("v%1 person%2@example.com ").arg(version).arg(i);
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { FolderItem::SetAppFolderForTests(m_dir.path()); }
  void TearDown() override { FolderItem::SetAppFolderForTests(QString()); }
  QString Path(const QString& name) const { return m_dir.path() + '/' + name; }
  static FolderItem Item(const QString& name) { return FolderItem::GetFolderItem(name); }
  QStringList Entries() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

  QTemporaryDir m_dir;
};

// A typed list name never reaches outside the folder; the name shown opens the same entry.
TEST_F(FilesTest, PathsAndChildNamesStayInsideTheFolder) {
  const FolderItem database = Item("Database");
  EXPECT_EQ(std::make_tuple(database.Parent(), FolderItem(Path("a/./b/../c")).AbsolutePath(),
                            FolderItem("/").Parent()),
            std::make_tuple(FolderItem::AppFolder(), Path("a/c"), FolderItem()));
  // A name, and the entry it names (none: empty).
  for (const QString c :
       {"a b.1|a b.1", ".hidden|.hidden", "../escape|..:escape", "a/b|a:b", "...|...", "|", ".|", "..|"}) {
    const QString name = c.section('|', 0, -2), entry = c.section('|', -1);
    const FolderItem child = database.Child(name);
    EXPECT_EQ(child.DisplayName(), entry) << name.toStdString();
    if (child.IsNull()) continue;
    EXPECT_EQ(std::make_pair(child.Parent(), database.Child(entry)), std::make_pair(database, child));
  }
}

// A folder that can be made is writeable; only an empty folder is deleted.
TEST_F(FilesTest, FoldersAreCreatedAndOnlyEmptyOnesDeleted) {
  const FolderItem database = Item("Database"), list = Item("Database/Friends");
  EXPECT_EQ(std::make_pair(database.IsWriteable(), Item("none/Database").IsWriteable()),
            std::make_pair(true, false));
  EXPECT_EQ(std::make_pair(database.CreateAsFolder().Ok(), database.CreateAsFolder().Ok()),
            std::make_pair(true, true));
  WriteAll(list.AbsolutePath(), "a@b.com \n");
  EXPECT_EQ(QList<bool>({database.Delete().Ok(), list.Delete().Ok(), list.Delete().Ok(),
                         database.Delete().Ok(), database.Exists()}),
            QList<bool>({false, true, false, true, false}));
}

// A file is replaced inside its folder: in a folder that takes no new files it is not
// writeable (checked as a user whom permissions bind).
TEST_F(FilesTest, ReadOnlyFolderIsNotWriteable) {
  ASSERT_TRUE(Item("locked").CreateAsFolder().Ok());
  WriteAll(Path("locked/list"), "a@b.com \n");
  using P = QFileDevice;
  QFile::setPermissions(m_dir.path(), QFile::permissions(m_dir.path()) | P::ExeOther);
  QFile::setPermissions(Path("locked"), P::ReadOwner | P::ExeOwner | P::ReadOther | P::ExeOther);
  QFile::setPermissions(Path("locked/list"), P::ReadOwner | P::WriteOwner | P::ReadOther | P::WriteOther);
  EXPECT_EQ(testing_support::RunWithoutPrivileges([&] {
              return QByteArray::number(Item("locked").IsWriteable()) +
                     char('0' + Item("locked/list").IsWriteable()) +
                     (TextOutputStream::Create(Item("locked/list")) ? "1" : "0");
            }),
            "000");
  QFile::setPermissions(Path("locked"), P::ReadOwner | P::WriteOwner | P::ExeOwner);
}

// Items count from one in name order, hidden ones too, never a save's temporary file; a
// change shows at the next Count, right after a listing or after a while.
TEST_F(FilesTest, ListingFollowsEveryChange) {
  const FolderItem drop = Item("drop"), folder = Item("Database");
  ASSERT_EQ(
      drop.CreateAsFolder().Ok() && drop.Child("sub").CreateAsFolder().Ok() && folder.CreateAsFolder().Ok(),
      true);
  for (const char* name : {"b", ".hidden", "C", ".b.velmora-save-x1.tmp"})
    WriteAll(Path("drop/") + name, "x");
  EXPECT_EQ(std::make_tuple(Listing(drop), drop.Item(0), drop.Item(5), drop.Child("b").Count()),
            std::make_tuple(QStringList{".hidden", "C", "b", "sub"}, FolderItem(), FolderItem(), 0));
  for (bool settled : {false, true}) {
    SCOPED_TRACE(settled ? "after a while" : "at once");
    for (const char* name : {"a", "b", "c"}) WriteAll(folder.Child(name).AbsolutePath(), "x");
    if (settled) QThread::sleep(4);
    EXPECT_EQ(Listing(folder), (QStringList{"a", "b", "c"}));
    WriteAll(folder.Child("d").AbsolutePath(), "x");
    EXPECT_EQ(Listing(folder), (QStringList{"a", "b", "c", "d"}));
    ASSERT_TRUE(QFile::rename(folder.Child("a").AbsolutePath(), folder.Child("e").AbsolutePath()));
    EXPECT_EQ(Listing(folder), (QStringList{"b", "c", "d", "e"}));
    for (const char* name : {"b", "c", "d", "e"}) ASSERT_TRUE(folder.Child(name).Delete().Ok());
    EXPECT_EQ(folder.Count(), 0);
  }
}

// Line ends (CR, LF, CR LF, none at the end); every byte of a line survives a read and a
// write: Latin-1, a cut UTF-8 sequence, NULs, a BOM.
TEST_F(FilesTest, LinesAndTheirBytes) {
  const std::pair<QByteArray, QString> cases[] = {
      {"", ""},        {"a", "a"},           {"a\r", "a"},       {"a\r\n", "a"},  {"\n", ""},
      {"a\nb", "a|b"}, {"a\n\nb\n", "a||b"}, {"a\r\rb", "a||b"}, {"a\n\r", "a|"}, {"a\r\n\r\nb", "a||b"}};
  for (const auto& [bytes, joined] : cases) {
    auto in = TextInputStream::FromBytes(bytes);
    // As the list reader does: the first line is read before the first end test.
    QStringList lines{in->ReadLine()};
    while (!in->EOF_()) lines << in->ReadLine();
    EXPECT_EQ(std::make_pair(lines, in->ReadLine()), std::make_pair(joined.split('|'), QString()))
        << bytes.toHex().toStdString();
  }
  auto in = TextInputStream::FromBytes("first\r\nsecond\rthird\n\xff");
  EXPECT_EQ((std::tuple{in->ReadLine(), in->ReadAll(), in->EOF_()}),
            std::make_tuple("first", "second\rthird\n" + QString(QChar(char16_t(0xDCFF))), true));
  static const char raw[] =
      "\xef\xbb\xbf"
      "caf\xe9 a@b.com\r\nnul\0inside\ncut \xe2\x82\r\xc3\xa9t\xc3\xa9 "
      "\xf0\x9f\x98\x80\n\nlast\r";
  const QByteArray original(raw, sizeof raw - 1);
  WriteAll(Path("list"), original);
  QStringList lines;
  for (auto list = TextInputStream::Open(Item("list")); list && !list->EOF_();) lines << list->ReadLine();
  ASSERT_TRUE(Save(Path("copy"), lines).Ok());
  EXPECT_EQ(ReadAll(Path("copy")), QByteArray(original).replace("\r\n", "\n").replace('\r', '\n'));
}

// A pipe (or a link to one) would block a read or a write for ever; neither it nor a folder
// is opened.
TEST_F(FilesTest, OnlyRegularFilesAreReadOrWritten) {
  ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe")).constData(), 0600), 0);
  ASSERT_TRUE(QFile::link(Path("pipe"), Path("link")));
  EXPECT_EQ(TextInputStream::Open(Item("missing")), nullptr);
  for (const FolderItem& item : {Item("pipe"), Item("link"), FolderItem::AppFolder()}) {
    EXPECT_EQ(std::make_tuple(TextInputStream::Open(item), TextOutputStream::Append(item),
                              TextOutputStream::Create(item)),
              std::make_tuple(nullptr, nullptr, nullptr))
        << item.DisplayName().toStdString();
  }
}

TEST_F(FilesTest, CreateReplacesOnlyOnClose) {
  const QString path = Path("Friends");
  WriteAll(path, "old@list.com \n");
  TextOutputStream::Create(FolderItem(path))->WriteLine("lost");  // no Close: the old file stands
  EXPECT_EQ(std::make_pair(ReadAll(path), Entries()),
            std::make_pair(QByteArray("old@list.com \n"), QStringList{"Friends"}));
  auto out = TextOutputStream::Create(FolderItem(path));
  out->WriteLine("new@list.com Launch(1/2/26) ");
  out->Write("tail");
  EXPECT_EQ(std::make_pair(out->Close().Ok(), out->Close().Ok()), std::make_pair(true, true));
  EXPECT_EQ(std::make_pair(ReadAll(path), Entries()),
            std::make_pair(QByteArray("new@list.com Launch(1/2/26) \ntail"), QStringList{"Friends"}));
  // Empty files, and names so long (in bytes) that the temporary name must be cut.
  for (const QString& name : {QString("Untitled"), QString(240, 'n'), QString(120, QChar(0x0436))}) {
    SCOPED_TRACE(name.toStdString());
    EXPECT_EQ(Save(Path(name), {}).Ok(), true);
    EXPECT_EQ(QFileInfo(Path(name)).size(), 0);
  }
  EXPECT_EQ(TextOutputStream::Create(Item("no/such/list")), nullptr);
}

// A replaced file keeps its owner (saved by root) and mode; links stay, their target is replaced.
TEST_F(FilesTest, CreateKeepsPermissionsOwnerAndFollowsLinks) {
  const QString path = Path("Friends");
  WriteAll(path, "a@b.com \n");
  ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
  const bool root = ::geteuid() == 0;
  ASSERT_EQ(root ? ::chown(QFile::encodeName(path).constData(), 4242, 4343) : 0, 0);
  ASSERT_EQ(QFile::link(path, Path("link")) && QFile::link(Path("link"), Path("outer")), true);
  for (const char* name : {"Friends", "link", "outer"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(Save(Path(name), {name}).Ok());
    const struct stat info = Stat(path);
    EXPECT_EQ(std::make_tuple(ReadAll(path), info.st_mode & 0777, info.st_uid, info.st_gid),
              std::make_tuple(QByteArray(name) + '\n', 0600u, root ? 4242u : ::geteuid(),
                              root ? 4343u : ::getegid()));
  }
  EXPECT_EQ(std::make_pair(QFileInfo(Path("link")).isSymLink(), QFileInfo(Path("outer")).isSymLink()),
            std::make_pair(true, true));
}

// The settings file is its owner's only; a line break in a value becomes a blank, or every
// later setting would move; the duplicate test is on when its line begins with "True".
TEST_F(FilesTest, PreferencesArePrivateAndKeepTheirLines) {
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(app::WritePreferences(FolderItem(m_dir.path()),
                                    {"smtp", "me", " p w ", true, "", "pop\r\nuser", "x\ny"})
                  .Ok(),
              true);
    EXPECT_EQ(std::make_pair(ReadAll(Path("Preferences")), Stat(Path("Preferences")).st_mode & 0777),
              std::make_pair(QByteArray("smtp\nme\n p w \nTrue\n\npop user\nx y\n"), 0600u));
    ::chmod(QFile::encodeName(Path("Preferences")).constData(), 0666);
  }
  for (const auto& [line, on] :
       std::vector<std::pair<QString, bool>>{{"True and more", true}, {" True", false}, {"xTrue", false}})
    EXPECT_EQ(app::ParsePreferences({"s", "u", "p", line}), (app::Preferences{"s", "u", "p", on, "", "", ""}))
        << line.toStdString();
}

// The one copy of the settings says when they change and only then; its values change in
// place, since the send engine holds references to them; it writes to the folder it read from.
TEST_F(FilesTest, SettingsOwner) {
  app::Settings settings;
  QSignalSpy changed(&settings, &app::Settings::changed);
  const QString& server = settings.Values().server;
  EXPECT_EQ(settings.Save().Ok(), false);
  WriteAll(Path("Preferences"), "smtp\nme\n");
  EXPECT_EQ(settings.Load(FolderItem(m_dir.path())), std::nullopt);
  settings.Set(&app::Preferences::username, QString("me"));
  settings.Set(&app::Preferences::xduplicates, true);
  ASSERT_EQ(settings.Save().Ok(), true);
  EXPECT_EQ(
      std::make_tuple(server.toStdString(), changed.count(), ReadAll(Path("Preferences")).toStdString()),
      std::make_tuple("smtp", 2, "smtp\nme\n\nTrue\n\n\n\n"));
}

// Start-up reads the first lines of a regular file only, each up to the longest length; a
// longer line, however long, is refused once that much is read. (A folder and a read error
// are the start-up test's.)
TEST_F(FilesTest, FirstLinesOfSettingsFiles) {
  const qsizetype longest = app::kMaxSettingLineBytes;
  WriteAll(Path("short"), "a\r\n" + QByteArray(longest, 'x') + "\rb");
  WriteAll(Path("long"), "a\n" + QByteArray(longest + 1, 'x'));
  QFile gigabyte(Path("gigabyte"));  // sparse: a gigabyte of zero bytes on one line
  ASSERT_EQ(gigabyte.open(QIODevice::WriteOnly) && gigabyte.resize(qint64(1) << 30), true);
  ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe")).constData(), 0600), 0);
  using State = app::FirstLines::State;
  for (const auto& [name, state, lines] : std::vector<std::tuple<QString, State, QStringList>>{
           {"short", State::Read, {"a", QString(longest, 'x'), "b", ""}},
           {"long", State::Unreadable, {}},
           {"gigabyte", State::Unreadable, {}},
           {"pipe", State::Unreadable, {}}}) {
    const app::FirstLines read = app::ReadFirstLines(Item(name), 4);
    EXPECT_EQ(std::make_tuple(read.state, read.lines), std::make_tuple(state, lines)) << name.toStdString();
  }
}

// An append adds to the end (after a missing last line end), creates the file, and keeps
// its lines without Close. One that fails half-way (a full disk) leaves the file as it was,
// or no file, never a torn part: in a write, the close or the destructor's write.
TEST_F(FilesTest, AppendAddsToTheEndAllOrNothing) {
  const QString path = Path("Trash");
  const auto append = [&](const char* line, bool close) {
    auto out = TextOutputStream::Append(FolderItem(path));
    out->WriteLine(line);
    EXPECT_EQ(close ? out->Close().Ok() : true, true);
  };
  append("a@b.com", true);
  append("c@d.org", false);
  EXPECT_EQ(ReadAll(path), QByteArray("a@b.com\nc@d.org\n"));
  for (const auto& [before, after] : std::vector<std::pair<QByteArray, QByteArray>>{
           {"", "new\n"}, {"old", "old\nnew\n"}, {"old\r\n", "old\r\nnew\n"}, {"old\r", "old\rnew\n"}}) {
    WriteAll(path, before);
    append("new", true);
    EXPECT_EQ(ReadAll(path), after) << before.toStdString();
  }
  const std::tuple<std::optional<QByteArray>, int, bool> failing[] = {{"old@b.com\n", 5000, true},
                                                                      {"old@b.com", 10, true},
                                                                      {"old@b.com\n", 10, false},
                                                                      {std::nullopt, 5000, true}};
  for (const auto& [before, lines, close] : failing) {
    SCOPED_TRACE(std::to_string(lines) + (close ? " lines, closed" : " lines") + (before ? "" : ", no file"));
    QFile::remove(path);
    if (before) WriteAll(path, *before);
    {
      testing_support::FileSizeLimit full(before.value_or("").size() + 40);
      auto out = TextOutputStream::Append(FolderItem(path));
      for (int i = 0; i < lines; ++i) out->WriteLine("someone@example.com");
      if (close) {
        EXPECT_EQ(out->Close().Reason(), QString("File too large"));
      }
    }
    EXPECT_EQ(std::make_pair(QFile::exists(path), ReadAll(path)),
              std::make_pair(before.has_value(), before.value_or("")));
  }
}

// A save that fails at any byte (a full disk) says why, keeps the old file and leaves no
// temporary file.
TEST_F(FilesTest, FailingWriteKeepsTheOldFile) {
  const QString path = Path("Friends");
  WriteAll(path, "old@list.com \n");
  const QStringList small(40, "person@example.com Issue(1/2/26) "), big(5000, QString(220, 'x'));
  const qsizetype smallSize = small.size() * 34;
  const auto fails = [&](qsizetype limit, const QStringList& lines) {
    testing_support::FileSizeLimit full(limit);
    EXPECT_EQ((std::tuple{Save(path, lines).Reason(), ReadAll(path), Entries()}),
              std::make_tuple("File too large", QByteArray("old@list.com \n"), QStringList{"Friends"}))
        << limit;
  };
  for (qsizetype limit = 0; limit < smallSize; ++limit) fails(limit, small);
  for (qsizetype limit : {65535, 65536, 65537, 500000}) fails(limit, big);
  testing_support::FileSizeLimit room(smallSize);
  EXPECT_EQ((std::pair{Save(path, small).Ok(), ReadAll(path).size()}), std::make_pair(true, smallSize));
}

// Run only as the child of the test below: saves two versions in turn until killed.
TEST(KillHelper, DISABLED_SavesUntilKilled) {
  for (int round = 0;; ++round) {
    auto out = TextOutputStream::Create(FolderItem(qEnvironmentVariable("VELMORA_KILL_TARGET")));
    for (int i = 0; i < 30000; ++i) out->WriteLine(Line(round % 2, i));
    ASSERT_EQ(out->Close().Ok(), true);
  }
}

// A save killed at any moment leaves the old list or the new, never a torn mix; its
// abandoned temporary file is no list.
TEST_F(FilesTest, KillDuringASaveLeavesAWholeFile) {
  QList<QByteArray> versions(2);
  for (int i = 0; i < 30000; ++i)
    for (int v : {0, 1}) versions[v] += Line(v, i).toLatin1() + '\n';
  WriteAll(Path("Friends"), versions[1]);
  qputenv("VELMORA_KILL_TARGET", QFile::encodeName(Path("Friends")));
  for (int run = 0; run < 12; ++run) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=KillHelper.*", "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(testing_support::WaitUntil([&] { return Entries().size() > 1; }, 30000));
    QThread::msleep(QRandomGenerator::global()->bounded(1 + run * 20));
    child.kill();
    child.waitForFinished();
    EXPECT_EQ(versions.count(ReadAll(Path("Friends"))), 1) << "torn after run " << run;
    EXPECT_EQ(Listing(FolderItem::AppFolder()), QStringList{"Friends"});
    for (const QString& name : Entries())
      if (name != "Friends") QFile::remove(Path(name));
  }
}

}  // namespace
