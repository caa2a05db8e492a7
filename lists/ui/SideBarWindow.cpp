#include "lists/ui/SideBarWindow.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QScrollBar>
#include <algorithm>

#include "lists/SideBarModel.h"
#include "lists/ui/FolderButton.h"
#include "platform/EventLoop.h"
#include "platform/LongWork.h"

SideBarWindow::SideBarWindow(Host host, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_host(std::move(host)) {
  setObjectName(QStringLiteral("SideBarWindow"));
  setAccessibleName(QStringLiteral("Lists"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  resize(170, 382);

  ScrollBar1 = new QScrollBar(Qt::Vertical, this);
  ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
  ScrollBar1->setAccessibleName(QStringLiteral("Lists"));
  ScrollBar1->setGeometry(155, 0, 16, 382);
  ScrollBar1->setRange(0, 100);
  ScrollBar1->setValue(0);
  ScrollBar1->setSingleStep(1);
  ScrollBar1->setPageStep(20);
  ScrollBar1->setTracking(true);
  connect(ScrollBar1, &QScrollBar::valueChanged, this, [this] { ScrollBar1_ValueChanged(); });
}

std::vector<FolderButton*> SideBarWindow::Buttons() const {
  std::vector<FolderButton*> buttons;
  for (const QPointer<FolderButton>& b : m_buttons) {
    if (b) buttons.push_back(b);
  }
  return buttons;
}

void SideBarWindow::UpdateLists() {
  const platform::LongWork work(this);
  // A rebuild asked for while this one yields reads the folder afresh and wins, even when
  // it finds no list: this one then stops.
  const int rebuild = ++m_rebuilds;
  // Every old button goes, however many there are.
  std::vector<QPointer<FolderButton>> old;
  old.swap(m_buttons);
  for (QPointer<FolderButton>& button : old) {
    if (button) {
      button->hide();
      button->deleteLater();
    }
    platform::YieldToEventLoop();
    if (work.Stopped()) return;
  }
  if (rebuild != m_rebuilds) return;
  const platform::FolderItem database = m_host.database ? m_host.database() : platform::FolderItem();
  if (database.IsNull()) return;
  const QString lastopen = m_host.lastopen ? m_host.lastopen() : QString();
  const std::vector<lists::SideBarEntry> entries = lists::SideBarEntries(database, lastopen);
  if (work.Stopped() || rebuild != m_rebuilds) return;
  int k = 0;
  for (const lists::SideBarEntry& entry : entries) {
    auto* button = new FolderButton(this);
    button->FolderName = entry.name;
    button->setAccessibleName(entry.name);
    button->Selected = entry.selected;
    button->setGeometry(lists::kSideBarButtonLeft, lists::SideBarButtonTop(k, 0), lists::kSideBarButtonWidth,
                        lists::kSideBarButtonHeight);
    connect(button, &FolderButton::MouseUp, this, [this, button] {
      const platform::LongWork clicking(this);
      FolderButtons_MouseUp(button);
      if (!clicking.Stopped()) KeepKeyboardAfterClick();
    });
    connect(button, &FolderButton::Pressed, this, [this, button] { FolderButtons_MouseUp(button); });
    connect(button, &FolderButton::FocusIn, this, [this, button](Qt::FocusReason reason) {
      // A click on the side bar activates it, and the focus that the activation hands back
      // to a button must not move the column under the pointer.
      if (reason != Qt::ActiveWindowFocusReason) ShowButton(button);
    });
    button->show();
    m_buttons.emplace_back(button);
    ++k;
  }
  ScrollBar1->setMinimum(0);
  ScrollBar1->setMaximum(lists::SideBarScrollMaximum(k, height()));
  ScrollBar1->setValue(0);
}

void SideBarWindow::FolderButtons_MouseUp(FolderButton* clicked) {
  QPointer<SideBarWindow> self(this);
  QPointer<FolderButton> button(clicked);
  if (!m_host.openDatabase) return;
  m_host.openDatabase(button->FolderName, [self, button](bool left) {
    // A switch refused (the open list could not be saved and stays) leaves the mark on it.
    if (self && left) self->MarkOpened(button);
  });
}

void SideBarWindow::MarkOpened(FolderButton* button) {
  std::vector<FolderButton*> markedBefore;
  for (FolderButton* b : Buttons()) {
    if (b->Selected) markedBefore.push_back(b);
  }
  ClearSelected();
  if (button) button->Selected = true;
  update();
  for (const QPointer<FolderButton>& b : m_buttons) {
    if (b) b->update();
  }
  AnnounceMarks(markedBefore);
}

void SideBarWindow::AnnounceMarks(const std::vector<FolderButton*>& markedBefore) {
  if (!QAccessible::isActive()) return;
  for (FolderButton* b : Buttons()) {
    const bool was = std::find(markedBefore.begin(), markedBefore.end(), b) != markedBefore.end();
    if (was == b->Selected) continue;
    QAccessible::State checked;
    checked.checked = true;
    QAccessibleStateChangeEvent event(b, checked);
    QAccessible::updateAccessibility(&event);
  }
}

void SideBarWindow::TakeKeyboard() {
  const std::vector<FolderButton*> buttons = Buttons();
  if (buttons.empty()) return;
  const auto marked =
      std::find_if(buttons.begin(), buttons.end(), [](FolderButton* b) { return b->Selected; });
  // The keyboard brought the focus here: show where it is.
  setAttribute(Qt::WA_KeyboardFocusChange);
  m_keyboardTaken = true;
  m_clickAwaitsActivation = false;
  activateWindow();
  (marked != buttons.end() ? *marked : buttons.front())->setFocus(Qt::ShortcutFocusReason);
}

void SideBarWindow::KeepKeyboardAfterClick() {
  if (m_keyboardTaken) return;
  // A window manager makes the side bar active for the click, before or after the click
  // arrives: the keyboard goes back to the main window either way.
  if (isActiveWindow()) {
    ReturnKeyboard();
  } else {
    m_clickAwaitsActivation = true;
  }
}

void SideBarWindow::ReturnKeyboard() {
  if (QWidget* main = parentWidget()) main->activateWindow();
}

void SideBarWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
      StepFocus(-1);
      break;
    case Qt::Key_Down:
      StepFocus(1);
      break;
    case Qt::Key_Escape:
      ReturnKeyboard();
      break;
    default:
      QWidget::keyPressEvent(event);
      return;
  }
  event->accept();
}

void SideBarWindow::StepFocus(int step) {
  const std::vector<FolderButton*> buttons = Buttons();
  const auto at = std::find(buttons.begin(), buttons.end(), focusWidget());
  if (at == buttons.end()) return;
  // The column does not wrap round.
  const std::ptrdiff_t to = (at - buttons.begin()) + step;
  if (to < 0 || to >= std::ssize(buttons)) return;
  buttons[to]->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void SideBarWindow::ShowButton(FolderButton* button) {
  while (button->y() < 0 && ScrollBar1->value() > ScrollBar1->minimum()) {
    ScrollBar1->setValue(ScrollBar1->value() - 1);
  }
  while (button->y() + button->height() > height() && ScrollBar1->value() < ScrollBar1->maximum()) {
    ScrollBar1->setValue(ScrollBar1->value() + 1);
  }
}

void SideBarWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::ActivationChange) return;
  if (!isActiveWindow()) {
    m_keyboardTaken = false;
  } else if (m_clickAwaitsActivation) {
    ReturnKeyboard();
  }
  m_clickAwaitsActivation = false;
  if (m_host.activationChanged) m_host.activationChanged();
}

void SideBarWindow::ClearSelected() {
  // Every button, however many there are.
  for (const QPointer<FolderButton>& button : m_buttons) {
    if (button) button->Selected = false;
  }
}

int SideBarWindow::CountFolderButtons() const {
  return static_cast<int>(Buttons().size());
}

void SideBarWindow::ScrollBar1_ValueChanged() {
  const int v = ScrollBar1->value();
  int k = 0;
  for (const QPointer<FolderButton>& button : m_buttons) {
    if (!button) continue;
    button->move(lists::kSideBarButtonLeft, lists::SideBarButtonTop(k, v));
    ++k;
  }
}

void SideBarWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The column stays where the user scrolled it unless the size really changed.
  if (event->oldSize() != event->size()) Event_Resized();
}

void SideBarWindow::Event_Resized() {
  ScrollBar1->setGeometry(ScrollBar1->x(), 0, ScrollBar1->width(), height());
  ScrollBar1->setValue(0);
  ScrollBar1->setMinimum(0);
  ScrollBar1->setMaximum(lists::SideBarScrollMaximum(CountFolderButtons(), height()));
}
