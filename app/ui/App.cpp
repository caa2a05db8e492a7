#include "app/ui/App.h"

#include "app/ui/Menu.h"

namespace {

std::function<void()>& QuitOverride() {
  static std::function<void()> quit;
  return quit;
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
  quit();
}

void App::SetQuitForTests(std::function<void()> quit) {
  QuitOverride() = std::move(quit);
}
