#pragma once

#include <QSet>
#include <QString>
#include <vector>

#include "platform/ListModel.h"

namespace tools {

// "Remove all from Main List" of an address-list window: which rows go, with addresses
// compared exactly. One pass over each list with a hash of the listed addresses, so the
// time is linear in both lists.
struct BulkRemoval {
  // Per row of the window's list: 1 when it repeats the address of an earlier row.
  std::vector<unsigned char> repeats;
  // The rows of the main list that hold a listed address, in the order their addresses
  // go to Trash: by the listed address's first row, then from the last row up.
  std::vector<int> mainRows;
};
BulkRemoval PlanBulkRemoval(const platform::ListModel& listed, const platform::ListModel& main);

// Sets column 1 of every row whose address is one of `addresses` (exactly) to `status`;
// returns how many rows that was.
int SetStatusOfRows(platform::ListModel& list, const QSet<QString>& addresses, const QString& status);

}  // namespace tools
