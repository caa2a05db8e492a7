#pragma once

#include <QLabel>
#include <QWidget>

namespace mailing::ui {

// A field is known by its visible label: the label becomes its buddy and lends it its
// text as the field's accessible name.
inline void LabelField(QLabel* label, QWidget* field) {
  label->setBuddy(field);
  field->setAccessibleName(label->text());
}

}  // namespace mailing::ui
