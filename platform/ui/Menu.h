#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QAction;
class QKeyEvent;
class QMenu;
class QMenuBar;
class QWidget;

// The application's one menu bar: its five menus and every item of the menu table, each
// item an action named after its entry. A window shows the bar by filling its own menu bar
// from it, so every window shares the same item objects.
//
// An item, chosen from a menu or by its shortcut while any of the program's windows is in
// front, goes to the handler that the front window registered for its name
// (app::CommandRouter). Items are enabled by their table's AutoEnable or by the front
// window's enable-menu-items event, recomputed whenever another window comes to the front
// and before a menu opens; an item the front window has no handler for stays disabled
// (Quit excepted, which quits without one) unless the window keeps them enabled. Where the
// front window handles an item, its shortcut goes to the item even from a text field that
// has a use of its own for those keys.
class Menu : public QObject {
  Q_OBJECT
 public:
  // Created on first use, then kept until the process ends.
  static Menu& Instance();

  // The item of that name (for a menu's title entry, the menu's own action; each bar shows
  // a title of its own in its place); nullptr when none.
  QAction* Lookup(const QString& name) const;
  // The menu whose title entry has that name.
  QMenu* Child(const QString& titleName) const;
  QList<QMenu*> Menus() const { return m_menus; }

  // Adds the five menus to a window's menu bar, under title entries of that bar.
  void FillMenuBar(QMenuBar* bar) const;
  // Where the platform has one menu bar for the whole application, installs it there.
  void InstallAsApplicationMenuBar();

  // The window whose handlers and enabling are in force: the active window.
  static QWidget* FrontWindow();
  // Enables the items afresh for the front window.
  void UpdateEnabling();
  // What choosing the item does: the front window's handler for it.
  void Route(const QString& name);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Menu();
  bool TakesKeysFromFields(const QKeyEvent& event) const;
  // The five menu builders, in the bar's order: File, Edit, Mailing Lists, Addresses, Help.
  void Untitled1();
  void Untitled2();
  void Untitled3();
  void Untitled4();
  void Untitled5();
  void BuildMenu(const QString& titleName);

  QList<QMenu*> m_menus;
  QHash<QString, QAction*> m_items;
  QMenuBar* m_applicationBar = nullptr;
};

// The three items that windows other than the main window enable, looked up in the
// application's menu bar.
QAction* AddressesNew();
QAction* EditSelectAll();
QAction* FileQuit();
