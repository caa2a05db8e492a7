#include "lists/ui/SideBarWindow.h"

#include <QScrollBar>

#include "lists/SideBarModel.h"
#include "lists/ui/FolderButton.h"
#include "platform/EventLoop.h"

SideBarWindow::SideBarWindow(Host host, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_host(std::move(host)) {
  setObjectName(QStringLiteral("SideBarWindow"));
  setAccessibleName(QStringLiteral("Lists"));
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
  QPointer<SideBarWindow> self(this);
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
    if (!self) return;
  }
  if (rebuild != m_rebuilds) return;
  const platform::FolderItem database = m_host.database ? m_host.database() : platform::FolderItem();
  if (database.IsNull()) return;
  const QString lastopen = m_host.lastopen ? m_host.lastopen() : QString();
  const std::vector<lists::SideBarEntry> entries = lists::SideBarEntries(database, lastopen);
  if (!self || rebuild != m_rebuilds) return;
  int k = 0;
  for (const lists::SideBarEntry& entry : entries) {
    auto* button = new FolderButton(this);
    button->FolderName = entry.name;
    button->setAccessibleName(entry.name);
    button->Selected = entry.selected;
    button->setGeometry(lists::kSideBarButtonLeft, lists::SideBarButtonTop(k, 0), lists::kSideBarButtonWidth,
                        lists::kSideBarButtonHeight);
    connect(button, &FolderButton::MouseUp, this, [this, button] { FolderButtons_MouseUp(button); });
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
  const QString name = button->FolderName;
  if (m_host.openDatabase) m_host.openDatabase(name);
  if (!self) return;
  ClearSelected();
  if (button) button->Selected = true;
  update();
  for (const QPointer<FolderButton>& b : m_buttons) {
    if (b) b->update();
  }
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
  Event_Resized();
}

void SideBarWindow::Event_Resized() {
  ScrollBar1->setGeometry(ScrollBar1->x(), 0, ScrollBar1->width(), height());
  ScrollBar1->setValue(0);
  ScrollBar1->setMinimum(0);
  ScrollBar1->setMaximum(lists::SideBarScrollMaximum(CountFolderButtons(), height()));
}
