#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <type_traits>

#include "lists/ListCommands.h"
#include "platform/FolderItem.h"
#include "platform/ListModel.h"
#include "platform/LongWork.h"

namespace lists {

// The open list: the Database folder its file sits in, its file, the name of the list
// opened last, whether it has edits no file holds yet (the main window's `Changed`), and
// the moving of its rows between the address list and its file: save, save as, open, read,
// and the two commands that touch the open list's file (remove the list, empty Trash).
// Whoever edits the rows says so through MarkChanged(); only the list's own work (a save,
// a read, a removal) and start-up clear the mark.
//
// Every long loop yields to the event loop (platform/LongWork.h), so a timer tick, a socket
// event or a click can arrive in the middle of a save or a read. The list keeps one writer
// per list file at a time through its busy tokens: while a list file is being written or
// read, another save, an open, a removal or emptying Trash waits and runs as soon as the
// running work ends, and an autosave tick waits as well while an import is adding
// addresses. A save or a removal writes a snapshot of the rows taken when it starts, so
// edits made while it writes are neither lost nor marked saved. An import belongs to the
// list it started on: opening another list or removing the open one waits until the import
// ends.
class OpenList : public QObject {
  Q_OBJECT
 public:
  explicit OpenList(platform::ListModel* list = nullptr, QObject* parent = nullptr);

  // The address list whose rows are the open list's; set once, when its control is made.
  void SetList(platform::ListModel* list);
  platform::ListModel* List() const { return m_list; }

  // The Database folder: every list file, Trash and LastDatabase is a child of it.
  const platform::FolderItem& Database() const { return m_database; }
  void SetDatabase(const platform::FolderItem& folder) { m_database = folder; }
  // The open list's file; null when the open list has none.
  const platform::FolderItem& File() const { return m_file; }
  void SetFile(const platform::FolderItem& file);
  // The name of the list opened last, as LastDatabase holds it.
  const QString& LastOpen() const { return m_lastOpen; }
  void SetLastOpen(const QString& name);

  // The open list has edits that no file holds yet.
  bool IsChanged() const { return m_changed; }
  // The rows were edited: the next save writes them.
  void MarkChanged() { SetChanged(true); }
  // Nothing is left to save: the rows are in the file, or were given up.
  void MarkClean() { SetChanged(false); }

  // Writes the open list when Changed is set; asks for a file when it has none.
  void SaveFile();
  // Asks for a file and writes the list into it; true when the list was written.
  bool SaveAsFile();
  // Saves the open list, then opens the list named `name` from the Database folder. Once
  // that has run (it may wait for other work), `done` learns whether the open list was left:
  // not when its edits could not be saved and it stays open.
  void OpenDatabase(const QString& name, const std::function<void(bool left)>& done = {});
  // Appends the rows of the open list's file to the address list. A read that fails
  // part-way keeps the rows read but leaves the list without a file, and Save As refuses
  // that file until another list is opened: the part must never replace the whole.
  void ReadEmails();
  // The autosave timer's work: saves now, or when the running save, read or import ends.
  void AutoSave();
  // Saves the open list before it is left (its window closes, the program quits). A save
  // that fails never discards edits unasked: the user is told in a message box and offered
  // to save the list under another name; a list still unsaved then (or whose save dialog was
  // cancelled) is discarded only when the user chooses so. False while edits would be lost,
  // and the list must stay; also while a list file is being written or read.
  [[nodiscard]] bool SaveBeforeLeaving();

  // Keeps the history entry that an accepted message just wrote into the rows of `address`
  // safe on disk until the next save writes the list file (see HistoryJournal); says so on
  // the status line when it cannot. A list without a file has nowhere to keep it.
  void JournalMailing(const QString& address, const QString& entry);

  // Mailing Lists > Remove Mailing List: copies the addresses to Trash (unless the open list
  // is Trash), deletes the open list's file and removes the rows copied. When the copy or
  // the deletion fails the list stays open as it was, and the status line says so. Rows
  // added or edited while the copy is written are in no file and not in Trash: they stay
  // in the list, marked unsaved.
  void RemoveOpenList();
  // Mailing Lists > Empty Tash: truncates Trash, emptying the shown list when Trash is open.
  // When Trash cannot be written nothing changes, and the status line says so.
  void EmptyTrash();
  // The rows of the open list that leave it for Trash (lists::RemoveSelectedToTrash, and
  // lists::MoveRowsToTrash for `rows`); the list is changed when any went.
  [[nodiscard]] RemoveResult RemoveSelectedToTrash(QString* reason = nullptr);
  platform::FileResult MoveRowsToTrash(const std::vector<int>& rows);

  // True while a list file is being written or read; while an import (dropped text or
  // files, a LongWork::Importing on the rows) is adding addresses.
  bool FileBusy() const { return platform::LongWork::IsBusy(m_list, kFileWork); }
  bool ImportRunning() const { return platform::LongWork::IsBusy(m_list, platform::LongWork::Importing); }
  // Runs `action` now when no list file is being written or read, otherwise as soon as
  // that work ends unless `owner` has gone by then; actions queued meanwhile run in order.
  void RunWhenFileIdle(const QObject* owner, std::function<void()> action);
  // The same, and waits for imports as well: for work that changes which list is open.
  void RunWhenListIdle(const QObject* owner, std::function<void()> action);

  // The permission message shared by every save.
  static QString PermissionMessage();
  static QString SaveDialogTitle();

 signals:
  // IsChanged() turned to `changed`.
  void changedChanged(bool changed);
  // File() or LastOpen() changed.
  void fileChanged();
  // A line for the status line and the message log.
  void reported(const QString& text);

 private:
  using LongWork = platform::LongWork;
  static constexpr LongWork::Kinds kFileWork = LongWork::Writing | LongWork::Reading;
  static constexpr LongWork::Kinds kListWork = kFileWork | LongWork::Importing;

  // The work of the public functions of the same names, under the token `work` that the
  // caller holds. A save reports its failure itself; the result says why for a caller that
  // goes on to ask.
  platform::FileResult SaveFileNow(const LongWork& work);
  bool SaveBeforeLeavingNow(const LongWork& work);
  // Edits not in any file, which leaving the list would lose.
  bool EditsAtRisk() const;
  // From SaveFile, the save clears Changed; from Save As it leaves Changed alone.
  bool SaveAsFileNow(const LongWork& work, bool clearsChanged);
  bool OpenDatabaseNow(const QString& name);
  void ReadEmailsNow(const LongWork& work);
  platform::FileResult WriteRowsTo(const platform::FolderItem& target);
  void Report(const QString& text) { emit reported(text); }
  // The one writer of the unsaved mark.
  void SetChanged(bool changed);
  bool MustWait(bool waitsForImport) const { return FileBusy() || (waitsForImport && ImportRunning()); }

  QPointer<platform::ListModel> m_list;
  platform::FolderItem m_database;
  platform::FolderItem m_file;
  QString m_lastOpen;
  bool m_changed = false;
  // The file that the list was read from in part, until another list is opened.
  platform::FolderItem m_partlyRead;
};

// MarkChanged() or MarkClean(), for one who holds the mark's new value.
inline void MarkChangedAs(OpenList& list, bool changed) {
  changed ? list.MarkChanged() : list.MarkClean();
}

// One of the open list's values under its own name on a window that shows the list (the
// main window's `existingfile`, `lastopen` and `Changed`): reading it reads the open list's
// value and assigning to it goes through the open list's setter. It holds no value of its own.
template <auto Get, auto Set>
class OpenListValue {
 public:
  using Value = std::remove_cvref_t<std::invoke_result_t<decltype(Get), const OpenList&>>;

  explicit OpenListValue(OpenList& owner) : m_owner(owner) {}
  OpenListValue(const OpenListValue&) = delete;
  OpenListValue& operator=(const OpenListValue&) = delete;

  operator Value() const { return std::invoke(Get, m_owner); }
  OpenListValue& operator=(const Value& value) {
    std::invoke(Set, m_owner, value);
    return *this;
  }

 private:
  OpenList& m_owner;
};

}  // namespace lists
