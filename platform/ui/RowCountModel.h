#pragma once

#include <QAbstractTableModel>

namespace platform {

// A model of nothing but a number of rows, for the list control's hidden row header.
// A table's row header walks all its sections on every removal of even one row; fed
// by this model it hears of a whole batch of removals as one change at the end.
class RowCountModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;

  int Rows() const { return m_rows; }
  // Adds or drops rows at the end until there are rows of them.
  void SetRows(int rows);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  int m_rows = 0;
};

}  // namespace platform
