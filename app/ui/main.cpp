#include "app/FileTypes.h"
#include "app/ui/MainWindow.h"
#include "platform/Date.h"
#include "platform/ui/App.h"
#include "platform/ui/DesktopSeams.h"

// Start-up, in this order: the file types, the application object with its menu bar, the
// main window (whose open handler runs the program's own start-up), then the event loop.
int main(int argc, char** argv) {
  platform::CacheLocalTimeZone();
  app::FileTypes::Initialize();
  App application(argc, argv);
  platform::InstallDesktopSeams();
  // The application object registers no menu handlers of its own.
  MainWindow::Instance();
  return App::exec();
}
