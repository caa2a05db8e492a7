#include "app/ui/SortIcon.h"

#include "platform/ui/Picture.h"

const QPixmap& SortIcon() {
  static const QPixmap picture = platform::ResourcePicture(168);
  return picture;
}
