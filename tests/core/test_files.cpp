#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <optional>

#include "platform/FolderItem.h"
#include "platform/Text.h"
#include "platform/TextStream.h"
#include "support/TestSupport.h"

using namespace platform;
using testing_support::ReadAll;
using testing_support::WriteAll;

namespace {

QString U(const char* utf8) {
  return QString::fromUtf8(utf8);
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    FolderItem::SetAppFolderForTests(m_dir.path());
  }
  void TearDown() override {
    FolderItem::SetAppFolderForTests(QString());
    TextOutputStream::SetDeviceFactoryForTests({});
  }
  QString Path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
  FolderItem Item(const char* name) const { return FolderItem::GetFolderItem(U(name)); }
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

  QTemporaryDir m_dir;
};

// ---- FolderItem ----------------------------------------------------------------------

TEST_F(FilesTest, PathsResolveAgainstTheApplicationFolder) {
  const FolderItem database = Item("Database");
  EXPECT_EQ(database.AbsolutePath(), Path(U("Database")));
  EXPECT_EQ(database.Parent(), FolderItem::AppFolder());
  EXPECT_EQ(database.Child(U("Trash")).AbsolutePath(), Path(U("Database/Trash")));
  EXPECT_EQ(FolderItem(Path(U("a/./b/../c"))).AbsolutePath(), Path(U("a/c")));
  EXPECT_TRUE(FolderItem().Child(U("x")).IsNull());
  EXPECT_TRUE(FolderItem(U("/")).Parent().IsNull());
}

TEST_F(FilesTest, ChildNamesStayInsideTheFolder) {
  const FolderItem database = Item("Database");
  using Case = std::pair<const char*, const char*>;  // name, the entry it names (none: "")
  const Case cases[] = {{"a b.1", "a b.1"},
                        {".hidden", ".hidden"},
                        {"../escape", "..:escape"},
                        {"a/b", "a:b"},
                        {"/", ":"},
                        {"...", "..."},
                        {"", ""},
                        {".", ""},
                        {"..", ""}};
  for (const auto& [name, entry] : cases) {
    SCOPED_TRACE(name);
    const FolderItem child = database.Child(U(name));
    EXPECT_EQ(child.IsNull(), *entry == 0);
    if (child.IsNull()) continue;
    EXPECT_EQ(child.Parent(), database);
    EXPECT_EQ(child.DisplayName(), U(entry));
    EXPECT_EQ(database.Child(child.DisplayName()), child);  // opening a list by its shown name
  }
}

TEST_F(FilesTest, FoldersAreCreatedAndOnlyEmptyOnesDeleted) {
  const FolderItem database = Item("Database");
  EXPECT_TRUE(database.IsWriteable());  // missing but can be made, so the start-up may go on
  EXPECT_FALSE(Item("none/Database").IsWriteable());
  EXPECT_TRUE(database.CreateAsFolder());
  EXPECT_TRUE(database.Directory());
  EXPECT_TRUE(database.CreateAsFolder());  // already there is fine
  const FolderItem list = database.Child(U("Friends"));
  WriteAll(list.AbsolutePath(), "a@b.com \n");
  EXPECT_FALSE(database.Delete());  // not empty
  EXPECT_TRUE(list.Delete());
  EXPECT_FALSE(list.Delete());
  EXPECT_TRUE(database.Delete());
  EXPECT_FALSE(database.Exists());
}

TEST_F(FilesTest, ReadOnlyFolderIsNotWriteable) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  const FolderItem locked = Item("locked");
  ASSERT_TRUE(locked.CreateAsFolder());
  WriteAll(Path(U("locked/list")), "a@b.com \n");
  QFile::setPermissions(locked.AbsolutePath(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  EXPECT_FALSE(locked.IsWriteable());
  EXPECT_FALSE(locked.Child(U("Database")).IsWriteable());
  // The file itself is writable, but it is saved by replacing it inside its folder.
  EXPECT_FALSE(locked.Child(U("list")).IsWriteable());
  EXPECT_EQ(TextOutputStream::Create(locked.Child(U("list"))), nullptr);
  QFile::setPermissions(locked.AbsolutePath(),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(FilesTest, FolderItemsCountFromOneInNameOrder) {
  const FolderItem folder = Item("drop");
  ASSERT_TRUE(folder.CreateAsFolder());
  for (const char* name : {"b.txt", "a.txt", ".hidden", "C"}) WriteAll(Path(U("drop/") + name), "x");
  ASSERT_TRUE(folder.Child(U("sub")).CreateAsFolder());
  EXPECT_EQ(Listing(folder), (QStringList{".hidden", "C", "a.txt", "b.txt", "sub"}));
  EXPECT_TRUE(folder.Item(0).IsNull());
  EXPECT_TRUE(folder.Item(folder.Count() + 1).IsNull());
  EXPECT_EQ(folder.Child(U("a.txt")).Count(), 0);  // a file has no items
}

TEST_F(FilesTest, ListingFollowsEveryChange) {
  // Changes right after a listing, and changes to a folder left alone for a while (whose
  // listing is reused until it changes), both show at the next Count.
  const FolderItem folder = Item("Database");
  ASSERT_TRUE(folder.CreateAsFolder());
  for (bool settled : {false, true}) {
    SCOPED_TRACE(settled ? "settled" : "fresh");
    for (const char* name : {"a", "b", "c"}) WriteAll(folder.Child(U(name)).AbsolutePath(), "x");
    if (settled) QThread::sleep(4);
    EXPECT_EQ(Listing(folder), (QStringList{"a", "b", "c"}));
    WriteAll(folder.Child(U("d")).AbsolutePath(), "x");
    EXPECT_EQ(Listing(folder), (QStringList{"a", "b", "c", "d"}));
    ASSERT_TRUE(QFile::rename(folder.Child(U("a")).AbsolutePath(), folder.Child(U("e")).AbsolutePath()));
    EXPECT_EQ(Listing(folder), (QStringList{"b", "c", "d", "e"}));
    for (const char* name : {"b", "c", "d", "e"}) ASSERT_TRUE(folder.Child(U(name)).Delete());
    EXPECT_EQ(folder.Count(), 0);
  }
}

// ---- Reading lines ------------------------------------------------------------------

TEST(TextInputStreamLines, LineEndsTable) {
  using Case = std::pair<QByteArray, const char*>;  // bytes, the lines joined by |
  // An empty file gives one empty line; a lone CR ends a line, also at the very end; LF
  // then CR is two line ends; the last line needs no line end.
  const Case cases[] = {
      {"", ""},        {"a", "a"},           {"a\r", "a"},       {"a\r\n", "a"},  {"\n", ""},
      {"a\nb", "a|b"}, {"a\n\nb\n", "a||b"}, {"a\r\rb", "a||b"}, {"a\n\r", "a|"}, {"a\r\n\r\nb", "a||b"}};
  for (const auto& [bytes, joined] : cases) {
    SCOPED_TRACE(bytes.toHex().toStdString());
    auto in = TextInputStream::FromBytes(bytes);
    QStringList lines;
    do {  // as the list reader does: the first line is read before the first end test
      lines << in->ReadLine();
    } while (!in->EOF_());
    EXPECT_EQ(lines, U(joined).split(QLatin1Char('|')));
    EXPECT_EQ(in->ReadLine(), QString());
  }
  auto in = TextInputStream::FromBytes("first\r\nsecond\rthird\n\xff");
  EXPECT_EQ(in->ReadLine(), U("first"));
  EXPECT_EQ(in->ReadAll(), U("second\rthird\n") + QChar(char16_t(0xDCFF)));  // the rest unchanged
  EXPECT_TRUE(in->EOF_());
}

TEST_F(FilesTest, OnlyRegularFilesAreReadOrWritten) {
  EXPECT_EQ(TextInputStream::Open(Item("missing")), nullptr);
  EXPECT_EQ(TextInputStream::Open(FolderItem::AppFolder()), nullptr);
  // A pipe would block the program for ever, in a read or in a write; replacing it would
  // destroy what is not a list. A link to it is no different.
  ASSERT_EQ(::mkfifo(QFile::encodeName(Path(U("pipe"))).constData(), 0600), 0);
  ASSERT_TRUE(QFile::link(Path(U("pipe")), Path(U("link"))));
  for (const char* name : {"pipe", "link"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(TextInputStream::Open(Item(name)), nullptr);
    EXPECT_EQ(TextOutputStream::Append(Item(name)), nullptr);
    EXPECT_EQ(TextOutputStream::Create(Item(name)), nullptr);
  }
  struct stat info {};
  ASSERT_EQ(::stat(QFile::encodeName(Path(U("pipe"))).constData(), &info), 0);
  EXPECT_EQ(S_ISFIFO(info.st_mode), true);
}

TEST_F(FilesTest, EveryByteOfEveryLineSurvivesAReadAndAWrite) {
  // Latin-1, a cut UTF-8 sequence, NULs, CR LF, a lone CR, a BOM and a CR at the very end.
  static const char raw[] =
      "\xef\xbb\xbf"
      "caf\xe9 a@b.com\r\nnul\0inside\ncut \xe2\x82\r"
      "\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80\n\nlast\r";
  const QByteArray original(raw, sizeof raw - 1);
  WriteAll(Path(U("list")), original);
  auto in = TextInputStream::Open(Item("list"));
  ASSERT_NE(in, nullptr);
  QStringList lines;
  while (!in->EOF_()) lines << in->ReadLine();
  ASSERT_TRUE(Save(Path(U("copy")), lines));
  QByteArray expected = original;
  expected.replace("\r\n", "\n").replace('\r', '\n');
  EXPECT_EQ(ReadAll(Path(U("copy"))), expected);
}

// ---- Writing ------------------------------------------------------------------------

TEST_F(FilesTest, CreateReplacesOnlyOnClose) {
  const QString path = Path(U("Friends"));
  WriteAll(path, "old@list.com \n");
  {
    auto out = TextOutputStream::Create(FolderItem(path));
    ASSERT_NE(out, nullptr);
    out->WriteLine(U("lost"));
  }  // no Close: the old file stands
  EXPECT_EQ(ReadAll(path), QByteArray("old@list.com \n"));
  auto out = TextOutputStream::Create(FolderItem(path));
  ASSERT_NE(out, nullptr);
  out->WriteLine(U("new@list.com Launch(1/2/26) "));
  out->Write(U("tail"));
  EXPECT_EQ(ReadAll(path), QByteArray("old@list.com \n"));  // nothing visible before Close
  EXPECT_TRUE(out->Close());
  EXPECT_EQ(ReadAll(path), QByteArray("new@list.com Launch(1/2/26) \ntail"));
  EXPECT_EQ(FolderEntries(), QStringList{U("Friends")});  // no temporary file left
  EXPECT_TRUE(out->Close());                              // a second Close changes nothing

  // New and empty files, and a name so long the temporary name must be cut.
  const QString longName(240, QChar('n'));
  EXPECT_TRUE(Save(Path(U("Untitled")), {}));
  EXPECT_EQ(QFileInfo(Path(U("Untitled"))).size(), 0);
  EXPECT_TRUE(Save(Path(longName), {U("a@b.com ")}));
  EXPECT_EQ(ReadAll(Path(longName)), QByteArray("a@b.com \n"));
  // The limit is on bytes: 120 two-byte letters make a valid 240-byte name too.
  const QString longCyrillic(120, QChar(0x0436));
  EXPECT_TRUE(Save(Path(longCyrillic), {U("c@d.com ")}));
  EXPECT_EQ(ReadAll(Path(longCyrillic)), QByteArray("c@d.com \n"));
  EXPECT_EQ(TextOutputStream::Create(Item("no/such/list")), nullptr);
  EXPECT_EQ(TextOutputStream::Create(FolderItem::AppFolder()), nullptr);  // a folder
}

TEST_F(FilesTest, CreateKeepsPermissionsOwnerAndFollowsLinks) {
  const QString path = Path(U("Preferences"));
  WriteAll(path, "smtp.example.com\n");
  ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
  // Saved by root, a user's file must stay the user's, or the user is locked out of it.
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 4242, 4343), 0);
  }
  ASSERT_TRUE(Save(path, {U("mail.example.org")}));
  struct stat info {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(info.st_uid, root ? 4242u : ::geteuid());
  EXPECT_EQ(info.st_gid, root ? 4343u : ::getegid());

  const QString link = Path(U("link"));
  ASSERT_TRUE(QFile::link(path, link));
  ASSERT_TRUE(Save(link, {U("through the link")}));
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_EQ(ReadAll(path), QByteArray("through the link\n"));

  // A link to a link: the file at the end of the chain is the one replaced.
  const QString outer = Path(U("outer"));
  ASSERT_TRUE(QFile::link(link, outer));
  ASSERT_TRUE(Save(outer, {U("through two links")}));
  EXPECT_EQ(QFileInfo(link).isSymLink(), true);
  EXPECT_EQ(ReadAll(path), QByteArray("through two links\n"));
}

TEST_F(FilesTest, AppendAddsToTheEnd) {
  const QString path = Path(U("Trash"));
  const auto append = [&](const char* line, bool close) {
    auto out = TextOutputStream::Append(FolderItem(path));
    ASSERT_NE(out, nullptr);
    out->WriteLine(U(line));
    if (close) {
      EXPECT_TRUE(out->Close());
    }
  };
  append("a@b.com", true);   // created when missing
  append("c@d.org", false);  // no Close: appended lines are still kept
  EXPECT_EQ(ReadAll(path), QByteArray("a@b.com\nc@d.org\n"));
  EXPECT_EQ(TextOutputStream::Append(FolderItem::AppFolder()), nullptr);

  // A last line without a line end (edited by hand) is ended before the new line.
  using Case = std::pair<QByteArray, QByteArray>;  // before, after
  for (const auto& [before, after] : {Case{"", "new\n"}, Case{"old", "old\nnew\n"},
                                      Case{"old\r\n", "old\r\nnew\n"}, Case{"old\r", "old\rnew\n"}}) {
    SCOPED_TRACE(before.toStdString());
    WriteAll(path, before);
    append("new", true);
    EXPECT_EQ(ReadAll(path), after);
  }
}

// An append that fails half-way (the disk fills up) leaves the file as it was, or no file
// when there was none, never a torn part of the lines; with or without Close.
TEST_F(FilesTest, FailedAppendLeavesTheFileAsItWas) {
  const QString path = Path(U("Trash"));
  struct Case {
    const char* name;
    std::optional<QByteArray> before;  // none: no file yet
    int lines;                         // of 20 bytes; past the write buffer, a write fails
    bool close;
  };
  const Case cases[] = {{"a write fails", QByteArray("old@b.com\n"), 5000, true},
                        {"the close fails, no last line end", QByteArray("old@b.com"), 10, true},
                        {"the destructor's write fails", QByteArray("old@b.com\n"), 10, false},
                        {"a new file", std::nullopt, 5000, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QFile::remove(path);
    if (c.before) WriteAll(path, *c.before);
    {
      testing_support::FileSizeLimit full(c.before.value_or("").size() + 40);
      auto out = TextOutputStream::Append(FolderItem(path));
      ASSERT_NE(out, nullptr);
      for (int i = 0; i < c.lines; ++i) out->WriteLine(U("someone@example.com"));
      if (c.close) {
        EXPECT_FALSE(out->Close());
      }
    }
    EXPECT_EQ(QFile::exists(path), c.before.has_value());
    EXPECT_EQ(ReadAll(path), c.before.value_or(""));
  }
}

// A device that takes `limit` bytes and then fails, like a full disk.
class FailingDevice : public QIODevice {
 public:
  FailingDevice(const QString& path, qint64 limit) : m_file(path), m_limit(limit) {}
  bool open(OpenMode mode) override {
    return m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && QIODevice::open(mode);
  }
  void close() override {
    m_file.close();
    QIODevice::close();
  }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 len) override {
    const qint64 n = std::min(m_limit - m_written, len);
    if (n <= 0) return -1;
    m_file.write(data, n);  // a torn temporary file, as a real failure would leave it
    m_written += n;
    return n;
  }

 private:
  QFile m_file;
  qint64 m_limit;
  qint64 m_written = 0;
};

TEST_F(FilesTest, FailingWriteKeepsTheOldFile) {
  const QString path = Path(U("Friends"));
  const QByteArray old("old@list.com Welcome(3/4/25) \nsecond@list.com \n");
  WriteAll(path, old);
  const auto saveThrough = [&](qint64 limit, const QStringList& lines) {
    TextOutputStream::SetDeviceFactoryForTests(
        [limit](const QString& tempPath) { return std::make_unique<FailingDevice>(tempPath, limit); });
    return Save(path, lines);
  };
  QStringList small;
  for (int i = 0; i < 40; ++i)
    small << QStringLiteral("person%1@example.com Issue(1/%2/26) ").arg(i).arg(i % 28 + 1);
  const QByteArray content = small.join(QLatin1Char('\n')).toUtf8() + '\n';
  // A short list fails at every byte; about a megabyte fails around the write buffer's size.
  const QStringList big(5000, QStringLiteral("someone@example.com ") + QString(200, QChar('x')));
  const auto failsAndKeepsTheOldFile = [&](qint64 limit, const QStringList& lines) {
    SCOPED_TRACE(limit);
    EXPECT_FALSE(saveThrough(limit, lines));
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(FolderEntries(), QStringList{U("Friends")});
  };
  for (qint64 limit = 0; limit < content.size(); ++limit) failsAndKeepsTheOldFile(limit, small);
  for (qint64 limit : {65535, 65536, 65537, 500000}) failsAndKeepsTheOldFile(limit, big);
  // The same device with room enough commits.
  EXPECT_TRUE(saveThrough(content.size(), small));
  EXPECT_EQ(ReadAll(path), content);
}

// Run only as the child of the test below: saves into the given file until killed.
TEST(KillHelper, DISABLED_SavesUntilKilled) {
  auto out = TextOutputStream::Create(FolderItem(qEnvironmentVariable("VELMORA_KILL_TARGET")));
  ASSERT_NE(out, nullptr);
  for (int i = 0; i < 2000000; ++i)
    out->WriteLine(QStringLiteral("victim%1@example.com Launch(1/2/26) ").arg(i));
  for (;;) QThread::sleep(1);  // never closes
}

TEST_F(FilesTest, KillDuringASaveLeavesTheOldFileWhole) {
  const QString path = Path(U("Friends"));
  const QByteArray old("kept@list.com Welcome(3/4/25) \n");
  WriteAll(path, old);
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(U("VELMORA_KILL_TARGET"), path);
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(),
              {U("--gtest_filter=KillHelper.*"), U("--gtest_also_run_disabled_tests")});
  ASSERT_TRUE(child.waitForStarted());
  // Kill it once its temporary file (".Friends…", listed first) holds a good part of the new list.
  const bool writing = testing_support::WaitUntil(
      [&] {
        return FolderEntries().size() == 2 && QFileInfo(Path(FolderEntries().first())).size() > (1 << 20);
      },
      30000);
  child.kill();
  child.waitForFinished();
  ASSERT_TRUE(writing);
  EXPECT_EQ(ReadAll(path), old);
  EXPECT_EQ(FolderItem::AppFolder().Count(), 1);  // the abandoned temporary file is not listed
}

}  // namespace
