#pragma once

#include <QString>
#include <vector>

#include "platform/FolderItem.h"

namespace lists {

// One button of the list side bar.
struct SideBarEntry {
  QString name;
  bool selected = false;
};

// The buttons for the lists in `database`, in the folder's order: every entry but the
// program's own files, with the one named exactly `lastopen` selected. Empty for a nil
// folder. Yields to the event loop after each entry.
std::vector<SideBarEntry> SideBarEntries(const platform::FolderItem& database, const QString& lastopen);

// Geometry of the side bar's column of buttons.
inline constexpr int kSideBarButtonLeft = 5;
inline constexpr int kSideBarFirstTop = 5;
inline constexpr int kSideBarButtonWidth = 145;
inline constexpr int kSideBarButtonHeight = 30;
inline constexpr int kSideBarButtonPitch = 35;

// The top of the button in place `place` (from 0) with the scroll bar at `scrollValue`;
// a negative value counts as 0.
int SideBarButtonTop(int place, int scrollValue);
// The scroll bar's maximum for `buttons` buttons in a window `windowHeight` high:
// buttons - height / 35 + 1, computed in floating point and truncated toward zero.
int SideBarScrollMaximum(int buttons, int windowHeight);

}  // namespace lists
