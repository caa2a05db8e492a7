#pragma once

#include <QSize>

class QMainWindow;
class QWidget;

// A document window of the program: the application's shared menu bar on top and, under
// it, a content area on which the controls stand at their design bounds. The sizes given
// for such a window are those of its content area.

// Fills the window's menu bar from the application's menu and makes its content area
// (named "Content", known to assistive technology by the window's title, no smaller than
// `minimum`), whose events the window filters. Returns the content area.
QWidget* InstallMenuBarAndContent(QMainWindow& window, QSize minimum);
// The same for a dialog that carries commands of its own: on a desktop where each window
// has its own menu bar, choosing one from another window's bar would bring that window to
// the front and send the command there.
QWidget* InstallMenuBarAndContent(QWidget& window, QSize minimum);

// Sizes the window so that its content area measures `size`: the menu bar and any toolbar
// take their room first.
void SizeContentArea(QWidget& window, QSize size);
