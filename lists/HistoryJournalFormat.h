#pragma once

// The lines of a list's history journal (see HistoryJournal). A line is the address and the
// entry, each as its file bytes with '%', tab, CR and LF written as %25, %09, %0D and %0A
// (so any byte survives), a tab after each, then a checksum of the two fields in four hex
// digits, then LF. A line that a crash cut short, even one that a later line end closes,
// fails its checksum or lacks a field.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <vector>

namespace lists {

struct JournalRecord {
  QString address;
  QString entry;
  friend bool operator==(const JournalRecord&, const JournalRecord&) = default;
};

// The line of one record, its line end included, appended to `out`.
void AppendJournalLine(QByteArray& out, const QString& address, const QString& entry);

// The records of the whole lines of `bytes`, in order. What follows the last line end, and a
// line that is no record, is left out.
std::vector<JournalRecord> ParseJournal(QByteArrayView bytes);

}  // namespace lists
