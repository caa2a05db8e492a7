#include "lists/ListCommands.h"

#include <memory>
#include <vector>

#include "lists/MailingLists.h"
#include "platform/EventLoop.h"
#include "platform/ListModel.h"
#include "platform/LongWork.h"
#include "platform/Text.h"
#include "platform/TextStream.h"

namespace lists {

namespace {

const QString& BlackListed() {
  static const QString marker = QString::fromLatin1(kBlackListed);
  return marker;
}

const QString& OptedOut() {
  static const QString marker = QString::fromLatin1(kOptedOut);
  return marker;
}

bool Holds(const QString& mailings, const QString& marker) {
  return platform::InStr(mailings, marker) > 0;
}

}  // namespace

std::optional<QString> JoinSelectedAddresses(platform::ListModel& list) {
  if (list.SelCount() == 0) return std::nullopt;
  const platform::LongWork joining(&list);
  // The walk yields: it reads the selected rows as they stood when the command was given.
  const platform::ListModel::Snapshot selected = list.TakeSelectedSnapshot();
  const QString separator = QStringLiteral(", ");
  QString joined;
  for (int row = 0; row < selected.RowCount(); ++row) {
    if (row > 0) joined += separator;
    selected.AppendCellText(row, 0, joined);
    platform::YieldToEventLoop();
    if (joining.Stopped()) return std::nullopt;
  }
  return joined;
}

int RowStartingWith(const QPointer<platform::ListModel>& list, const QString& key) {
  if (key.isEmpty()) return -1;
  const platform::LongWork seeking(list, platform::LongWork::Seeking);
  for (int row = 0; !seeking.Stopped() && row < list->ListCount(); ++row) {
    // The first character, compared exactly, without a string made per row.
    if (QStringView(list->Cell(row, 0)).left(1) == key) return row;
    platform::YieldToEventLoop();
  }
  return -1;
}

int DuplicateSelected(platform::ListModel& list) {
  const platform::LongWork duplicating(&list);
  // As in JoinSelectedAddresses, the rows selected when the command was given.
  const platform::ListModel::Snapshot selected = list.TakeSelectedSnapshot();
  platform::ListModel::CellCopies copies;
  for (int row = selected.RowCount() - 1; row >= 0; --row) {
    selected.CopyCell(row, 0, copies);
    platform::YieldToEventLoop();
    if (duplicating.Stopped()) return 0;
  }
  list.AppendFirstCells(copies);
  return copies.Count();
}

void SelectUnsent(platform::ListModel& list) {
  list.SetSelectedWhere([&list](int row) { return list.CellIsEmpty(row, 1); });
}

bool ToggleBlackList(platform::ListModel& list) {
  if (list.SelCount() == 0) return false;
  list.EditColumn(1, [&list](int row, QString& mailings) {
    if (!list.Selected(row)) return false;
    // The marker replaces the whole column, history or the opt-out marker included.
    mailings = Holds(mailings, BlackListed()) ? QString() : BlackListed();
    return true;
  });
  return true;
}

bool ClearHistory(platform::ListModel& list) {
  if (list.SelCount() == 0) return false;
  const int acted = list.EditColumn(1, [&list](int row, QString& mailings) {
    if (!list.Selected(row) || Holds(mailings, BlackListed()) || Holds(mailings, OptedOut())) return false;
    mailings.clear();
    return true;
  });
  return acted > 0;
}

platform::FileResult MoveRowsToTrash(platform::ListModel& list, const std::vector<int>& rows,
                                     const platform::FolderItem& database,
                                     const platform::FolderItem& openFile) {
  platform::FileResult opened = platform::FileResult::Success();
  // Opened (and so created) whether or not a row is to go.
  std::unique_ptr<platform::TextOutputStream> trash = OpenTrashForCopy(database, openFile, &opened);
  if (!opened.Ok()) return opened;
  // Nothing below yields, so the rows written are exactly the rows removed.
  if (trash) {
    for (const int row : rows) {
      trash->WriteWith([&](QByteArray& buffer) {
        list.AppendCellFileBytes(row, 0, buffer);
        buffer.append('\n');
      });
    }
    // An address leaves the list only once it is safely in Trash: the last write (at the
    // close) may be the one that fails.
    if (platform::FileResult written = trash->Close(); !written.Ok()) return written;
  }
  if (rows.empty()) return platform::FileResult::Success();
  std::vector<unsigned char> gone(static_cast<size_t>(list.ListCount()), 0);
  for (const int row : rows) gone[static_cast<size_t>(row)] = 1;
  list.RemoveRowsIf([&gone](int row) { return gone[static_cast<size_t>(row)] != 0; });
  return platform::FileResult::Success();
}

RemoveResult RemoveSelectedToTrash(platform::ListModel& list, const platform::FolderItem& database,
                                   const platform::FolderItem& openFile, QString* reason) {
  if (!database.Child(QString::fromLatin1(kTrashName)).IsWriteable()) return RemoveResult::TrashNotWriteable;
  std::vector<int> selected;
  for (int row = list.ListCount() - 1; row >= 0; --row) {
    if (list.Selected(row)) selected.push_back(row);
  }
  if (const platform::FileResult moved = MoveRowsToTrash(list, selected, database, openFile); !moved.Ok()) {
    if (reason) *reason = moved.Reason();
    return RemoveResult::TrashNotWritten;
  }
  return selected.empty() ? RemoveResult::NothingSelected : RemoveResult::Removed;
}

}  // namespace lists
