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
  // The walk yields: it reads the selected rows as they stood when the command was given.
  const platform::ListModel::Snapshot selected = list.TakeSelectedSnapshot();
  const QString separator = QStringLiteral(", ");
  QString joined;
  for (int row = 0; row < selected.RowCount(); ++row) {
    if (row > 0) joined += separator;
    selected.AppendCellText(row, 0, joined);
    platform::YieldToEventLoop();
    if (!guard) return std::nullopt;
  }
  return joined;
}

int DuplicateSelected(platform::ListModel& list) {
  QPointer<platform::ListModel> guard(&list);
  // As in JoinSelectedAddresses, the rows selected when the command was given.
  const platform::ListModel::Snapshot selected = list.TakeSelectedSnapshot();
  platform::ListModel::CellCopies copies;
  for (int row = selected.RowCount() - 1; row >= 0; --row) {
    selected.CopyCell(row, 0, copies);
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
