#include "lists/ui/FolderButton.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "platform/ui/KeyboardFocus.h"

namespace {

// The button is drawn by hand, so tell assistive technology what it is: a button named
// after its list that can be pressed, checked while its list is the open one.
class FolderButtonAccessible : public QAccessibleWidget {
 public:
  explicit FolderButtonAccessible(FolderButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.checkable = true;
    s.checked = static_cast<FolderButton*>(widget())->Selected;
    return s;
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& action) override {
    if (action == pressAction()) static_cast<FolderButton*>(widget())->Press();
  }
};

QAccessibleInterface* FolderButtonFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("FolderButton") && object->isWidgetType()) {
    return new FolderButtonAccessible(static_cast<FolderButton*>(object));
  }
  return nullptr;
}

}  // namespace

FolderButton::FolderButton(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("FolderButtons"));
  // The keyboard reaches it by Tab only: a click opens the list and leaves the keyboard
  // where it was.
  setFocusPolicy(Qt::TabFocus);
  setToolTip(QStringLiteral("Cmd-Shift-Up/Down to cycle."));
  static const bool registered = [] {
    QAccessible::installFactory(FolderButtonFactory);
    return true;
  }();
  Q_UNUSED(registered);
}

void FolderButton::Press() {
  emit Pressed();
}

void FolderButton::paintEvent(QPaintEvent*) {
  QPainter g(this);
  if (Selected) g.fillRect(0, 0, width(), height(), QColor(200, 200, 200));
  g.setPen(QColor(0, 0, 0));
  g.drawText(10, 20, FolderName);
  platform::DrawKeyboardFocus(*this, g);
}

void FolderButton::keyPressEvent(QKeyEvent* event) {
  if (!platform::IsPressKey(*event)) {
    event->ignore();  // the side bar moves between buttons
    return;
  }
  event->accept();
  if (!event->isAutoRepeat()) Press();
}

void FolderButton::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  emit FocusIn(event->reason());
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
