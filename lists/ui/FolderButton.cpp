#include "lists/ui/FolderButton.h"

#include <QMouseEvent>
#include <QPainter>

FolderButton::FolderButton(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("FolderButtons"));
  setFocusPolicy(Qt::NoFocus);
  setToolTip(QStringLiteral("Cmd-Shift-Up/Down to cycle."));
}

void FolderButton::paintEvent(QPaintEvent*) {
  QPainter g(this);
  if (Selected) g.fillRect(0, 0, width(), height(), QColor(200, 200, 200));
  g.setPen(QColor(0, 0, 0));
  g.drawText(10, 20, FolderName);
}

void FolderButton::mousePressEvent(QMouseEvent* event) {
  // Taking the press is what makes the release come to this button.
  event->accept();
}

void FolderButton::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  // Both edges count as inside.
  if (p.x() >= 0 && p.x() <= width() && p.y() >= 0 && p.y() <= height()) emit MouseUp(p.x(), p.y());
}
