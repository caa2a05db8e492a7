#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QByteArrayView>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "platform/ByteArena.h"

namespace platform {

// The rows of a list control: contiguous rows of text cells with a selected flag per
// row, kept here so that selection tests and counts are O(1) per row. Single-row edits
// emit the precise insert/remove/change signals; bulk edits emit one signal for the
// whole batch (a reset, or one insert range).
//
// The text is kept compactly: each row is one record in an arena of bytes, its cells in
// the form a list file holds them (see CellForm), so a million-row list costs its file's
// bytes and a few more per row, and reading or saving a list copies bytes.
class ListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // The role under which data() reports a row's selected flag (bool).
  static constexpr int SelectedRole = Qt::UserRole + 1;

  // How a cell's text is stored. Ascii: bytes below 0x80, one character each. Bytes: the
  // text's file form, EncodeText(text), from which DecodeBytes gives the text back.
  // Utf16: the text's UTF-16 units, for a text that no bytes decode to (one holding a
  // surrogate that is no byte kept from a file, say). Each text has exactly one form and
  // one stored value, so equal texts are stored alike.
  enum class CellForm : unsigned char { Ascii = 0, Bytes = 1, Utf16 = 2 };
  struct StoredCell {
    // The stored value; UTF-16 units are not aligned. Valid until the rows are next edited.
    QByteArrayView bytes;
    CellForm form = CellForm::Ascii;
  };

  explicit ListModel(int columnCount, QObject* parent = nullptr);
  ~ListModel() override;

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
  void SetCell(int row, int column, const QString& text);

  // Fast reads for walks over many rows; outside the list a cell reads as empty.
  // The stored value, without a copy.
  StoredCell CellBytes(int row, int column) const;
  // The text, decoded into `into`, whose buffer is reused: no allocation per row.
  void ReadCell(int row, int column, QString& into) const;
  // The text appended to `out`.
  void AppendCellText(int row, int column, QString& out) const;
  // EncodeText(Cell(row, column)) appended to `out`: what a file holds for the cell.
  void AppendCellFileBytes(int row, int column, QByteArray& out) const;
  bool CellEquals(int row, int column, QStringView text) const;
  bool CellIsEmpty(int row, int column) const { return CellBytes(row, column).bytes.isEmpty(); }
  // Whether two rows hold the same text in a column.
  bool SameCell(int rowA, int rowB, int column) const;
  // A hash of the cell's text: TextHash(Cell(row, column)) == CellHash(row, column).
  size_t CellHash(int row, int column) const;
  static size_t TextHash(QStringView text);
  bool Selected(int row) const;
  void SetSelected(int row, bool selected);
  // Selects exactly the rows first..last (either order, clipped to the list) and
  // deselects every other row; one change signal. The list control's Shift-click.
  void SelectOnly(int first, int last);
  // The first selected row, -1 when none; setting it selects that row alone (-1 clears).
  int ListIndex() const;
  void SetListIndex(int row);
  int ListCount() const { return static_cast<int>(m_selected.size()) - m_gapRows; }
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
  // Texts of cells kept as they are stored, for rows appended later (the copies of Edit >
  // Duplicate): neither decoded nor encoded again.
  class CellCopies {
   public:
    int Count() const { return static_cast<int>(m_cells.size()); }

   private:
    friend class ListModel;
    QByteArray m_bytes;
    std::vector<std::pair<qsizetype, CellForm>> m_cells;  // where each ends, its form
  };
  void CopyCell(int row, int column, CellCopies& into) const;
  // One row per copy, holding it in column 0.
  void AppendFirstCells(const CellCopies& copies);
  // Rows whose cells come in a file's form (a cell's text is DecodeBytes of its bytes):
  // columnCount() views a row, row after row.
  void AppendRowsFromBytes(std::span<const QByteArrayView> cells);
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
  // Room for this many more bytes of text, so the rows about to come lie together.
  void ReserveText(qsizetype bytes);
  // Puts every row in a new place: order[i] is the row (counted before the call) that
  // becomes row i, each row once. The rows keep their cells and selected flags; one layout
  // change, and none when nothing moves. Nothing happens unless order names every row.
  void ReorderRows(const std::vector<int>& order);

  // The rows as they stand, for a walk that lets the event loop run (a save; see
  // platform/LongWork.h): edits made meanwhile leave it as it was. It shares the text, and
  // costs a few bytes a row once the list changes.
  class Snapshot {
   public:
    int RowCount() const { return m_rows ? m_rows->count : 0; }
    // As the ListModel functions of the same names.
    StoredCell CellBytes(int row, int column) const { return CellAt(row, column); }
    void AppendCellText(int row, int column, QString& out) const;
    void CopyCell(int row, int column, CellCopies& into) const;
    // As ListModel::AppendCellFileBytes.
    void AppendCellFileBytes(int row, int column, QByteArray& out) const;
    // Rows from `row` on, each with its cells the same way, `between` after each but the
    // last and `end` after the last: the lines of a file, built in place. Stops once `out`
    // holds `until` bytes or more, or at the last row; returns the row after the last one
    // appended.
    int AppendRowLines(int row, char between, char end, QByteArray& out, qsizetype until) const;

   private:
    friend class ListModel;
    // Room made ahead for lines, beyond what is asked for.
    static constexpr qsizetype kLineRoom = 4096;
    StoredCell CellAt(int row, int column) const;
    // The records of the rows. Those of a whole list are read where the list keeps them
    // until it first moves or changes a row, or goes: it copies them here before. A save
    // that nothing edits meanwhile copies none of a list's millions of records.
    struct Rows {
      std::vector<ByteArena::Ref> records;
      const ListModel* list = nullptr;  // while the records are still the list's
      int count = 0;
      int gapRow = 0;  // the list's gap when the snapshot was taken
      int gapRows = 0;
      // The list a snapshot of every row was taken of, and its edits then.
      QPointer<const ListModel> of;
      unsigned rowEdits = 0;
      unsigned cellEdits = 0;
      ByteArena::Ref At(int row) const {
        if (list == nullptr) return records[static_cast<size_t>(row)];
        return list->m_rows[static_cast<size_t>(row < gapRow ? row : row + gapRows)];
      }
    };
    std::shared_ptr<Rows> m_rows;
    ByteArena::Blocks m_blocks;
    int m_columns = 1;
  };
  Snapshot TakeSnapshot() const;
  // The selected rows alone, in their order.
  Snapshot TakeSelectedSnapshot() const;
  // Where the snapshot's rows are now, after the edits made since it was taken: for each
  // row, the snapshot row that holds the same texts, or -1. Each snapshot row goes to the
  // first row in list order that holds its texts and no other snapshot row took (rows with
  // equal texts are alike); rows added or edited since match none.
  std::vector<int> MatchSnapshot(const Snapshot& rows) const;
  // Whether the list holds the rows of the snapshot (of every row) where it held them: none
  // was added, removed or moved since it was taken, whatever was done to their cells.
  bool SameRows(const Snapshot& rows) const;
  // Goes up with every edit of the rows or of their text: a walk that edits the list itself
  // tells by it whether anyone else did between its own edits.
  unsigned EditCount() const { return m_rowEdits + m_cellEdits; }

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 signals:
  // The selection changed (the list control's Change event).
  void SelectionChanged();

 private:
  using Ref = ByteArena::Ref;
  // A row whose cells are all empty has no record.
  static constexpr Ref kEmptyRow = ~Ref(0);

  void ChangeSelection(int firstChanged, int lastChanged);
  void ClearSelectionFlags(int& firstChanged, int& lastChanged);
  // Where row's record and flag are stored: rows from m_gapRow on sit after the gap.
  size_t Slot(int row) const { return row < m_gapRow ? size_t(row) : size_t(row) + m_gapRows; }
  int RowOfSlot(size_t slot) const { return slot < size_t(m_gapRow) ? int(slot) : int(slot) - m_gapRows; }
  bool HasCell(int row, int column) const {
    return row >= 0 && row < ListCount() && column >= 0 && column < m_columns;
  }
  StoredCell CellOf(Ref record, int column) const;
  static bool Holds(const StoredCell& cell, QStringView text);
  static void AppendCopy(const StoredCell& cell, CellCopies& into);
  StoredCell CellAt(int row, int column) const {
    return HasCell(row, column) ? CellOf(m_rows[Slot(row)], column) : StoredCell{};
  }
  // A record for cells given in stored form; kEmptyRow when all are empty.
  Ref WriteRecord(const StoredCell* cells);
  // Replaces one cell of the row's record.
  void ReplaceCell(Ref& record, int column, const StoredCell& cell);
  // The text in stored form, in m_encoded until the next call.
  StoredCell Encode(QStringView text);
  // A record no row uses any more; the arena is packed once such records take more room
  // than the rows.
  void Discard(Ref record);
  void PackIfWasteful();
  void MoveGapTo(int row);
  // Appends count rows, whose records appendRecords() pushes onto m_rows; one insert
  // signal.
  template <typename AppendRecords>
  void AppendRowsWith(size_t count, AppendRecords appendRecords);
  // Pushes the records of count rows, cellText(i, column) giving the texts of the i-th.
  template <typename CellText>
  void AppendTextRows(size_t count, CellText cellText);
  void CloseGap();
  // Snapshots of the whole list that read its records where they are; before a record
  // moves or changes, KeepSnapshotRows hands each its own copy.
  mutable std::vector<std::weak_ptr<Snapshot::Rows>> m_readingSnapshots;
  void KeepSnapshotRows() {
    if (!m_readingSnapshots.empty()) CopyRowsIntoSnapshots();
  }
  void CopyRowsIntoSnapshots();

  int m_columns;
  // A record per slot and a flag per slot. Between the rows before m_gapRow and the rest
  // lie m_gapRows unused slots (empty rows, clear flags): removing a row next to the gap
  // widens it and inserting narrows it, so a walk that removes or inserts rows near one
  // another moves each kept row once instead of shifting the whole tail every time.
  std::vector<Ref> m_rows;
  std::vector<unsigned char> m_selected;
  ByteArena m_arena;
  // Bytes of records that no row uses any more.
  size_t m_wasted = 0;
  QByteArray m_encoded;
  int m_gapRow = 0;
  int m_gapRows = 0;
  int m_selCount = 0;
  int m_lastIndex = -1;
  // Counts the edits that add or remove rows, so RemoveRowsIf can tell that its predicate
  // changed the rows even when their number came out the same.
  unsigned m_rowEdits = 0;
  // Counts the edits that change the text of rows that stay.
  unsigned m_cellEdits = 0;
  // No row below this one is selected: ListIndex scans from here, so repeated calls
  // after the first cost nothing.
  mutable int m_firstSelectedBound = 0;
  bool m_hasHeading = true;
  QStringList m_headings;
};

}  // namespace platform
