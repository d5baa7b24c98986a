#pragma once
// Whether a compression chosen for all levels (COMPRESS_OVERVIEW) can be written for a
// file's samples: JPEG takes only 8-bit unsigned samples without a palette, and GDAL
// fails on any other file. Such a file's levels are compressed as its image is.
#include <optional>
#include <string>

#include "pyramids/BuildOptions.h"
#include "pyramids/Reason.h"
#include "tiff/TIFFBitmap.h"

namespace kelvory {

// compression is GDAL's name ("JPEG"), in any letter case.
bool CompressionSuits(const std::string& compression, const SampleKind& samples);

// Why the options' level compression is not applied to a file of these samples, or
// none when it is (or none was chosen).
std::optional<Reason> UnsuitedLevelCompression(const BuildOptions& options, const SampleKind& samples);

// The options without a level compression.
BuildOptions WithoutLevelCompression(BuildOptions options);

}  // namespace kelvory
