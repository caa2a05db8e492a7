#include "platform/FolderItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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

QStringList Entries(const QString& folder) {
  // Every entry counts, hidden ones too: a dropped folder is searched file by file,
  // whatever the files are called. Sorted by name so Item(i) is stable between calls.
  QStringList names = QDir(folder).entryList(
      QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
  names.removeIf(IsTemporarySaveName);
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

bool FolderItem::CreateAsFolder() const {
  if (IsNull()) return false;
  if (Directory()) return true;
  return QDir().mkdir(m_path);
}

bool FolderItem::Delete() const {
  if (IsNull()) return false;
  const QFileInfo info(m_path);
  if (info.isDir() && !info.isSymLink()) return QDir().rmdir(m_path);
  return QFile::remove(m_path);
}

}  // namespace platform
