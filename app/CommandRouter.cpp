#include "app/CommandRouter.h"

namespace app {

CommandRouter& CommandRouter::Instance() {
  static CommandRouter router;
  return router;
}

CommandRouter::WindowEntry& CommandRouter::EntryFor(QObject* window) {
  auto it = m_windows.find(window);
  if (it == m_windows.end()) {
    connect(window, &QObject::destroyed, this, [this](QObject* gone) { m_windows.remove(gone); });
    it = m_windows.insert(window, WindowEntry{});
  }
  return *it;
}

void CommandRouter::AddMenuHandler(QObject* window, const QString& itemName, Handler handler) {
  if (!window) return;
  auto& handlers = EntryFor(window).handlers;
  for (auto& [name, existing] : handlers) {
    if (name == itemName) {
      existing = std::move(handler);
      return;
    }
  }
  handlers.emplace_back(itemName, std::move(handler));
}

void CommandRouter::SetEnableMenuItems(QObject* window, Enabler enabler) {
  if (!window) return;
  EntryFor(window).enabler = std::move(enabler);
}

void CommandRouter::KeepUnhandledItemsEnabled(QObject* window) {
  if (window) EntryFor(window).keepUnhandled = true;
}

bool CommandRouter::KeepsUnhandledItemsEnabled(QObject* window) const {
  auto it = m_windows.find(window);
  return it != m_windows.end() && it->keepUnhandled;
}

QStringList CommandRouter::HandledItems(QObject* window) const {
  QStringList names;
  auto it = m_windows.find(window);
  if (it == m_windows.end()) return names;
  for (const auto& entry : it->handlers) names.append(entry.first);
  return names;
}

bool CommandRouter::Handles(QObject* window, const QString& itemName) const {
  return HandledItems(window).contains(itemName);
}

bool CommandRouter::Dispatch(QObject* window, const QString& itemName) {
  auto it = m_windows.find(window);
  if (it == m_windows.end()) return false;
  for (const auto& [name, handler] : it->handlers) {
    // Copy first: the handler may close its window and so drop this entry.
    if (name == itemName) return Handler(handler)();
  }
  return false;
}

bool CommandRouter::EnableMenuItems(QObject* window) {
  auto it = m_windows.find(window);
  if (it == m_windows.end() || !it->enabler) return false;
  Enabler enabler = it->enabler;
  enabler();
  return true;
}

}  // namespace app
