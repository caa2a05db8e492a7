#include "app/ui/StatusLine.h"

#include <QAccessibleWidget>

namespace {

class StatusLineAccessible : public QAccessibleWidget {
 public:
  explicit StatusLineAccessible(StatusLine* line) : QAccessibleWidget(line, QAccessible::StatusBar) {}

  QString text(QAccessible::Text t) const override {
    // QLabel announces every new text as a change of name when it has no fixed name.
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
      return static_cast<StatusLine*>(widget())->text();
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* StatusLineFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("StatusLine") && object->isWidgetType())
    return new StatusLineAccessible(static_cast<StatusLine*>(object));
  return nullptr;
}

}  // namespace

StatusLine::StatusLine(const QString& text, QWidget* parent) : QLabel(text, parent) {
  static const bool registered = [] {
    QAccessible::installFactory(StatusLineFactory);
    return true;
  }();
  Q_UNUSED(registered);
  setAccessibleDescription(QStringLiteral("Status"));
}
