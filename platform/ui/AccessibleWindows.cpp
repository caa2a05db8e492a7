#include "platform/ui/AccessibleWindows.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace platform {
namespace {

QAccessibleInterface* WindowFactory(const QString& className, QObject* object) {
  if (!object->isWidgetType()) return nullptr;
  auto* widget = static_cast<QWidget*>(object);
  const QMetaObject* type = widget->metaObject();
  // Only for the class itself, and only when Qt knows nothing better (a QDialog or a
  // QMainWindow has an interface of its own).
  if (!widget->isWindow() || className != QLatin1String(type->className()) ||
      type->superClass() != &QWidget::staticMetaObject) {
    return nullptr;
  }
  return new QAccessibleWidget(
      widget, widget->windowType() == Qt::Dialog ? QAccessible::Dialog : QAccessible::Window);
}

}  // namespace

void InstallAccessibleWindowRoles() {
  static const bool installed = [] {
    QAccessible::installFactory(WindowFactory);
    return true;
  }();
  Q_UNUSED(installed);
}

}  // namespace platform
