#include "lists/OpenList.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <span>
#include <utility>
#include <vector>

#include "lists/HistoryJournal.h"
#include "lists/ListFileFormat.h"
#include "lists/MailingLists.h"
#include "platform/EventLoop.h"
#include "platform/Seams.h"
#include "platform/Text.h"
#include "platform/TextStream.h"

namespace lists {

namespace {

// Rows read from a file reach the list in batches: one model signal per batch instead of
// one per row keeps reading a million-row list fast, and the event loop still runs between
// batches as often as between single rows. Two cells a row.
constexpr size_t kReadBatchCells = size_t{2} * 1024;
// Bytes read from a list file at a time, and the fewest a row's line takes, about (for
// reserving room before the rows are counted).
constexpr qint64 kReadPiece = 1 << 20;
constexpr qint64 kShortestLine = 16;

bool IsSameFile(const platform::FolderItem& a, const platform::FolderItem& b) {
  if (a.IsNull() || b.IsNull()) return false;
  const QString path = QFileInfo(a.AbsolutePath()).canonicalFilePath();
  return !path.isEmpty() && path == QFileInfo(b.AbsolutePath()).canonicalFilePath();
}

// The system's words for a failure, as the end of a sentence.

}  // namespace

OpenList::OpenList(platform::ListModel* list, QObject* parent) : QObject(parent) {
  SetList(list);
}

void OpenList::SetList(platform::ListModel* list) {
  m_list = list;
}

void OpenList::SetFile(const platform::FolderItem& file) {
  if (file == m_file) return;
  m_file = file;
  emit fileChanged();
}

void OpenList::SetLastOpen(const QString& name) {
  if (name == m_lastOpen) return;
  m_lastOpen = name;
  emit fileChanged();
}

void OpenList::SetChanged(bool changed) {
  if (changed == m_changed) return;
  m_changed = changed;
  emit changedChanged(changed);
}

QString OpenList::PermissionMessage() {
  return QStringLiteral(
      "Permissions on this volume are not set to writeable for this user. Please move Velmora and it's "
      "'Database' and 'eMail' folders to a new location (i.e. Desktop).");
}

QString OpenList::SaveDialogTitle() {
  return QStringLiteral("Select a name for your new email address file...");
}

void OpenList::RunWhenFileIdle(const QObject* owner, std::function<void()> action) {
  LongWork::RunWhenIdle(m_list, kFileWork, owner, std::move(action));
}

void OpenList::RunWhenListIdle(const QObject* owner, std::function<void()> action) {
  LongWork::RunWhenIdle(m_list, kListWork, owner, std::move(action));
}

// Ticks that come while the list is busy make one save, once nothing at all is adding to
// or moving the list.
void OpenList::AutoSave() {
  LongWork::RequestWhenIdle(m_list, kListWork, this, [this] { SaveFile(); });
}

void OpenList::SaveFile() {
  if (!m_changed) return;
  if (FileBusy()) {
    // A second writer on the file being written (or read) could commit older rows over
    // newer ones; this save runs when that work ends.
    RunWhenFileIdle(this, [this] { SaveFile(); });
    return;
  }
  const LongWork writing(m_list, LongWork::Writing, this);
  (void)SaveFileNow(writing);
}

platform::FileResult OpenList::SaveFileNow(const LongWork& work) {
  if (!m_changed) return platform::FileResult::Success();
  if (m_file.IsNull()) {
    SaveAsFileNow(work, true);
    return platform::FileResult::Success();
  }
  if (!m_file.IsWriteable()) {
    platform::MsgBox(PermissionMessage());
    return platform::FileResult::FromErrno(EACCES);
  }
  // Cleared before writing: an edit made while the rows are written sets it again, so the
  // next save picks that edit up instead of it being marked saved and lost.
  MarkClean();
  const platform::FolderItem target = m_file;
  platform::FileResult written = WriteRowsTo(target);
  if (work.Stopped()) return written;
  if (!written.Ok()) {
    MarkChanged();
    Report(QStringLiteral("Could not write the list file ") + target.AbsolutePath() +
           platform::Because(written.Reason()));
  }
  return written;
}

bool OpenList::SaveBeforeLeaving() {
  if (FileBusy()) return false;
  const LongWork writing(m_list, LongWork::Writing, this);
  return SaveBeforeLeavingNow(writing);
}

bool OpenList::EditsAtRisk() const {
  return m_changed && ((m_list && m_list->ListCount() > 0) || !m_file.IsNull());
}

bool OpenList::SaveBeforeLeavingNow(const LongWork& work) {
  const platform::FolderItem file = m_file;
  const platform::FileResult saved = SaveFileNow(work);
  if (work.Stopped()) return false;
  if (!EditsAtRisk()) return true;
  // A list without a file had its save dialog cancelled. One with a file could not be
  // written there: the user is told and offered another file.
  if (!file.IsNull()) {
    platform::MsgBox(QStringLiteral("The list could not be saved to ") + file.AbsolutePath() +
                     platform::Because(saved.Reason()) +
                     QStringLiteral(" So that no address is lost, it stays open: please choose another file "
                                    "to save it to."));
    if (work.Stopped()) return false;
    const bool written = SaveAsFileNow(work, true);
    if (work.Stopped()) return false;
    if (written) return !EditsAtRisk();
    // Cancelled or failed again: the list keeps its own file for the next try.
    SetFile(file);
  }
  // Leaving without saving loses the edits: only the user may choose that.
  const bool discard = platform::Confirm(
      platform::Str(static_cast<long long>(m_list ? m_list->ListCount() : 0)) +
          QStringLiteral(" addresses in this list have not been saved. Close the list without saving them?"),
      QStringLiteral("Discard"), QStringLiteral("Keep Open"));
  if (work.Stopped() || !discard) return false;
  // The edits go with the list: nothing is left for a later save to ask about.
  MarkClean();
  return true;
}

bool OpenList::SaveAsFile() {
  if (FileBusy()) {
    RunWhenFileIdle(this, [this] { SaveAsFile(); });
    return false;
  }
  const LongWork writing(m_list, LongWork::Writing, this);
  return SaveAsFileNow(writing, false);
}

bool OpenList::SaveAsFileNow(const LongWork& work, bool clearsChanged) {
  platform::SaveDialogRequest request;
  request.title = SaveDialogTitle();
  request.filter = QStringLiteral("text/plain");
  request.initialFolder = m_database.AbsolutePath();
  const std::optional<QString> chosen = platform::ShowSaveDialog(request);
  if (work.Stopped()) return false;
  const platform::FolderItem file =
      chosen && !chosen->isEmpty() ? platform::FolderItem(*chosen) : platform::FolderItem();
  // In the Database folder, a list must not take the name of one of the program's own files.
  if (IsInDatabase(m_database, file)) {
    if (const std::optional<QString> problem = ListNameProblem(file.DisplayName())) {
      platform::MsgBox(*problem);
      return false;
    }
  }
  // The rows shown are only part of that file: written over it, they would lose the rest.
  if (IsSameFile(file, m_partlyRead)) {
    platform::MsgBox(QStringLiteral("Only part of ") + file.AbsolutePath() +
                     QStringLiteral(" could be read, so this list is not saved over it. Please choose "
                                    "another file to save it to."));
    return false;
  }
  SetFile(file);
  if (m_file.IsNull()) return false;
  if (!m_file.IsWriteable()) {
    platform::MsgBox(PermissionMessage());
    return false;
  }
  // As in SaveFileNow: edits made while the rows are written set Changed again.
  if (clearsChanged) MarkClean();
  const platform::FolderItem target = m_file;
  const platform::FileResult written = WriteRowsTo(target);
  if (!work.Stopped() && !written.Ok()) {
    if (clearsChanged) MarkChanged();
    Report(QStringLiteral("Could not write the list file ") + target.AbsolutePath() +
           platform::Because(written.Reason()));
  }
  return written.Ok();
}

platform::FileResult OpenList::WriteRowsTo(const platform::FolderItem& target) {
  // The rows as they stand now: the loop below yields, and whatever runs meanwhile (a
  // removal, another list being opened) must not change what goes into this file. They
  // hold every history entry journaled so far for the target.
  const HistoryJournal journal(target);
  const qint64 journaled = journal.Size();
  const platform::ListModel::Snapshot rows =
      m_list ? m_list->TakeSnapshot() : platform::ListModel::Snapshot();
  // Nothing below touches this object, so the write completes even when the window that
  // owns it goes away while it yields.
  QString reason;
  std::unique_ptr<platform::TextOutputStream> out = platform::TextOutputStream::Create(target, &reason);
  if (!out) return platform::FileResult::Failure(reason);
  for (int row = 0; row < rows.RowCount();) {
    // The lines of FormatListLine (address, blank, Mailings) with their line ends, encoded
    // straight into the stream's buffer a buffer's worth at a time.
    out->WriteWith([&](QByteArray& buffer) {
      row = rows.AppendRowLines(row, ' ', '\n', buffer, platform::TextOutputStream::kBufferBytes);
    });
    platform::YieldToEventLoop();
  }
  if (platform::FileResult written = out->Close(); !written.Ok()) return written;
  // A journal that keeps lines the file now holds too costs at most an entry written twice
  // after a crash, never one lost: the next save drops them.
  (void)journal.DropWritten(journaled);
  return platform::FileResult::Success();
}

void OpenList::OpenDatabase(const QString& name, const std::function<void(bool left)>& done) {
  if (MustWait(true)) {
    // The rest of an import would otherwise go into the list opened.
    if (ImportRunning() && !name.isEmpty()) {
      Report(QStringLiteral("The list \"") + name + QStringLiteral("\" opens once the import ends."));
    }
    RunWhenListIdle(this, [this, name, done] { OpenDatabase(name, done); });
    return;
  }
  const bool left = OpenDatabaseNow(name);
  if (done) done(left);
}

bool OpenList::OpenDatabaseNow(const QString& name) {
  // One piece of work from the save to LastDatabase: an open or a save asked for meanwhile
  // runs after it, in the order asked.
  const LongWork reading(m_list, LongWork::Reading, this);
  if (name.isEmpty()) {
    (void)SaveFileNow(reading);
    return false;
  }
  // Emptying the list when its edits could not be saved (a full disk, a read-only file,
  // the save dialog cancelled) would lose them; the list stays open unless the user chose
  // to discard them.
  if (!SaveBeforeLeavingNow(reading) || reading.Stopped()) return false;
  if (m_list) m_list->DeleteAllRows();
  m_partlyRead = platform::FolderItem();
  // A name kept for the program's own files opens no list: saving the list would
  // overwrite that file (the settings, say).
  const std::optional<QString> problem = ListNameProblem(name);
  if (problem) Report(*problem);
  SetFile(problem ? platform::FolderItem() : m_database.Child(name));
  if (m_file.IsNull() || !m_file.Exists()) {
    SetFile(platform::FolderItem());
    return true;
  }
  ReadEmailsNow(reading);
  if (reading.Stopped() || m_file.IsNull()) return !reading.Stopped();
  const platform::FolderItem lastFile = m_database.Child(QString::fromLatin1(kLastDatabaseName));
  QString reason;
  std::unique_ptr<platform::TextOutputStream> last = platform::TextOutputStream::Create(lastFile, &reason);
  if (last) last->Write(name);
  const platform::FileResult written = last ? last->Close() : platform::FileResult::Failure(reason);
  if (written.Ok()) {
    SetLastOpen(name);
  } else {
    Report(QStringLiteral("Could not write ") + lastFile.AbsolutePath() +
           platform::InBrackets(written.Reason()) +
           QStringLiteral(": the next start will not open this list."));
  }
  return true;
}

void OpenList::ReadEmails() {
  if (FileBusy()) {
    RunWhenFileIdle(this, [this] { ReadEmails(); });
    return;
  }
  const LongWork reading(m_list, LongWork::Reading, this);
  ReadEmailsNow(reading);
}

void OpenList::ReadEmailsNow(const LongWork& work) {
  if (m_file.IsNull()) return;
  const platform::FolderItem file = m_file;
  QString reason;
  const std::unique_ptr<QIODevice> device = platform::TextInputStream::OpenDevice(file, &reason);
  if (!device) {
    // Left as the open file, an unreadable list would be overwritten by the next save
    // with whatever the empty list then holds.
    SetFile(platform::FolderItem());
    Report(QStringLiteral("Could not read the list file ") + file.AbsolutePath() + platform::Because(reason));
    return;
  }
  // What the program had journaled before it last ended without saving, as the file stood:
  // a line journaled while the rows come in is in the rows already.
  const HistoryJournal journal(file);
  const std::optional<std::vector<HistoryJournal::Record>> journaled = journal.Read();
  // Room for every row at once: growing the list batch by batch would copy it over and
  // over. A row takes about the bytes of its line.
  if (m_list) {
    const qint64 size = device->size();
    m_list->ReserveText(static_cast<qsizetype>(size));
    m_list->Reserve(m_list->ListCount() +
                    static_cast<int>(std::min<qint64>(size / kShortestLine, INT_MAX / 2)));
  }
  // As during an import, the window is redrawn at most every 50 ms while the rows come in.
  const platform::BeforeEventLoop pacing({}, std::chrono::milliseconds(50));
  // An edit made while the rows come in (an import adding addresses, a cell edited) is in
  // no file: the read must leave it marked unsaved. The read's own appends are no such edit.
  bool edited = false;
  unsigned seen = m_list ? m_list->EditCount() : 0;
  const auto editedByOthers = [this, &edited, &seen] {
    edited = edited || (m_list && m_list->EditCount() != seen);
    return edited;
  };
  // The file is read a piece at a time and cut into rows as it comes, never held whole.
  ListFileSplitter splitter;
  QByteArray piece;
  std::vector<QByteArrayView> cells;
  const auto collect = [&cells](QByteArrayView address, QByteArrayView mailings) {
    cells.push_back(address);
    cells.push_back(mailings);
  };
  for (bool end = false; !end;) {
    piece.resize(kReadPiece);
    const qint64 read = device->read(piece.data(), kReadPiece);
    if (read < 0) {
      // What was read is no whole list. The rows stay for the user to save elsewhere; the
      // file is no longer the list's, so that no save writes them over the rest of it.
      SetFile(platform::FolderItem());
      m_partlyRead = file;
      SetChanged(editedByOthers());
      Report(QStringLiteral("Could not read all of the list file ") + file.AbsolutePath() +
             platform::Because(device->errorString()) + QStringLiteral(" Only part of it is shown."));
      return;
    }
    piece.resize(read);
    end = read == 0;
    cells.clear();
    if (end) {
      splitter.Finish(collect);
    } else {
      splitter.Feed(piece, collect);
    }
    // The rows of the piece reach the list in batches, the event loop running between.
    const std::span<const QByteArrayView> all(cells);
    for (size_t at = 0; at < all.size(); at += kReadBatchCells) {
      if (m_list) {
        editedByOthers();
        m_list->AppendRowsFromBytes(all.subspan(at, std::min(kReadBatchCells, all.size() - at)));
        seen = m_list->EditCount();
      }
      platform::YieldToEventLoop();
      if (work.Stopped()) return;
    }
  }
  Report(platform::Str(static_cast<long long>(m_list ? m_list->ListCount() : 0)) +
         QStringLiteral(" addresses"));
  SetChanged(editedByOthers());
  if (!journaled) {
    Report(QStringLiteral("Could not read ") + journal.File().AbsolutePath() +
           QStringLiteral(": mailings of the last session may be missing from the list."));
  } else if (!journaled->empty()) {
    // Unsaved, so that the next save writes the entries into the file and drops the journal.
    if (m_list) HistoryJournal::Apply(*m_list, *journaled);
    MarkChanged();
  }
}

void OpenList::RemoveOpenList() {
  if (MustWait(true)) {
    RunWhenListIdle(this, [this] { RemoveOpenList(); });
    return;
  }
  const LongWork writing(m_list, LongWork::Writing, this);
  // The rows as they stand now go to Trash, and only they leave the list.
  const platform::ListModel::Snapshot rows =
      m_list ? m_list->TakeSnapshot() : platform::ListModel::Snapshot();
  platform::FileResult inTrash = platform::FileResult::Success();
  std::unique_ptr<platform::TextOutputStream> trash = OpenTrashForCopy(m_database, m_file, &inTrash);
  if (trash) {
    for (int row = 0; row < rows.RowCount(); ++row) {
      trash->WriteWith([&](QByteArray& buffer) {
        rows.AppendCellFileBytes(row, 0, buffer);
        buffer.append('\n');
      });
      platform::YieldToEventLoop();
      if (writing.Stopped()) return;
    }
    inTrash = trash->Close();
  }
  if (!inTrash.Ok()) {
    // Deleting the list when its addresses did not reach Trash would lose them.
    Report(QStringLiteral("Could not copy the list to Trash") + platform::InBrackets(inTrash.Reason()) +
           QStringLiteral("; the list was not removed."));
    return;
  }
  if (!m_file.IsNull()) {
    // A list whose file stays would come back at the next start: it is not removed.
    if (const platform::FileResult deleted = m_file.Delete(); !deleted.Ok()) {
      Report(QStringLiteral("Could not delete the list file ") + m_file.AbsolutePath() +
             platform::InBrackets(deleted.Reason()) + QStringLiteral("; the list was not removed."));
      return;
    }
    // The history of a removed list is nobody's; left behind, it could reach a new list of
    // the same name. A journal that stays is applied only to rows of its addresses.
    (void)HistoryJournal(m_file).Remove();
    SetFile(platform::FolderItem());
    MarkClean();
  }
  if (!m_list) return;
  // Rows added or edited while Trash was written are in no file now: they stay, unsaved.
  const std::vector<int> copied = m_list->MatchSnapshot(rows);
  if (std::ranges::all_of(copied, [](int row) { return row >= 0; })) {
    m_list->DeleteAllRows();
    return;
  }
  m_list->RemoveRowsIf([&copied](int row) { return copied[static_cast<size_t>(row)] >= 0; });
  const int kept = m_list->ListCount();
  if (kept > 0) {
    MarkChanged();
    Report(platform::Str(static_cast<long long>(kept)) +
           QStringLiteral(" addresses added or changed during the removal stay in the list, unsaved."));
  }
}

void OpenList::EmptyTrash() {
  if (FileBusy()) {
    RunWhenFileIdle(this, [this] { EmptyTrash(); });
    return;
  }
  const LongWork writing(m_list, LongWork::Writing, this);
  const platform::FolderItem file = m_database.Child(QString::fromLatin1(kTrashName));
  QString reason;
  std::unique_ptr<platform::TextOutputStream> trash = platform::TextOutputStream::Create(file, &reason);
  const platform::FileResult emptied = trash ? trash->Close() : platform::FileResult::Failure(reason);
  if (!emptied.Ok()) {
    // Trash shown empty while its file still holds the addresses would be a lie.
    Report(QStringLiteral("Could not empty Trash ") + file.AbsolutePath() +
           platform::Because(emptied.Reason()));
    return;
  }
  (void)HistoryJournal(file).Remove();  // its rows are gone, as in RemoveOpenList
  if (IsTrash(m_file)) {
    if (m_list) m_list->DeleteAllRows();
    MarkClean();
  }
}

RemoveResult OpenList::RemoveSelectedToTrash(QString* reason) {
  if (!m_list) return RemoveResult::NothingSelected;
  const RemoveResult result = lists::RemoveSelectedToTrash(*m_list, m_database, m_file, reason);
  if (result == RemoveResult::Removed) MarkChanged();
  return result;
}

platform::FileResult OpenList::MoveRowsToTrash(const std::vector<int>& rows) {
  if (!m_list) return platform::FileResult::Failure(QString());
  platform::FileResult moved = lists::MoveRowsToTrash(*m_list, rows, m_database, m_file);
  if (moved.Ok() && !rows.empty()) MarkChanged();
  return moved;
}

void OpenList::JournalMailing(const QString& address, const QString& entry) {
  if (m_file.IsNull()) return;
  const HistoryJournal journal(m_file);
  const platform::FileResult appended = journal.Append(address, entry);
  if (appended.Ok()) return;
  Report(QStringLiteral("Could not record the mailing to ") + address + QStringLiteral(" in ") +
         journal.File().AbsolutePath() + platform::InBrackets(appended.Reason()) +
         QStringLiteral(": it is kept only once the list is saved."));
}

}  // namespace lists
