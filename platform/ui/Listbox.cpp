#include "platform/ui/Listbox.h"

#include <QAccessible>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

#include "platform/LongWork.h"
#include "platform/ui/KeyText.h"
#include "platform/ui/ListboxAccessible.h"

namespace platform {
namespace {

// A change of the flags of at most this many rows is told row by row (an arrow key moves
// the selection from one row to the next); a larger one as one change of the whole table.
constexpr int kRowsToldOneByOne = 2;

// Draws a row as selected from the model's flag rather than from a selection model,
// so that selecting a million rows is one flag fill and one repaint.
class FlagSelectionDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    // A cell may hold any text a list file held, megabytes of it; laying all of it out at
    // every repaint froze the window for seconds, and no more than this fits a row anyway.
    constexpr qsizetype kMostDrawn = 400;
    if (option->text.size() > kMostDrawn) {
      const bool splitsPair = option->text.at(kMostDrawn - 1).isHighSurrogate();
      option->text.truncate(splitsPair ? kMostDrawn - 1 : kMostDrawn);
      option->text += QChar(0x2026);  // an ellipsis
    }
    if (index.data(ListModel::SelectedRole).toBool()) {
      option->state |= QStyle::State_Selected;
    } else {
      option->state &= ~QStyle::State_Selected;
    }
  }
};

}  // namespace

Listbox::Listbox(int columnCount, QWidget* parent)
    : QAbstractItemView(parent),
      m_model(new ListModel(columnCount, this)),
      m_columns(new QHeaderView(Qt::Horizontal, this)) {
  InstallListboxAccessible();
  setModel(m_model);
  setItemDelegate(new FlagSelectionDelegate(this));
  // The selection lives in the model's flags; the view's own selection model stays empty.
  setSelectionMode(QAbstractItemView::NoSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragDropMode(QAbstractItemView::NoDragDrop);
  setTabKeyNavigation(false);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  // A change of the rows only re-ranges the scroll bar: nothing is kept per row.
  connect(m_model, &QAbstractItemModel::rowsInserted, this, &Listbox::RowsChanged);
  connect(m_model, &QAbstractItemModel::rowsRemoved, this, &Listbox::RowsChanged);
  connect(m_model, &QAbstractItemModel::modelReset, this, &Listbox::RowsChanged);
  connect(m_model, &QAbstractItemModel::layoutChanged, this, &Listbox::RowsChanged);

  m_columns->setModel(m_model);
  m_columns->setSectionsClickable(false);
  m_columns->setSectionsMovable(false);
  m_columns->setHighlightSections(false);
  m_columns->setSectionResizeMode(QHeaderView::Fixed);
  m_columns->setStretchLastSection(true);
  m_columns->setFocusProxy(this);
  m_columns->setVisible(m_model->HasHeading());
  connect(m_columns, &QHeaderView::sectionResized, this, &Listbox::ColumnsChanged);
  connect(m_columns, &QHeaderView::geometriesChanged, this, &Listbox::updateGeometries);
  connect(m_model, &QAbstractItemModel::headerDataChanged, this, [this] {
    m_columns->setVisible(m_model->HasHeading());
    updateGeometries();
  });
  connect(m_model, &ListModel::SelectionChanged, this, &Listbox::Change);
  connect(m_model, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
            if (roles.contains(ListModel::SelectedRole)) AnnounceSelection(topLeft.row(), bottomRight.row());
          });
}

int Listbox::RowHeight() const {
  return fontMetrics().height() + 4;
}

int Listbox::FullRows() const {
  return std::max(1, viewport()->height() / RowHeight());
}

int Listbox::TopRow() const {
  return verticalScrollBar()->value();
}

int Listbox::RowAt(int y) const {
  // Rows above the viewport count too, as in the row rectangles.
  const int height = RowHeight();
  const int row = TopRow() + (y >= 0 ? y / height : -((height - 1 - y) / height));
  return row >= 0 && row < m_model->ListCount() ? row : -1;
}

void Listbox::changeEvent(QEvent* event) {
  QAbstractItemView::changeEvent(event);
  if (event->type() == QEvent::FontChange) updateGeometries();
}

void Listbox::RowsChanged() {
  // The scroll bar counts rows; at its end the last rows show whole.
  const int fit = FullRows();
  verticalScrollBar()->setRange(0, std::max(0, m_model->ListCount() - fit));
  verticalScrollBar()->setPageStep(fit);
  verticalScrollBar()->setSingleStep(1);
  viewport()->update();
}

void Listbox::updateGeometries() {
  const int headingHeight =
      m_columns->isHidden() ? 0
                            : std::min(std::max(m_columns->minimumHeight(), m_columns->sizeHint().height()),
                                       m_columns->maximumHeight());
  setViewportMargins(0, headingHeight, 0, 0);
  const QRect area = viewport()->geometry();
  m_columns->setGeometry(area.left(), area.top() - headingHeight, area.width(), headingHeight);
  ColumnsChanged();
  RowsChanged();
  QAbstractItemView::updateGeometries();
}

void Listbox::ColumnsChanged() {
  const int width = viewport()->width();
  horizontalScrollBar()->setPageStep(width);
  horizontalScrollBar()->setSingleStep(std::max(1, RowHeight()));
  horizontalScrollBar()->setRange(0, std::max(0, m_columns->length() - width));
  viewport()->update();
}

int Listbox::horizontalOffset() const {
  return horizontalScrollBar()->value();
}

int Listbox::verticalOffset() const {
  return TopRow() * RowHeight();
}

void Listbox::scrollContentsBy(int dx, int dy) {
  if (dx != 0) m_columns->setOffset(horizontalScrollBar()->value());
  QAbstractItemView::scrollContentsBy(isRightToLeft() ? -dx : dx, dy * RowHeight());
}

QRect Listbox::visualRect(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != m_model) return {};
  return {m_columns->sectionViewportPosition(index.column()), (index.row() - TopRow()) * RowHeight(),
          m_columns->sectionSize(index.column()), RowHeight()};
}

QModelIndex Listbox::indexAt(const QPoint& point) const {
  const int row = RowAt(point.y());
  const int column = m_columns->logicalIndexAt(point.x());
  return row >= 0 && column >= 0 ? m_model->index(row, column) : QModelIndex();
}

void Listbox::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (!index.isValid() || index.model() != m_model) return;
  const int row = index.row();
  const int fit = FullRows();
  int top = TopRow();
  switch (hint) {
    case PositionAtTop:
      top = row;
      break;
    case PositionAtBottom:
      top = row - fit + 1;
      break;
    case PositionAtCenter:
      top = row - fit / 2;
      break;
    case EnsureVisible:
      if (row < top) top = row;
      if (row >= top + fit) top = row - fit + 1;
      break;
  }
  verticalScrollBar()->setValue(top);
  const int left = m_columns->sectionPosition(index.column());
  const int right = left + m_columns->sectionSize(index.column());
  const int shown = horizontalScrollBar()->value();
  if (left < shown) {
    horizontalScrollBar()->setValue(left);
  } else if (right > shown + viewport()->width()) {
    horizontalScrollBar()->setValue(std::min(left, right - viewport()->width()));
  }
}

QModelIndex Listbox::moveCursor(CursorAction, Qt::KeyboardModifiers) {
  // Only a focus-in asks (keys move through keyPressEvent): the keyboard's row stays, or
  // it starts on the first.
  const QModelIndex current = currentIndex();
  return current.isValid() ? current : m_model->index(0, 0);
}

void Listbox::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  QStyleOptionViewItem base;
  initViewItemOption(&base);
  base.showDecorationSelected = true;
  const int height = RowHeight();
  const int top = TopRow();
  const int count = m_model->ListCount();
  const QModelIndex current = currentIndex();
  const bool focus = hasFocus() && current.isValid();
  QAbstractItemDelegate* delegate = itemDelegate();
  for (const QRect& area : event->region()) {
    const int lastRow = std::min(count - 1, top + area.bottom() / height);
    int firstColumn = m_columns->visualIndexAt(area.left());
    int lastColumn = m_columns->visualIndexAt(area.right());
    if (firstColumn < 0) firstColumn = 0;
    if (lastColumn < 0) lastColumn = m_columns->count() - 1;
    for (int row = top + std::max(0, area.top()) / height; row <= lastRow; ++row) {
      for (int visual = firstColumn; visual <= lastColumn; ++visual) {
        const QModelIndex index = m_model->index(row, m_columns->logicalIndex(visual));
        QStyleOptionViewItem option = base;
        option.rect = visualRect(index);
        if (focus && index == current) option.state |= QStyle::State_HasFocus;
        style()->drawPrimitive(QStyle::PE_PanelItemViewRow, &option, &painter, this);
        delegate->paint(&painter, option, index);
      }
    }
  }
}

void Listbox::SetListIndex(int row) {
  const LongWork work(this);
  m_model->SetListIndex(row);  // the Change handler may run the event loop
  if (!work.Stopped() && row >= 0 && row < m_model->ListCount()) {
    m_anchor = row;
    MoveCurrent(row);
  }
}

void Listbox::AnnounceSelection(int first, int last) {
  if (!QAccessible::isActive()) return;
  first = std::max(first, 0);
  last = std::min(last, m_model->ListCount() - 1);
  if (first > last) return;
  if (last - first < kRowsToldOneByOne) {
    for (int row = first; row <= last; ++row) {
      QAccessibleEvent event(
          this, m_model->Selected(row) ? QAccessible::SelectionAdd : QAccessible::SelectionRemove);
      event.setChild(ListboxAccessibleChild(*this, row, 0));
      QAccessible::updateAccessibility(&event);
    }
    return;
  }
  // However many rows changed (Select All on a million): one event for the table, and
  // the state of the row the keyboard is on, which a screen reader reads out.
  QAccessibleEvent within(this, QAccessible::SelectionWithin);
  QAccessible::updateAccessibility(&within);
  const int current = currentIndex().row();
  if (current >= first && current <= last) {
    QAccessibleEvent event(this, QAccessible::Selection);
    event.setChild(ListboxAccessibleChild(*this, current, 0));
    QAccessible::updateAccessibility(&event);
  }
}

void Listbox::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  // A screen reader reads the row the keyboard moved to, while the list has the keyboard.
  QAbstractItemView::currentChanged(current, previous);
  if (!current.isValid() || !hasFocus() || !QAccessible::isActive()) return;
  QAccessibleEvent focus(this, QAccessible::Focus);
  focus.setChild(ListboxAccessibleChild(*this, current.row(), current.column()));
  QAccessible::updateAccessibility(&focus);
}

void Listbox::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                          const QList<int>& roles) {
  const int top = TopRow();
  const int first = std::max(topLeft.row(), top);
  const int last = std::min(bottomRight.row(), top + FullRows());
  if (!topLeft.isValid() || !bottomRight.isValid() || (first == topLeft.row() && last == bottomRight.row())) {
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    return;
  }
  // QAbstractItemView's asks for the rectangle of every cell of the range, two million of
  // them for Select All on a million rows: only the rows in sight are redrawn, and
  // assistive technology hears of the whole range as it would.
  if (first <= last) {
    const int height = RowHeight();
    viewport()->update(0, (first - top) * height, viewport()->width(), (last - first + 1) * height);
  }
  if (QAccessible::isActive()) {
    QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::DataChanged);
    event.setFirstRow(topLeft.row());
    event.setFirstColumn(topLeft.column());
    event.setLastRow(bottomRight.row());
    event.setLastColumn(bottomRight.column());
    QAccessible::updateAccessibility(&event);
  }
}

void Listbox::SetMultipleSelection(bool multiple) {
  m_multiple = multiple;
  if (!multiple && m_model->SelCount() > 1) m_model->SetListIndex(m_model->ListIndex());
}

void Listbox::SetColumnWidths(const QList<int>& widths) {
  for (int column = 0; column < widths.size() && column < m_model->columnCount(); ++column) {
    m_columns->resizeSection(column, widths[column]);
  }
}

void Listbox::MoveCurrent(int row) {
  m_current = row;
  const QModelIndex at = m_model->index(row, 0);
  if (!at.isValid()) return;
  // NoSelection mode: this moves the focus row only, never a selection range.
  selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
  scrollTo(at);
}

void Listbox::SelectTo(int row, bool extend) {
  const int count = m_model->ListCount();
  if (m_anchor < 0 || m_anchor >= count) m_anchor = -1;
  if (extend && m_multiple && m_anchor >= 0) {
    m_model->SelectOnly(m_anchor, row);
  } else {
    // The Change handler may run the event loop, which may delete this list.
    const LongWork selecting(this);
    m_model->SetListIndex(row);
    if (!selecting.Stopped()) m_anchor = row;
  }
}

int Listbox::RowsPerPage() const {
  return std::max(1, FullRows() - 1);
}

void Listbox::keyPressEvent(QKeyEvent* event) {
  // The handlers (KeyDown, and Change when the selection moves) may yield to the event
  // loop, which may close the window.
  const LongWork work(this);
  const QString key = KeyText(*event);
  if (!key.isEmpty()) {
    bool handled = false;
    emit KeyDown(key, &handled);
    if (work.Stopped()) return;
    if (handled) {
      event->accept();
      return;
    }
  }

  const int count = m_model->ListCount();
  int from = (m_current >= 0 && m_current < count) ? m_current : m_model->ListIndex();
  int target = -1;
  switch (event->key()) {
    case Qt::Key_Up:
      target = from < 0 ? 0 : from - 1;
      break;
    case Qt::Key_Down:
      target = from < 0 ? 0 : from + 1;
      break;
    case Qt::Key_Home:
      target = 0;
      break;
    case Qt::Key_End:
      target = count - 1;
      break;
    case Qt::Key_PageUp:
      target = (from < 0 ? 0 : from) - RowsPerPage();
      break;
    case Qt::Key_PageDown:
      target = (from < 0 ? 0 : from) + RowsPerPage();
      break;
    default:
      // Everything else goes on to the window (Backspace deletes there, for instance).
      event->ignore();
      return;
  }
  event->accept();
  if (count == 0) return;
  target = std::clamp(target, 0, count - 1);
  if (m_anchor < 0 || m_anchor >= count) m_anchor = from >= 0 ? from : target;
  SelectTo(target, event->modifiers().testFlag(Qt::ShiftModifier));
  if (!work.Stopped()) MoveCurrent(target);
}

void Listbox::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  const bool shift = modifiers.testFlag(Qt::ShiftModifier);
  // Qt reports the Command key as Control on macOS, so this is Cmd-click there.
  const bool toggle = modifiers.testFlag(Qt::ControlModifier);
  const int row = RowAt(event->position().toPoint().y());
  // Selection changes run the Change handler, which may run the event loop.
  const LongWork work(this);
  if (row < 0) {
    // A plain click below the last row clears the selection, as in any list.
    if (!shift && !toggle) m_model->SetListIndex(-1);
    return;
  }
  if (m_multiple && toggle && !shift) {
    m_model->SetSelected(row, !m_model->Selected(row));
    m_anchor = row;
  } else {
    SelectTo(row, shift);
    if (!work.Stopped()) m_dragSelecting = true;
  }
  if (!work.Stopped()) MoveCurrent(row);
}

// Dragging with the button held selects from the anchor to the row under the mouse;
// past the top or bottom edge it takes the edge row, which scrolls the list on.
void Listbox::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  if (!m_dragSelecting || !event->buttons().testFlag(Qt::LeftButton)) return;
  const int y = std::clamp(event->position().toPoint().y(), 0, std::max(0, viewport()->height() - 1));
  int row = RowAt(y);
  if (row < 0) row = m_model->ListCount() - 1;  // below the last row
  if (row < 0 || row == m_current) return;
  const LongWork work(this);
  SelectTo(row, true);
  if (!work.Stopped()) MoveCurrent(row);
}

void Listbox::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton) m_dragSelecting = false;
}

void Listbox::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click arrives only as this event; it selects like a
  // click (a no-op when the first press already did) so the handler finds its row.
  const LongWork work(this);
  mousePressEvent(event);
  if (work.Stopped() || event->button() != Qt::LeftButton) return;
  emit DoubleClick();
}

}  // namespace platform
