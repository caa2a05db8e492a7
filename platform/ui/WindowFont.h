#pragma once

#include <QFont>

namespace platform {

// The font of every text in every window: the system's sans serif at a size the design
// gives in the points of a 72-dpi screen, that is in pixels, so that texts keep to the
// pixel bounds of their controls whatever the screen's resolution. Semi-condensed: the
// bounds were laid out for a system font narrower than today's desktop sans serifs, in
// which captions would run past their controls. A family without a narrower face is
// narrowed by the font engine.
QFont WindowFont(int pixelSize);

}  // namespace platform
