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

bool RunningAsRoot() {
  return ::geteuid() == 0;
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
  QStringList FolderEntries() const {
    return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
  }

  QTemporaryDir m_dir;
};

// ---- FolderItem ----------------------------------------------------------------------

TEST_F(FilesTest, PathsResolveAgainstTheApplicationFolder) {
  const FolderItem database = FolderItem::GetFolderItem(QStringLiteral("Database"));
  EXPECT_EQ(database.AbsolutePath(), Path(QStringLiteral("Database")));
  EXPECT_EQ(database.DisplayName(), QStringLiteral("Database"));
  EXPECT_EQ(database.Parent(), FolderItem::AppFolder());
  EXPECT_EQ(database.Child(QStringLiteral("Trash")).AbsolutePath(), Path(QStringLiteral("Database/Trash")));
  EXPECT_EQ(FolderItem(QStringLiteral("eMail")).AbsolutePath(), Path(QStringLiteral("eMail")));
  EXPECT_EQ(FolderItem(Path(QStringLiteral("a/./b/../c"))).AbsolutePath(), Path(QStringLiteral("a/c")));

  EXPECT_TRUE(FolderItem().IsNull());
  EXPECT_FALSE(FolderItem().Exists());
  EXPECT_TRUE(FolderItem().Child(QStringLiteral("x")).IsNull());
  EXPECT_TRUE(FolderItem(QStringLiteral("/")).Parent().IsNull());
  EXPECT_FALSE(FolderItem::TemporaryFolder().IsNull());
  EXPECT_TRUE(FolderItem::TemporaryFolder().Directory());
}

TEST_F(FilesTest, ChildNamesStayInsideTheFolder) {
  const FolderItem database = FolderItem::GetFolderItem(QStringLiteral("Database"));
  struct Case {
    const char* name;
    const char* entry;  // nullptr: no child
  };
  const Case cases[] = {
      {"Friends", "Friends"},
      {"Trash", "Trash"},
      {"a b.1", "a b.1"},
      {".hidden", ".hidden"},
      {"../escape", "..:escape"},
      {"a/b", "a:b"},
      {"/", ":"},
      {"...", "..."},
      {"", nullptr},
      {".", nullptr},
      {"..", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const FolderItem child = database.Child(U(c.name));
    if (!c.entry) {
      EXPECT_TRUE(child.IsNull());
      continue;
    }
    EXPECT_EQ(child.Parent(), database);
    EXPECT_EQ(child.DisplayName(), U(c.entry));
    EXPECT_EQ(database.Child(child.DisplayName()), child);  // opening a list by its shown name
  }
}

TEST_F(FilesTest, FirstStartCreatesTheDatabaseFolder) {
  const FolderItem database = FolderItem::GetFolderItem(QStringLiteral("Database"));
  EXPECT_FALSE(database.Exists());
  EXPECT_TRUE(database.IsWriteable());  // it can be made, so the start-up may go on
  EXPECT_TRUE(database.CreateAsFolder());
  EXPECT_TRUE(database.Exists());
  EXPECT_TRUE(database.Directory());
  EXPECT_TRUE(database.IsWriteable());
  EXPECT_TRUE(database.CreateAsFolder());  // already there is fine
  // A missing item under a missing folder cannot be created.
  EXPECT_FALSE(FolderItem::GetFolderItem(QStringLiteral("none/Database")).IsWriteable());
}

TEST_F(FilesTest, ReadOnlyFolderIsNotWriteable) {
  if (RunningAsRoot()) GTEST_SKIP() << "permissions do not bind root";
  const FolderItem locked = FolderItem::GetFolderItem(QStringLiteral("locked"));
  ASSERT_TRUE(locked.CreateAsFolder());
  WriteAll(Path(QStringLiteral("locked/list")), "a@b.com \n");
  QFile::setPermissions(locked.AbsolutePath(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  EXPECT_FALSE(locked.IsWriteable());
  EXPECT_FALSE(locked.Child(QStringLiteral("Database")).IsWriteable());
  // The file itself is writable, but it is saved by replacing it inside its folder.
  EXPECT_FALSE(locked.Child(QStringLiteral("list")).IsWriteable());
  EXPECT_EQ(TextOutputStream::Create(locked.Child(QStringLiteral("list"))), nullptr);
  QFile::setPermissions(locked.AbsolutePath(),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(FilesTest, FolderItemsCountFromOneInNameOrder) {
  const FolderItem folder = FolderItem::GetFolderItem(QStringLiteral("drop"));
  ASSERT_TRUE(folder.CreateAsFolder());
  for (const char* name : {"b.txt", "a.txt", ".hidden", "C"})
    WriteAll(Path(QStringLiteral("drop/") + name), "x");
  ASSERT_TRUE(folder.Child(QStringLiteral("sub")).CreateAsFolder());

  const QStringList expected = {U(".hidden"), U("C"), U("a.txt"), U("b.txt"), U("sub")};
  ASSERT_EQ(folder.Count(), expected.size());
  for (int i = 1; i <= folder.Count(); ++i) EXPECT_EQ(folder.Item(i).DisplayName(), expected.at(i - 1)) << i;
  EXPECT_TRUE(folder.Item(0).IsNull());
  EXPECT_TRUE(folder.Item(folder.Count() + 1).IsNull());
  EXPECT_TRUE(folder.Item(5).Directory());
  EXPECT_EQ(folder.Child(QStringLiteral("a.txt")).Count(), 0);  // a file has no items
}

TEST_F(FilesTest, ListingFollowsEveryChange) {
  // Changes right after a listing, and changes to a folder left alone for a while (whose
  // listing is reused until it changes), both show at the next Count.
  const FolderItem folder = FolderItem::GetFolderItem(QStringLiteral("Database"));
  ASSERT_TRUE(folder.CreateAsFolder());
  for (bool settled : {false, true}) {
    SCOPED_TRACE(settled ? "settled" : "fresh");
    for (const char* name : {"a", "b", "c"}) WriteAll(folder.Child(U(name)).AbsolutePath(), "x");
    if (settled) QThread::sleep(4);
    EXPECT_EQ(folder.Count(), 3);
    EXPECT_EQ(folder.Count(), 3);
    WriteAll(folder.Child(U("d")).AbsolutePath(), "x");
    EXPECT_EQ(folder.Count(), 4);
    EXPECT_EQ(folder.Item(4).DisplayName(), U("d"));
    ASSERT_TRUE(QFile::rename(folder.Child(U("a")).AbsolutePath(), folder.Child(U("e")).AbsolutePath()));
    EXPECT_EQ(folder.Item(1).DisplayName(), U("b"));
    EXPECT_EQ(folder.Item(4).DisplayName(), U("e"));
    for (const char* name : {"b", "c", "d", "e"}) ASSERT_TRUE(folder.Child(U(name)).Delete());
    EXPECT_EQ(folder.Count(), 0);
  }
}

TEST_F(FilesTest, DeleteRemovesFilesAndEmptyFoldersOnly) {
  const FolderItem folder = FolderItem::GetFolderItem(QStringLiteral("Database"));
  ASSERT_TRUE(folder.CreateAsFolder());
  const FolderItem list = folder.Child(QStringLiteral("Friends"));
  WriteAll(list.AbsolutePath(), "a@b.com \n");
  EXPECT_FALSE(folder.Delete());  // not empty
  EXPECT_TRUE(folder.Exists());
  EXPECT_TRUE(list.Delete());
  EXPECT_FALSE(list.Exists());
  EXPECT_FALSE(list.Delete());
  EXPECT_TRUE(folder.Delete());
  EXPECT_FALSE(folder.Exists());
}

// ---- Reading lines ------------------------------------------------------------------

TEST(TextInputStreamLines, LineEndsTable) {
  struct Case {
    QByteArray bytes;
    QStringList lines;
  };
  const Case cases[] = {
      {"", {U("")}},  // an empty file gives one empty line, then the end
      {"a", {U("a")}},
      {"a\n", {U("a")}},
      {"a\r", {U("a")}},  // a lone CR at the very end of the file
      {"a\r\n", {U("a")}},
      {"\n", {U("")}},
      {"\r\n", {U("")}},
      {"\r", {U("")}},
      {"a\nb", {U("a"), U("b")}},
      {"a\n\nb\n", {U("a"), U(""), U("b")}},
      {"a\r\rb", {U("a"), U(""), U("b")}},
      {"a\n\r", {U("a"), U("")}},  // LF then CR: two line ends
      {"a\r\n\r\nb", {U("a"), U(""), U("b")}},
      {"x@y.com One(1/2/26) \r\nz@w.org \n", {U("x@y.com One(1/2/26) "), U("z@w.org ")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.toHex().toStdString());
    auto in = TextInputStream::FromBytes(c.bytes);
    QStringList lines;
    // As the list reader does: the first line is read before the first end test.
    do {
      lines << in->ReadLine();
    } while (!in->EOF_());
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(in->ReadLine(), QString());
    EXPECT_TRUE(in->EOF_());
  }
}

TEST(TextInputStreamLines, ReadAllGivesTheRestUnchanged) {
  auto in = TextInputStream::FromBytes("first\r\nsecond\rthird\n\xff");
  EXPECT_EQ(in->ReadLine(), U("first"));
  EXPECT_EQ(in->ReadAll(), U("second\rthird\n") + QChar(char16_t(0xDCFF)));
  EXPECT_TRUE(in->EOF_());
}

TEST_F(FilesTest, OpenFailsForMissingFilesAndFolders) {
  EXPECT_EQ(TextInputStream::Open(FolderItem::GetFolderItem(QStringLiteral("missing"))), nullptr);
  // A dropped pipe would block the program for ever.
  ASSERT_EQ(::mkfifo(QFile::encodeName(Path(QStringLiteral("pipe"))).constData(), 0600), 0);
  EXPECT_EQ(TextInputStream::Open(FolderItem::GetFolderItem(QStringLiteral("pipe"))), nullptr);
  EXPECT_EQ(TextInputStream::Open(FolderItem::AppFolder()), nullptr);
  EXPECT_EQ(TextInputStream::Open(FolderItem()), nullptr);
}

TEST_F(FilesTest, EveryByteOfEveryLineSurvivesAReadAndAWrite) {
  // Latin-1, a cut UTF-8 sequence, NULs, CR LF, a lone CR, a BOM and a CR at the very end.
  static const char raw[] =
      "\xef\xbb\xbf"
      "caf\xe9 a@b.com\r\n"
      "nul\0inside\n"
      "cut \xe2\x82\r"
      "\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80\n"
      "\n"
      "last\r";
  const QByteArray original(raw, sizeof raw - 1);
  const QString path = Path(QStringLiteral("list"));
  WriteAll(path, original);
  auto in = TextInputStream::Open(FolderItem(path));
  ASSERT_NE(in, nullptr);
  auto out = TextOutputStream::Create(FolderItem(Path(QStringLiteral("copy"))));
  ASSERT_NE(out, nullptr);
  while (!in->EOF_()) out->WriteLine(in->ReadLine());
  in->Close();
  ASSERT_TRUE(out->Close());

  QByteArray expected = original;
  expected.replace("\r\n", "\n").replace('\r', '\n');
  EXPECT_EQ(ReadAll(Path(QStringLiteral("copy"))), expected);
}

// ---- Writing ------------------------------------------------------------------------

TEST_F(FilesTest, CreateReplacesOnlyOnClose) {
  const QString path = Path(QStringLiteral("Friends"));
  WriteAll(path, "old@list.com \n");
  auto out = TextOutputStream::Create(FolderItem(path));
  ASSERT_NE(out, nullptr);
  out->WriteLine(U("new@list.com Launch(1/2/26) "));
  out->Write(U("tail"));
  EXPECT_EQ(ReadAll(path), QByteArray("old@list.com \n"));  // nothing visible before Close
  EXPECT_TRUE(out->Close());
  EXPECT_FALSE(out->Failed());
  EXPECT_EQ(ReadAll(path), QByteArray("new@list.com Launch(1/2/26) \ntail"));
  EXPECT_EQ(FolderEntries(), QStringList{U("Friends")});  // no temporary file left
  EXPECT_TRUE(out->Close());                              // a second Close changes nothing
}

TEST_F(FilesTest, CreateWithoutCloseLeavesTheOldFile) {
  const QString path = Path(QStringLiteral("Friends"));
  WriteAll(path, "kept \n");
  {
    auto out = TextOutputStream::Create(FolderItem(path));
    ASSERT_NE(out, nullptr);
    out->WriteLine(U("lost"));
  }
  EXPECT_EQ(ReadAll(path), QByteArray("kept \n"));
  EXPECT_EQ(FolderEntries(), QStringList{U("Friends")});
}

TEST_F(FilesTest, CreateMakesNewAndEmptyFiles) {
  const QString path = Path(QStringLiteral("Untitled"));
  auto out = TextOutputStream::Create(FolderItem(path));
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(out->Close());
  EXPECT_TRUE(QFileInfo::exists(path));
  EXPECT_EQ(ReadAll(path), QByteArray());

  EXPECT_EQ(TextOutputStream::Create(FolderItem::GetFolderItem(QStringLiteral("no/such/list"))), nullptr);
  EXPECT_EQ(TextOutputStream::Create(FolderItem::AppFolder()), nullptr);  // a folder
}

TEST_F(FilesTest, CreateKeepsPermissionsAndFollowsLinks) {
  const QString path = Path(QStringLiteral("Preferences"));
  WriteAll(path, "smtp.example.com\n");
  const auto perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
  ASSERT_TRUE(QFile::setPermissions(path, perms));
  auto out = TextOutputStream::Create(FolderItem(path));
  ASSERT_NE(out, nullptr);
  out->WriteLine(U("mail.example.org"));
  ASSERT_TRUE(out->Close());
  struct stat info {};
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  const QString link = Path(QStringLiteral("link"));
  ASSERT_TRUE(QFile::link(path, link));
  auto viaLink = TextOutputStream::Create(FolderItem(link));
  ASSERT_NE(viaLink, nullptr);
  viaLink->Write(U("through the link"));
  ASSERT_TRUE(viaLink->Close());
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_EQ(ReadAll(path), QByteArray("through the link"));
}

TEST_F(FilesTest, AppendAddsToTheEndAndCreatesWhenMissing) {
  const QString path = Path(QStringLiteral("Trash"));
  for (const char* address : {"a@b.com", "c@d.org"}) {
    auto out = TextOutputStream::Append(FolderItem(path));
    ASSERT_NE(out, nullptr);
    out->WriteLine(U(address));
    EXPECT_TRUE(out->Close());
  }
  {
    auto out = TextOutputStream::Append(FolderItem(path));
    ASSERT_NE(out, nullptr);
    out->WriteLine(U("e@f.net"));  // no Close: appended lines are still kept
  }
  EXPECT_EQ(ReadAll(path), QByteArray("a@b.com\nc@d.org\ne@f.net\n"));
  EXPECT_EQ(TextOutputStream::Append(FolderItem::AppFolder()), nullptr);

  // A last line without a line end (edited by hand) is ended before the new line.
  struct Case {
    QByteArray before;
    QByteArray after;
  };
  const Case cases[] = {
      {"", "new\n"},           {"old", "old\nnew\n"}, {"old\n", "old\nnew\n"}, {"old\r\n", "old\r\nnew\n"},
      {"old\r", "old\rnew\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before.toStdString());
    WriteAll(path, c.before);
    auto out = TextOutputStream::Append(FolderItem(path));
    ASSERT_NE(out, nullptr);
    out->WriteLine(U("new"));
    EXPECT_TRUE(out->Close());
    EXPECT_EQ(ReadAll(path), c.after);
  }
}

// A device that takes `limit` bytes and then fails, like a full disk.
class FailingDevice : public QIODevice {
 public:
  FailingDevice(const QString& path, qint64 limit) : m_file(path), m_limit(limit) {}
  bool open(OpenMode mode) override {
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return false;
    return QIODevice::open(mode);
  }
  void close() override {
    m_file.close();
    QIODevice::close();
  }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 len) override {
    const qint64 room = m_limit - m_written;
    if (room <= 0) return -1;
    const qint64 n = std::min(room, len);
    m_file.write(data, n);  // a torn temporary file, as a real failure would leave it
    m_written += n;
    return n;
  }

 private:
  QFile m_file;
  qint64 m_limit;
  qint64 m_written = 0;
};

TEST_F(FilesTest, FailingWriteAtEveryByteKeepsTheOldFile) {
  const QString path = Path(QStringLiteral("Friends"));
  const QByteArray old("old@list.com Welcome(3/4/25) \nsecond@list.com \n");
  WriteAll(path, old);
  QByteArray content;
  QStringList lines;
  for (int i = 0; i < 40; ++i) {
    lines << QStringLiteral("person%1@example.com Issue(1/%2/26) ").arg(i).arg(i % 28 + 1);
    content += lines.last().toUtf8() + '\n';
  }
  // Every limit below the content size fails.
  for (qint64 limit = 0; limit < content.size(); ++limit) {
    SCOPED_TRACE(limit);
    TextOutputStream::SetDeviceFactoryForTests(
        [limit](const QString& tempPath) { return std::make_unique<FailingDevice>(tempPath, limit); });
    auto out = TextOutputStream::Create(FolderItem(path));
    ASSERT_NE(out, nullptr);
    for (const QString& line : lines) out->WriteLine(line);
    EXPECT_FALSE(out->Close());
    EXPECT_TRUE(out->Failed());
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(FolderEntries(), QStringList{U("Friends")});
  }
  // The same device with room enough commits.
  TextOutputStream::SetDeviceFactoryForTests([&content](const QString& tempPath) {
    return std::make_unique<FailingDevice>(tempPath, content.size());
  });
  auto out = TextOutputStream::Create(FolderItem(path));
  ASSERT_NE(out, nullptr);
  for (const QString& line : lines) out->WriteLine(line);
  EXPECT_TRUE(out->Close());
  EXPECT_EQ(ReadAll(path), content);
}

TEST_F(FilesTest, FailingBigWriteKeepsTheOldFile) {
  const QString path = Path(QStringLiteral("Big"));
  const QByteArray old("only@line.com \n");
  WriteAll(path, old);
  const QString line = QStringLiteral("someone@example.com ") + QString(200, QChar('x'));
  for (qint64 limit : {qint64(0), qint64(65535), qint64(65536), qint64(65537), qint64(500000)}) {
    SCOPED_TRACE(limit);
    TextOutputStream::SetDeviceFactoryForTests(
        [limit](const QString& tempPath) { return std::make_unique<FailingDevice>(tempPath, limit); });
    auto out = TextOutputStream::Create(FolderItem(path));
    ASSERT_NE(out, nullptr);
    for (int i = 0; i < 5000; ++i) out->WriteLine(line);  // about a megabyte
    EXPECT_FALSE(out->Close());
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(FolderEntries(), QStringList{U("Big")});
  }
}

TEST_F(FilesTest, SaveInProgressIsNotListedAndLeavesTheOldFile) {
  const QString path = Path(QStringLiteral("Friends"));
  WriteAll(path, "old \n");
  auto out = TextOutputStream::Create(FolderItem(path));
  ASSERT_NE(out, nullptr);
  for (int i = 0; i < 20000; ++i) out->WriteLine(QStringLiteral("someone%1@example.com ").arg(i));
  EXPECT_EQ(FolderEntries().size(), 2);  // the temporary file exists beside the target...
  const FolderItem folder = FolderItem::AppFolder();
  ASSERT_EQ(folder.Count(), 1);  // ...but a listing (the side bar's) does not show it
  EXPECT_EQ(folder.Item(1).DisplayName(), QStringLiteral("Friends"));
  EXPECT_EQ(ReadAll(path), QByteArray("old \n"));
}

TEST_F(FilesTest, LongNamesStillSave) {
  const QString name(240, QChar('n'));
  auto out = TextOutputStream::Create(FolderItem(Path(name)));
  ASSERT_NE(out, nullptr);
  out->WriteLine(QStringLiteral("a@b.com "));
  EXPECT_TRUE(out->Close());
  EXPECT_EQ(ReadAll(Path(name)), QByteArray("a@b.com \n"));
}

// Run only as the child of the test below: saves into the given file until killed.
TEST(KillHelper, DISABLED_SavesUntilKilled) {
  const QString path = qEnvironmentVariable("VELMORA_KILL_TARGET");
  ASSERT_FALSE(path.isEmpty());
  auto out = TextOutputStream::Create(FolderItem(path));
  ASSERT_NE(out, nullptr);
  for (int i = 0; i < 2000000; ++i)
    out->WriteLine(QStringLiteral("victim%1@example.com Launch(1/2/26) ").arg(i));
  for (;;) QThread::sleep(1);  // never closes
}

TEST_F(FilesTest, KillDuringASaveLeavesTheOldFileWhole) {
  const QString path = Path(QStringLiteral("Friends"));
  const QByteArray old("kept@list.com Welcome(3/4/25) \n");
  WriteAll(path, old);
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("VELMORA_KILL_TARGET"), path);
  child.setProcessEnvironment(env);
  child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=KillHelper.*"),
                                                        QStringLiteral("--gtest_also_run_disabled_tests")});
  ASSERT_TRUE(child.waitForStarted());
  // Kill it once its temporary file holds a good part of the new list.
  const bool writing = testing_support::WaitUntil(
      [&] {
        const auto entries = QDir(m_dir.path()).entryInfoList(QDir::Files | QDir::Hidden);
        for (const QFileInfo& info : entries) {
          if (info.fileName() != QLatin1String("Friends") && info.size() > (1 << 20)) return true;
        }
        return false;
      },
      30000);
  child.kill();
  child.waitForFinished();
  ASSERT_TRUE(writing);
  EXPECT_EQ(ReadAll(path), old);
  EXPECT_EQ(FolderItem::AppFolder().Count(), 1);  // the abandoned temporary file is not listed
}

}  // namespace
