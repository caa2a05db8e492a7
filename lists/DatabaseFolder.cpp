#include "lists/DatabaseFolder.h"

#include <QDir>
#include <QFileInfo>

#include "lists/MailingLists.h"
#include "platform/TemporarySaveName.h"

namespace lists {

std::optional<QString> DatabaseFolderProblem(const platform::FolderItem& database) {
  if (database.Directory()) return std::nullopt;
  return QStringLiteral(
      "The 'Database' item beside Velmora is not a folder (it is a file, a pipe or a link to nothing), so "
      "Velmora has nowhere to keep its lists. Please move it away or put the 'Database' folder back. This "
      "application will shut down now.");
}

DatabaseLock::DatabaseLock(const platform::FolderItem& database, QObject* parent)
    : QObject(parent), m_lock(database.Child(QString::fromLatin1(kDatabaseLockName)).AbsolutePath()) {
  // Only a lock whose copy is gone is stale, however long the running copy has held it.
  m_lock.setStaleLockTime(0);
}

std::optional<QString> DatabaseLock::Take() {
  if (m_lock.tryLock()) return std::nullopt;
  if (m_lock.error() == QLockFile::LockFailedError) {
    return QStringLiteral(
        "Another copy of Velmora is using the 'Database' folder. Please quit that copy first: two copies "
        "would overwrite each other's lists. This application will shut down now.");
  }
  return QStringLiteral(
      "Velmora could not lock its 'Database' folder against a second copy. This application will shut "
      "down now.");
}

int RemoveStaleSaveTemporaries(const platform::FolderItem& database) {
  int removed = 0;
  const QDir folder(database.AbsolutePath());
  const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& name : names) {
    const QFileInfo info(folder.filePath(name));
    // A link or anything but a file of that name is not one the program wrote.
    if (platform::IsTemporarySaveName(name) && info.isFile() && !info.isSymLink() &&
        QFile::remove(info.filePath())) {
      ++removed;
    }
  }
  return removed;
}

}  // namespace lists
