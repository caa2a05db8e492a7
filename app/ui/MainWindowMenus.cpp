// The main window's menu items, its handlers by item name and its enabling of items.
#include <QAction>
#include <map>

#include "app/CommandRouter.h"
#include "app/MenuTable.h"
#include "app/ui/MainWindow.h"
#include "app/ui/Menu.h"
#include "tools/ui/AboutWindow.h"

QAction* MainWindow::MenuItem(const QString& name) const {
  // The window's menu bar holds the application's shared items (Layout fills it from Menu).
  return Menu::Instance().Lookup(name);
}

void MainWindow::AddMenuHandlers() {
  // The main window's handlers; the other commands of the table join as their work lands.
  using Handler = bool (MainWindow::*)();
  static const std::map<QString, Handler> handlers = {
      {QStringLiteral("AppleAboutVelmora"), &MainWindow::_AppleAboutVelmora_Action},
      {QStringLiteral("MailingListsNewMailingList"), &MainWindow::_MailingListsNewMailingList_Action},
      {QStringLiteral("MailingListsRemoveMailingList"), &MainWindow::_MailingListsRemoveMailingList_Action},
      {QStringLiteral("MailingListsEmptyTash"), &MainWindow::_MailingListsEmptyTash_Action},
      {QStringLiteral("EditFind"), &MainWindow::_EditFind_Action},
      {QStringLiteral("EditFindNext"), &MainWindow::_EditFindNext_Action},
      {QStringLiteral("AddressesBulkRemove"), &MainWindow::_AddressesBulkRemove_Action},
      {QStringLiteral("AddressesCheckOptOut"), &MainWindow::_AddressesCheckOptOut_Action},
  };
  auto& router = app::CommandRouter::Instance();
  for (const QString& name : app::MainWindowMenuHandlerOrder()) {
    auto it = handlers.find(name);
    if (it == handlers.end()) continue;
    const Handler handler = it->second;
    router.AddMenuHandler(this, name, [this, handler] { return (this->*handler)(); });
  }
  router.SetEnableMenuItems(this, [this] { Event_EnableMenuItems(); });
}

void MainWindow::Event_EnableMenuItems() {
  // Without any condition: each handler itself tests the selection, tab or clipboard.
  for (const QString& name : app::MainWindowEnabledItems()) {
    if (QAction* item = MenuItem(name)) item->setEnabled(true);
  }
}

bool MainWindow::_AppleAboutVelmora_Action() {
  (new AboutWindow())->OpenInFront();
  return true;
}
