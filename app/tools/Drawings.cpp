#include "app/tools/Drawings.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace kelvory::tools {

namespace {

const QColor kSand(0xE2, 0xC2, 0x84);
const QColor kSandShade(0xB8, 0x8E, 0x4E);
const QColor kNight(0x10, 0x2F, 0x4A);
const QColor kSea(0x1F, 0x6E, 0x7A);

QFont Font(int pixelSize, bool bold = false) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

void CentredText(QPainter& painter, int top, int height, const QString& text, const QFont& font,
                 const QColor& colour) {
  painter.setFont(font);
  painter.setPen(colour);
  painter.drawText(QRect(0, top, painter.device()->width(), height), Qt::AlignCenter, text);
}

// A map sheet seen at a slant: the layers of a pyramid stacked one above the other.
void MapLayer(QPainter& painter, QPointF centre, double halfWidth, const QColor& fill) {
  const double halfDepth = halfWidth * 0.45;
  QPainterPath sheet;
  sheet.moveTo(centre.x() - halfWidth, centre.y());
  sheet.lineTo(centre.x(), centre.y() - halfDepth);
  sheet.lineTo(centre.x() + halfWidth, centre.y());
  sheet.lineTo(centre.x(), centre.y() + halfDepth);
  sheet.closeSubpath();
  painter.setPen(QPen(QColor(255, 255, 255, 200), 1.2));
  painter.setBrush(fill);
  painter.drawPath(sheet);

  // A few contour lines on the sheet.
  painter.save();
  painter.setClipPath(sheet);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(255, 255, 255, 90), 1.0));
  for (int ring = 1; ring <= 3; ++ring) {
    const double rx = halfWidth * 0.22 * ring;
    painter.drawEllipse(QPointF(centre.x() + halfWidth * 0.15, centre.y()), rx, rx * 0.45);
  }
  painter.restore();
}

}  // namespace

BannerWords RussianBannerWords() {
  return {QStringLiteral("настольная ГИС"),
          {QStringLiteral("Карты и снимки"), QStringLiteral("любого размера"), QStringLiteral("на вашем столе")},
          QStringLiteral("Подробнее")};
}

BannerWords EnglishBannerWords() {
  return {QStringLiteral("desktop GIS"),
          {QStringLiteral("Maps and imagery"), QStringLiteral("of any size"), QStringLiteral("on your desk")},
          QStringLiteral("Learn more")};
}

QImage DrawBanner(const BannerWords& words) {
  QImage image(130, 520, QImage::Format_RGB32);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);

  QLinearGradient sky(0, 0, 0, 520);
  sky.setColorAt(0.0, kNight);
  sky.setColorAt(0.65, kSea);
  sky.setColorAt(1.0, kNight);
  painter.fillRect(image.rect(), sky);

  CentredText(painter, 22, 34, QStringLiteral("Torvel"), Font(30, true), Qt::white);
  CentredText(painter, 52, 86, QStringLiteral("6"), Font(80, true), kSand);
  CentredText(painter, 140, 18, words.tagline, Font(13), QColor(0xDD, 0xEE, 0xF2));

  const QColor layers[] = {QColor(0x3E, 0x8F, 0x5A), QColor(0x5B, 0xA3, 0x62), QColor(0x9C, 0xB8, 0x5E), kSandShade,
                           kSand};
  for (int level = 0; level < 5; ++level) {
    MapLayer(painter, QPointF(65, 320 - level * 26), 54 - level * 9, layers[level]);
  }

  painter.setPen(QPen(QColor(255, 255, 255, 60), 1));
  painter.drawLine(20, 372, 110, 372);
  const QFont body = Font(12);
  const QColor text(0xEE, 0xF4, 0xF6);
  for (int line = 0; line < 3; ++line) CentredText(painter, 384 + line * 16, 16, words.lines[line], body, text);

  QRectF button(15, 458, 100, 30);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kSand);
  painter.drawRoundedRect(button, 6, 6);
  painter.setFont(Font(13, true));
  painter.setPen(kNight);
  painter.drawText(button, Qt::AlignCenter, words.button);
  CentredText(painter, 494, 16, QStringLiteral("Varnok Company"), Font(10), QColor(0xB0, 0xCC, 0xD4));
  return image;
}

QImage DrawLogo() {
  QImage image(250, 137, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);

  // The emblem: a compass rose over a hill, in a ring.
  const QPointF centre(52, 68);
  QRadialGradient disc(centre, 38, QPointF(42, 58));
  disc.setColorAt(0.0, kSea.lighter(140));
  disc.setColorAt(1.0, kNight);
  painter.setPen(QPen(kSandShade, 3));
  painter.setBrush(disc);
  painter.drawEllipse(centre, 38, 38);

  QPainterPath hill;
  hill.moveTo(20, 84);
  hill.cubicTo(38, 60, 52, 58, 66, 74);
  hill.cubicTo(72, 66, 80, 64, 86, 80);
  hill.lineTo(86, 96);
  hill.lineTo(20, 96);
  hill.closeSubpath();
  painter.save();
  QPainterPath ring;
  ring.addEllipse(centre, 36.5, 36.5);
  painter.setClipPath(ring);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kSand);
  painter.drawPath(hill);
  painter.restore();

  QPolygonF needle;
  needle << QPointF(52, 38) << QPointF(58, 62) << QPointF(52, 58) << QPointF(46, 62);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawPolygon(needle);

  painter.setFont(Font(30, true));
  painter.setPen(kNight);
  painter.drawText(QRect(100, 36, 150, 38), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VARNOK"));
  painter.setFont(Font(17));
  painter.setPen(kSea);
  painter.drawText(QRect(102, 72, 148, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Company"));
  painter.setPen(QPen(kSandShade, 2));
  painter.drawLine(102, 98, 236, 98);
  return image;
}

QImage DrawPyramidIcon() {
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);

  const QPointF apex(16, 3);
  const QPointF left(2, 27);
  const QPointF front(19, 30);
  const QPointF right(30, 24);
  painter.setPen(QPen(QColor(0x7A, 0x5A, 0x2A), 1.0));
  painter.setBrush(kSand);
  painter.drawPolygon(QPolygonF{apex, left, front});
  painter.setBrush(kSandShade);
  painter.drawPolygon(QPolygonF{apex, front, right});

  // Courses of stone on the lit face.
  painter.setPen(QPen(QColor(0x9C, 0x76, 0x3C, 160), 0.8));
  for (double t : {0.3, 0.55, 0.8}) {
    painter.drawLine(apex + (left - apex) * t, apex + (front - apex) * t);
  }
  return image;
}

}  // namespace kelvory::tools
