#include "platform/ListModel.h"

#include <algorithm>
#include <cstring>

namespace platform {

ListModel::ListModel(int columnCount, QObject* parent)
    : QAbstractTableModel(parent), m_columns(std::max(1, columnCount)) {}

void ListModel::SetHeadings(const QStringList& headings) {
  m_headings = headings;
  emit headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
}

void ListModel::SetHasHeading(bool hasHeading) {
  if (m_hasHeading == hasHeading) return;
  m_hasHeading = hasHeading;
  emit headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
}

bool ListModel::HasHeading() const {
  return m_hasHeading;
}

QString ListModel::Heading(int column) const {
  return m_headings.value(column);
}

void ListModel::AddRow(const QString& firstCell) {
  AddRow(QStringList{firstCell});
}

void ListModel::AddRow(const QStringList& cells) {
  const int row = ListCount();
  beginInsertRows({}, row, row);
  // The last row's slot is the vector's end whether or not a gap lies before it.
  for (int c = 0; c < m_columns; ++c) m_cells.push_back(cells.value(c));
  m_selected.push_back(0);
  m_lastIndex = row;
  ++m_rowEdits;
  endInsertRows();
}

// Shifts the gap so that it starts at row, moving the rows in between across it.
void ListModel::MoveGapTo(int row) {
  if (m_gapRows == 0) {
    m_gapRow = row;
    return;
  }
  const size_t width = static_cast<size_t>(m_columns);
  const size_t gap = static_cast<size_t>(m_gapRows);
  const auto moveSlot = [&](size_t from, size_t to) {
    for (size_t c = 0; c < width; ++c) std::swap(m_cells[from * width + c], m_cells[to * width + c]);
    m_selected[to] = m_selected[from];
    m_selected[from] = 0;
  };
  for (int r = m_gapRow - 1; r >= row; --r) moveSlot(static_cast<size_t>(r), r + gap);
  for (int r = m_gapRow; r < row; ++r) moveSlot(r + gap, static_cast<size_t>(r));
  m_gapRow = row;
}

void ListModel::CloseGap() {
  if (m_gapRows == 0) return;
  const int count = ListCount();
  MoveGapTo(count);
  m_cells.resize(static_cast<size_t>(count) * m_columns);
  m_selected.resize(static_cast<size_t>(count));
  m_gapRows = 0;
  m_gapRow = 0;
}

void ListModel::InsertRow(int row, const QString& firstCell) {
  const int count = ListCount();
  row = std::clamp(row, 0, count);
  beginInsertRows({}, row, row);
  if (m_gapRows == 0) {
    // Open a gap some rows wide, so a run of inserts at the top (the message log's
    // newest-first rows) does not shift every row each time.
    const int width = std::max(16, count / 16);
    m_cells.insert(m_cells.begin() + static_cast<std::ptrdiff_t>(row) * m_columns,
                   static_cast<size_t>(width) * m_columns, QString());
    m_selected.insert(m_selected.begin() + row, static_cast<size_t>(width), 0);
    m_gapRow = row;
    m_gapRows = width;
  } else {
    MoveGapTo(row);
  }
  // The gap's first slot becomes the new row.
  m_cells[static_cast<size_t>(row) * m_columns] = firstCell;
  ++m_gapRow;
  --m_gapRows;
  // The new row is not selected, so every row below m_firstSelectedBound still isn't.
  m_lastIndex = row;
  ++m_rowEdits;
  endInsertRows();
}

void ListModel::RemoveRow(int row) {
  if (row < 0 || row >= ListCount()) return;
  beginRemoveRows({}, row, row);
  // Bring the gap to just after the row, then widen it over the row.
  MoveGapTo(row + 1);
  for (int c = 0; c < m_columns; ++c) CellAt(row, c) = QString();
  if (m_selected[row] != 0) --m_selCount;
  m_selected[row] = 0;
  m_gapRow = row;
  ++m_gapRows;
  if (row < m_firstSelectedBound) --m_firstSelectedBound;
  // LastIndex keeps naming the same row, or none once that row is gone.
  if (row < m_lastIndex) {
    --m_lastIndex;
  } else if (row == m_lastIndex) {
    m_lastIndex = -1;
  }
  ++m_rowEdits;
  endRemoveRows();
}

void ListModel::DeleteAllRows() {
  if (ListCount() == 0) return;
  beginResetModel();
  m_cells.clear();
  m_selected.clear();
  m_gapRow = 0;
  m_gapRows = 0;
  m_selCount = 0;
  m_firstSelectedBound = 0;
  m_lastIndex = -1;
  ++m_rowEdits;
  endResetModel();
}

QString ListModel::Cell(int row, int column) const {
  if (row < 0 || row >= ListCount() || column < 0 || column >= m_columns) return {};
  return m_cells[Slot(row) * m_columns + column];
}

QStringView ListModel::CellView(int row, int column) const {
  if (row < 0 || row >= ListCount() || column < 0 || column >= m_columns) return {};
  return m_cells[Slot(row) * m_columns + column];
}

void ListModel::SetCell(int row, int column, const QString& text) {
  if (row < 0 || row >= ListCount() || column < 0 || column >= m_columns) return;
  QString& cell = CellAt(row, column);
  if (cell == text) return;
  cell = text;
  const QModelIndex changed = index(row, column);
  emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
}

bool ListModel::Selected(int row) const {
  if (row < 0 || row >= ListCount()) return false;
  return m_selected[Slot(row)] != 0;
}

void ListModel::SetSelected(int row, bool selected) {
  if (row < 0 || row >= ListCount()) return;
  unsigned char& flag = m_selected[Slot(row)];
  if ((flag != 0) == selected) return;
  flag = selected ? 1 : 0;
  if (selected) {
    ++m_selCount;
    m_firstSelectedBound = std::min(m_firstSelectedBound, row);
  } else {
    --m_selCount;
  }
  ChangeSelection(row, row);
}

void ListModel::ChangeSelection(int firstChanged, int lastChanged) {
  emit dataChanged(index(firstChanged, 0), index(lastChanged, m_columns - 1), {SelectedRole});
  emit SelectionChanged();
}

// Clears every flag, visiting only the span from the first selected row up to the
// last one, and widens [firstChanged, lastChanged] over the rows it changed.
void ListModel::ClearSelectionFlags(int& firstChanged, int& lastChanged) {
  // Gap slots hold clear flags, so the walk can run over slots.
  for (size_t slot = Slot(m_firstSelectedBound); slot < m_selected.size() && m_selCount > 0; ++slot) {
    if (m_selected[slot] == 0) continue;
    m_selected[slot] = 0;
    --m_selCount;
    const int row = RowOfSlot(slot);
    firstChanged = std::min(firstChanged, row);
    lastChanged = std::max(lastChanged, row);
  }
  m_selCount = 0;
  m_firstSelectedBound = 0;
}

void ListModel::SelectOnly(int first, int last) {
  if (first > last) std::swap(first, last);
  first = std::max(first, 0);
  last = std::min(last, ListCount() - 1);
  if (first > last) {
    SetListIndex(-1);
    return;
  }
  const int wanted = last - first + 1;
  if (m_selCount == wanted) {
    int inRange = 0;
    for (int row = first; row <= last; ++row) inRange += m_selected[Slot(row)];
    if (inRange == wanted) return;
  }
  int firstChanged = first;
  int lastChanged = last;
  ClearSelectionFlags(firstChanged, lastChanged);
  for (int row = first; row <= last; ++row) m_selected[Slot(row)] = 1;
  m_selCount = wanted;
  m_firstSelectedBound = first;
  ChangeSelection(firstChanged, lastChanged);
}

int ListModel::ListIndex() const {
  if (m_selCount == 0) return -1;
  const unsigned char* begin = m_selected.data();
  const size_t from = Slot(m_firstSelectedBound);
  const auto* found =
      static_cast<const unsigned char*>(std::memchr(begin + from, 1, m_selected.size() - from));
  if (found == nullptr) return -1;  // cannot happen while m_selCount > 0
  m_firstSelectedBound = RowOfSlot(static_cast<size_t>(found - begin));
  return m_firstSelectedBound;
}

void ListModel::SetListIndex(int row) {
  if (row >= ListCount() || row < -1) return;  // a row that has gone: leave the selection alone
  if (row == -1) {
    if (m_selCount == 0) return;
    int firstChanged = ListCount();
    int lastChanged = -1;
    ClearSelectionFlags(firstChanged, lastChanged);
    ChangeSelection(firstChanged, lastChanged);
    return;
  }
  SelectOnly(row, row);
}

int ListModel::ListCount() const {
  return static_cast<int>(m_selected.size()) - m_gapRows;
}

int ListModel::SelCount() const {
  return m_selCount;
}

int ListModel::LastIndex() const {
  return m_lastIndex;
}

template <typename FillRow>
void ListModel::AppendRowsWith(size_t count, FillRow fillRow) {
  if (count == 0) return;
  const int first = ListCount();
  const int last = first + static_cast<int>(count) - 1;
  beginInsertRows({}, first, last);
  CloseGap();
  // Grow geometrically: a list filled in many batches must not be copied per batch.
  const size_t needed = static_cast<size_t>(last + 1) * m_columns;
  if (needed > m_cells.capacity()) m_cells.reserve(std::max(needed, m_cells.capacity() * 2));
  m_selected.resize(static_cast<size_t>(last) + 1, 0);
  for (size_t i = 0; i < count; ++i) fillRow(i);
  m_lastIndex = last;
  ++m_rowEdits;
  endInsertRows();
}

void ListModel::AppendRows(std::vector<QStringList> rows) {
  AppendRowsWith(rows.size(), [&](size_t i) {
    QStringList& cells = rows[i];
    // Take the texts over from a list we own; copy (a reference count) from a shared
    // one, since writing to it would first copy the whole list.
    const bool owned = cells.isDetached();
    for (int c = 0; c < m_columns; ++c) {
      if (c >= cells.size()) {
        m_cells.emplace_back();
      } else if (owned) {
        m_cells.push_back(std::move(cells[c]));
      } else {
        m_cells.push_back(cells.at(c));
      }
    }
  });
}

void ListModel::AppendRows(std::vector<QString> firstCells) {
  AppendRowsWith(firstCells.size(), [&](size_t i) {
    m_cells.push_back(std::move(firstCells[i]));
    for (int c = 1; c < m_columns; ++c) m_cells.emplace_back();
  });
}

void ListModel::AppendFirstCells(QStringList texts) {
  const bool owned = texts.isDetached();
  AppendRowsWith(static_cast<size_t>(texts.size()), [&](size_t i) {
    if (owned) {
      m_cells.push_back(std::move(texts[static_cast<qsizetype>(i)]));
    } else {
      m_cells.push_back(texts.at(static_cast<qsizetype>(i)));
    }
    for (int c = 1; c < m_columns; ++c) m_cells.emplace_back();
  });
}

void ListModel::RemoveRowsIf(const std::function<bool(int row)>& remove) {
  CloseGap();
  const int count = ListCount();
  const unsigned edits = m_rowEdits;
  // Ask about every row before changing anything, so the predicate sees the rows as
  // they were and may read any of them.
  std::vector<unsigned char> gone(static_cast<size_t>(count), 0);
  int removed = 0;
  for (int row = 0; row < count; ++row) {
    if (remove(row)) {
      gone[row] = 1;
      ++removed;
    }
  }
  if (removed == 0) return;
  if (m_rowEdits != edits) {
    // The predicate must only read: it changed the rows, so the answers no longer fit.
    qWarning("ListModel::RemoveRowsIf: rows changed while being tested; nothing removed");
    return;
  }
  if (removed == count) {
    DeleteAllRows();
    return;
  }

  // One layout change instead of a signal per run of removed rows; the view keeps its
  // scroll place and the persistent indexes follow their rows.
  emit layoutAboutToBeChanged();
  const QModelIndexList persistent = persistentIndexList();
  std::vector<int> newRow;
  if (!persistent.isEmpty()) newRow.assign(static_cast<size_t>(count), -1);

  int kept = 0;
  int lastIndex = -1;
  for (int row = 0; row < count; ++row) {
    if (gone[row] != 0) {
      if (m_selected[row] != 0) --m_selCount;
      continue;
    }
    if (kept != row) {
      for (int c = 0; c < m_columns; ++c) {
        m_cells[static_cast<size_t>(kept) * m_columns + c] =
            std::move(m_cells[static_cast<size_t>(row) * m_columns + c]);
      }
      m_selected[kept] = m_selected[row];
    }
    if (row == m_lastIndex) lastIndex = kept;
    if (!newRow.empty()) newRow[row] = kept;
    ++kept;
  }
  m_cells.resize(static_cast<size_t>(kept) * m_columns);
  m_selected.resize(static_cast<size_t>(kept));
  m_lastIndex = lastIndex;
  m_firstSelectedBound = 0;
  ++m_rowEdits;

  if (!persistent.isEmpty()) {
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& old : persistent) {
      const int row = old.row() < count ? newRow[old.row()] : -1;
      moved.append(row < 0 ? QModelIndex() : index(row, old.column()));
    }
    changePersistentIndexList(persistent, moved);
  }
  emit layoutChanged();
}

void ListModel::SetAllSelected(bool selected) {
  const int count = ListCount();
  if (count == 0 || m_selCount == (selected ? count : 0)) return;
  CloseGap();
  std::fill(m_selected.begin(), m_selected.end(), selected ? 1 : 0);
  m_selCount = selected ? count : 0;
  m_firstSelectedBound = 0;
  ChangeSelection(0, count - 1);
}

void ListModel::SetSelectedWhere(const std::function<bool(int row)>& select) {
  const int count = ListCount();
  int firstChanged = count;
  int lastChanged = -1;
  int selCount = 0;
  for (int row = 0; row < count; ++row) {
    const unsigned char on = select(row) ? 1 : 0;
    unsigned char& flag = m_selected[Slot(row)];
    selCount += on;
    if (flag == on) continue;
    flag = on;
    firstChanged = std::min(firstChanged, row);
    lastChanged = row;
  }
  m_selCount = selCount;
  m_firstSelectedBound = 0;
  if (lastChanged >= 0) ChangeSelection(firstChanged, lastChanged);
}

int ListModel::EditColumn(int column, const std::function<bool(int row, QString& cell)>& edit) {
  if (column < 0 || column >= m_columns) return 0;
  const int count = ListCount();
  int firstChanged = count;
  int lastChanged = -1;
  int acted = 0;
  for (int row = 0; row < count; ++row) {
    QString& cell = CellAt(row, column);
    const QString before = cell;  // shares the text: no copy unless edit replaces it
    if (!edit(row, cell)) continue;
    ++acted;
    if (before.isSharedWith(cell) || before == cell) continue;
    firstChanged = std::min(firstChanged, row);
    lastChanged = row;
  }
  if (lastChanged >= 0) {
    emit dataChanged(index(firstChanged, column), index(lastChanged, column),
                     {Qt::DisplayRole, Qt::EditRole});
  }
  return acted;
}

void ListModel::ReorderRows(const std::vector<int>& order) {
  const int count = ListCount();
  if (order.size() != static_cast<size_t>(count)) return;
  // Where each row goes, checking that order is a permutation.
  std::vector<int> newRow(static_cast<size_t>(count), -1);
  bool moves = false;
  for (int i = 0; i < count; ++i) {
    const int from = order[i];
    if (from < 0 || from >= count || newRow[from] != -1) return;
    newRow[from] = i;
    moves = moves || from != i;
  }
  if (!moves) return;

  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  CloseGap();
  std::vector<QString> cells(m_cells.size());
  std::vector<unsigned char> selected(m_selected.size());
  for (int i = 0; i < count; ++i) {
    const size_t from = static_cast<size_t>(order[i]);
    for (int c = 0; c < m_columns; ++c) {
      cells[static_cast<size_t>(i) * m_columns + c] = std::move(m_cells[from * m_columns + c]);
    }
    selected[i] = m_selected[from];
  }
  m_cells = std::move(cells);
  m_selected = std::move(selected);
  if (m_lastIndex >= 0) m_lastIndex = newRow[m_lastIndex];
  m_firstSelectedBound = 0;
  ++m_rowEdits;

  const QModelIndexList persistent = persistentIndexList();
  QModelIndexList moved;
  moved.reserve(persistent.size());
  for (const QModelIndex& old : persistent) {
    moved.append(old.row() < count ? index(newRow[old.row()], old.column()) : QModelIndex());
  }
  changePersistentIndexList(persistent, moved);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ListModel::Reserve(int rows) {
  if (rows <= 0) return;
  m_cells.reserve(static_cast<size_t>(rows) * m_columns);
  m_selected.reserve(static_cast<size_t>(rows));
}

int ListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ListCount();
}

int ListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_columns;
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= ListCount() || index.column() >= m_columns) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return Cell(index.row(), index.column());
    case SelectedRole:
      return m_selected[Slot(index.row())] != 0;
    default:
      return {};
  }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (!m_hasHeading || orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= m_columns) return {};
  return m_headings.value(section);
}

}  // namespace platform
