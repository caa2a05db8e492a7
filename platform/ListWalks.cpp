#include <QHash>
#include <bit>

#include "platform/ListModel.h"

namespace platform {

namespace {

int WorkIndex(ListModel::Work work) {
  return std::countr_zero(static_cast<unsigned>(work));
}

// The texts of a row's cells, each followed by its length: rows hold the same texts exactly
// when their keys are equal.
template <typename Rows>
void AppendRowKey(const Rows& rows, int row, int columns, QByteArray& key) {
  key.clear();
  for (int column = 0; column < columns; ++column) {
    const qsizetype start = key.size();
    rows.AppendCellFileBytes(row, column, key);
    const qsizetype length = key.size() - start;
    key.append(reinterpret_cast<const char*>(&length), sizeof length);
  }
}

}  // namespace

ListModel::Busy::Busy(ListModel* list, Work work) : m_list(list), m_work(work) {
  if (!m_list) return;
  const int index = WorkIndex(work);
  ++m_list->m_busyCount[index];
  m_serial = ++m_list->m_busySerial[index];
}

ListModel::Busy::~Busy() {
  if (m_list) m_list->EndWork(m_work);
}

bool ListModel::Busy::Superseded() const {
  return !m_list || m_list->m_busySerial[WorkIndex(m_work)] != m_serial;
}

bool ListModel::IsBusy(Works works) const {
  for (int index = 0; index < kWorks; ++index) {
    if ((works & (1u << index)) != 0 && m_busyCount[index] > 0) return true;
  }
  return false;
}

void ListModel::RunWhenIdle(Works works, std::function<void()> action) {
  if (IsBusy(works)) {
    m_whenIdle.push_back({works, std::move(action)});
    return;
  }
  action();
}

void ListModel::EndWork(Work work) {
  --m_busyCount[WorkIndex(work)];
  // An action run from here that takes and ends a token of its own leaves the rest of the
  // queue to this loop, so the queue keeps its order.
  if (m_runningWhenIdle) return;
  m_runningWhenIdle = true;
  QPointer<ListModel> self(this);
  while (!m_whenIdle.empty() && !IsBusy(m_whenIdle.front().works)) {
    const std::function<void()> action = std::move(m_whenIdle.front().action);
    m_whenIdle.pop_front();
    action();
    if (!self) return;
  }
  m_runningWhenIdle = false;
  emit WorkEnded();
}

std::vector<int> ListModel::MatchSnapshot(const Snapshot& rows) const {
  // The snapshot rows of each key, first to last: the first by key, the next of each by row.
  QHash<QByteArray, int> first;
  std::vector<int> next(static_cast<size_t>(rows.RowCount()), -1);
  QByteArray key;
  {
    QHash<QByteArray, int> lastOfKey;
    for (int row = 0; row < rows.RowCount(); ++row) {
      AppendRowKey(rows, row, m_columns, key);
      const auto it = lastOfKey.find(key);
      if (it == lastOfKey.end()) {
        first.insert(key, row);
        lastOfKey.insert(key, row);
      } else {
        next[static_cast<size_t>(*it)] = row;
        *it = row;
      }
    }
  }
  std::vector<int> match(static_cast<size_t>(ListCount()), -1);
  for (int row = 0; row < ListCount(); ++row) {
    AppendRowKey(*this, row, m_columns, key);
    const auto it = first.find(key);
    if (it == first.end() || *it < 0) continue;
    match[static_cast<size_t>(row)] = *it;
    *it = next[static_cast<size_t>(*it)];
  }
  return match;
}

}  // namespace platform
