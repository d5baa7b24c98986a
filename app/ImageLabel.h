#pragma once
// A picture that reacts to a click of the primary mouse button.
#include <QLabel>

namespace kelvory {

class ImageLabel final : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace kelvory
