#pragma once

#include <QString>
#include <functional>

class MainWindow;
class QWidget;
namespace platform {
class DragItem;
}

// Where the main window hands work to subsystems that install themselves at start-up
// (the side bar, the list files, the mailing lists). A hook left empty
// means that work is not part of the program yet, and its step is skipped.
struct MainWindowHooks {
  // Creates the side bar, shows it within the main window and returns it.
  std::function<QWidget*(MainWindow&)> createSideBar;
  // Reads the named list into elist and makes it the open list.
  std::function<void(MainWindow&, const QString& name)> openDatabase;
  // Sets the toolbar images and rebuilds the side bar's lists.
  std::function<void(MainWindow&)> updateLists;
  // Writes the open list when it has unsaved edits.
  std::function<void(MainWindow&)> saveFile;
  // Turns what was dropped on the window into addresses.
  std::function<void(MainWindow&, platform::DragItem&)> dropObject;

  // The hooks in force.
  static MainWindowHooks& Installed();
};
