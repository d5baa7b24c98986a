#include "app/StatusIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace kelvory {
namespace {

QPixmap Blank() {
  QPixmap picture(StatusIcons::kSize, StatusIcons::kSize);
  picture.fill(Qt::transparent);
  return picture;
}

template <typename Draw>
QPixmap Drawn(Draw draw) {
  QPixmap picture = Blank();
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  draw(painter);
  return picture;
}

QPen Stroke(const QColor& color, qreal width) {
  return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

}  // namespace

StatusIcons::StatusIcons() : empty_(Blank()) {
  pictures_[StatusInProgress] = Drawn([](QPainter& painter) {
    QPolygonF arrow;
    arrow << QPointF(2, 6) << QPointF(8, 6) << QPointF(8, 2.5) << QPointF(14, 8) << QPointF(8, 13.5)
          << QPointF(8, 10) << QPointF(2, 10);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(128, 128, 128));
    painter.drawPolygon(arrow);
  });
  pictures_[StatusDone] = Drawn([](QPainter& painter) {
    painter.setPen(Stroke(QColor(0, 150, 0), 2.5));
    painter.drawPolyline(QPolygonF() << QPointF(3, 8.5) << QPointF(6.5, 12) << QPointF(13, 4));
  });
  pictures_[StatusFailed] = Drawn([](QPainter& painter) {
    painter.setPen(Stroke(QColor(210, 0, 0), 2.5));
    painter.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    painter.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
  });
  pictures_[StatusNotFound] = Drawn([](QPainter& painter) {
    painter.setPen(Stroke(Qt::black, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(8, 8), 6, 6);
    painter.setPen(Stroke(Qt::black, 2));
    painter.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
  });
}

const QPixmap& StatusIcons::Picture(StatusImage status) const {
  const int index = static_cast<int>(status);
  if (index < 0 || index >= static_cast<int>(pictures_.size())) return empty_;
  return pictures_[static_cast<std::size_t>(index)];
}

}  // namespace kelvory
