#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <chrono>

#include "lists/FileImport.h"
#include "platform/EventLoop.h"
#include "platform/FolderItem.h"
#include "platform/TextStream.h"
#include "support/AddressScannerOracle.h"
#include "support/TestSupport.h"

using testing_support::WriteAll;
using namespace std::chrono_literals;

namespace {

class FileImportTest : public ::testing::Test {
 protected:
  void SetUp() override { QDir().mkpath(root); }

  void Import(const QString& path, qsizetype chunkBytes = 4 << 20, std::function<bool()> stopped = {}) {
    lists::ImportHooks hooks;
    hooks.addAddress = [this](QByteArrayView a) {
      events.append('+' + added.emplace_back(QString::fromLatin1(a)));
    };
    hooks.setSlug = [this](const QString& t) { events.append(slugs.emplace_back(t)); };
    hooks.refresh = [] {};
    hooks.rowCount = [this] { return static_cast<int>(added.size()); };
    hooks.stopped = std::move(stopped);
    lists::FileImport import(hooks, chunkBytes);
    import.ImportItem(path.isEmpty() ? platform::FolderItem() : platform::FolderItem(path));
    filesRead = import.FilesRead();
  }

  QTemporaryDir m_dir;
  QString root = m_dir.path() + "/drop";
  QStringList added, slugs, events;  // events: both in order, an address led by "+"
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
  WriteAll(root + "/b/mid", "mid@example.net");
  WriteAll(root + "/z-empty", "");
  Import(root);
  EXPECT_EQ(added,
            (QStringList{"ann@example.com", "bob@example.com", "deep@example.org", "mid@example.net"}));
  EXPECT_EQ(std::make_tuple(filesRead, slugs.filter("Could not read the file").size(),
                            slugs.filter("a2-dangling").size(), slugs.count("4 addresses..."), slugs.last()),
            std::make_tuple(4, 1, 1, 2, QString("4 addresses...")));
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

// "Processing file line N..." comes as reading line by line gives it: once line N is read,
// for every 500th line the file holds, before that line's addresses; whatever the line
// ends and however the file is cut into pieces.
TEST_F(FileImportTest, ProgressAtEvery500thLine) {
  QRandomGenerator random(20261207);
  const char* const ends[] = {"\n", "\r\n", "\r"};
  const qsizetype pieces[] = {1, 2, 3, 7, 4096, 4 << 20};
  for (int round = 0; round < 36; ++round) {
    QByteArray bytes;
    for (int line = 498 + round % 3 * 500 + random.bounded(5); line > 0; --line) {
      const QString text[] = {"", "x", "m%1@x.com", "m%1@x.com, n%1@y.org"};
      const int kind = random.bounded(4);
      bytes +=
          (kind < 2 ? text[kind] : text[kind].arg(line)).toLatin1() + ends[random.bounded(round % 2 ? 3 : 1)];
    }
    if (random.bounded(2)) bytes.chop(1);
    WriteAll(root + "/f", bytes);
    QStringList expected;
    int lines = 0, addresses = 0;
    for (auto in = platform::TextInputStream::FromBytes(bytes); !in->EOF_();) {
      const QString found = oracle::FindEmailsLiterally(in->ReadLine());
      if (++lines % 500 == 0) expected << QString("Processing file line %1...").arg(lines);
      for (const QString& address : found.split(' ', Qt::SkipEmptyParts))
        expected << '+' + address, ++addresses;
    }
    expected << QString("%1 addresses...").arg(addresses);
    events.clear();
    added.clear();
    Import(root + "/f", pieces[round % 6]);
    ASSERT_EQ(events.join("\n").toStdString(), expected.join("\n").toStdString()) << "round " << round;
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
