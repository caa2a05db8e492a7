#pragma once

#include <QAbstractScrollArea>
#include <QPointer>

class QAbstractItemModel;

// A one-column list of text rows of one height, without heading, with at most one row
// selected. It draws only the rows in sight and keeps no per-row state, so a row put in
// at the top of a log of a million rows costs nothing more than one into an empty log
// (the stock list views lay out every row again after each insert).
class LogView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit LogView(QWidget* parent = nullptr);

  void SetModel(QAbstractItemModel* model);
  QAbstractItemModel* Model() const { return m_model; }

  int RowHeight() const;
  // The first row in sight.
  int TopRow() const;
  // The selected row, -1 when none; it stays on its text when rows are put in above it.
  int SelectedRow() const { return m_selected; }
  void SetSelectedRow(int row);
  // The row's text and its place in the viewport (empty when out of sight), as assistive
  // technology reads them.
  QString RowText(int row) const;
  QRect RowRect(int row) const;
  int RowCount() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void RowsInserted(int first, int last);
  void RowsRemoved(int first, int last);
  void UpdateScrollBar();
  // Re-ranges the scroll bar once the current handler is done, however many rows came in.
  void ScheduleScrollBarUpdate();
  // Tells assistive technology of rows put in at the top, once per turn of the event loop.
  void AnnounceNewRows();

  QPointer<QAbstractItemModel> m_model;
  int m_selected = -1;
  bool m_scrollBarUpdatePending = false;
  bool m_rowsInsertedSinceAnnounce = false;
};
