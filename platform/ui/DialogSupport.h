#pragma once

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRect>
#include <QString>
#include <QWidget>
#include <type_traits>

#include "platform/LongWork.h"
#include "platform/ui/WindowFont.h"

namespace platform {

// Every control of the dialogs: its design name, bounds and the windows' font at size 12.
//
// Assistive technology reads a button by its caption and a text by what it shows now (so
// a text that changes is read anew); a field or a list without a label of its own keeps its
// design name until LabelField or its window gives it a better one.
template <typename T>
T* Place(T* control, const QString& name, QRect bounds) {
  control->setObjectName(name);
  if constexpr (std::is_base_of_v<QLineEdit, T> || std::is_base_of_v<QPlainTextEdit, T> ||
                std::is_base_of_v<QComboBox, T> || std::is_base_of_v<QAbstractItemView, T>)
    control->setAccessibleName(name);
  control->setGeometry(bounds);
  control->setFont(platform::WindowFont(12));
  return control;
}

// A field is known by its visible label: the label becomes its buddy and lends it its
// text as the field's accessible name.
inline void LabelField(QLabel* label, QWidget* field) {
  label->setBuddy(field);
  field->setAccessibleName(label->text());
}

// Runs a dialog's accept unless one is still under way: accepting yields, and OK may be
// pressed again meanwhile (Return twice). The window may be gone when it returns.
template <typename Window>
void AcceptOnce(Window* window, void (Window::*accept)()) {
  if (LongWork::IsBusy(window, LongWork::Accepting)) return;
  const LongWork accepting(window, LongWork::Accepting);
  (window->*accept)();
}

}  // namespace platform
