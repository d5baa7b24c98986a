#pragma once
// TIFF's field types and the tags this program reads or writes, by their numbers.
#include <cstdint>

namespace kelvory {

struct TiffType {
  static constexpr std::uint16_t Byte = 1, Ascii = 2, Short = 3, Long = 4, Rational = 5, SByte = 6, Undefined = 7,
                                 SShort = 8, SLong = 9, SRational = 10, Float = 11, Double = 12, Ifd = 13, Long8 = 16,
                                 SLong8 = 17, Ifd8 = 18;
};

struct TiffTag {
  static constexpr std::uint16_t NewSubfileType = 254, ImageWidth = 256, ImageLength = 257, BitsPerSample = 258,
                                 Compression = 259, Photometric = 262, StripOffsets = 273, SamplesPerPixel = 277,
                                 StripByteCounts = 279, PlanarConfig = 284, Predictor = 317, ColorMap = 320,
                                 TileWidth = 322, TileLength = 323, TileOffsets = 324, TileByteCounts = 325,
                                 SubIfds = 330, SampleFormat = 339, JpegTables = 347, JpegInterchangeFormat = 513,
                                 JpegInterchangeFormatLength = 514, JpegQTables = 519, JpegDcTables = 520,
                                 JpegAcTables = 521, ExifIfd = 34665, GpsIfd = 34853, InteroperabilityIfd = 40965,
                                 GdalMetadata = 42112, GdalNoData = 42113;
};

}  // namespace kelvory
