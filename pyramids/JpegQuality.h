#pragma once
// What GDAL concludes about the JPEG settings of a file from its JPEGTables tag, so
// that levels written elsewhere get the settings GDAL would give them inside the file.
#include <cstdint>
#include <optional>
#include <span>

namespace kelvory {

// The JPEG quality (1 to 100) whose quantisation tables, as libjpeg scales its standard
// ones (without clamping them to baseline), the tables hold: the first luminance and,
// when present, the first chrominance table. None when the tables hold no
// quantisation table or one no quality gives.
std::optional<int> JpegQualityOf(std::span<const std::uint8_t> tables);

// GDAL's JPEGTABLESMODE for these tables: 1 when they hold quantisation tables, plus 2
// when they hold Huffman tables.
int JpegTablesModeOf(std::span<const std::uint8_t> tables);

}  // namespace kelvory
