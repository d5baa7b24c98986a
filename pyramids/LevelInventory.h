#pragma once
// What overview levels a file already holds, judged from its structure alone.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "tiff/TIFFBitmap.h"

namespace kelvory {

struct LevelInventory {
  // The full-resolution image: the file's first directory.
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  // The full image plus each reduced-resolution image of it. Extra pages, masks and
  // images whose size fits no reduction of the first one are not levels.
  std::int32_t Levels = 0;
  // The reduction factors already present (2, 4, 8, ...).
  std::set<std::int64_t> Factors;
  // How the full-resolution image stores its samples.
  SampleKind Samples;
  // GDAL announced the layout of a Cloud Optimized GeoTIFF.
  bool CogLayout = false;
};

// Reads the inventory of the file open in reader. Raises the reader's exceptions, and
// BuildError for a file without an image.
LevelInventory ReadLevelInventory(TTIFFBitmap& reader);

// Adds the levels kept in an external overview file (GDAL's "name.ovr") of the same
// image, open in reader.
void AddExternalLevels(LevelInventory& inventory, TTIFFBitmap& reader);

// The one rule for "nothing to build": at least as many levels as the level rule asks.
bool HasEnoughLevels(const LevelInventory& inventory, std::int32_t wanted);

// The factors 2, 4, ..., 2^wanted that the file does not hold yet, in increasing order.
std::vector<std::int64_t> MissingFactors(const LevelInventory& inventory, std::int32_t wanted);

}  // namespace kelvory
