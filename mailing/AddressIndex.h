#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mailing/TrackedRows.h"

namespace mailing {

// Finds the rows of an address list whose address (column 0) equals a given text
// exactly, without a walk over the list. Made on first use, then kept up to date through
// the model's signals whoever edits the list.
class AddressIndex : public TrackedRows {
 public:
  explicit AddressIndex(platform::ListModel* list, QObject* parent = nullptr);

  // The rows holding exactly this address, in list order.
  std::vector<int> RowsOf(const QString& address);

 protected:
  void Clear(int slotCount) override;
  void RowAdded(int slot, int row) override;
  void RowRemoved(int slot) override;
  void RowChanged(int slot, int row) override;
  void RowsChanged(int first, int last) override;
  bool Watches(int firstColumn, int lastColumn) const override;

 private:
  // Where the address's entry is in the table, or the empty place it would take; `same`
  // tells whether a slot's row holds the address.
  template <typename Same>
  size_t Find(std::uint32_t hash, Same same) const;
  // The entry whose first slot is this one.
  size_t EntryOf(int slot) const;
  void SetEntry(size_t at, std::uint32_t hash, int firstSlot);
  void Erase(size_t at);
  void Grow(size_t capacity);

  // Each slot's address hash (the text itself stays in the list) and the slots of the
  // same address linked both ways.
  std::vector<std::uint32_t> m_hashes;
  std::vector<int> m_next;
  std::vector<int> m_previous;
  // The first slot of each address: open addressing with linear probing, at most half
  // full. An entry holds the address's hash (high half) and its first slot + 1 (low
  // half); 0 is empty. Eight bytes an address, so a million of them are indexed in a
  // fraction of the time a table of strings takes.
  std::vector<std::uint64_t> m_table;
  size_t m_entries = 0;
};

}  // namespace mailing
