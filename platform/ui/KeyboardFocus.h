#pragma once

class QKeyEvent;
class QPainter;
class QWidget;

namespace platform {

// Draws the frame that shows which control has the keyboard, for controls that draw
// themselves. As the styles do for their own controls, only once the keyboard has moved
// the focus in that window, so a window used with the mouse looks as before.
void DrawKeyboardFocus(const QWidget& control, QPainter& painter);

// Space, Return or Enter: the keys that press the control with the keyboard.
bool IsPressKey(const QKeyEvent& event);

}  // namespace platform
