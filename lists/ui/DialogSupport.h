#pragma once

#include <QAbstractButton>
#include <QFont>
#include <QLabel>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <type_traits>

namespace lists::ui {

// Every control of the list dialogs: its design name, accessible name, bounds and the
// system font at size 12 (12 pixels, so texts fit their controls' pixel bounds).
template <typename T>
T* Place(T* control, const QString& name, QRect bounds) {
  control->setObjectName(name);
  // A control with a caption is known by it; the others by their design name.
  QString accessible = name;
  if constexpr (std::is_base_of_v<QAbstractButton, T>) accessible = control->text();
  if constexpr (std::is_base_of_v<QLabel, T>) {
    if (!control->text().isEmpty()) accessible = control->text();
  }
  control->setAccessibleName(accessible);
  control->setGeometry(bounds);
  QFont font = control->font();
  font.setPixelSize(12);
  control->setFont(font);
  return control;
}

// Runs a dialog's accept unless a run of it is still under way: accepting yields, and OK
// may be pressed again meanwhile (Return twice). The window may be gone when it returns.
template <typename Window>
void AcceptOnce(Window* window, bool& accepting, void (Window::*accept)()) {
  if (accepting) return;
  accepting = true;
  QPointer<Window> self(window);
  (window->*accept)();
  if (self) accepting = false;
}

}  // namespace lists::ui
