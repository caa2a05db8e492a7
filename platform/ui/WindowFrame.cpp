#include "platform/ui/WindowFrame.h"

#include <QMainWindow>
#include <QMenuBar>
#include <QVBoxLayout>

#include "platform/ui/Menu.h"

namespace {

QWidget* MakeContent(QWidget& window, QSize minimum) {
  auto* content = new QWidget(&window);
  content->setObjectName(QStringLiteral("Content"));
  content->setMinimumSize(minimum);
  content->installEventFilter(&window);
  return content;
}

}  // namespace

QWidget* InstallMenuBarAndContent(QMainWindow& window, QSize minimum) {
  Menu::Instance().FillMenuBar(window.menuBar());
  QWidget* content = MakeContent(window, minimum);
  window.setCentralWidget(content);
  return content;
}

QWidget* InstallMenuBarAndContent(QWidget& window, QSize minimum) {
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = new QMenuBar(&window);
  Menu::Instance().FillMenuBar(bar);
  layout->setMenuBar(bar);
  QWidget* content = MakeContent(window, minimum);
  layout->addWidget(content);
  return content;
}

void SizeContentArea(QWidget& window, QSize size) {
  auto* content = window.findChild<QWidget*>(QStringLiteral("Content"), Qt::FindDirectChildrenOnly);
  window.layout()->activate();
  const QSize chrome = window.size() - content->size();
  window.resize(size + chrome);
  window.layout()->activate();
}
