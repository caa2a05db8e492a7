// The main window's open handler: the program's own start-up road.
#include <optional>

#include "app/ui/MainWindow.h"
#include "app/ui/MainWindowHooks.h"
#include "app/ui/Windows.h"
#include "lists/DatabaseFolder.h"
#include "platform/Seams.h"
#include "platform/ui/App.h"

namespace {

const QString kNotWriteable = QStringLiteral(
    "Permissions on this volume are not set to writeable for this user. Please move Velmora and it's "
    "'Database' and 'eMail' folders to a new location (i.e. Desktop). This application will shut down now.");

}  // namespace

void MainWindow::Event_Open() {
  MainWindowHooks& hooks = MainWindowHooks::Installed();
  // Reading the last list and filling the side bar yield: the window may be closed and
  // gone when they return.
  QPointer<MainWindow> self(this);

  // 1. The side bar beside the window.
  if (hooks.createSideBar) SideBar = hooks.createSideBar(*this);

  // 2. The Database folder beside the application.
  m_openList.SetDatabase(platform::FolderItem::GetFolderItem(QStringLiteral("Database")));

  // 3. Without a writable Database folder nothing can be kept: tell the user and stop here
  // rather than run the rest of the start-up against a folder it cannot use.
  if (!database.IsWriteable()) {
    platform::MsgBox(kNotWriteable);
    App::QuitRefusedStart();
    return;
  }

  // 4. First start: make the folder.
  if (!database.Exists()) {
    SetSlug(QStringLiteral("Creating the Database folder."));
    m_openList.SetDatabase(platform::FolderItem::GetFolderItem(QStringLiteral("Database")));
    // The check below then says why nothing can be kept, and the program stops.
    if (!database.CreateAsFolder()) {
      SetSlug(QStringLiteral("Could not create the Database folder ") + database.AbsolutePath() +
              QStringLiteral("."));
    }
  }

  // Anything but a folder there holds no lists; and a second copy of the program on the
  // same folder would overwrite the first one's lists. Either way, say so and stop before
  // anything is read or written. The lock lives as long as this window.
  std::optional<QString> problem = lists::DatabaseFolderProblem(database);
  if (!problem) problem = (new lists::DatabaseLock(database, this))->Take();
  if (problem) {
    platform::MsgBox(*problem);
    App::QuitRefusedStart();
    return;
  }
  // Under the lock no save is running: a save's temporary file is what a crash left.
  lists::RemoveStaleSaveTemporaries(database);

  // 5. Settings. A file that is there but cannot be read is reported: the settings are
  // then left empty, and OK in the preferences window would replace it.
  if (const std::optional<QString> unread = m_settings.Load(database)) {
    SetSlug(QStringLiteral("Could not read the settings in ") + m_settings.File().AbsolutePath() +
            QStringLiteral(" (") + *unread + QStringLiteral("); they are left empty."));
  }

  // 6. The list opened last.
  const platform::FolderItem last = database.Child(QStringLiteral("LastDatabase"));
  const app::FirstLines lastList = app::ReadFirstLines(last, 1);
  if (lastList.state == app::FirstLines::State::Unreadable) {
    SetSlug(QStringLiteral("Could not read ") + last.AbsolutePath() + QStringLiteral(" (") +
            lastList.problem + QStringLiteral("); no list was opened."));
  }
  if (lastList.state == app::FirstLines::State::Read) {
    const QString name = lastList.lines.first();
    m_openList.SetLastOpen(name);
    if (!name.isEmpty() && !database.Child(name).Exists()) {
      SetSlug(QStringLiteral("The list \"") + name + QStringLiteral("\" that was open last is gone."));
    }
    OpenDatabase(name);
    if (!self) return;
  }

  // 7. Toolbar images and the side bar's lists.
  UpdateLists();
  if (!self) return;

  // 8. POP3 log-in; it runs on socket events and start-up does not wait for it.
  StartPopLogIn();

  // 9.
  m_openList.MarkClean();

  // 10. Dropped files of every type, and dropped text.
  AcceptFileDrop(QStringLiteral("ANY"));
  AcceptTextDrop();

  // 11.
  SetSize(475, 370);
  ResizeControls();

  // 12. The about window in front; its Continue brings the main window forward.
  app::ui::OpenAboutWindow();
}
