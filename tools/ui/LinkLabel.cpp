#include "tools/ui/LinkLabel.h"

#include <QMouseEvent>

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  setCursor(Qt::PointingHandCursor);
}

void LinkLabel::SetTextColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, color);
  setPalette(p);
}

QColor LinkLabel::TextColor() const {
  return palette().color(QPalette::WindowText);
}

void LinkLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  emit MouseEnter();
}

void LinkLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  emit MouseExit();
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  emit MouseDown(static_cast<int>(event->position().x()), static_cast<int>(event->position().y()));
  event->accept();
}
