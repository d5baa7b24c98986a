#pragma once
// Choices a front end makes for a whole build.
#include <string>

#include "tiff/ReadingMode.h"

namespace kelvory {

struct BuildOptions {
  ReadingMode Reading = ReadingMode::Classic;
  // GDAL's name of the resampling method; empty or "nearest" passes no -r at all.
  std::string Resampling;
  // Appended to the reason of a file that the classic reading refuses but the widened
  // one would read: where the user switches the widened reading on.
  std::string WidenedReadingHint;
};

// GDAL's resampling methods for overviews, in the order they are offered.
inline constexpr const char* ResamplingMethods[] = {
    "nearest", "average", "bilinear", "cubic", "cubicspline", "lanczos", "gauss", "mode", "rms",
};

bool IsResamplingMethod(const std::string& name);

}  // namespace kelvory
