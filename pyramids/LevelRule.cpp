#include "pyramids/LevelRule.h"

#include <cfenv>
#include <cmath>
#include <string>

#include "pyramids/Reason.h"

namespace kelvory {

std::int32_t LevelCount(std::int32_t width, std::int32_t height) {
  const double a = static_cast<double>(width) / 100.0;
  const double b = static_cast<double>(height) / 100.0;
  const double m = a < b ? a : b;
  if (!(m > 0.0)) {
    Refuse(ReasonCode::NoLevelCount, {std::to_string(width), std::to_string(height)});
  }
  // nearbyint rounds halfway cases to even under the default rounding mode.
  return static_cast<std::int32_t>(std::nearbyint(std::log2(static_cast<long double>(m))));
}

}  // namespace kelvory
