#pragma once
// The program's pictures, drawn from nothing but shapes and the DejaVu fonts.
#include <QImage>

namespace kelvory::tools {

// A vertical advertisement for the desktop GIS Torvel 6, 130 x 520, opaque.
QImage DrawBanner();
// The Varnok Company logo, 250 x 137, opaque; everything that matters lies within the
// middle 101 rows, the part the About box shows.
QImage DrawLogo();
// A sand-coloured pyramid on a transparent background, 32 x 32.
QImage DrawPyramidIcon();

}  // namespace kelvory::tools
