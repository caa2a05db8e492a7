#include "mailing/AddressIndex.h"

#include <algorithm>
#include <bit>

namespace mailing {

namespace {

std::uint32_t HashOf(size_t hash) {
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

int FirstSlot(std::uint64_t entry) {
  return static_cast<int>(static_cast<std::uint32_t>(entry)) - 1;
}

std::uint32_t HashIn(std::uint64_t entry) {
  return static_cast<std::uint32_t>(entry >> 32);
}

}  // namespace

AddressIndex::AddressIndex(platform::ListModel* list, QObject* parent) : TrackedRows(list, parent) {}

std::vector<int> AddressIndex::RowsOf(const QString& address) {
  Refresh();
  std::vector<int> rows;
  const std::uint64_t entry = m_table[Find(HashOf(platform::ListModel::TextHash(address)), [&](int slot) {
    return Model()->CellEquals(RowOfSlot(slot), 0, address);
  })];
  for (int slot = entry == 0 ? -1 : FirstSlot(entry); slot >= 0; slot = m_next[static_cast<size_t>(slot)]) {
    rows.push_back(RowOfSlot(slot));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

template <typename Same>
size_t AddressIndex::Find(std::uint32_t hash, Same same) const {
  const size_t mask = m_table.size() - 1;
  for (size_t at = hash & mask;; at = (at + 1) & mask) {
    const std::uint64_t entry = m_table[at];
    if (entry == 0) return at;
    if (HashIn(entry) == hash && same(FirstSlot(entry))) return at;
  }
}

size_t AddressIndex::EntryOf(int slot) const {
  return Find(m_hashes[static_cast<size_t>(slot)], [slot](int first) { return first == slot; });
}

void AddressIndex::SetEntry(size_t at, std::uint32_t hash, int firstSlot) {
  m_table[at] = static_cast<std::uint64_t>(hash) << 32 | static_cast<std::uint32_t>(firstSlot + 1);
}

void AddressIndex::Erase(size_t at) {
  // Move later entries of the same probe run back over the hole, so no search stops early.
  const size_t mask = m_table.size() - 1;
  size_t hole = at;
  for (size_t next = (at + 1) & mask; m_table[next] != 0; next = (next + 1) & mask) {
    const size_t home = HashIn(m_table[next]) & mask;
    if (((next - home) & mask) >= ((next - hole) & mask)) {
      m_table[hole] = m_table[next];
      hole = next;
    }
  }
  m_table[hole] = 0;
  --m_entries;
}

void AddressIndex::Grow(size_t capacity) {
  std::vector<std::uint64_t> old(capacity, 0);
  old.swap(m_table);
  const size_t mask = m_table.size() - 1;
  for (std::uint64_t entry : old) {
    if (entry == 0) continue;
    size_t at = HashIn(entry) & mask;
    while (m_table[at] != 0) at = (at + 1) & mask;
    m_table[at] = entry;
  }
}

void AddressIndex::Clear(int slotCount) {
  m_hashes.assign(static_cast<size_t>(slotCount), 0);
  m_next.assign(static_cast<size_t>(slotCount), -1);
  m_previous.assign(static_cast<size_t>(slotCount), -1);
  const int rows = Model() != nullptr ? Model()->ListCount() : 0;
  m_table.assign(std::bit_ceil(static_cast<size_t>(std::max(1024, 2 * rows))), 0);
  m_entries = 0;
}

void AddressIndex::RowAdded(int slot, int row) {
  const auto at = static_cast<size_t>(slot);
  if (at >= m_hashes.size()) {
    const size_t size = std::max(at + 1, m_hashes.size() * 2);
    m_hashes.resize(size);
    m_next.resize(size, -1);
    m_previous.resize(size, -1);
  }
  if ((m_entries + 1) * 2 > m_table.size()) Grow(m_table.size() * 2);
  platform::ListModel* list = Model();
  const std::uint32_t hash = HashOf(list->CellHash(row, 0));
  m_hashes[at] = hash;
  const size_t entry = Find(hash, [&](int first) { return list->SameCell(RowOfSlot(first), row, 0); });
  m_previous[at] = -1;
  if (m_table[entry] == 0) {
    m_next[at] = -1;
    ++m_entries;
  } else {
    const int first = FirstSlot(m_table[entry]);
    m_next[at] = first;
    m_previous[static_cast<size_t>(first)] = slot;
  }
  SetEntry(entry, hash, slot);
}

void AddressIndex::RowRemoved(int slot) {
  const auto at = static_cast<size_t>(slot);
  const int previous = m_previous[at];
  const int next = m_next[at];
  if (previous >= 0) {
    m_next[static_cast<size_t>(previous)] = next;
  } else {
    const size_t entry = EntryOf(slot);
    if (next >= 0) {
      SetEntry(entry, m_hashes[at], next);
    } else {
      Erase(entry);
    }
  }
  if (next >= 0) m_previous[static_cast<size_t>(next)] = previous;
  m_hashes[at] = 0;
  m_next[at] = -1;
  m_previous[at] = -1;
}

void AddressIndex::RowChanged(int slot, int row) {
  // The row's old address is no longer in the list to compare with: take the slot out
  // and put it back under its new address.
  RowRemoved(slot);
  RowAdded(slot, row);
}

void AddressIndex::RowsChanged(int first, int last) {
  // Every changed row leaves before any is put back: an entry is found by comparing with
  // its first row, which must not be a row of this edit already holding its new text.
  for (int row = first; row <= last; ++row) RowRemoved(SlotOfRow(row));
  for (int row = first; row <= last; ++row) RowAdded(SlotOfRow(row), row);
}

bool AddressIndex::Watches(int firstColumn, int lastColumn) const {
  return firstColumn == 0;
}

}  // namespace mailing
