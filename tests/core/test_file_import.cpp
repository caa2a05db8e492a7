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
  void SetUp() override { QDir().mkpath(root); }

  void Import(const QString& path, qsizetype chunkBytes = 4 << 20, std::function<bool()> stopped = {}) {
    lists::ImportHooks hooks;
    hooks.addAddress = [this](QByteArrayView a) { added.append(QString::fromLatin1(a)); };
    hooks.setSlug = [this](const QString& t) { slugs.append(t); };
    hooks.refresh = [] {};
    hooks.rowCount = [this] { return static_cast<int>(added.size()); };
    hooks.stopped = std::move(stopped);
    lists::FileImport import(hooks, chunkBytes);
    import.ImportItem(path.isEmpty() ? platform::FolderItem() : platform::FolderItem(path));
    filesRead = import.FilesRead();
  }

  QTemporaryDir m_dir;
  QString root = m_dir.path() + "/drop";
  QStringList added, slugs;
  int filesRead = 0;
};

// Every file of the folder and of its sub-folders, at any depth, in the folder's order; a
// file that cannot be read is reported and skipped, and links that loop back end. Each
// file reports the count when done, the empty one too; no item at all reports it as well.
TEST_F(FileImportTest, FolderWithNestedFoldersAnUnreadableFileAndALinkLoop) {
  QDir().mkpath(root + "/b/c/d");
  WriteAll(root + "/a.txt", "Write to ann@example.com, or\nbob@example.com.\n");
  ASSERT_TRUE(QFile::link(root + "/nowhere", root + "/a2-dangling"));
  WriteAll(root + "/b/c/d/deep.html", "<a href=\"mailto:deep@example.org\">x</a>");
  ASSERT_TRUE(QFile::link(root, root + "/b/c/back-to-root"));
  ASSERT_TRUE(QFile::link(root + "/b", root + "/b/self"));
  WriteAll(root + "/b/mid", QByteArray(1000, '\n') + "mid@example.net");
  WriteAll(root + "/z-empty", "");
  Import(root);
  EXPECT_EQ(added,
            (QStringList{"ann@example.com", "bob@example.com", "deep@example.org", "mid@example.net"}));
  EXPECT_EQ(std::make_tuple(filesRead, slugs.filter("Could not read the file").size(),
                            slugs.filter("a2-dangling").size(), slugs.count("4 addresses..."), slugs.last()),
            std::make_tuple(4, 1, 1, 2, QString("4 addresses...")));
  EXPECT_EQ(slugs.filter("Processing"),
            (QStringList{"Processing file line 500...", "Processing file line 1000..."}));
  slugs.clear();
  Import({});
  EXPECT_EQ(slugs, QStringList{"4 addresses..."});
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
    Import(root);
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
    added.clear();
    Import(root, 4 << 20, [&] { return added.size() >= stopAfter; });
    EXPECT_EQ(std::make_pair(added.size(), filesRead), std::make_pair(qsizetype(stopAfter), 1));
  }
}

// A file larger than the memory the program may take is read all the same, a chunk at a
// time: a dropped file of a gigabyte once took three.
TEST_F(FileImportTest, FileLargerThanTheMemoryLeft) {
  QFile file(root + "/big.bin");
  ASSERT_EQ(file.open(QIODevice::WriteOnly), true);
  file.write("first@example.com ");
  ASSERT_EQ(file.resize(160 << 20) && file.seek(160 << 20), true);  // sparse: no disk used
  file.write(" last@example.com");
  file.close();
  rlimit saved{};
  ::getrlimit(RLIMIT_AS, &saved);
  const rlimit limited{static_cast<rlim_t>(testing_support::AddressSpaceInUse() + (64 << 20)),
                       saved.rlim_max};
  ::setrlimit(RLIMIT_AS, &limited);
  Import(file.fileName());
  ::setrlimit(RLIMIT_AS, &saved);
  EXPECT_EQ(added, (QStringList{"first@example.com", "last@example.com"}));
}

}  // namespace
