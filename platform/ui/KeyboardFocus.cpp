#include "platform/ui/KeyboardFocus.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWidget>

namespace platform {

void DrawKeyboardFocus(const QWidget& control, QPainter& painter) {
  if (!control.hasFocus() || !control.window()->testAttribute(Qt::WA_KeyboardFocusChange)) return;
  painter.save();
  painter.setPen(QPen(control.palette().color(QPalette::Highlight), 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(control.rect()).adjusted(1, 1, -1, -1));
  painter.restore();
}

bool IsPressKey(const QKeyEvent& event) {
  return event.key() == Qt::Key_Space || event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

}  // namespace platform
