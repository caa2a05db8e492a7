#pragma once

#include <QPixmap>

// The toolbar's picture: resource picture 168 with white transparent, taken once and kept
// for the life of the process.
const QPixmap& SortIcon();
