#pragma once
// The pictures the windows show: two JPEG files drawn by the build and compiled into
// the program, and the program's icon.
#include <QIcon>
#include <QPixmap>

namespace kelvory {

// The vertical banner of the main window, 130 x 520.
QPixmap BannerPicture();
// The company logo of the About box, 250 x 137.
QPixmap LogoPicture();
// The sand-coloured pyramid on a transparent background, 32 x 32.
QIcon PyramidIcon();

}  // namespace kelvory
