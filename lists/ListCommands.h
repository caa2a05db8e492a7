#pragma once

#include <QPointer>
#include <QString>
#include <optional>
#include <vector>

#include "platform/FolderItem.h"

namespace platform {
class ListModel;
}

// The commands of the Edit and Addresses menus that work on the address list: column 0
// holds the address, column 1 the mailing history or a marker. Each edit reaches the list
// as one model change, however many rows it touches.
namespace lists {

inline constexpr const char* kBlackListed = "Black Listed";
inline constexpr const char* kOptedOut = "Opted Out";

// Edit > Copy: the selected rows' addresses in row order, joined by ", "; nothing when no
// row is selected. Yields to the event loop per row; the rows are read as they were selected
// when it began, whatever is edited meanwhile.
std::optional<QString> JoinSelectedAddresses(platform::ListModel& list);

// Edit > Duplicate: appends a copy of each selected row's address (with an empty column
// 1), walking from the last row to the first, so the copies come in the reverse order of
// their rows. Yields as JoinSelectedAddresses does. Returns the number of copies.
int DuplicateSelected(platform::ListModel& list);

// A key typed in the address list: the first row from the top whose address starts with the
// key's text, compared exactly; -1 when none. Yields per row: a key typed meanwhile starts a
// walk of its own, which takes over (the later key wins), and this one then finds nothing,
// as it does when the list goes.
int RowStartingWith(const QPointer<platform::ListModel>& list, const QString& key);

// Edit > Select Unsent: selects exactly the rows whose column 1 is empty.
void SelectUnsent(platform::ListModel& list);

// Addresses > Black List: a selected row that holds the marker (in any letter case) is
// emptied, any other gets the marker in place of its history. False when no row is
// selected.
bool ToggleBlackList(platform::ListModel& list);

// Addresses > Clear History: empties column 1 of the selected rows that hold neither
// marker. True when it acted on any row, even one already empty.
bool ClearHistory(platform::ListModel& list);

// Appends the addresses of `rows` to Trash in the order given (Trash is created when
// missing, also for no rows), and only once that write has reached the disk removes those
// rows. When the open list is Trash itself, the rows are removed without a copy. A failure,
// with no row removed, when Trash could not be opened or written.
platform::FileResult MoveRowsToTrash(platform::ListModel& list, const std::vector<int>& rows,
                                     const platform::FolderItem& database,
                                     const platform::FolderItem& openFile);

enum class RemoveResult {
  TrashNotWriteable,  // Trash cannot be written: nothing was tried
  TrashNotWritten,    // opening or writing Trash failed: no row was removed
  NothingSelected,    // Trash was opened (and created when missing); no row selected
  Removed,
};

// Addresses > Remove on the address list: appends the selected rows' addresses to Trash in
// one write, the last row first, and only once that write has reached the disk removes
// those rows. When the open list is Trash itself, its rows are removed without a copy.
// TrashNotWritten comes with the system's reason in `reason`.
[[nodiscard]] RemoveResult RemoveSelectedToTrash(platform::ListModel& list,
                                                 const platform::FolderItem& database,
                                                 const platform::FolderItem& openFile,
                                                 QString* reason = nullptr);

}  // namespace lists
