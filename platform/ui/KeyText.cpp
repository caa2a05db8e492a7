#include "platform/ui/KeyText.h"

#include <QKeyEvent>

namespace platform {

QString KeyText(const QKeyEvent& event) {
  int code = -1;
  switch (event.key()) {
    case Qt::Key_Backspace:
      code = 8;
      break;
    case Qt::Key_Tab:
      code = 9;
      break;
    case Qt::Key_Return:
      code = 13;
      break;
    case Qt::Key_Enter:
      code = 3;
      break;
    case Qt::Key_Escape:
      code = 27;
      break;
    case Qt::Key_Left:
      code = 28;
      break;
    case Qt::Key_Right:
      code = 29;
      break;
    case Qt::Key_Up:
      code = 30;
      break;
    case Qt::Key_Down:
      code = 31;
      break;
    case Qt::Key_Home:
      code = 1;
      break;
    case Qt::Key_End:
      code = 4;
      break;
    case Qt::Key_PageUp:
      code = 11;
      break;
    case Qt::Key_PageDown:
      code = 12;
      break;
    case Qt::Key_Delete:
      code = 127;
      break;
    default:
      break;
  }
  if (code >= 0) return QString(QChar(code));
  return event.text();
}

}  // namespace platform
