#include "app/ui/WindowFrame.h"

#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>

#include "app/ui/Menu.h"

QWidget* InstallMenuBarAndContent(QMainWindow& window, QSize minimum) {
  Menu::Instance().FillMenuBar(window.menuBar());
  auto* content = new QWidget(&window);
  content->setObjectName(QStringLiteral("Content"));
  content->setMinimumSize(minimum);
  content->installEventFilter(&window);
  window.setCentralWidget(content);
  return content;
}

void SizeContentArea(QMainWindow& window, QSize size) {
  window.layout()->activate();
  const QSize chrome = window.size() - window.centralWidget()->size();
  window.resize(size + chrome);
  window.layout()->activate();
}
