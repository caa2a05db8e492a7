#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>

#include "lists/FileImport.h"
#include "platform/EventLoop.h"
#include "platform/FolderItem.h"
#include "support/TestSupport.h"

using testing_support::WriteAll;
using namespace std::chrono_literals;

namespace {

class FileImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    root = m_dir.path() + "/drop";
    QDir().mkpath(root);
  }

  lists::FileImport Importer(qsizetype chunkBytes = 4 << 20) {
    lists::ImportHooks hooks;
    hooks.addAddress = [this](QByteArrayView a) { added.append(QString::fromLatin1(a)); };
    hooks.setSlug = [this](const QString& t) { slugs.append(t); };
    hooks.refresh = [this] { ++refreshes; };
    hooks.rowCount = [this] { return static_cast<int>(added.size()); };
    return lists::FileImport(hooks, chunkBytes);
  }

  QTemporaryDir m_dir;
  QString root;
  QStringList added;
  QStringList slugs;
  int refreshes = 0;
};

// Every file of the folder and of its sub-folders, at any depth, in the folder's order; a
// file that cannot be read is reported and skipped, and links that loop back end.
TEST_F(FileImportTest, FolderWithNestedFoldersAnUnreadableFileAndALinkLoop) {
  QDir().mkpath(root + "/b/c/d");
  WriteAll(root + "/a.txt", "Write to ann@example.com, or\nbob@example.com.\n");
  ASSERT_TRUE(QFile::link(root + "/nowhere", root + "/a2-dangling"));
  WriteAll(root + "/b/c/d/deep.html", "<a href=\"mailto:deep@example.org\">x</a>");
  ASSERT_TRUE(QFile::link(root, root + "/b/c/back-to-root"));
  ASSERT_TRUE(QFile::link(root + "/b", root + "/b/self"));
  WriteAll(root + "/b/mid", "mid@example.net");
  WriteAll(root + "/z-empty", "");
  lists::FileImport import = Importer();
  import.ImportItem(platform::FolderItem(root));
  EXPECT_EQ(added,
            (QStringList{"ann@example.com", "bob@example.com", "deep@example.org", "mid@example.net"}));
  EXPECT_EQ(import.FilesRead(), 4);
  EXPECT_EQ(import.FilesSkipped(), 1);
  EXPECT_EQ(slugs.filter("Could not read the file").size(), 1);
  EXPECT_EQ(slugs.filter("a2-dangling").size(), 1);
  // Each file reports the count when done; the empty one too.
  EXPECT_EQ(slugs.last(), QString("4 addresses..."));
  EXPECT_EQ(slugs.count("4 addresses..."), 2);
}

// A folder the user may not read is reported rather than taken for empty, and the rest of
// the drop goes on.
TEST_F(FileImportTest, UnreadableFolderIsReported) {
  QDir().mkpath(root + "/locked");
  WriteAll(root + "/locked/in.txt", "hidden@example.com");
  WriteAll(root + "/z.txt", "seen@example.com");
  QFile::setPermissions(m_dir.path(), QFile::permissions(root) | QFile::ReadOther | QFile::ExeOther);
  QFile::setPermissions(root + "/locked", {});
  const QByteArray seen = testing_support::RunWithoutPrivileges([&] {
    platform::SetYieldInterval(1h);  // the event loop is the parent's
    Importer().ImportItem(platform::FolderItem(root));
    return (added + slugs).join('|').toUtf8();
  });
  QFile::setPermissions(root + "/locked", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(seen.toStdString(),
            "seen@example.com|Could not read the folder " + root.toStdString() + "/locked.|1 addresses...");
}

// Once the import is told to stop (its window has gone) it reads no further line, file
// or folder entry, and adds nothing more.
TEST_F(FileImportTest, StopsWhenToldTo) {
  WriteAll(root + "/a.txt", "ann@example.com bob@example.com\ncarl@example.com\n");
  WriteAll(root + "/b.txt", "dora@example.com\n");
  for (int stopAfter : {1, 2, 3}) {
    SCOPED_TRACE(stopAfter);
    added.clear();
    lists::ImportHooks hooks;
    hooks.addAddress = [this](QByteArrayView a) { added.append(QString::fromLatin1(a)); };
    hooks.stopped = [&] { return added.size() >= stopAfter; };
    lists::FileImport import(hooks);
    import.ImportItem(platform::FolderItem(root));
    EXPECT_EQ(added.size(), stopAfter);
    EXPECT_EQ(import.FilesRead(), 1);
  }
}

// Progress at the first chunk read after each 500 lines; lines end in LF, CR LF or CR.
TEST_F(FileImportTest, ProgressEveryFiveHundredLines) {
  QByteArray bytes;
  for (int i = 0; i < 1001; ++i) bytes += QByteArrayList{"no address\n", "none\r\n", "not one\r"}[i % 3];
  WriteAll(root + "/big.txt", bytes);
  lists::FileImport import = Importer(1000);
  import.ImportItem(platform::FolderItem(root + "/big.txt"));
  EXPECT_EQ(slugs,
            (QStringList{"Processing file line 500...", "Processing file line 1000...", "0 addresses..."}));
  EXPECT_EQ(refreshes, 2);
}

// A file larger than the memory the program may take is read all the same, a chunk at a
// time: a dropped file of a gigabyte once took three.
TEST_F(FileImportTest, FileLargerThanTheMemoryLeft) {
  const QString path = root + "/big.bin";
  QFile file(path);
  ASSERT_EQ(file.open(QIODevice::WriteOnly), true);
  constexpr qint64 kSize = 160 << 20;
  file.write("first@example.com ");
  ASSERT_EQ(file.resize(kSize), true);  // sparse: no disk used
  ASSERT_EQ(file.seek(kSize), true);
  file.write(" last@example.com");
  file.close();
  rlimit saved{};
  ::getrlimit(RLIMIT_AS, &saved);
  const rlimit limited{static_cast<rlim_t>(testing_support::AddressSpaceInUse() + (64 << 20)),
                       saved.rlim_max};
  ::setrlimit(RLIMIT_AS, &limited);
  lists::FileImport import = Importer();
  import.ImportItem(platform::FolderItem(path));
  ::setrlimit(RLIMIT_AS, &saved);
  EXPECT_EQ(added, (QStringList{"first@example.com", "last@example.com"}));
}

TEST_F(FileImportTest, NilItemReportsCount) {
  lists::FileImport import = Importer();
  import.ImportItem(platform::FolderItem());
  EXPECT_EQ(slugs, QStringList{"0 addresses..."});
}

}  // namespace
