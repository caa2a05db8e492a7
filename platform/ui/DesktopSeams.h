#pragma once

namespace platform {

// Installs the real desktop behind platform::CurrentSeams(): modal message boxes with
// one OK button, the save dialog, the system clipboard, the keyboard's live modifier
// state and the default web browser. Called once at start-up, after the QApplication
// exists; tests install their own seams instead.
void InstallDesktopSeams();

}  // namespace platform
