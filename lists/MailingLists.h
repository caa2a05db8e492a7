#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "platform/FolderItem.h"
#include "platform/TextStream.h"

namespace lists {

inline constexpr const char* kTrashName = "Trash";
inline constexpr const char* kLastDatabaseName = "LastDatabase";
inline constexpr const char* kPreferencesName = "Preferences";
// The lock a running copy of the program holds on its Database folder.
inline constexpr const char* kDatabaseLockName = ".velmora-lock";

// Why `name` cannot name a list file in the Database folder, or nothing when it can. The
// program keeps some names for its own files (Preferences, LastDatabase, its lock, the
// temporary files of saves, the lists' history journals, and the names the side bar leaves
// out): a list under such a name would overwrite them or never show. A control character (a line end above
// all) would break LastDatabase, which holds the name on one line. "." and ".." name no file.
std::optional<QString> ListNameProblem(const QString& name);

// The file for a new list named `typed` ("Untitled" when empty): the typed name when no
// such item exists in `database`, else the typed name followed by ".1", ".2" ... (each
// suffix added to the typed name), the first that is free. A "/" in the name is kept
// inside the folder by the folder item; nothing for a name that ListNameProblem refuses.
std::optional<platform::FolderItem> FreeListFile(const platform::FolderItem& database, QString typed);

// Whether `openFile` is the Trash list (its display name compared exactly).
bool IsTrash(const platform::FolderItem& openFile);

// Opens Trash to receive removed addresses, one per line, appended; created when missing.
// Nothing when the open list is Trash itself, whose rows would otherwise come back into
// it. `opened` gets the failure when Trash should have been opened but could not be.
std::unique_ptr<platform::TextOutputStream> OpenTrashForCopy(const platform::FolderItem& database,
                                                             const platform::FolderItem& openFile,
                                                             platform::FileResult* opened = nullptr);

// Whether a Database entry stands for a list in the side bar: every entry but the
// program's own files, names compared exactly.
bool IsListEntry(const QString& name);

// Whether `file` is an entry of the Database folder (by its real path, whatever links or
// relative steps lead to either).
bool IsInDatabase(const platform::FolderItem& database, const platform::FolderItem& file);

}  // namespace lists
