#pragma once
// The window's fonts are sized in pixels because every control has a fixed pixel
// geometry. Windows has the font the layout was drawn for, "Microsoft Sans Serif";
// elsewhere the closest installed match given stands in.
#include <QFont>
#include <QString>

namespace kelvory {

inline QFont LayoutFont(const QString& standIn, int pixelSize) {
  QFont font;
  font.setFamilies({QStringLiteral("Microsoft Sans Serif"), standIn});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace kelvory
