#pragma once

#include "app/Preferences.h"

class MainWindow;

// The main window's seven settings, as the Preferences file and the preferences window
// hold them.
app::Preferences SettingsOf(const MainWindow& window);
void ApplySettings(MainWindow& window, const app::Preferences& settings);
