#include "app/ui/LogView.h"

#include <QAbstractItemModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
}

void LogView::SetModel(QAbstractItemModel* model) {
  if (m_model) m_model->disconnect(this);
  m_model = model;
  m_selected = -1;
  if (m_model) {
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
              if (!parent.isValid()) RowsInserted(first, last);
            });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex& parent, int first, int last) {
              if (!parent.isValid()) RowsRemoved(first, last);
            });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
      m_selected = -1;
      UpdateScrollBar();
      viewport()->update();
    });
    connect(m_model, &QAbstractItemModel::dataChanged, viewport(), qOverload<>(&QWidget::update));
  }
  UpdateScrollBar();
  viewport()->update();
}

int LogView::RowCount() const {
  return m_model ? m_model->rowCount() : 0;
}

int LogView::RowHeight() const {
  return fontMetrics().height() + 2;
}

int LogView::TopRow() const {
  return verticalScrollBar()->value();
}

void LogView::SetSelectedRow(int row) {
  m_selected = (row >= 0 && row < RowCount()) ? row : -1;
  viewport()->update();
}

void LogView::RowsInserted(int first, int last) {
  if (m_selected >= first) m_selected += last - first + 1;
  ScheduleScrollBarUpdate();
  viewport()->update();
}

void LogView::RowsRemoved(int first, int last) {
  if (m_selected > last) {
    m_selected -= last - first + 1;
  } else if (m_selected >= first) {
    m_selected = -1;
  }
  UpdateScrollBar();
  viewport()->update();
}

void LogView::ScheduleScrollBarUpdate() {
  // A range change costs the scroll area a posted event of its own; a report per address
  // of a long import must not queue one each.
  if (m_scrollBarUpdatePending) return;
  m_scrollBarUpdatePending = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        m_scrollBarUpdatePending = false;
        UpdateScrollBar();
      },
      Qt::QueuedConnection);
}

void LogView::UpdateScrollBar() {
  // The scroll bar counts rows: its value is the first row in sight.
  const int visible = qMax(1, viewport()->height() / RowHeight());
  verticalScrollBar()->setRange(0, qMax(0, RowCount() - visible));
  verticalScrollBar()->setPageStep(visible);
  verticalScrollBar()->setSingleStep(1);
}

void LogView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  if (!m_model) return;
  const int height = RowHeight();
  const int count = RowCount();
  const int width = viewport()->width();
  const QRect area = event->rect();
  const int first = TopRow() + area.top() / height;
  const int last = qMin(count - 1, TopRow() + area.bottom() / height);
  for (int row = first; row <= last; ++row) {
    const QRect rect(0, (row - TopRow()) * height, width, height);
    const bool selected = row == m_selected;
    if (selected) painter.fillRect(rect, palette().brush(QPalette::Highlight));
    painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QString text = m_model->data(m_model->index(row, 0)).toString();
    painter.drawText(rect.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text, Qt::ElideRight, width - 6));
  }
}

void LogView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBar();
}

void LogView::mousePressEvent(QMouseEvent* event) {
  const int row = TopRow() + static_cast<int>(event->position().y()) / RowHeight();
  if (event->button() == Qt::LeftButton) SetSelectedRow(row);
}

void LogView::keyPressEvent(QKeyEvent* event) {
  const int count = RowCount();
  int row = m_selected;
  switch (event->key()) {
    case Qt::Key_Up:
      row = qMax(0, row - 1);
      break;
    case Qt::Key_Down:
      row = qMin(count - 1, row + 1);
      break;
    case Qt::Key_Home:
      row = 0;
      break;
    case Qt::Key_End:
      row = count - 1;
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  SetSelectedRow(row);
  // Keep the selected row in sight.
  if (row >= 0 && row < TopRow()) verticalScrollBar()->setValue(row);
  const int visible = qMax(1, viewport()->height() / RowHeight());
  if (row >= TopRow() + visible) verticalScrollBar()->setValue(row - visible + 1);
}
