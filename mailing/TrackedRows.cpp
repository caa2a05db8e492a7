#include "mailing/TrackedRows.h"

#include <algorithm>
#include <bit>

namespace mailing {

TrackedRows::TrackedRows(platform::ListModel* model, QObject* parent) : QObject(parent), m_model(model) {
  if (model == nullptr) return;
  using M = platform::ListModel;
  connect(model, &M::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { RowsInserted(first, last); });
  connect(model, &M::rowsRemoved, this,
          [this](const QModelIndex&, int first, int last) { RowsRemoved(first, last); });
  connect(model, &M::dataChanged, this,
          [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
            // Selection changes come by the thousand and touch no text.
            if (!roles.isEmpty() && !roles.contains(Qt::DisplayRole) && !roles.contains(Qt::EditRole)) return;
            if (!Watches(topLeft.column(), bottomRight.column())) return;
            CellsChanged(topLeft.row(), bottomRight.row());
          });
  connect(model, &M::modelReset, this, &TrackedRows::MarkStale);
  connect(model, &M::layoutChanged, this, &TrackedRows::MarkStale);
  connect(model, &M::rowsMoved, this, &TrackedRows::MarkStale);
  connect(model, &QObject::destroyed, this, &TrackedRows::MarkStale);
}

void TrackedRows::Refresh() {
  if (!m_stale) return;
  m_stale = false;
  ++m_generation;
  const int count = m_model.isNull() ? 0 : m_model->ListCount();
  m_alive.assign(static_cast<size_t>(std::max(1024, 2 * count)), 0);
  Clear(static_cast<int>(m_alive.size()));
  std::fill_n(m_alive.begin(), count, 1);
  m_nextSlot = count;
  m_live = count;
  BuildTree();
  for (int row = 0; row < count; ++row) RowAdded(row, row);
}

void TrackedRows::BuildTree() {
  const size_t n = m_alive.size();
  m_tree.assign(n + 1, 0);
  for (size_t i = 1; i <= n; ++i) {
    m_tree[i] += m_alive[i - 1];
    const size_t parent = i + (i & (~i + 1));
    if (parent <= n) m_tree[parent] += m_tree[i];
  }
}

void TrackedRows::Add(int slot, int delta) {
  for (size_t i = static_cast<size_t>(slot) + 1; i < m_tree.size(); i += i & (~i + 1)) m_tree[i] += delta;
}

int TrackedRows::RowOfSlot(int slot) const {
  int below = 0;
  for (size_t i = static_cast<size_t>(slot); i > 0; i &= i - 1) below += m_tree[i];
  return below;
}

int TrackedRows::SlotOfRow(int row) const {
  // The lowest slot with `row` live slots below it and a live one itself.
  size_t at = 0;
  int left = row;
  for (size_t step = std::bit_floor(m_alive.size()); step > 0; step /= 2) {
    if (at + step < m_tree.size() && m_tree[at + step] <= left) {
      at += step;
      left -= m_tree[at];
    }
  }
  return static_cast<int>(at);
}

void TrackedRows::RowsInserted(int first, int last) {
  if (m_stale) return;
  if (first != m_live || last < first) {
    MarkStale();
    return;
  }
  const int added = last - first + 1;
  if (static_cast<size_t>(m_nextSlot) + added > m_alive.size()) {
    // Out of slots: when removed rows left at least as many unused ones as the rows need,
    // number the rows afresh; otherwise double the slots.
    if (m_nextSlot - m_live >= m_live + added) {
      MarkStale();
      return;
    }
    m_alive.resize(std::max(m_alive.size() * 2, static_cast<size_t>(m_nextSlot) + added), 0);
    BuildTree();
  }
  for (int row = first; row <= last; ++row) m_alive[static_cast<size_t>(m_nextSlot + row - first)] = 1;
  if (added > 64) {
    BuildTree();
  } else {
    for (int i = 0; i < added; ++i) Add(m_nextSlot + i, 1);
  }
  const int firstSlot = m_nextSlot;
  m_nextSlot += added;
  m_live += added;
  for (int row = first; row <= last; ++row) RowAdded(firstSlot + row - first, row);
}

void TrackedRows::RowsRemoved(int first, int last) {
  if (m_stale) return;
  if (first < 0 || last >= m_live || last < first) {
    MarkStale();
    return;
  }
  for (int row = first; row <= last; ++row) {
    // Each removal moves the next removed row up into `first`.
    const int slot = SlotOfRow(first);
    RowRemoved(slot);
    m_alive[static_cast<size_t>(slot)] = 0;
    Add(slot, -1);
    --m_live;
  }
}

void TrackedRows::CellsChanged(int first, int last) {
  if (m_stale) return;
  if (first < 0 || last >= m_live) {
    MarkStale();
    return;
  }
  RowsChanged(first, last);
}

}  // namespace mailing
