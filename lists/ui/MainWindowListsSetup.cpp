#include "lists/ui/MainWindowListsSetup.h"

#include <QAction>
#include <QIcon>
#include <QShortcut>

#include "app/ui/MainWindow.h"
#include "app/ui/MainWindowHooks.h"
#include "lists/OpenList.h"
#include "lists/ui/SideBarWindow.h"
#include "platform/ui/DragItem.h"
#include "platform/ui/Listbox.h"

namespace lists::ui {

namespace {

QWidget* CreateSideBar(MainWindow& window) {
  QPointer<MainWindow> main(&window);
  SideBarWindow::Host host;
  host.database = [main] { return main ? main->database : platform::FolderItem(); };
  host.lastopen = [main] { return main ? main->lastopen : QString(); };
  host.openDatabase = [main](const QString& name, const std::function<void(bool)>& done) {
    if (main) main->OpenList().OpenDatabase(name, done);
  };
  host.activationChanged = [main] {
    if (main) main->ActivationChanged();
  };
  auto* bar = new SideBarWindow(host, &window);
  bar->show();
  // F6 moves the keyboard between the window and its side bar, as between the panes of
  // a window (the shortcut serves the side bar too).
  auto* otherPane = new QShortcut(QKeySequence(Qt::Key_F6), &window);
  QObject::connect(otherPane, &QShortcut::activated, bar, [bar] {
    if (bar->isActiveWindow()) {
      bar->ReturnKeyboard();
    } else {
      bar->TakeKeyboard();
    }
  });

  return bar;
}

}  // namespace

void UpdateLists(MainWindow& window) {
  // The desktop's own mail and delete pictures where its icon theme has them.
  if (QAction* send = window.ToolbarItem1[0]) {
    send->setIcon(
        QIcon::fromTheme(QStringLiteral("mail-send"), QIcon(QStringLiteral(":/pictures/send.xpm"))));
  }
  if (QAction* remove = window.ToolbarItem1[1]) {
    remove->setIcon(
        QIcon::fromTheme(QStringLiteral("edit-delete"), QIcon(QStringLiteral(":/pictures/delete.xpm"))));
  }
  if (auto* bar = qobject_cast<SideBarWindow*>(window.SideBar.data())) bar->UpdateLists();
}

void InstallMainWindowHooks() {
  MainWindowHooks& hooks = MainWindowHooks::Installed();
  hooks.createSideBar = &CreateSideBar;
  hooks.openDatabase = [](MainWindow& window, const QString& name) { window.OpenList().OpenDatabase(name); };
  hooks.saveFile = [](MainWindow& window) { window.OpenList().SaveFile(); };
  hooks.updateLists = [](MainWindow& window) { UpdateLists(window); };
  hooks.dropObject = [](MainWindow& window, platform::DragItem& items) { window.Event_DropObject(items); };
}

}  // namespace lists::ui
