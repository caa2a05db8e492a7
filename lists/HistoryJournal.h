#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "lists/HistoryJournalFormat.h"
#include "platform/FolderItem.h"
#include "platform/ListModel.h"

namespace lists {

// The mailing history entries that a list's rows hold and its file does not yet: one line
// per message the server accepted, appended and forced to disk while the SMTP client waits
// to go on to its next message. A crash or a kill between two saves thus forgets no mail
// that went out, and "Select Unsent" never mails those addresses again.
//
// The journal lies beside the list file, under a hidden name that no list may take and the
// side bar leaves out. Opening the list applies it; a save drops the lines the rows it wrote
// already held. A line that a crash cut short is left out (see HistoryJournalFormat.h).
class HistoryJournal {
 public:
  explicit HistoryJournal(const platform::FolderItem& listFile);

  static bool IsJournalName(const QString& name);
  const platform::FolderItem& File() const { return m_file; }

  // Appends one line and forces it to disk; a failure when it is not safely there.
  platform::FileResult Append(const QString& address, const QString& entry) const;

  using Record = JournalRecord;
  // The whole lines in order; none when there is no journal, nothing when it is there but
  // cannot be read.
  std::optional<std::vector<Record>> Read() const;
  // Its length in bytes, 0 when there is none: a save notes it when it takes its rows.
  qint64 Size() const;
  // After a save wrote rows that held every line of the first `written` bytes: those lines
  // go, and the journal with them when no line came after.
  platform::FileResult DropWritten(qint64 written) const;
  platform::FileResult Remove() const;

  // Appends each record's entry to the Mailings column of every row whose address equals
  // the record's exactly, in the journal's order; one change signal. Returns the rows changed.
  static int Apply(platform::ListModel& list, const std::vector<Record>& records);

 private:
  platform::FolderItem m_file;
};

}  // namespace lists
