#pragma once
// The program's pictures, drawn from nothing but shapes and the DejaVu fonts.
#include <QImage>
#include <QString>

namespace kelvory::tools {

// The banner's words in one language.
struct BannerWords {
  QString tagline;   // under the name: what Torvel is
  QString lines[3];  // the promise, one short line each
  QString button;    // the button's caption
};
BannerWords RussianBannerWords();
BannerWords EnglishBannerWords();

// A vertical advertisement for the desktop GIS Torvel 6, 130 x 520, opaque.
QImage DrawBanner(const BannerWords& words);
// The Varnok Company logo, 250 x 137, opaque; everything that matters lies within the
// middle 101 rows, the part the About box shows.
QImage DrawLogo();
// A sand-coloured pyramid on a transparent background, 32 x 32.
QImage DrawPyramidIcon();

}  // namespace kelvory::tools
