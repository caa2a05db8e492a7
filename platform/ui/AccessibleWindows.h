#pragma once

namespace platform {

// Gives the program's windows that are plain widgets (its dialogs, tool windows and the
// side bar) the role assistive technology expects of a window: a dialog or a frame, named
// by its title. Without it they appear as nameless panes. Safe to call more than once.
void InstallAccessibleWindowRoles();

}  // namespace platform
