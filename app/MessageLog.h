#pragma once

#include <QAbstractListModel>
#include <QString>
#include <vector>

namespace app {

// The rows of the message log, newest first. The log has no upper bound (a long import
// reports once per address), so a new row must not cost time in proportion to the rows
// already there: entries are stored oldest first and presented in reverse, so putting a
// row at the top is an append plus one one-row insert signal.
class MessageLog : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit MessageLog(QObject* parent = nullptr);

  // Puts the text in as row 0; the rows already there move down by one.
  void InsertAtTop(QString text);
  // Row 0 is the newest entry.
  QString Row(int row) const;
  int Count() const { return static_cast<int>(m_oldestFirst.size()); }
  void Reserve(int rows) { m_oldestFirst.reserve(rows); }

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  std::vector<QString> m_oldestFirst;
};

}  // namespace app
