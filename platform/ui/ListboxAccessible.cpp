#include "platform/ui/ListboxAccessible.h"

#include <QAccessibleWidget>
#include <QHeaderView>
#include <QPointer>
#include <algorithm>
#include <map>

#include "platform/ui/Listbox.h"

namespace platform {
namespace {

// The most cells selectedCells() hands over. Each one is an interface of its own, and a
// million selected rows would make millions of them; selectedCellCount() and
// selectedRows() still tell the whole selection.
constexpr int kMostSelectedCells = 1000;

int HeadingRows(const Listbox& list) {
  return list.Model()->HasHeading() ? 1 : 0;
}

// One cell, or one heading cell (row -1), read from the list at the time it is asked, so
// rows moving under it need no bookkeeping.
class ListboxCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
 public:
  ListboxCellAccessible(Listbox* list, int row, int column) : m_list(list), m_row(row), m_column(column) {}

  int Row() const { return m_row; }
  int Column() const { return m_column; }

  bool isValid() const override {
    if (!m_list || m_column >= m_list->Model()->columnCount()) return false;
    return IsHeading() ? m_list->Model()->HasHeading() : m_row < m_list->ListCount();
  }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return m_list ? m_list->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_list); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !m_list) return {};
    return IsHeading() ? m_list->Model()->Heading(m_column) : m_list->Cell(m_row, m_column);
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid()) return {};
    const QRect inView = InView();
    const QWidget* on = IsHeading() ? m_list->horizontalHeader()->viewport() : m_list->viewport();
    return {on->mapToGlobal(inView.topLeft()), inView.size()};
  }
  QAccessible::Role role() const override {
    return IsHeading() ? QAccessible::ColumnHeader : QAccessible::Cell;
  }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!isValid() || IsHeading()) return s;
    s.selectable = true;
    s.focusable = true;
    s.selected = m_list->Selected(m_row);
    const QModelIndex current = m_list->currentIndex();
    s.focused = m_list->hasFocus() && current.row() == m_row && current.column() == m_column;
    s.offscreen = !m_list->viewport()->rect().intersects(InView());
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableCellInterface && !IsHeading()) {
      return static_cast<QAccessibleTableCellInterface*>(this);
    }
    return nullptr;
  }

  // QAccessibleTableCellInterface
  bool isSelected() const override { return m_list && m_list->Selected(m_row); }
  QList<QAccessibleInterface*> columnHeaderCells() const override {
    QAccessibleInterface* table = parent();
    const int heading = m_list && m_list->Model()->HasHeading() ? m_column : -1;
    if (!table || heading < 0) return {};
    return {table->child(ListboxAccessibleChild(*m_list, -1, heading))};
  }
  QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
  int columnIndex() const override { return m_column; }
  int rowIndex() const override { return m_row; }
  int columnExtent() const override { return 1; }
  int rowExtent() const override { return 1; }
  QAccessibleInterface* table() const override { return parent(); }

 private:
  bool IsHeading() const { return m_row < 0; }
  // Where the cell stands in its viewport (the heading's or the rows').
  QRect InView() const {
    if (!IsHeading()) return m_list->visualRect(m_list->Model()->index(m_row, m_column));
    const QHeaderView* header = m_list->horizontalHeader();
    return {header->sectionViewportPosition(m_column), 0, header->sectionSize(m_column), header->height()};
  }

  QPointer<Listbox> m_list;
  int m_row;
  int m_column;
};

// The list as a table. Cell interfaces are made when asked for and kept by place; those
// past the end go when rows are removed.
class ListboxAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
 public:
  explicit ListboxAccessible(Listbox* list) : QAccessibleWidget(list, QAccessible::Table) {}
  ~ListboxAccessible() override { ForgetCellsFrom(-1); }  // the heading's too

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TableInterface) return static_cast<QAccessibleTableInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.multiSelectable = List()->MultipleSelection();
    s.extSelectable = s.multiSelectable;
    return s;
  }
  int childCount() const override { return (rowCount() + HeadingRows(*List())) * columnCount(); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    return Cell(index / columnCount() - HeadingRows(*List()), index % columnCount());
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* cell = dynamic_cast<const ListboxCellAccessible*>(child);
    if (!cell || !cell->isValid() || cell->parent() != this) return -1;
    return ListboxAccessibleChild(*List(), cell->Row(), cell->Column());
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QHeaderView* header = List()->horizontalHeader();
    if (header->isVisible()) {
      const QPoint p = header->viewport()->mapFromGlobal(QPoint(x, y));
      if (header->viewport()->rect().contains(p)) {
        const int column = header->logicalIndexAt(p);
        return column >= 0 ? Cell(-1, column) : nullptr;
      }
    }
    const QPoint p = List()->viewport()->mapFromGlobal(QPoint(x, y));
    const QModelIndex at = List()->viewport()->rect().contains(p) ? List()->indexAt(p) : QModelIndex();
    return at.isValid() ? Cell(at.row(), at.column()) : nullptr;
  }
  QAccessibleInterface* focusChild() const override {
    const QModelIndex current = List()->currentIndex();
    if (List()->hasFocus() && current.isValid() && current.row() < rowCount()) {
      return Cell(current.row(), current.column());
    }
    return QAccessibleWidget::focusChild();
  }

  // QAccessibleTableInterface
  QAccessibleInterface* caption() const override { return nullptr; }
  QAccessibleInterface* summary() const override { return nullptr; }
  QAccessibleInterface* cellAt(int row, int column) const override {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return nullptr;
    return Cell(row, column);
  }
  int selectedCellCount() const override { return List()->SelCount() * columnCount(); }
  QList<QAccessibleInterface*> selectedCells() const override {
    QList<QAccessibleInterface*> cells;
    for (int row : SelectedRowsUpTo(kMostSelectedCells / columnCount())) {
      for (int column = 0; column < columnCount(); ++column) cells.append(Cell(row, column));
    }
    return cells;
  }
  QString columnDescription(int column) const override { return List()->Model()->Heading(column); }
  QString rowDescription(int) const override { return {}; }
  // Rows are what is selected; a column never is on its own.
  int selectedColumnCount() const override { return 0; }
  int selectedRowCount() const override { return List()->SelCount(); }
  int columnCount() const override { return List()->Model()->columnCount(); }
  int rowCount() const override { return List()->ListCount(); }
  QList<int> selectedColumns() const override { return {}; }
  QList<int> selectedRows() const override { return SelectedRowsUpTo(List()->SelCount()); }
  bool isColumnSelected(int) const override { return false; }
  bool isRowSelected(int row) const override { return List()->Selected(row); }
  // Selecting through assistive technology is selecting by hand: the list's Change event
  // follows, as after a click.
  bool selectRow(int row) override {
    if (row < 0 || row >= rowCount()) return false;
    if (List()->MultipleSelection()) {
      List()->SetSelected(row, true);
    } else {
      List()->SetListIndex(row);
    }
    return true;
  }
  bool unselectRow(int row) override {
    if (row < 0 || row >= rowCount()) return false;
    List()->SetSelected(row, false);
    return true;
  }
  bool selectColumn(int) override { return false; }
  bool unselectColumn(int) override { return false; }
  void modelChange(QAccessibleTableModelChangeEvent* event) override {
    switch (event->modelChangeType()) {
      case QAccessibleTableModelChangeEvent::ModelReset:
        ForgetCellsFrom(rowCount());
        break;
      case QAccessibleTableModelChangeEvent::RowsRemoved:
        // Told before or after the rows go: forgetting a few cells too many only makes
        // them again when asked.
        ForgetCellsFrom(std::max(rowCount() - (event->lastRow() - event->firstRow() + 1), 0));
        break;
      default:
        break;
    }
  }

 private:
  Listbox* List() const { return static_cast<Listbox*>(widget()); }

  QAccessibleInterface* Cell(int row, int column) const {
    const auto found = m_cells.find({row, column});
    if (found != m_cells.end()) return QAccessible::accessibleInterface(found->second);
    auto* cell = new ListboxCellAccessible(List(), row, column);
    m_cells.emplace(std::pair{row, column}, QAccessible::registerAccessibleInterface(cell));
    return cell;
  }
  void ForgetCellsFrom(int row) {
    for (auto it = m_cells.lower_bound({row, 0}); it != m_cells.end(); it = m_cells.erase(it)) {
      QAccessible::deleteAccessibleInterface(it->second);
    }
  }
  // The first `most` selected rows, walking the flags from the first selected row.
  QList<int> SelectedRowsUpTo(int most) const {
    QList<int> rows;
    for (int row = List()->ListIndex(); row >= 0 && row < rowCount() && rows.size() < most; ++row) {
      if (List()->Selected(row)) rows.append(row);
    }
    return rows;
  }

  // By row, then column; heading cells under row -1.
  mutable std::map<std::pair<int, int>, QAccessible::Id> m_cells;
};

QAccessibleInterface* ListboxFactory(const QString& className, QObject* object) {
  if (className == QLatin1String(Listbox::staticMetaObject.className()) && object->isWidgetType()) {
    return new ListboxAccessible(static_cast<Listbox*>(object));
  }
  return nullptr;
}

}  // namespace

void InstallListboxAccessible() {
  QAccessible::installFactory(ListboxFactory);  // a factory already there is not added again
}

int ListboxAccessibleChild(const Listbox& list, int row, int column) {
  return (row + HeadingRows(list)) * list.Model()->columnCount() + column;
}

}  // namespace platform
