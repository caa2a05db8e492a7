#pragma once

#include <QObject>
#include <QPointer>
#include <vector>

#include "platform/ListModel.h"

namespace mailing {

// Gives every row of a list model a slot: a number that stays the row's own while other
// rows come and go, and grows with the rows' order (a row appended gets a slot above all
// others). It answers which row a slot is and which slot a row is in O(log n), so an
// index keyed by slot stays right when rows above its entries are removed.
//
// It follows the model through its signals: rows appended, rows removed, cells changed.
// An edit it cannot follow row by row (a reset, a new layout, rows inserted above others)
// only marks it stale, and it reads the whole model again when next asked; so a list that
// is read or replaced while nobody asks costs nothing here.
//
// Subclasses keep their index by slot and hear of every row through the hooks.
class TrackedRows : public QObject {
 public:
  explicit TrackedRows(platform::ListModel* model, QObject* parent = nullptr);

 protected:
  // Reads the model again when an edit left the slots stale. Every query calls it first.
  void Refresh();
  platform::ListModel* Model() const { return m_model; }
  int RowCount() const { return m_live; }
  int RowOfSlot(int slot) const;
  int SlotOfRow(int row) const;
  // Changes whenever every row gets a new slot.
  unsigned Generation() const { return m_generation; }

  // Forget every row; the rows are then added again, slot = row, and slots up to `slotCount`
  // are to come.
  virtual void Clear(int slotCount) = 0;
  // The row is in the model at `row` now, under `slot`.
  virtual void RowAdded(int slot, int row) = 0;
  // The row has left the model; only what the index kept of it is left.
  virtual void RowRemoved(int slot) = 0;
  // Cells of the row at `row` changed.
  virtual void RowChanged(int slot, int row) = 0;
  // Cells of the rows `first` to `last` changed, all in one edit; row by row unless an
  // index must see them together.
  virtual void RowsChanged(int first, int last) {
    for (int row = first; row <= last; ++row) RowChanged(SlotOfRow(row), row);
  }
  // Whether a change of these columns (first to last) concerns the index.
  virtual bool Watches(int firstColumn, int lastColumn) const = 0;

 private:
  void MarkStale() { m_stale = true; }
  void RowsInserted(int first, int last);
  void RowsRemoved(int first, int last);
  void CellsChanged(int first, int last);
  void BuildTree();
  void Add(int slot, int delta);

  QPointer<platform::ListModel> m_model;
  bool m_stale = true;
  unsigned m_generation = 0;
  // Whether each slot holds a row, and a Fenwick tree over those flags (1-based): the
  // row of a slot is the number of live slots below it.
  std::vector<unsigned char> m_alive;
  std::vector<int> m_tree;
  int m_nextSlot = 0;
  int m_live = 0;
};

}  // namespace mailing
