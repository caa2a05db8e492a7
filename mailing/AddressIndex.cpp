#include "mailing/AddressIndex.h"

#include <algorithm>

namespace mailing {

AddressIndex::AddressIndex(platform::ListModel* list, QObject* parent) : TrackedRows(list, parent) {}

std::vector<int> AddressIndex::RowsOf(const QString& address) {
  Refresh();
  std::vector<int> rows;
  for (int slot = m_first.value(address) - 1; slot >= 0; slot = m_next[static_cast<size_t>(slot)]) {
    rows.push_back(RowOfSlot(slot));
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void AddressIndex::Clear() {
  m_addresses.clear();
  m_next.clear();
  m_previous.clear();
  m_first.clear();
  m_first.reserve(Model() != nullptr ? Model()->ListCount() : 0);
}

void AddressIndex::RowAdded(int slot, int row) {
  const auto at = static_cast<size_t>(slot);
  if (at >= m_addresses.size()) {
    const size_t size = std::max(at + 1, m_addresses.size() * 2);
    m_addresses.resize(size);
    m_next.resize(size, -1);
    m_previous.resize(size, -1);
  }
  m_addresses[at] = Model()->Cell(row, 0);
  // One look-up: a new address reads 0, "no slot yet".
  int& first = m_first[m_addresses[at]];
  m_previous[at] = -1;
  m_next[at] = first - 1;
  if (first > 0) m_previous[static_cast<size_t>(first - 1)] = slot;
  first = slot + 1;
}

void AddressIndex::RowRemoved(int slot) {
  const auto at = static_cast<size_t>(slot);
  const int previous = m_previous[at];
  const int next = m_next[at];
  if (previous >= 0) {
    m_next[static_cast<size_t>(previous)] = next;
  } else if (next >= 0) {
    m_first[m_addresses[at]] = next + 1;
  } else {
    m_first.remove(m_addresses[at]);
  }
  if (next >= 0) m_previous[static_cast<size_t>(next)] = previous;
  m_addresses[at] = QString();
  m_next[at] = -1;
  m_previous[at] = -1;
}

void AddressIndex::RowChanged(int slot, int row) {
  if (Model()->Cell(row, 0) == m_addresses[static_cast<size_t>(slot)]) return;
  RowRemoved(slot);
  RowAdded(slot, row);
}

bool AddressIndex::Watches(int firstColumn, int lastColumn) const {
  return firstColumn == 0;
}

}  // namespace mailing
