#include <gtest/gtest.h>

#include "app/MenuTable.h"

using app::MenuEntry;
using C = app::MenuItemClass;

namespace {

// The menu bar as the user sees it, title by title.
const std::vector<MenuEntry> kExpected = {
    {"UntitledMenu7", "File", "", false, C::MenuItem, ""},
    {"FileSave", "Save", "", false, C::MenuItem, "UntitledMenu7"},
    {"FileSaveAs", "Save As", "Cmd+Shift+S", false, C::MenuItem, "UntitledMenu7"},
    {"UntitledMenu8", "-", "", false, C::MenuItem, "UntitledMenu7"},
    {"FileClose", "Close", "Cmd+W", true, C::MenuItem, "UntitledMenu7"},
    {"FileQuit", "Quit", "Cmd+Q", true, C::QuitMenuItem, "UntitledMenu7"},
    {"FilePreferences", "Preferences...", "", false, C::PrefsMenuItem, "UntitledMenu7"},
    {"UntitledMenu3", "Edit", "", false, C::MenuItem, ""},
    {"EditUndo", "Undo", "Cmd+Z", false, C::MenuItem, "UntitledMenu3"},
    {"UntitledMenu6", "-", "", false, C::MenuItem, "UntitledMenu3"},
    {"EditSelectAll", "Select All", "Cmd+A", true, C::MenuItem, "UntitledMenu3"},
    {"EditUnselectAll", "Unselect All", "", true, C::MenuItem, "UntitledMenu3"},
    {"EditSelectUnsent", "Select Unsent", "Cmd+U", true, C::MenuItem, "UntitledMenu3"},
    {"UntitledMenu5", "-", "", true, C::MenuItem, "UntitledMenu3"},
    {"EditCopy", "Copy", "Cmd+C", true, C::MenuItem, "UntitledMenu3"},
    {"EditPaste", "Paste", "Cmd+V", false, C::MenuItem, "UntitledMenu3"},
    {"EditDuplicate", "Duplicate", "Cmd+D", false, C::MenuItem, "UntitledMenu3"},
    {"UntitledMenu4", "-", "", false, C::MenuItem, "UntitledMenu3"},
    {"EditFind", "Find", "Cmd+F", false, C::MenuItem, "UntitledMenu3"},
    {"EditFindNext", "Find Next", "Cmd+G", false, C::MenuItem, "UntitledMenu3"},
    {"MailingListsMenu", "Mailing Lists", "", false, C::MenuItem, ""},
    {"MailingListsNewMailingList", "New Mailing List...", "Cmd+Shift+N", true, C::MenuItem,
     "MailingListsMenu"},
    {"MailingListsRemoveMailingList", "Remove Mailing List", "", true, C::MenuItem, "MailingListsMenu"},
    {"UntitledMenu2", "-", "", true, C::MenuItem, "MailingListsMenu"},
    {"MailingListsEmptyTash", "Empty Tash", "Cmd+K", true, C::MenuItem, "MailingListsMenu"},
    {"AddressesMenu", "Addresses", "", true, C::MenuItem, ""},
    {"AddressesSendeMail", "Send eMail", "Cmd+S", true, C::MenuItem, "AddressesMenu"},
    {"UntitledMenu1", "-", "", true, C::MenuItem, "AddressesMenu"},
    {"AddressesNew", "New...", "Cmd+N", true, C::MenuItem, "AddressesMenu"},
    {"AddressesRemove", "Remove", "Cmd+X", true, C::MenuItem, "AddressesMenu"},
    {"AddressesBulkRemove", "Bulk Remove...", "", true, C::MenuItem, "AddressesMenu"},
    {"UntitledMenu0", "-", "", true, C::MenuItem, "AddressesMenu"},
    {"AddressesClearHistory", "Clear History", "", true, C::MenuItem, "AddressesMenu"},
    {"AddressesBlackList", "Black List", "Cmd+B", true, C::MenuItem, "AddressesMenu"},
    {"AddressesCheckOptOut", "Check OptOut List", "", true, C::MenuItem, "AddressesMenu"},
    {"HelpMenu", "Help", "", true, C::MenuItem, ""},
    {"HelpVelmoraHelp", "Velmora Help...", "", true, C::MenuItem, "HelpMenu"},
    {"AppleAboutVelmora", "About Velmora...", "", false, C::AppleMenuItem, "HelpMenu"},
};

}  // namespace

TEST(MenuTable, IsTheWholeBarInOrder) {
  const auto& table = app::MenuTable();
  ASSERT_EQ(table.size(), kExpected.size());
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_EQ(table[i], kExpected[i]) << "entry " << i << " " << kExpected[i].name.toStdString();
  }
}

TEST(MenuTable, PortableShortcuts) {
  const std::vector<std::pair<QString, QString>> cases = {
      {"Cmd+X", "Ctrl+X"}, {"", ""}, {"Shift+Cmd+S", "Shift+Ctrl+S"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(app::PortableShortcut(in), out) << in.toStdString();
}

TEST(MenuTable, MainWindowHandlerOrderAndEnabling) {
  const QStringList order =
      QString(
          "FileSave EditFindNext EditFind FileSaveAs AppleAboutVelmora FilePreferences EditPaste "
          "EditDuplicate MailingListsNewMailingList MailingListsRemoveMailingList HelpVelmoraHelp "
          "AddressesNew AddressesBulkRemove AddressesRemove AddressesBlackList "
          "AddressesClearHistory MailingListsEmptyTash EditSelectAll AddressesSendeMail "
          "AddressesCheckOptOut EditCopy EditUnselectAll EditSelectUnsent")
          .split(' ');
  EXPECT_EQ(app::MainWindowMenuHandlerOrder(), order);
  for (const QString& name : order) EXPECT_NE(app::FindMenuEntry(name), nullptr) << name.toStdString();
  EXPECT_EQ(app::FindMenuEntry("NoSuchItem"), nullptr);
  EXPECT_EQ(
      app::MainWindowEnabledItems(),
      QString("AppleAboutVelmora FileSave FileSaveAs FilePreferences EditSelectAll EditPaste EditFindNext "
              "EditFind EditDuplicate")
          .split(' '));
}
