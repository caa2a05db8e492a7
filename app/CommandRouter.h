#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace app {

// Menu commands by item name, per window. A window registers a handler for an item name;
// a command goes to the handler that the window in front registered for it, and to nothing
// when that window registered none (so the about window's Quit works only while it is in
// front). A window's enable-menu-items event is kept here too, so the menu can ask the
// front window which of its items to enable. A window's entries go when it is destroyed.
class CommandRouter : public QObject {
  Q_OBJECT
 public:
  using Handler = std::function<bool()>;
  using Enabler = std::function<void()>;

  static CommandRouter& Instance();

  void AddMenuHandler(QObject* window, const QString& itemName, Handler handler);
  void SetEnableMenuItems(QObject* window, Enabler enabler);
  // While the window is in front, the items it has no handler for keep the menu bar's own
  // enabling, rather than being shown disabled.
  void KeepUnhandledItemsEnabled(QObject* window);
  bool KeepsUnhandledItemsEnabled(QObject* window) const;

  // Item names the window registered, in registration order.
  QStringList HandledItems(QObject* window) const;
  bool Handles(QObject* window, const QString& itemName) const;

  // Runs the window's handler for the item; false when it has none (or the handler
  // reports it did not handle the command).
  bool Dispatch(QObject* window, const QString& itemName);
  // Runs the window's enable-menu-items event; false when it has none.
  bool EnableMenuItems(QObject* window);

 private:
  struct WindowEntry {
    std::vector<std::pair<QString, Handler>> handlers;
    Enabler enabler;
    bool keepUnhandled = false;
  };
  WindowEntry& EntryFor(QObject* window);

  QHash<QObject*, WindowEntry> m_windows;
};

}  // namespace app
