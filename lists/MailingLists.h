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

// The file for a new list named `typed` ("Untitled" when empty): the typed name when no
// such item exists in `database`, else the typed name followed by ".1", ".2" ... (each
// suffix added to the typed name), the first that is free. A "/" in the name is kept
// inside the folder by the folder item; nothing for "." and "..".
std::optional<platform::FolderItem> FreeListFile(const platform::FolderItem& database, QString typed);

// Whether `openFile` is the Trash list (its display name compared exactly).
bool IsTrash(const platform::FolderItem& openFile);

// Opens Trash to receive removed addresses, one per line, appended; created when missing.
// Nothing when the open list is Trash itself, whose rows would otherwise come back into
// it. `failed` is set when Trash should have been opened but could not be.
std::unique_ptr<platform::TextOutputStream> OpenTrashForCopy(const platform::FolderItem& database,
                                                             const platform::FolderItem& openFile,
                                                             bool* failed = nullptr);

// Whether a Database entry stands for a list in the side bar: every entry but the
// program's own files, names compared exactly.
bool IsListEntry(const QString& name);

}  // namespace lists
