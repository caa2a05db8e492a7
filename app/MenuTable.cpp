#include "app/MenuTable.h"

namespace app {

namespace {

using C = MenuItemClass;

std::vector<MenuEntry> BuildTable() {
  const QString file = QStringLiteral("UntitledMenu7");
  const QString edit = QStringLiteral("UntitledMenu3");
  const QString lists = QStringLiteral("MailingListsMenu");
  const QString addresses = QStringLiteral("AddressesMenu");
  const QString help = QStringLiteral("HelpMenu");
  return {
      {file, "File", "", false, C::MenuItem, ""},
      {"FileSave", "Save", "", false, C::MenuItem, file},
      // Select All keeps Cmd+A, so Save As takes the usual Save As keys rather than share it.
      {"FileSaveAs", "Save As", "Cmd+Shift+S", false, C::MenuItem, file},
      {"UntitledMenu8", "-", "", false, C::MenuItem, file},
      {"FileClose", "Close", "Cmd+W", true, C::MenuItem, file},
      {"FileQuit", "Quit", "Cmd+Q", true, C::QuitMenuItem, file},
      {"FilePreferences", "Preferences...", "", false, C::PrefsMenuItem, file},
      {edit, "Edit", "", false, C::MenuItem, ""},
      {"EditUndo", "Undo", "Cmd+Z", false, C::MenuItem, edit},
      {"UntitledMenu6", "-", "", false, C::MenuItem, edit},
      {"EditSelectAll", "Select All", "Cmd+A", true, C::MenuItem, edit},
      {"EditUnselectAll", "Unselect All", "", true, C::MenuItem, edit},
      {"EditSelectUnsent", "Select Unsent", "Cmd+U", true, C::MenuItem, edit},
      {"UntitledMenu5", "-", "", true, C::MenuItem, edit},
      {"EditCopy", "Copy", "Cmd+C", true, C::MenuItem, edit},
      {"EditPaste", "Paste", "Cmd+V", false, C::MenuItem, edit},
      {"EditDuplicate", "Duplicate", "Cmd+D", false, C::MenuItem, edit},
      {"UntitledMenu4", "-", "", false, C::MenuItem, edit},
      {"EditFind", "Find", "Cmd+F", false, C::MenuItem, edit},
      {"EditFindNext", "Find Next", "Cmd+G", false, C::MenuItem, edit},
      {lists, "Mailing Lists", "", false, C::MenuItem, ""},
      {"MailingListsNewMailingList", "New Mailing List...", "Cmd+Shift+N", true, C::MenuItem, lists},
      {"MailingListsRemoveMailingList", "Remove Mailing List", "", true, C::MenuItem, lists},
      {"UntitledMenu2", "-", "", true, C::MenuItem, lists},
      {"MailingListsEmptyTash", "Empty Tash", "Cmd+K", true, C::MenuItem, lists},
      {addresses, "Addresses", "", true, C::MenuItem, ""},
      {"AddressesSendeMail", "Send eMail", "Cmd+S", true, C::MenuItem, addresses},
      {"UntitledMenu1", "-", "", true, C::MenuItem, addresses},
      {"AddressesNew", "New...", "Cmd+N", true, C::MenuItem, addresses},
      {"AddressesRemove", "Remove", "Cmd+X", true, C::MenuItem, addresses},
      {"AddressesBulkRemove", "Bulk Remove...", "", true, C::MenuItem, addresses},
      {"UntitledMenu0", "-", "", true, C::MenuItem, addresses},
      {"AddressesClearHistory", "Clear History", "", true, C::MenuItem, addresses},
      {"AddressesBlackList", "Black List", "Cmd+B", true, C::MenuItem, addresses},
      {"AddressesCheckOptOut", "Check OptOut List", "", true, C::MenuItem, addresses},
      {help, "Help", "", true, C::MenuItem, ""},
      {"HelpVelmoraHelp", "Velmora Help...", "", true, C::MenuItem, help},
      {"AppleAboutVelmora", "About Velmora...", "", false, C::AppleMenuItem, help},
  };
}

}  // namespace

const std::vector<MenuEntry>& MenuTable() {
  static const std::vector<MenuEntry> table = BuildTable();
  return table;
}

const MenuEntry* FindMenuEntry(const QString& name) {
  for (const MenuEntry& entry : MenuTable()) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

QString PortableShortcut(const QString& shortcut) {
  QStringList keys = shortcut.split(QLatin1Char('+'), Qt::SkipEmptyParts);
  for (QString& key : keys) {
    if (key == QLatin1String("Cmd")) key = QStringLiteral("Ctrl");
  }
  return keys.join(QLatin1Char('+'));
}

const QStringList& MainWindowMenuHandlerOrder() {
  static const QStringList order = {
      "FileSave",
      "EditFindNext",
      "EditFind",
      "FileSaveAs",
      "AppleAboutVelmora",
      "FilePreferences",
      "EditPaste",
      "EditDuplicate",
      "MailingListsNewMailingList",
      "MailingListsRemoveMailingList",
      "HelpVelmoraHelp",
      "AddressesNew",
      "AddressesBulkRemove",
      "AddressesRemove",
      "AddressesBlackList",
      "AddressesClearHistory",
      "MailingListsEmptyTash",
      "EditSelectAll",
      "AddressesSendeMail",
      "AddressesCheckOptOut",
      "EditCopy",
      "EditUnselectAll",
      "EditSelectUnsent",
  };
  return order;
}

const QStringList& MainWindowEnabledItems() {
  static const QStringList items = {
      "AppleAboutVelmora", "FileSave",     "FileSaveAs", "FilePreferences", "EditSelectAll",
      "EditPaste",         "EditFindNext", "EditFind",   "EditDuplicate",
  };
  return items;
}

}  // namespace app
