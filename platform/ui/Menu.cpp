#include "platform/ui/Menu.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QWindow>

#include "app/CommandRouter.h"
#include "app/MenuTable.h"
#include "platform/ui/App.h"

namespace {

QAction::MenuRole RoleOf(app::MenuItemClass itemClass) {
  switch (itemClass) {
    case app::MenuItemClass::QuitMenuItem:
      return QAction::QuitRole;
    case app::MenuItemClass::PrefsMenuItem:
      return QAction::PreferencesRole;
    case app::MenuItemClass::AppleMenuItem:
      return QAction::AboutRole;
    case app::MenuItemClass::MenuItem:
      break;
  }
  // Never let the platform move an ordinary item by guessing from its text.
  return QAction::NoRole;
}

}  // namespace

Menu& Menu::Instance() {
  // Never deleted: the item objects are shared by every window for the life of the process.
  static Menu* instance = new Menu();
  return *instance;
}

Menu::Menu() {
  Untitled1();
  Untitled2();
  Untitled3();
  Untitled4();
  Untitled5();
  connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this] { UpdateEnabling(); });
  UpdateEnabling();
  qApp->installEventFilter(this);
}

bool Menu::eventFilter(QObject* watched, QEvent* event) {
  // A text field claims the keys of its own editing commands (Ctrl+A selects its text)
  // before any shortcut sees them. Where the window in front handles the command those
  // keys stand for, the command comes first: the field is refused the keys, unaccepted.
  if (event->type() == QEvent::ShortcutOverride && TakesKeysFromFields(*static_cast<QKeyEvent*>(event))) {
    event->ignore();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

bool Menu::TakesKeysFromFields(const QKeyEvent& event) const {
  QWidget* front = FrontWindow();
  if (!front) return false;
  const QKeySequence keys(event.keyCombination());
  const auto& router = app::CommandRouter::Instance();
  for (auto it = m_items.cbegin(); it != m_items.cend(); ++it) {
    if (it.value()->isEnabled() && it.value()->shortcut() == keys && router.Handles(front, it.key()))
      return true;
  }
  return false;
}

void Menu::Untitled1() {
  BuildMenu(QStringLiteral("UntitledMenu7"));
}
void Menu::Untitled2() {
  BuildMenu(QStringLiteral("UntitledMenu3"));
}
void Menu::Untitled3() {
  BuildMenu(QStringLiteral("MailingListsMenu"));
}
void Menu::Untitled4() {
  BuildMenu(QStringLiteral("AddressesMenu"));
}
void Menu::Untitled5() {
  BuildMenu(QStringLiteral("HelpMenu"));
}

void Menu::BuildMenu(const QString& titleName) {
  for (const app::MenuEntry& entry : app::MenuTable()) {
    if (entry.IsTitle()) {
      if (entry.name != titleName) continue;
      // Alt and the title's first letter open the menu from the keyboard: the only way to
      // reach the items without a shortcut of their own (Preferences, Bulk Remove, Help).
      auto* menu = new QMenu(QLatin1Char('&') + entry.text);
      menu->setObjectName(entry.name);
      menu->setAccessibleName(entry.text);
      menu->menuAction()->setObjectName(entry.name);
      connect(menu, &QMenu::aboutToShow, this, &Menu::UpdateEnabling);
      m_menus.append(menu);
      m_items.insert(entry.name, menu->menuAction());
      continue;
    }
    if (entry.menu != titleName) continue;
    QMenu* menu = Child(titleName);
    QAction* action = entry.IsSeparator() ? menu->addSeparator() : menu->addAction(entry.text);
    action->setObjectName(entry.name);
    if (entry.IsSeparator()) {
      m_items.insert(entry.name, action);
      continue;
    }
    action->setMenuRole(RoleOf(entry.itemClass));
    if (!entry.shortcut.isEmpty()) {
      action->setShortcut(QKeySequence(app::PortableShortcut(entry.shortcut), QKeySequence::PortableText));
      // Commands reach whichever of the program's windows is in front, not only the one
      // whose menu bar holds the item.
      action->setShortcutContext(Qt::ApplicationShortcut);
    }
    const QString name = entry.name;
    connect(action, &QAction::triggered, this, [this, name] { Route(name); });
    m_items.insert(entry.name, action);
  }
}

QAction* Menu::Lookup(const QString& name) const {
  return m_items.value(name, nullptr);
}

QMenu* Menu::Child(const QString& titleName) const {
  for (QMenu* menu : m_menus) {
    if (menu->objectName() == titleName) return menu;
  }
  return nullptr;
}

void Menu::FillMenuBar(QMenuBar* bar) const {
  for (QMenu* menu : m_menus) {
    // A title entry of the bar's own: assistive technology keeps one description per entry
    // object, with the bar it was first found in, and would point the users of every other
    // window at the first window's bar (to click there, to read its place).
    auto* title = new QAction(menu->title(), bar);
    title->setObjectName(menu->objectName());
    title->setMenu(menu);
    bar->addAction(title);
    // An item's shortcut works while a window that shows the item is there. Its menu alone
    // does not see to that: the menu answers for the bar whose title it took last, and that
    // bar may close before the others.
    if (QWidget* window = bar->parentWidget()) window->addActions(menu->actions());
  }
}

void Menu::InstallAsApplicationMenuBar() {
#ifdef Q_OS_MACOS
  // A menu bar without a parent is the bar shown whenever no window has one of its own.
  if (!m_applicationBar) {
    m_applicationBar = new QMenuBar(nullptr);
    FillMenuBar(m_applicationBar);
  }
#endif
}

QWidget* Menu::FrontWindow() {
  return QApplication::activeWindow();
}

void Menu::UpdateEnabling() {
  for (const app::MenuEntry& entry : app::MenuTable()) {
    QAction* action = Lookup(entry.name);
    if (!action) continue;
    // A title keeps its menu reachable; its items carry the enabling.
    action->setEnabled(entry.IsTitle() || entry.autoEnable);
  }
  QWidget* front = FrontWindow();
  auto& router = app::CommandRouter::Instance();
  if (front) router.EnableMenuItems(front);
  // An item the front window has no handler for would do nothing: it is shown disabled
  // rather than left silent. Quit quits whichever window is in front.
  if (front && router.KeepsUnhandledItemsEnabled(front)) return;
  const QStringList handled = front ? router.HandledItems(front) : QStringList();
  for (const app::MenuEntry& entry : app::MenuTable()) {
    if (entry.IsTitle() || entry.itemClass == app::MenuItemClass::QuitMenuItem) continue;
    if (QAction* action = Lookup(entry.name); action && !handled.contains(entry.name))
      action->setEnabled(false);
  }
}

void Menu::Route(const QString& name) {
  QWidget* front = FrontWindow();
  const bool handled = front && app::CommandRouter::Instance().Dispatch(front, name);
  // As on every desktop, Quit quits when no window in front takes it over.
  const app::MenuEntry* entry = app::FindMenuEntry(name);
  if (!handled && entry && entry->itemClass == app::MenuItemClass::QuitMenuItem) App::Quit();
}

QAction* AddressesNew() {
  return Menu::Instance().Lookup(QStringLiteral("AddressesNew"));
}
QAction* EditSelectAll() {
  return Menu::Instance().Lookup(QStringLiteral("EditSelectAll"));
}
QAction* FileQuit() {
  return Menu::Instance().Lookup(QStringLiteral("FileQuit"));
}
