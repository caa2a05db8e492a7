#pragma once

#include <QPixmap>

namespace platform {

// A picture from the application's own resources by its number (":/pictures/<n>.xpm"),
// with white drawn transparent. Loaded once and kept for the life of the process, so
// every request for a number returns the same picture. A null pixmap when there is no
// such picture.
QPixmap ResourcePicture(int number);

}  // namespace platform
