#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace platform {

// The rows of a list control: contiguous rows of text cells with a selected flag per
// row, kept here so that selection tests and counts are O(1) per row. Single-row edits
// emit the precise insert/remove/change signals; bulk edits emit one signal for the
// whole batch (a reset, or one insert range).
class ListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // The role under which data() reports a row's selected flag (bool).
  static constexpr int SelectedRole = Qt::UserRole + 1;

  explicit ListModel(int columnCount, QObject* parent = nullptr);

  // Headings; a list without a heading row reports none.
  void SetHeadings(const QStringList& headings);
  void SetHasHeading(bool hasHeading);
  bool HasHeading() const;
  QString Heading(int column) const;

  // The list control's operations. Rows and columns count from 0.
  void AddRow(const QString& firstCell);
  void AddRow(const QStringList& cells);
  void InsertRow(int row, const QString& firstCell);
  void RemoveRow(int row);
  void DeleteAllRows();
  QString Cell(int row, int column) const;
  // The cell's text without a copy (not even of the reference): for walks over many rows,
  // where counting references would write to every cell's text. Valid until the cell or
  // the rows change; empty outside the list.
  QStringView CellView(int row, int column) const;
  void SetCell(int row, int column, const QString& text);
  bool Selected(int row) const;
  void SetSelected(int row, bool selected);
  // Selects exactly the rows first..last (either order, clipped to the list) and
  // deselects every other row; one change signal. The list control's Shift-click.
  void SelectOnly(int first, int last);
  // The first selected row, -1 when none; setting it selects that row alone (-1 clears).
  int ListIndex() const;
  void SetListIndex(int row);
  int ListCount() const;
  int SelCount() const;
  // The row most recently added or inserted; -1 before any.
  int LastIndex() const;

  // Bulk edits, one model signal each. Removing rows never emits SelectionChanged: the
  // flags of the rows that stay are unchanged, and a removal walk over many selected
  // rows must not report once per row.
  void AppendRows(std::vector<QStringList> rows);
  // Rows that hold only their first cell.
  void AppendRows(std::vector<QString> firstCells);
  // One row per text, holding it in column 0 (results of a search, addresses of a drop).
  void AppendFirstCells(QStringList texts);
  void RemoveRowsIf(const std::function<bool(int row)>& remove);
  void SetAllSelected(bool selected);
  // Sets every row's flag to select(row), replacing the selection; one change signal.
  // The predicate may read any row but must change none.
  void SetSelectedWhere(const std::function<bool(int row)>& select);
  // Hands the cell of `column` in every row to edit(row, cell), which may change it in
  // place and returns whether it acted on the row. One change signal over the rows whose
  // text changed; returns the number of rows acted on. The callback must add or remove
  // no rows.
  int EditColumn(int column, const std::function<bool(int row, QString& cell)>& edit);
  void Reserve(int rows);
  // Puts every row in a new place: order[i] is the row (counted before the call) that
  // becomes row i, each row once. The rows keep their cells and selected flags; one layout
  // change, and none when nothing moves. Nothing happens unless order names every row.
  void ReorderRows(const std::vector<int>& order);

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 signals:
  // The selection changed (the list control's Change event).
  void SelectionChanged();

 private:
  void ChangeSelection(int firstChanged, int lastChanged);
  void ClearSelectionFlags(int& firstChanged, int& lastChanged);
  // Where row's cells and flag are stored: rows from m_gapRow on sit after the gap.
  size_t Slot(int row) const { return row < m_gapRow ? size_t(row) : size_t(row) + m_gapRows; }
  int RowOfSlot(size_t slot) const { return slot < size_t(m_gapRow) ? int(slot) : int(slot) - m_gapRows; }
  QString& CellAt(int row, int column) { return m_cells[Slot(row) * m_columns + column]; }
  void MoveGapTo(int row);
  // Appends count rows, fillRow(i) pushing the cells of the i-th; one insert signal.
  template <typename FillRow>
  void AppendRowsWith(size_t count, FillRow fillRow);
  void CloseGap();

  int m_columns;
  // Cells row-major, one slot of m_columns cells per row, and a flag per slot. Between
  // the rows before m_gapRow and the rest lie m_gapRows unused slots (empty cells,
  // clear flags): removing a row next to the gap widens it and inserting narrows it,
  // so a walk that removes or inserts rows near one another moves each kept row once
  // instead of shifting the whole tail every time.
  std::vector<QString> m_cells;
  std::vector<unsigned char> m_selected;
  int m_gapRow = 0;
  int m_gapRows = 0;
  int m_selCount = 0;
  int m_lastIndex = -1;
  // Counts the edits that add or remove rows, so RemoveRowsIf can tell that its predicate
  // changed the rows even when their number came out the same.
  unsigned m_rowEdits = 0;
  // No row below this one is selected: ListIndex scans from here, so repeated calls
  // after the first cost nothing.
  mutable int m_firstSelectedBound = 0;
  bool m_hasHeading = true;
  QStringList m_headings;
};

}  // namespace platform
