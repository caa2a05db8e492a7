#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace app {

// The kind of item object an entry of the menu bar is. The three special kinds are the
// ones a desktop places by itself (the quit, preferences and about commands).
enum class MenuItemClass { MenuItem, QuitMenuItem, PrefsMenuItem, AppleMenuItem };

// One entry of the menu bar. Commands are identified by `name` everywhere: windows bind
// their handlers to it and code reaches the item through it.
struct MenuEntry {
  QString name;
  QString text;      // "-" makes the entry a separator
  QString shortcut;  // "Cmd+Shift+N" notation; empty for none
  bool autoEnable;   // false: enabled only when the front window enables it
  MenuItemClass itemClass;
  QString menu;  // the name of the title entry it sits under; empty for a title entry

  bool IsTitle() const { return menu.isEmpty(); }
  bool IsSeparator() const { return text == QStringLiteral("-"); }
  friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};

// The whole menu bar, menu by menu, each title followed by its entries in order.
const std::vector<MenuEntry>& MenuTable();

// The entry of that name, or nullptr.
const MenuEntry* FindMenuEntry(const QString& name);

// "Cmd+Shift+N" -> "Ctrl+Shift+N": the portable notation of a key sequence, in which Ctrl is
// the Command key on macOS and the Control key elsewhere.
QString PortableShortcut(const QString& shortcut);

// The item names the main window binds handlers to, in the order it registers them.
const QStringList& MainWindowMenuHandlerOrder();

// The items the main window enables in its enable-menu-items event, in order.
const QStringList& MainWindowEnabledItems();

}  // namespace app
