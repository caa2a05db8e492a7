#pragma once

// Answers the duplicate test of adding an address ("does the list already hold this
// address, letter case aside?") in constant time instead of a walk of the whole list per
// address, which made importing a big file quadratic.
//
// The index follows every edit of the model through its signals, so it never goes stale
// whoever edits the list (a drop, the send engine, a sort, a bulk removal).

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

#include "platform/ListModel.h"

namespace lists {

class DuplicateIndex : public QObject {
  Q_OBJECT
 public:
  // Indexes column 0 of the model, now and after every edit.
  explicit DuplicateIndex(platform::ListModel* model, QObject* parent = nullptr);

  // Whether some row's address equals this address once both are upper-cased
  // (platform::Uppercase), compared exactly.
  bool Contains(const QString& address) const;

  // The form addresses are compared in, for callers that test many and keep the keys.
  static QString KeyOf(const QString& address);
  bool ContainsKey(const QString& key) const;

 private:
  void Rebuild();
  void Relayout();
  void RowsInserted(int first, int last);
  void RowsRemoved(int first, int last);
  void CellsChanged(int first, int last);
  void Add(const QString& key);
  void Drop(const QString& key);

  QPointer<platform::ListModel> m_model;
  // Every row's address cell (a shared copy: no characters are copied) and its key, in
  // row order, so that a removed or changed row's old key is known, and a bulk removal,
  // which the model reports only as a new layout, keeps the keys of the rows that stay.
  std::vector<QString> m_cells;
  std::vector<QString> m_keys;
  // How many rows hold each key (a list may hold the same address more than once).
  QHash<QString, int> m_counts;
  // The address tested last and its key: an address is most often added right after it
  // was tested, and its row then shares its characters, so the key is not made twice.
  mutable QString m_testedCell;
  mutable QString m_testedKey;
};

}  // namespace lists
