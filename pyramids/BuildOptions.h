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
// The method GDAL calls name, in any letter case; none for a name GDAL does not have.
std::optional<Resampling> ResamplingNamed(const std::string& name);

struct BuildOptions {
  ReadingMode Reading = ReadingMode::Classic;
  // Nearest, gdaladdo's own default, passes no -r at all.
  Resampling Method = Resampling::Nearest;
  // GDAL configuration options for the tool, as --config KEY VALUE, in order
  // (COMPRESS_OVERVIEW, PREDICTOR_OVERVIEW, GDAL_NUM_THREADS...).
  std::vector<std::pair<std::string, std::string>> Config;
  // Every level rebuilt, those the file has included, with the chosen method.
  bool Force = false;
  // Levels into the file's external overview file (gdaladdo -ro); the file itself is
  // never written.
  bool External = false;
  // A destination file whose stamp says it was made from this version of its source
  // and sidecars with these options, and that has enough levels, is only checked;
  // otherwise every destination file is copied anew.
  bool KeepUpToDateCopies = false;
  // A Cloud Optimized GeoTIFF in place is written again as one, with its levels,
  // through a working copy; otherwise it is kept as it is. (A copy of one into a
  // destination folder is always written as a COG.)
  bool RewriteCogs = false;
  // Every file is read and its plan reported; nothing is written and no tool runs.
  bool DryRun = false;
  // Where in-place working copies go; empty: the system's temporary folder. One with
  // no room for a file sends its copy to the file's own folder.
  std::string TempFolder;
  // In place, a file of at least this many bytes whose kind allows it gets its levels
  // built beside it and appended, instead of a whole working copy: for big files that
  // is faster and needs room only for the levels. A smaller one does so only when it
  // has other hard links or no room for a copy.
  long long AppendLevelsFrom = 32ll << 20;
};

}  // namespace kelvory
