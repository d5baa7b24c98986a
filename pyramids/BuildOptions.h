#pragma once
// Choices a front end makes for a whole build.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tiff/ReadingMode.h"

namespace kelvory {

// GDAL's resampling methods for overviews, in the order they are offered.
enum class Resampling { Nearest, Average, Bilinear, Cubic, CubicSpline, Lanczos, Gauss, Mode, Rms };

inline constexpr Resampling kResamplingMethods[] = {
    Resampling::Nearest, Resampling::Average, Resampling::Bilinear, Resampling::Cubic, Resampling::CubicSpline,
    Resampling::Lanczos, Resampling::Gauss,   Resampling::Mode,     Resampling::Rms,
};

// GDAL's name of the method ("average").
const char* GdalName(Resampling method);
// The method GDAL calls name; none for a name GDAL does not have.
std::optional<Resampling> ResamplingNamed(const std::string& name);

struct BuildOptions {
  ReadingMode Reading = ReadingMode::Classic;
  // Nearest, gdaladdo's own default, passes no -r at all.
  Resampling Method = Resampling::Nearest;
  // GDAL configuration options for the tool, as --config KEY VALUE, in order
  // (COMPRESS_OVERVIEW, PREDICTOR_OVERVIEW, GDAL_NUM_THREADS...).
  std::vector<std::pair<std::string, std::string>> Config;
};

}  // namespace kelvory
