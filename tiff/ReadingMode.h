#pragma once

namespace kelvory {

// How much of the TIFF family the reader takes. Classic: little-endian TIFF with the
// image kinds the validation table names. Widened: also big-endian files, BigTIFF and
// every sample layout GDAL opens, still refusing files that are truly malformed.
enum class ReadingMode { Classic, Widened };

}  // namespace kelvory
