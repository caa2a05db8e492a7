#pragma once

class MainWindow;

namespace lists::ui {

// Installs the address lists' part of the main window's start-up and work: the side bar,
// saving and opening list files, the toolbar images with the side bar's rebuild, and drops.
// Called once at start-up, before the main window is made.
void InstallMainWindowHooks();

// The main window's UpdateLists: the Send and Delete toolbar images, then the side bar.
void UpdateLists(MainWindow& window);

}  // namespace lists::ui
