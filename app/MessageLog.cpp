#include "app/MessageLog.h"

namespace app {

MessageLog::MessageLog(QObject* parent) : QAbstractListModel(parent) {}

void MessageLog::InsertAtTop(QString text) {
  beginInsertRows({}, 0, 0);
  m_oldestFirst.push_back(std::move(text));
  endInsertRows();
}

QString MessageLog::Row(int row) const {
  if (row < 0 || row >= Count()) return {};
  return m_oldestFirst[m_oldestFirst.size() - 1 - static_cast<size_t>(row)];
}

int MessageLog::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Count();
}

QVariant MessageLog::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() != 0) return {};
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
  return Row(index.row());
}

}  // namespace app
