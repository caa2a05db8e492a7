#include <QHash>
#include <numeric>

#include "platform/ListModel.h"

namespace platform {

namespace {

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

bool ListModel::SameRows(const Snapshot& rows) const {
  return rows.m_rows && rows.m_rows->of == this && rows.m_rows->rowEdits == m_rowEdits;
}

std::vector<int> ListModel::MatchSnapshot(const Snapshot& rows) const {
  // A list nobody edited holds every row where it did: no text need be compared.
  if (SameRows(rows) && rows.m_rows->cellEdits == m_cellEdits) {
    std::vector<int> same(static_cast<size_t>(rows.RowCount()));
    std::iota(same.begin(), same.end(), 0);
    return same;
  }
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
