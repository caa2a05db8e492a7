#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace lists {
class OpenList;
}

namespace app {

class Settings;

// What start-up found in the files beside the program.
struct StartFiles {
  // Why the program cannot run (the text of the message box it shows before it quits);
  // nothing when it can.
  std::optional<QString> refusal;
  // The list opened last, to open now, as LastDatabase holds it (it may be gone); nothing
  // when no file names one or it could not be read.
  std::optional<QString> lastList;
};

// Start-up's work on the files beside the program, before any list is opened: the open
// list's Database folder (made on the first start), refused when it cannot be written, is
// no folder or another copy of the program holds its lock; then, under the lock (which
// lives as long as the open list), the leftovers of saves that a crash cut short cleared,
// the settings read, and the name of the list opened last, which becomes the open list's
// last one. Each step says what went wrong through `report` as it happens; an unreadable
// settings file leaves the settings empty.
StartFiles ReadStartFiles(lists::OpenList& list, Settings& settings,
                          const std::function<void(const QString&)>& report);

}  // namespace app
