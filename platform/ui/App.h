#pragma once

#include <QApplication>
#include <functional>

// The application object. There is exactly one; creating it installs the menu bar.
class App : public QApplication {
  Q_OBJECT
 public:
  App(int& argc, char** argv);

  // Installs the one Menu instance as the application's menu bar. The constructor does
  // this; it is separate so that start-up can be driven under an existing application.
  static void InstallMenuBar();

  // Ends the application: closes every window (so the main window saves unsaved edits)
  // and leaves the event loop; but a window that stays open (its list could not be saved)
  // keeps the application running.
  static void Quit();
  // Ends a start-up that cannot go on, once its message has been answered: closes every
  // window and ends the process with kRefusedStartExitCode, also when the event loop has
  // not started yet.
  static void QuitRefusedStart();
  static constexpr int kRefusedStartExitCode = 1;

  // Tests replace what Quit does; an empty function restores it.
  static void SetQuitForTests(std::function<void()> quit);
  // Tests replace only the leaving of the event loop at the end of Quit.
  static void SetExitForTests(std::function<void()> exit);
};
