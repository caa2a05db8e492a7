#include "platform/FolderItem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cerrno>

#include "platform/TemporarySaveName.h"

namespace platform {
namespace {

QString& AppFolderOverride() {
  static QString path;
  return path;
}

QString Clean(const QString& path) {
  return QDir::cleanPath(path);
}

QStringList ReadEntries(const QString& folder) {
  // Every entry counts, hidden ones too: a dropped folder is searched file by file,
  // whatever the files are called. Sorted by name so Item(i) is stable between calls.
  QStringList names = QDir(folder).entryList(
      QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
  names.removeIf(IsTemporarySaveName);
  return names;
}

// What identifies one state of a folder's entry list.
struct FolderStamp {
  dev_t device = 0;
  ino_t inode = 0;
  timespec modified{};
  timespec changed{};

  bool operator==(const FolderStamp& o) const {
    return device == o.device && inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
           modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec &&
           changed.tv_nsec == o.changed.tv_nsec;
  }
};

struct CachedListing {
  FolderStamp stamp;
  QStringList names;
  bool racy = false;    // read while the folder's stamp was too fresh to trust
  qint64 readAtMs = 0;  // steady clock
};

// A walk of a folder reads Count before every Item, so listing the folder each time
// makes the walk quadratic (minutes for a few thousand files). A listing is reused
// while the folder's stamp is unchanged; but file systems keep times in coarse ticks,
// so a folder changed within the last seconds may change again under the same stamp
// (the same rule as git's "racily clean" index entries): such a listing is trusted only
// for a few milliseconds, which still lets a walk of a just-unpacked folder read it once
// per stretch of items instead of once per item.
QStringList Entries(const QString& folder) {
  static QHash<QString, CachedListing> cache;
  static QElapsedTimer clock = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  constexpr qint64 kRacyListingMs = 50;
  struct stat info {};
  if (::stat(QFile::encodeName(folder).constData(), &info) != 0) return {};
  const FolderStamp stamp{info.st_dev, info.st_ino, info.st_mtim, info.st_ctim};
  const qint64 nowMs = clock.elapsed();
  const auto found = cache.constFind(folder);
  if (found != cache.constEnd() && found->stamp == stamp &&
      (!found->racy || nowMs - found->readAtMs < kRacyListingMs)) {
    return found->names;
  }

  QStringList names = ReadEntries(folder);
  const qint64 now = QDateTime::currentSecsSinceEpoch();
  const qint64 newest = std::max<qint64>(info.st_mtim.tv_sec, info.st_ctim.tv_sec);
  if (cache.size() >= 64) cache.clear();
  cache.insert(folder, CachedListing{stamp, names, now - newest < 3, nowMs});
  return names;
}

}  // namespace

FolderItem::FolderItem(QString absolutePath) {
  if (absolutePath.isEmpty()) return;
  if (QDir::isRelativePath(absolutePath)) {
    absolutePath = AppFolder().AbsolutePath() + QLatin1Char('/') + absolutePath;
  }
  m_path = Clean(absolutePath);
}

FolderItem FolderItem::AppFolder() {
  const QString& overridePath = AppFolderOverride();
  if (!overridePath.isEmpty()) return FolderItem(overridePath);
  return FolderItem(QDir(QCoreApplication::applicationDirPath()).absolutePath());
}

void FolderItem::SetAppFolderForTests(const QString& path) {
  AppFolderOverride() = path.isEmpty() ? QString() : QDir(path).absolutePath();
}

FolderItem FolderItem::GetFolderItem(const QString& relativePath) {
  if (relativePath.isEmpty()) return AppFolder();
  if (!QDir::isRelativePath(relativePath)) return FolderItem(relativePath);
  return FolderItem(AppFolder().AbsolutePath() + QLatin1Char('/') + relativePath);
}

FolderItem FolderItem::TemporaryFolder() {
  return FolderItem(QDir::tempPath());
}

QString FolderItem::DisplayName() const {
  if (IsNull()) return QString();
  if (m_path == QLatin1String("/")) return m_path;
  return QFileInfo(m_path).fileName();
}

FolderItem FolderItem::Parent() const {
  if (IsNull() || m_path == QLatin1String("/")) return FolderItem();
  return FolderItem(QFileInfo(m_path).absolutePath());
}

FolderItem FolderItem::Child(const QString& name) const {
  // A child is an entry of this folder, whatever the name holds: a list name typed as
  // "../x" or "a/b" must not reach outside the folder. A slash is stored as a colon, as
  // the Mac Finder does with names that show a slash; "", "." and ".." name no child.
  if (IsNull() || name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
    return FolderItem();
  }
  QString entry = name;
  entry.replace(QLatin1Char('/'), QLatin1Char(':'));
  if (m_path == QLatin1String("/")) return FolderItem(m_path + entry);
  return FolderItem(m_path + QLatin1Char('/') + entry);
}

bool FolderItem::Exists() const {
  if (IsNull()) return false;
  const QFileInfo info(m_path);
  return info.exists() || info.isSymLink();
}

bool FolderItem::Directory() const {
  return !IsNull() && QFileInfo(m_path).isDir();
}

bool FolderItem::IsWriteable() const {
  if (IsNull()) return false;
  const QFileInfo info(m_path);
  if (info.isDir()) return info.isWritable();
  const FolderItem parent = Parent();
  const QFileInfo parentInfo(parent.AbsolutePath());
  const bool parentWritable = !parent.IsNull() && parentInfo.isDir() && parentInfo.isWritable();
  // A file is rewritten by replacing it (a temporary file beside it, renamed over it),
  // so its folder must take new files too. A missing item is writable when it can be
  // created: a first start must be able to make its Database folder.
  if (!info.exists()) return parentWritable;
  return info.isWritable() && parentWritable;
}

int FolderItem::Count() const {
  if (!Directory()) return 0;
  return static_cast<int>(Entries(m_path).size());
}

FolderItem FolderItem::Item(int index) const {
  if (index < 1 || !Directory()) return FolderItem();
  const QStringList entries = Entries(m_path);
  if (index > entries.size()) return FolderItem();
  return Child(entries.at(index - 1));
}

FileResult FolderItem::CreateAsFolder() const {
  if (IsNull()) return FileResult::FromErrno(ENOENT);
  if (Directory()) return FileResult::Success();
  if (::mkdir(QFile::encodeName(m_path).constData(), 0777) != 0) return FileResult::FromErrno(errno);
  return FileResult::Success();
}

FileResult FolderItem::Delete() const {
  if (IsNull()) return FileResult::FromErrno(ENOENT);
  const QFileInfo info(m_path);
  const QByteArray path = QFile::encodeName(m_path);
  const int done = info.isDir() && !info.isSymLink() ? ::rmdir(path.constData()) : ::unlink(path.constData());
  return done == 0 ? FileResult::Success() : FileResult::FromErrno(errno);
}

}  // namespace platform
