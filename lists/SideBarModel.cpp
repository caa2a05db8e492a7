#include "lists/SideBarModel.h"

#include <algorithm>

#include "lists/MailingLists.h"
#include "platform/EventLoop.h"
#include "platform/Text.h"

namespace lists {

std::vector<SideBarEntry> SideBarEntries(const platform::FolderItem& database, const QString& lastopen) {
  std::vector<SideBarEntry> entries;
  if (database.IsNull()) return entries;
  for (int i = 1; i <= database.Count(); ++i) {
    const QString name = database.Item(i).DisplayName();
    if (IsListEntry(name)) {
      entries.push_back({name, platform::StrComp(lastopen, name, 0) == 0});
    }
    platform::YieldToEventLoop();
  }
  return entries;
}

int SideBarButtonTop(int place, int scrollValue) {
  return kSideBarFirstTop + (place - std::max(scrollValue, 0)) * kSideBarButtonPitch;
}

int SideBarScrollMaximum(int buttons, int windowHeight) {
  return static_cast<int>(buttons - windowHeight / static_cast<double>(kSideBarButtonPitch) + 1.0);
}

}  // namespace lists
