#include "platform/ui/App.h"

#include <QWidget>

#include "platform/ui/Menu.h"

namespace {

std::function<void()>& QuitOverride() {
  static std::function<void()> quit;
  return quit;
}

std::function<void()>& ExitOverride() {
  static std::function<void()> exit;
  return exit;
}

}  // namespace

App::App(int& argc, char** argv) : QApplication(argc, argv) {
  InstallMenuBar();
}

void App::InstallMenuBar() {
  Menu::Instance().InstallAsApplicationMenuBar();
}

void App::Quit() {
  if (QuitOverride()) {
    QuitOverride()();
    return;
  }
  closeAllWindows();
  for (const QWidget* window : topLevelWidgets()) {
    if (window->isVisible()) return;
  }
  if (ExitOverride()) {
    ExitOverride()();
  } else {
    quit();
  }
}

void App::QuitRefusedStart() {
  closeAllWindows();
  // Start-up runs before exec(), and a quit asked for then is lost: the loop would run for
  // ever with no window. Queued, the exit ends the loop at its first turn.
  QMetaObject::invokeMethod(
      qApp, [] { exit(kRefusedStartExitCode); }, Qt::QueuedConnection);
}

void App::SetQuitForTests(std::function<void()> quit) {
  QuitOverride() = std::move(quit);
}

void App::SetExitForTests(std::function<void()> exit) {
  ExitOverride() = std::move(exit);
}
