#pragma once

#include <QString>

class QKeyEvent;

namespace platform {

// The text of a key press as the program's key handlers expect it: the typed
// character, or for the keys that type nothing the classic control codes (8
// Backspace, 27 Escape, 28 to 31 the arrows left, right, up, down, 1 Home, 4 End,
// 11 Page Up, 12 Page Down, 127 forward Delete, 13 Return, 3 Enter, 9 Tab).
// Empty for a bare modifier key.
QString KeyText(const QKeyEvent& event);

}  // namespace platform
