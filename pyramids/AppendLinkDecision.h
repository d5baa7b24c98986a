#pragma once
// Whether a file's levels can be built beside it with gdaladdo -ro and appended to it
// (equal to what gdaladdo would write inside it), and the tool's options for that.
#include <cstdint>
#include <string>
#include <vector>

#include "pyramids/BuildOptions.h"
#include "tiff/TiffChain.h"

namespace kelvory {

// Why a file keeps the working copy: the kinds whose appended levels are not proven
// equal to the ones gdaladdo writes in place.
enum class AppendLinkRefusal {
  None,
  Unreadable,            // the structure could not be read in full
  OverviewFilePresent,   // NAME.ovr is there already
  MaskFilePresent,       // NAME.msk: its levels go into that file in place
  LinkAcrossSectors,     // the link's one write could be torn by a power cut
  ExistingLevels,        // the file already has levels inside
  TagsPointIntoFile,     // SubIFDs, EXIF or GPS directories, old-style JPEG
  BigEndianWideSamples,  // GDAL writes external levels little-endian only
  MaskWithResampling,    // in place GDAL computes mask levels from one another
  MaskLayout,            // a mask that is not the first image's
  Compression,           // lossy or not writable for levels (WebP, LERC, JPEG XL, CCITT, ...)
  Photometric,           // a colour model GDAL does not write levels of alike (CMYK, Lab, ...)
  JpegQualityUnknown,    // JPEG tables no quality gives
  ClassicSizeLimit,      // the levels might take a classic TIFF past 4 GiB
  NearestUncompressed,   // gdaladdo -ro picks other pixels for uncompressed nearest levels of odd sizes
};

// An English sentence for a log or a reason.
std::string DescribeRefusal(AppendLinkRefusal refusal);

struct AppendLinkDecision {
  AppendLinkRefusal Refusal = AppendLinkRefusal::None;
  // "--config KEY VALUE" triples for the levels' run of the tool.
  std::vector<std::string> LevelOptions;
  // The same for the run that builds the mask's levels; empty when there is no mask.
  std::vector<std::string> MaskOptions;
  // The size of the first image, which the mask's stand-in has.
  std::uint64_t Width = 0;
  std::uint64_t Height = 0;
  // StructureOf the chain it was made from: the build that carries it out holds it
  // against the file, which may have changed since.
  std::uint64_t Structure = 0;

  bool Proven() const { return Refusal == AppendLinkRefusal::None; }
  bool HasMask() const { return !MaskOptions.empty(); }
};

// A digest of all that a decision reads of a file: its layout, its length, and every
// directory's place and entries.
std::uint64_t StructureOf(const TiffChain& chain);

// Decides from the file's structure and the build's resampling method.
AppendLinkDecision DecideAppendLink(const TiffChain& chain, Resampling method);

}  // namespace kelvory
