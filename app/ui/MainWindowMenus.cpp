// The main window's menu items, its handlers by item name and its enabling of items.
#include <QAction>
#include <map>

#include "app/CommandRouter.h"
#include "app/MenuTable.h"
#include "app/ui/MainWindow.h"
#include "app/ui/Windows.h"
#include "mailing/ui/PreferencesWindow.h"
#include "platform/Seams.h"
#include "platform/ui/Listbox.h"
#include "platform/ui/Menu.h"

QAction* MainWindow::MenuItem(const QString& name) const {
  // The window's menu bar holds the application's shared items (Layout fills it from Menu).
  return Menu::Instance().Lookup(name);
}

void MainWindow::AddMenuHandlers() {
  // The main window's handlers, registered in the table's order.
  using Handler = bool (MainWindow::*)();
  static const std::map<QString, Handler> handlers = {
      {QStringLiteral("FileSave"), &MainWindow::_FileSave_Action},
      {QStringLiteral("FileSaveAs"), &MainWindow::_FileSaveAs_Action},
      {QStringLiteral("AppleAboutVelmora"), &MainWindow::_AppleAboutVelmora_Action},
      {QStringLiteral("FilePreferences"), &MainWindow::_FilePreferences_Action},
      {QStringLiteral("AddressesSendeMail"), &MainWindow::_AddressesSendeMail_Action},
      {QStringLiteral("EditPaste"), &MainWindow::_EditPaste_Action},
      {QStringLiteral("EditDuplicate"), &MainWindow::_EditDuplicate_Action},
      {QStringLiteral("MailingListsNewMailingList"), &MainWindow::_MailingListsNewMailingList_Action},
      {QStringLiteral("MailingListsRemoveMailingList"), &MainWindow::_MailingListsRemoveMailingList_Action},
      {QStringLiteral("HelpVelmoraHelp"), &MainWindow::_HelpVelmoraHelp_Action},
      {QStringLiteral("AddressesNew"), &MainWindow::_AddressesNew_Action},
      {QStringLiteral("AddressesRemove"), &MainWindow::_AddressesRemove_Action},
      {QStringLiteral("AddressesBlackList"), &MainWindow::_AddressesBlackList_Action},
      {QStringLiteral("AddressesClearHistory"), &MainWindow::_AddressesClearHistory_Action},
      {QStringLiteral("MailingListsEmptyTash"), &MainWindow::_MailingListsEmptyTash_Action},
      {QStringLiteral("EditSelectAll"), &MainWindow::_EditSelectAll_Action},
      {QStringLiteral("EditCopy"), &MainWindow::_EditCopy_Action},
      {QStringLiteral("EditUnselectAll"), &MainWindow::_EditUnselectAll_Action},
      {QStringLiteral("EditSelectUnsent"), &MainWindow::_EditSelectUnsent_Action},
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
  // The main window keeps the menu bar's own enabling: every command but Undo is enabled
  // there, Close too, though it does nothing while this window is in front.
  router.KeepUnhandledItemsEnabled(this);
}

void MainWindow::Event_EnableMenuItems() {
  // Without any condition: each handler itself tests the selection, tab or clipboard.
  for (const QString& name : app::MainWindowEnabledItems()) {
    if (QAction* item = MenuItem(name)) item->setEnabled(true);
  }
}

bool MainWindow::_AppleAboutVelmora_Action() {
  app::ui::OpenAboutWindow();
  return true;
}

bool MainWindow::_FilePreferences_Action() {
  auto* window = new PreferencesWindow(m_settings, this);
  connect(window, &PreferencesWindow::Confirmed, this, [this](bool saved) {
    // The settings hold for this session even when they cannot be kept for the next.
    if (!saved) {
      SetSlug(QStringLiteral("Could not save the preferences in ") + m_settings.File().AbsolutePath() +
              QStringLiteral("; they hold until Velmora quits."));
    }
    StartPopLogIn();
  });
  window->show();
  window->SetSettings(m_settings.Values());
  return true;
}

bool MainWindow::_AddressesSendeMail_Action() {
  if (elist->SelCount() > 0) {
    app::ui::OpenSendWindow(*this);
  } else {
    platform::MsgBox(QStringLiteral("Please select a destination address..."));
  }
  return true;
}
