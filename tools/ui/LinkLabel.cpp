#include "tools/ui/LinkLabel.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "platform/ui/KeyboardFocus.h"

namespace {

// Read as a link by its text, which can be pressed to open it.
class LinkLabelAccessible : public QAccessibleWidget {
 public:
  explicit LinkLabelAccessible(LinkLabel* label) : QAccessibleWidget(label, QAccessible::Link) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
      return static_cast<LinkLabel*>(widget())->text();
    }
    return QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.linked = true;
    return s;
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& action) override {
    if (action == pressAction()) static_cast<LinkLabel*>(widget())->Open();
  }
};

QAccessibleInterface* LinkLabelFactory(const QString& className, QObject* object) {
  if (className == QLatin1String("LinkLabel") && object->isWidgetType()) {
    return new LinkLabelAccessible(static_cast<LinkLabel*>(object));
  }
  return nullptr;
}

}  // namespace

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  QAccessible::installFactory(LinkLabelFactory);  // a factory already there is not added again
  setCursor(Qt::PointingHandCursor);
  // By Tab only: a click opens the link without moving the keyboard.
  setFocusPolicy(Qt::TabFocus);
}

void LinkLabel::SetTextColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, color);
  setPalette(p);
}

QColor LinkLabel::TextColor() const {
  return palette().color(QPalette::WindowText);
}

void LinkLabel::Open() {
  emit Opened();
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

void LinkLabel::keyPressEvent(QKeyEvent* event) {
  if (!platform::IsPressKey(*event)) {
    QLabel::keyPressEvent(event);
    return;
  }
  // Taken here, Return opens the link rather than pressing the window's default button.
  event->accept();
  if (!event->isAutoRepeat()) Open();
}

void LinkLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  QPainter painter(this);
  platform::DrawKeyboardFocus(*this, painter);
}
