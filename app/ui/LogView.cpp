#include "app/ui/LogView.h"

#include <QAbstractItemModel>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <unordered_map>

namespace {

// One row of the log for assistive technology: a list item that reads the row's text at
// the time it is asked, so rows moving down under a new one need no bookkeeping.
class LogRowAccessible : public QAccessibleInterface {
 public:
  LogRowAccessible(LogView* view, int row) : m_view(view), m_row(row) {}

  bool isValid() const override { return m_view && m_row < m_view->RowCount(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_view); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name && m_view ? m_view->RowText(m_row) : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!m_view) return {};
    const QRect inView = m_view->RowRect(m_row);
    if (inView.isEmpty()) return {};
    return {m_view->viewport()->mapToGlobal(inView.topLeft()), inView.size()};
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!m_view) return s;
    s.selectable = true;
    s.focusable = true;
    s.selected = m_view->SelectedRow() == m_row;
    s.focused = s.selected && m_view->hasFocus();
    if (m_view->RowRect(m_row).isEmpty()) s.offscreen = true;
    return s;
  }
  int Row() const { return m_row; }

 private:
  QPointer<LogView> m_view;
  int m_row;
};

// The log as a list whose items are its rows, newest first. Item interfaces are made when
// asked for and kept by row number until the view goes.
class LogViewAccessible : public QAccessibleWidget {
 public:
  explicit LogViewAccessible(LogView* view) : QAccessibleWidget(view, QAccessible::List) {}
  ~LogViewAccessible() override {
    for (const auto& [row, id] : m_rows) QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return View()->RowCount(); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    auto found = m_rows.find(index);
    if (found != m_rows.end()) return QAccessible::accessibleInterface(found->second);
    auto* row = new LogRowAccessible(View(), index);
    m_rows.emplace(index, QAccessible::registerAccessibleInterface(row));
    return row;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    if (!child || child->role() != QAccessible::ListItem || child->parent() != this) return -1;
    return static_cast<const LogRowAccessible*>(child)->Row();
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint p = View()->viewport()->mapFromGlobal(QPoint(x, y));
    if (!View()->viewport()->rect().contains(p)) return nullptr;
    return child(View()->TopRow() + p.y() / View()->RowHeight());
  }
  QAccessibleInterface* focusChild() const override {
    return View()->hasFocus() ? child(View()->SelectedRow()) : nullptr;
  }

 private:
  LogView* View() const { return static_cast<LogView*>(widget()); }
  mutable std::unordered_map<int, QAccessible::Id> m_rows;
};

QAccessibleInterface* LogViewFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("LogView") && object->isWidgetType())
    return new LogViewAccessible(static_cast<LogView*>(object));
  return nullptr;
}

}  // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
  static const bool registered = [] {
    QAccessible::installFactory(LogViewFactory);
    return true;
  }();
  Q_UNUSED(registered);
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

QString LogView::RowText(int row) const {
  if (!m_model) return {};
  const QModelIndex at = m_model->index(row, 0);
  const QString accessible = at.data(Qt::AccessibleTextRole).toString();
  return accessible.isEmpty() ? at.data(Qt::DisplayRole).toString() : accessible;
}

QRect LogView::RowRect(int row) const {
  const QRect rect(0, (row - TopRow()) * RowHeight(), viewport()->width(), RowHeight());
  return row >= 0 && row < RowCount() && rect.intersects(viewport()->rect()) ? rect : QRect();
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
  // A screen reader reads the row the user moved to.
  if (m_selected >= 0 && hasFocus() && QAccessible::isActive()) {
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(m_selected);
    QAccessible::updateAccessibility(&focus);
  }
}

void LogView::RowsInserted(int first, int last) {
  if (m_selected >= first) m_selected += last - first + 1;
  m_rowsInsertedSinceAnnounce = true;
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
        AnnounceNewRows();
      },
      Qt::QueuedConnection);
}

void LogView::AnnounceNewRows() {
  if (!m_rowsInsertedSinceAnnounce) return;
  m_rowsInsertedSinceAnnounce = false;
  // One event for the newest row, however many came in: a long import must not send
  // assistive technology one message per address.
  if (!QAccessible::isActive() || RowCount() == 0) return;
  QAccessibleEvent created(this, QAccessible::ObjectCreated);
  created.setChild(0);
  QAccessible::updateAccessibility(&created);
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
    case Qt::Key_Left:
    case Qt::Key_Right:
      // Nothing to scroll sideways: the window's own keys (the tabs' Cmd-Shift-Left and
      // Right) must reach it from here too.
      event->ignore();
      return;
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
