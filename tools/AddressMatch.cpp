#include "tools/AddressMatch.h"

#include <QHash>

namespace tools {

BulkRemoval PlanBulkRemoval(const platform::ListModel& listed, const platform::ListModel& main) {
  BulkRemoval plan;
  const int listedCount = listed.ListCount();
  plan.repeats.assign(static_cast<size_t>(listedCount), 0);
  // Each distinct listed address and the place of its first row among them.
  QHash<QString, int> group;
  group.reserve(listedCount);
  for (int row = 0; row < listedCount; ++row) {
    const QString address = listed.Cell(row, 0);
    if (group.contains(address)) {
      plan.repeats[row] = 1;
    } else {
      group.insert(address, static_cast<int>(group.size()));
    }
  }

  const int mainCount = main.ListCount();
  std::vector<int> groupOfRow(static_cast<size_t>(mainCount), -1);
  std::vector<int> start(static_cast<size_t>(group.size()) + 1, 0);
  QString address;  // one buffer for every row's address
  for (int row = 0; row < mainCount; ++row) {
    main.ReadCell(row, 0, address);
    const auto it = group.constFind(address);
    if (it == group.constEnd()) continue;
    groupOfRow[row] = *it;
    ++start[*it + 1];
  }
  for (size_t g = 1; g < start.size(); ++g) start[g] += start[g - 1];
  plan.mainRows.resize(static_cast<size_t>(start.back()));
  for (int row = mainCount - 1; row >= 0; --row) {
    if (groupOfRow[row] >= 0) plan.mainRows[start[groupOfRow[row]]++] = row;
  }
  return plan;
}

int SetStatusOfRows(platform::ListModel& list, const QSet<QString>& addresses, const QString& status) {
  int marked = 0;
  if (addresses.isEmpty()) return marked;
  QString address;  // one buffer for every row's address
  for (int row = list.ListCount() - 1; row >= 0; --row) {
    list.ReadCell(row, 0, address);
    if (!addresses.contains(address)) continue;
    list.SetCell(row, 1, status);
    ++marked;
  }
  return marked;
}

}  // namespace tools
