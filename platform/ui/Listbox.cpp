#include "platform/ui/Listbox.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QStyledItemDelegate>
#include <algorithm>

#include "platform/ui/KeyText.h"
#include "platform/ui/ListboxAccessible.h"
#include "platform/ui/RowCountModel.h"

namespace platform {
namespace {

const QEvent::Type kSyncRowCountEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

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
    : QTableView(parent), m_model(new ListModel(columnCount, this)), m_rowCount(new RowCountModel(this)) {
  InstallListboxAccessible();
  setModel(m_model);
  setItemDelegate(new FlagSelectionDelegate(this));
  // The selection lives in the model's flags; the view's own selection model stays empty.
  setSelectionMode(QAbstractItemView::NoSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragDropMode(QAbstractItemView::NoDragDrop);
  setTabKeyNavigation(false);
  setShowGrid(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

  // Uniform rows: a fixed section size lets the header place any of a million rows by
  // arithmetic instead of measuring them.
  QHeaderView* rows = verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(1);
  rows->setDefaultSectionSize(RowHeight());
  // The row header follows a count of its own: told of every single-row removal, it
  // would walk all its sections each time, and a walk removing rows one by one from a
  // million would take hours. Inserts and bulk changes reach it at once; removals at
  // the next turn of the event loop, before anything is drawn.
  m_rowCount->SetRows(m_model->ListCount());
  rows->setModel(m_rowCount);
  connect(m_model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
    m_rowCount->SetRows(m_rowCount->Rows() + (last - first + 1));
  });
  connect(m_model, &QAbstractItemModel::rowsRemoved, this, &Listbox::QueueRowCountSync);
  connect(m_model, &QAbstractItemModel::modelReset, this, &Listbox::SyncRowCount);
  connect(m_model, &QAbstractItemModel::layoutChanged, this, &Listbox::SyncRowCount);

  QHeaderView* columns = horizontalHeader();
  columns->setSectionsClickable(false);
  columns->setSectionsMovable(false);
  columns->setHighlightSections(false);
  columns->setSectionResizeMode(QHeaderView::Fixed);
  columns->setStretchLastSection(true);
  columns->setVisible(m_model->HasHeading());
  connect(m_model, &QAbstractItemModel::headerDataChanged, this,
          [this] { horizontalHeader()->setVisible(m_model->HasHeading()); });
  connect(m_model, &ListModel::SelectionChanged, this, &Listbox::Change);
  connect(m_model, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
            if (roles.contains(ListModel::SelectedRole)) AnnounceSelection(topLeft.row(), bottomRight.row());
          });
}

int Listbox::RowHeight() const {
  return fontMetrics().height() + 4;
}

void Listbox::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() == QEvent::FontChange) verticalHeader()->setDefaultSectionSize(RowHeight());
}

void Listbox::SyncRowCount() {
  m_rowCount->SetRows(m_model->ListCount());
}

void Listbox::QueueRowCountSync() {
  if (m_rowCountSyncQueued) return;
  m_rowCountSyncQueued = true;
  // Ahead of the repaint that the removal asked for.
  QCoreApplication::postEvent(this, new QEvent(kSyncRowCountEvent), Qt::HighEventPriority);
}

bool Listbox::event(QEvent* event) {
  if (event->type() == kSyncRowCountEvent) {
    m_rowCountSyncQueued = false;
    SyncRowCount();
    return true;
  }
  return QTableView::event(event);
}

void Listbox::SetListIndex(int row) {
  const QPointer<Listbox> alive(this);
  m_model->SetListIndex(row);  // the Change handler may run the event loop
  if (alive && row >= 0 && row < m_model->ListCount()) {
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
  // Not QTableView's: it counts the children of a table interface that this list does
  // not have, and tells of the new row even when the list has not the keyboard.
  QAbstractItemView::currentChanged(current, previous);
  if (!current.isValid() || !hasFocus() || !QAccessible::isActive()) return;
  QAccessibleEvent focus(this, QAccessible::Focus);
  focus.setChild(ListboxAccessibleChild(*this, current.row(), current.column()));
  QAccessible::updateAccessibility(&focus);
}

void Listbox::SetMultipleSelection(bool multiple) {
  m_multiple = multiple;
  if (!multiple && m_model->SelCount() > 1) m_model->SetListIndex(m_model->ListIndex());
}

void Listbox::SetColumnWidths(const QList<int>& widths) {
  for (int column = 0; column < widths.size() && column < m_model->columnCount(); ++column) {
    setColumnWidth(column, widths[column]);
  }
}

void Listbox::MoveCurrent(int row) {
  SyncRowCount();
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
    m_model->SetListIndex(row);
    m_anchor = row;
  }
}

int Listbox::RowsPerPage() const {
  const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
  return std::max(1, viewport()->height() / rowHeight - 1);
}

void Listbox::keyPressEvent(QKeyEvent* event) {
  SyncRowCount();
  // The handlers (KeyDown, and Change when the selection moves) may yield to the event
  // loop, which may close the window.
  const QPointer<Listbox> alive(this);
  const QString key = KeyText(*event);
  if (!key.isEmpty()) {
    bool handled = false;
    emit KeyDown(key, &handled);
    if (alive.isNull()) return;
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
  if (alive) MoveCurrent(target);
}

void Listbox::mousePressEvent(QMouseEvent* event) {
  SyncRowCount();
  setFocus(Qt::MouseFocusReason);
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  const bool shift = modifiers.testFlag(Qt::ShiftModifier);
  // Qt reports the Command key as Control on macOS, so this is Cmd-click there.
  const bool toggle = modifiers.testFlag(Qt::ControlModifier);
  const int row = rowAt(event->position().toPoint().y());
  // Selection changes run the Change handler, which may run the event loop.
  const QPointer<Listbox> alive(this);
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
    if (alive) m_dragSelecting = true;
  }
  if (alive) MoveCurrent(row);
}

// Dragging with the button held selects from the anchor to the row under the mouse;
// past the top or bottom edge it takes the edge row, which scrolls the list on.
void Listbox::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  SyncRowCount();
  if (!m_dragSelecting || !event->buttons().testFlag(Qt::LeftButton)) return;
  const int y = std::clamp(event->position().toPoint().y(), 0, std::max(0, viewport()->height() - 1));
  int row = rowAt(y);
  if (row < 0) row = m_model->ListCount() - 1;  // below the last row
  if (row < 0 || row == m_current) return;
  const QPointer<Listbox> alive(this);
  SelectTo(row, true);
  if (alive) MoveCurrent(row);
}

void Listbox::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton) m_dragSelecting = false;
}

void Listbox::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click arrives only as this event; it selects like a
  // click (a no-op when the first press already did) so the handler finds its row.
  const QPointer<Listbox> alive(this);
  mousePressEvent(event);
  if (!alive || event->button() != Qt::LeftButton) return;
  emit DoubleClick();
}

}  // namespace platform
