#include "platform/ui/RowCountModel.h"

namespace platform {

void RowCountModel::SetRows(int rows) {
  rows = std::max(rows, 0);
  if (rows > m_rows) {
    beginInsertRows({}, m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
  } else if (rows < m_rows) {
    beginRemoveRows({}, rows, m_rows - 1);
    m_rows = rows;
    endRemoveRows();
  }
}

int RowCountModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_rows;
}

int RowCountModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 1;
}

QVariant RowCountModel::data(const QModelIndex&, int) const {
  return {};
}

}  // namespace platform
