#pragma once

#include <QAbstractItemView>

#include "platform/ListModel.h"

class QHeaderView;

namespace platform {

// The list control: a view with uniform rows over one ListModel. It draws the selection
// from the model's per-row flags and turns clicks and keys into flag changes, so selecting
// or testing a million rows never walks a selection model. Rows are placed by arithmetic
// and it keeps nothing per row, so a draw or an insert costs the same in a list of five
// million rows as in one of ten (a table view's row header keeps a section per row and
// walks them all after each insert). The list control's operations forward to the model;
// events: DoubleClick, KeyDown (return true to swallow the key), Change (the model's
// SelectionChanged).
class Listbox : public QAbstractItemView {
  Q_OBJECT
 public:
  explicit Listbox(int columnCount, QWidget* parent = nullptr);

  ListModel* Model() const { return m_model; }

  // Forwarders named as the program uses them.
  void AddRow(const QString& firstCell) { m_model->AddRow(firstCell); }
  void AddRow(const QStringList& cells) { m_model->AddRow(cells); }
  void InsertRow(int row, const QString& firstCell) { m_model->InsertRow(row, firstCell); }
  void RemoveRow(int row) { m_model->RemoveRow(row); }
  void DeleteAllRows() { m_model->DeleteAllRows(); }
  QString Cell(int row, int column) const { return m_model->Cell(row, column); }
  void SetCell(int row, int column, const QString& text) { m_model->SetCell(row, column, text); }
  bool Selected(int row) const { return m_model->Selected(row); }
  void SetSelected(int row, bool selected) { m_model->SetSelected(row, selected); }
  int ListIndex() const { return m_model->ListIndex(); }
  void SetListIndex(int row);  // also scrolls the row into view
  int ListCount() const { return m_model->ListCount(); }
  int SelCount() const { return m_model->SelCount(); }
  int LastIndex() const { return m_model->LastIndex(); }

  // Several rows selectable (true) or one row at most.
  void SetMultipleSelection(bool multiple);
  bool MultipleSelection() const { return m_multiple; }
  void SetColumnWidths(const QList<int>& widths);

  // The column headings, shown while the model has a heading row.
  QHeaderView* horizontalHeader() const { return m_columns; }
  // The row at y in the viewport's coordinates, -1 outside the list.
  int RowAt(int y) const;
  // The first row in sight: the vertical scroll bar counts rows.
  int TopRow() const;

  // QAbstractItemView
  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;

 signals:
  void DoubleClick();
  // The key's text; a handler sets *handled to swallow the key.
  void KeyDown(const QString& key, bool* handled);
  void Change();

 protected:
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles = QList<int>()) override;
  void paintEvent(QPaintEvent* event) override;
  void updateGeometries() override;
  void scrollContentsBy(int dx, int dy) override;
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override;
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex&) const override { return false; }
  void setSelection(const QRect&, QItemSelectionModel::SelectionFlags) override {}
  QRegion visualRegionForSelection(const QItemSelection&) const override { return {}; }

 private:
  // Tells assistive technology that the flags of rows first..last changed.
  void AnnounceSelection(int first, int last);
  // Makes row the keyboard's current row and scrolls it into view.
  void MoveCurrent(int row);
  // Selects row alone, or in several-rows mode with extend from the anchor to row.
  void SelectTo(int row, bool extend);
  int RowsPerPage() const;
  int RowHeight() const;
  // Rows wholly in sight, at least one.
  int FullRows() const;
  // Fit the scroll bars to the rows, or to the columns, and ask for a redraw.
  void RowsChanged();
  void ColumnsChanged();

  ListModel* m_model;
  QHeaderView* m_columns;
  bool m_multiple = true;
  int m_anchor = -1;             // where a Shift-click or Shift-arrow range starts
  int m_current = -1;            // the row the arrow keys move from
  bool m_dragSelecting = false;  // the mouse went down on a row and is still held
};

}  // namespace platform
