#pragma once

#include <QHash>
#include <QString>
#include <vector>

#include "mailing/TrackedRows.h"

namespace mailing {

// Finds the rows of an address list whose address (column 0) equals a given text
// exactly, without a walk over the list. Made on first use, then kept up to date through
// the model's signals whoever edits the list.
class AddressIndex : public TrackedRows {
 public:
  explicit AddressIndex(platform::ListModel* list, QObject* parent = nullptr);

  // The rows holding exactly this address, in list order.
  std::vector<int> RowsOf(const QString& address);

 protected:
  void Clear() override;
  void RowAdded(int slot, int row) override;
  void RowRemoved(int slot) override;
  void RowChanged(int slot, int row) override;
  bool Watches(int firstColumn, int lastColumn) const override;

 private:
  // Each slot's address (sharing the cell's characters) and the slots of the same address
  // linked both ways from the one the hash names (as slot + 1).
  std::vector<QString> m_addresses;
  std::vector<int> m_next;
  std::vector<int> m_previous;
  QHash<QString, int> m_first;
};

}  // namespace mailing
