#include "platform/ui/WindowFont.h"

namespace platform {

QFont WindowFont(int pixelSize) {
  QFont font;
  font.setPixelSize(pixelSize);
  font.setStretch(QFont::SemiCondensed);
  return font;
}

}  // namespace platform
