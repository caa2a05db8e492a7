#include "app/StartFiles.h"

#include "app/Preferences.h"
#include "app/Settings.h"
#include "lists/DatabaseFolder.h"
#include "lists/OpenList.h"
#include "platform/FolderItem.h"

namespace app {

namespace {

const QString kNotWriteable = QStringLiteral(
    "Permissions on this volume are not set to writeable for this user. Please move Velmora and it's "
    "'Database' and 'eMail' folders to a new location (i.e. Desktop). This application will shut down now.");

// The Database folder beside the application, made on the first start; why it cannot be
// used, or nothing.
std::optional<QString> TakeDatabaseFolder(lists::OpenList& list,
                                          const std::function<void(const QString&)>& report) {
  list.SetDatabase(platform::FolderItem::GetFolderItem(QStringLiteral("Database")));
  // Without a writable Database folder nothing can be kept: the rest of the start-up must
  // not run against a folder it cannot use.
  if (!list.Database().IsWriteable()) return kNotWriteable;
  if (!list.Database().Exists()) {
    report(QStringLiteral("Creating the Database folder."));
    list.SetDatabase(platform::FolderItem::GetFolderItem(QStringLiteral("Database")));
    // The check below then says why nothing can be kept, and the program stops.
    if (const platform::FileResult made = list.Database().CreateAsFolder(); !made.Ok()) {
      report(QStringLiteral("Could not create the Database folder ") + list.Database().AbsolutePath() +
             platform::Because(made.Reason()));
    }
  }
  // Anything but a folder there holds no lists; and a second copy of the program on the
  // same folder would overwrite the first one's lists. Either way, nothing may be read or
  // written.
  std::optional<QString> problem = lists::DatabaseFolderProblem(list.Database());
  if (!problem) problem = (new lists::DatabaseLock(list.Database(), &list))->Take();
  if (problem) return problem;
  // Under the lock no save is running: a save's temporary file is what a crash left.
  lists::RemoveStaleSaveTemporaries(list.Database());
  return std::nullopt;
}

}  // namespace

StartFiles ReadStartFiles(lists::OpenList& list, Settings& settings,
                          const std::function<void(const QString&)>& report) {
  StartFiles found;
  found.refusal = TakeDatabaseFolder(list, report);
  if (found.refusal) return found;
  const platform::FolderItem& database = list.Database();
  // A file that is there but cannot be read is reported: OK in the preferences window
  // would then replace it.
  if (const std::optional<QString> unread = settings.Load(database)) {
    report(QStringLiteral("Could not read the settings in ") + settings.File().AbsolutePath() +
           QStringLiteral(" (") + *unread + QStringLiteral("); they are left empty."));
  }
  const platform::FolderItem last = database.Child(QStringLiteral("LastDatabase"));
  const FirstLines lastList = ReadFirstLines(last, 1);
  if (lastList.state == FirstLines::State::Unreadable) {
    report(QStringLiteral("Could not read ") + last.AbsolutePath() + QStringLiteral(" (") + lastList.problem +
           QStringLiteral("); no list was opened."));
  }
  if (lastList.state == FirstLines::State::Read) {
    const QString name = lastList.lines.first();
    list.SetLastOpen(name);
    if (!name.isEmpty() && !database.Child(name).Exists()) {
      report(QStringLiteral("The list \"") + name + QStringLiteral("\" that was open last is gone."));
    }
    found.lastList = name;
  }
  return found;
}

}  // namespace app
