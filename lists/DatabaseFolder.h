#pragma once

// The Database folder as a whole: what start-up checks of it, the lock a running copy of
// the program holds on it, and the clearing of what an interrupted save left in it.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <optional>

#include "platform/FolderItem.h"

namespace lists {

// Why `database` cannot hold the lists, or nothing when it can: anything but a folder in
// its place (a file, a pipe, a link to nothing) would leave the program with no lists and
// nowhere to save them.
std::optional<QString> DatabaseFolderProblem(const platform::FolderItem& database);

// The lock a running copy of the program holds on its Database folder while it lives: a
// second copy on the same folder would overwrite what the first one saves. A lock left by
// a copy that ended without letting go (a crash) is taken over.
class DatabaseLock : public QObject {
 public:
  DatabaseLock(const platform::FolderItem& database, QObject* parent);

  // Takes the lock; the reason it could not be taken otherwise.
  [[nodiscard]] std::optional<QString> Take();

 private:
  QLockFile m_lock;
};

// Removes the temporary files of saves cut short (a crash, a kill) from the folder, and
// returns how many. Only while holding the folder's lock: no other copy can be saving.
int RemoveStaleSaveTemporaries(const platform::FolderItem& database);

}  // namespace lists
