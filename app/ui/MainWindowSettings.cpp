#include "app/ui/MainWindowSettings.h"

#include "app/ui/MainWindow.h"

app::Preferences SettingsOf(const MainWindow& w) {
  return {w.server, w.username, w.password, w.xduplicates, w.popserver, w.popusername, w.poppassword};
}

void ApplySettings(MainWindow& w, const app::Preferences& settings) {
  w.server = settings.server;
  w.username = settings.username;
  w.password = settings.password;
  w.popserver = settings.popserver;
  w.popusername = settings.popusername;
  w.poppassword = settings.poppassword;
  w.xduplicates = settings.xduplicates;
}
