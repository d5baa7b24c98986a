#include "app/ImageLabel.h"

#include <QMouseEvent>

namespace kelvory {

void ImageLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

}  // namespace kelvory
