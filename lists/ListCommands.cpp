#include "lists/ListCommands.h"

#include <QPointer>
#include <memory>
#include <vector>

#include "lists/MailingLists.h"
#include "platform/EventLoop.h"
#include "platform/ListModel.h"
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
  QPointer<platform::ListModel> guard(&list);
  const QString separator = QStringLiteral(", ");
  QString joined;
  bool any = false;
  // The count is read again at every row: the walk yields, and rows may go meanwhile.
  for (int row = 0; row < list.ListCount(); ++row) {
    if (list.Selected(row)) {
      if (any) joined += separator;
      list.AppendCellText(row, 0, joined);
      any = true;
    }
    platform::YieldToEventLoop();
    if (!guard) return std::nullopt;
  }
  if (!any) return std::nullopt;
  return joined;
}

int DuplicateSelected(platform::ListModel& list) {
  QPointer<platform::ListModel> guard(&list);
  platform::ListModel::CellCopies copies;
  // The last row is fixed before the walk; a row gone meanwhile reads as not selected.
  for (int row = list.ListCount() - 1; row >= 0; --row) {
    if (list.Selected(row)) list.CopyCell(row, 0, copies);
    platform::YieldToEventLoop();
    if (!guard) return 0;
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

RemoveResult RemoveSelectedToTrash(platform::ListModel& list, const platform::FolderItem& database,
                                   const platform::FolderItem& openFile) {
  if (!database.Child(QString::fromLatin1(kTrashName)).IsWriteable()) return RemoveResult::TrashNotWriteable;
  bool trashFailed = false;
  // Opened (and so created) before the selection is looked at.
  std::unique_ptr<platform::TextOutputStream> trash = OpenTrashForCopy(database, openFile, &trashFailed);
  if (trashFailed) return RemoveResult::TrashNotWritten;
  if (list.SelCount() == 0) {
    if (trash && !trash->Close()) return RemoveResult::TrashNotWritten;
    return RemoveResult::NothingSelected;
  }
  // Nothing below yields, so the rows written are exactly the rows removed.
  if (trash) {
    for (int row = list.ListCount() - 1; row >= 0; --row) {
      if (!list.Selected(row)) continue;
      trash->WriteWith([&](QByteArray& buffer) {
        list.AppendCellFileBytes(row, 0, buffer);
        buffer.append('\n');
      });
    }
    // An address leaves the list only once it is safely in Trash.
    if (!trash->Close()) return RemoveResult::TrashNotWritten;
  }
  list.RemoveRowsIf([&list](int row) { return list.Selected(row); });
  return RemoveResult::Removed;
}

}  // namespace lists
