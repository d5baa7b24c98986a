#pragma once
// The list's four 16 x 16 status pictures, drawn in code on a transparent background.
#include <QPixmap>

#include <array>

#include "filelist/StatusImage.h"

namespace kelvory {

class StatusIcons {
 public:
  static constexpr int kSize = 16;

  StatusIcons();

  // The picture for a status; StatusNone (and anything out of range) gives an empty
  // transparent picture, so that captions stay aligned.
  const QPixmap& Picture(StatusImage status) const;

 private:
  std::array<QPixmap, 4> pictures_;
  QPixmap empty_;
};

}  // namespace kelvory
