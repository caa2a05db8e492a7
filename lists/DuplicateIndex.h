#pragma once

// Answers the duplicate test of adding an address ("does the list already hold this
// address, letter case aside?") in constant time instead of a walk of the whole list per
// address, which made importing a big file quadratic.
//
// The index holds no text of its own: a flat table of row numbers, placed by the hash of
// each row's upper-cased address and compared with the address the list holds: twelve to
// twenty-four bytes a row. It follows the model through its signals: rows appended are indexed
// as they come; any other edit (rows removed, reordered or changed) makes it index the
// whole list again when next asked, so whoever edits the list, it never goes stale.

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

#include "platform/ByteStrings.h"
#include "platform/ListModel.h"

namespace lists {

// Addresses on their way into the list, in order, as ASCII bytes (what the scanner
// finds): they become the rows after the list's last row when appended.
using PendingAddresses = platform::ByteStrings;

class DuplicateIndex : public QObject {
  Q_OBJECT
 public:
  // Indexes column 0 of the model, now and after every edit.
  explicit DuplicateIndex(platform::ListModel* model, QObject* parent = nullptr);

  // Whether some row's address equals this address once both are upper-cased
  // (platform::Uppercase), compared exactly.
  bool Contains(const QString& address) const;

  // The test of a batch of addresses, in one look-up each: whether the list or the
  // pending addresses hold this one (ASCII bytes), letter case aside; when neither does,
  // it is appended to `pending` and indexed as the row it will become. The same `pending`
  // serves a whole batch; StagedRowsFollow comes right before its rows are appended.
  bool ContainsOrAdd(QByteArrayView address, PendingAddresses& pending) {
    return ContainsOrAdd(address, Prepare(address), pending);
  }
  // The same in two steps: Prepare gives the address's hash and fetches its place in the
  // table ahead, so that the waits of several look-ups on memory overlap.
  quint32 Prepare(QByteArrayView address) const;
  bool ContainsOrAdd(QByteArrayView address, quint32 hash, PendingAddresses& pending);
  void StagedRowsFollow() { m_stagedFollow = m_staged > 0; }
  // The pending addresses will not be appended (their batch has gone).
  void ForgetPending(const PendingAddresses& pending);
  // Room for this many rows without growing the table.
  void Reserve(qsizetype rows);

 private:
  struct Key;
  void MarkStale();
  void Refresh() const;
  void RowsInserted(int first, int last);
  // Looks the key up: the entry that holds it, or the empty place where it would go.
  size_t Find(const Key& key) const;
  bool RowHolds(int row, const Key& key) const;
  Key KeyOfRow(int row) const;
  void Place(size_t at, quint32 hash, int row) const;
  void Grow(size_t capacity) const;
  void IndexRow(int row) const;

  // The table's memory, zeroed; in huge pages once it is large, so that a look-up at a
  // random place waits for one cache miss and not for a page-table walk as well.
  class Slots {
   public:
    Slots() = default;
    ~Slots();
    Slots(Slots&& other) noexcept;
    Slots& operator=(Slots&& other) noexcept;
    // `size` entries, all zero.
    void Assign(size_t size);
    size_t size() const { return m_size; }
    quint64* data() const { return m_data; }
    quint64& operator[](size_t at) const { return m_data[at]; }

   private:
    void Release();
    quint64* m_data = nullptr;
    size_t m_size = 0;
    void* m_mapping = nullptr;  // the whole mapping, when mapped
    size_t m_mapped = 0;
  };

  QPointer<platform::ListModel> m_model;
  // Open addressing with linear probing, at most 70% full: an entry is the key's hash in
  // the high half and its first row + 1 in the low half; 0 is empty. Rows from m_rows on
  // are m_pending's addresses.
  mutable Slots m_table;
  mutable size_t m_entries = 0;
  mutable int m_rows = 0;
  mutable int m_staged = 0;
  mutable bool m_stale = true;
  bool m_stagedFollow = false;
  const PendingAddresses* m_pending = nullptr;
};

}  // namespace lists
