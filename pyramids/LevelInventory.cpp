#include "pyramids/LevelInventory.h"

#include <cstdlib>

#include "pyramids/Reason.h"

namespace kelvory {
namespace {

constexpr std::uint32_t ReducedImage = 1;
constexpr std::uint32_t Mask = 4;

// GDAL makes an overview of factor f ceil(side / f) pixels wide; other writers round
// down. Either counts.
bool FitsFactor(std::int64_t side, std::int64_t reduced, std::int64_t factor) {
  const std::int64_t up = (side + factor - 1) / factor;
  return reduced == up || reduced == side / factor;
}

// The factor of a reduced image of width x height, or 0 when it is no reduction of
// the full image.
std::int64_t FactorOf(const LevelInventory& inventory, std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0 || width >= inventory.Width) return 0;
  // The longer side gives the most precise estimate of the factor.
  const bool byWidth = inventory.Width >= inventory.Height;
  const double estimate = byWidth ? static_cast<double>(inventory.Width) / width
                                  : static_cast<double>(inventory.Height) / height;
  const auto rounded = static_cast<std::int64_t>(estimate + 0.5);
  for (std::int64_t factor = rounded > 2 ? rounded - 1 : 2; factor <= rounded + 1; ++factor) {
    if (FitsFactor(inventory.Width, width, factor) && FitsFactor(inventory.Height, height, factor)) return factor;
  }
  return 0;
}

void AddReducedImages(LevelInventory& inventory, TTIFFBitmap& reader, std::int32_t first,
                      bool onlyMarked) {
  for (std::int32_t index = first; index <= reader.DirectoryCount(); ++index) {
    const std::uint32_t type = reader.SubfileType(index);
    if ((type & Mask) != 0 || (onlyMarked && (type & ReducedImage) == 0)) continue;
    std::int32_t width = 0;
    std::int32_t height = 0;
    reader.GetImageSize(index, width, height);
    const std::int64_t factor = FactorOf(inventory, width, height);
    // The same reduction twice (an overview of another page, say) is one level.
    if (factor != 0 && inventory.Factors.insert(factor).second) ++inventory.Levels;
  }
}

}  // namespace

LevelInventory ReadLevelInventory(TTIFFBitmap& reader) {
  LevelInventory inventory;
  if (!reader.GetImageSize(1, inventory.Width, inventory.Height)) Refuse(ReasonCode::NoImage);
  inventory.Levels = 1;
  inventory.CogLayout = reader.DeclaresCogLayout();
  inventory.Samples = reader.SamplesOf(1);
  AddReducedImages(inventory, reader, 2, true);
  return inventory;
}

void AddExternalLevels(LevelInventory& inventory, TTIFFBitmap& reader) {
  // GDAL does not always mark the images of an overview file as reduced.
  AddReducedImages(inventory, reader, 1, false);
}

bool HasEnoughLevels(const LevelInventory& inventory, std::int32_t wanted) { return inventory.Levels >= wanted; }

std::vector<std::int64_t> MissingFactors(const LevelInventory& inventory, std::int32_t wanted) {
  std::vector<std::int64_t> missing;
  for (std::int32_t level = 1; level <= wanted; ++level) {
    const std::int64_t factor = std::int64_t{1} << level;
    if (!inventory.Factors.contains(factor)) missing.push_back(factor);
  }
  return missing;
}

}  // namespace kelvory
