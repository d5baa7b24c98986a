#include "tiff/TIFFIFD.h"

#include <algorithm>
#include <limits>

#include "platform/Errors.h"
#include "tiff/TIFFError.h"
#include "tiff/TiffTags.h"

namespace kelvory {

namespace {

constexpr std::size_t LargestEntry = 20;

[[noreturn]] void Fail(TIFFFailure failure) { throw TIFFError(failure); }

// The byte size of one value of a field type the mode decodes, 0 for a type it does not.
// Classic takes the first five TIFF 6.0 types (BYTE, ASCII, SHORT, LONG, RATIONAL); the
// widened mode adds the signed integers (SBYTE, SSHORT, SLONG, SLONG8) and the offset
// and 64-bit types of BigTIFF (IFD, LONG8, IFD8). Floating-point and undefined values
// never describe the structure, so they count as absent.
std::uint32_t DecodedSize(std::uint16_t type, ReadingMode mode) {
  switch (type) {
    case 1: case 2: return 1;                  // BYTE, ASCII
    case 3: return 2;                          // SHORT
    case 4: return 4;                          // LONG
    case TiffType::Rational: return 8;
    default: break;
  }
  if (mode == ReadingMode::Classic) return 0;
  switch (type) {
    case 6: return 1;                          // SBYTE
    case 8: return 2;                          // SSHORT
    case 9: case 13: return 4;                 // SLONG, IFD
    case 16: case 17: case 18: return 8;       // LONG8, SLONG8, IFD8
    default: return 0;
  }
}

bool IsSigned(std::uint16_t type) { return type == 6 || type == 8 || type == 9 || type == 17; }

// Stores the value at p in slot k. Negative values are sign-extended to 64 bits.
void Decode(TagValues& values, std::size_t k, const std::uint8_t* p, std::uint16_t type, std::uint32_t size,
            const FileLayout& layout) {
  if (type == TiffType::Rational) {
    values.SetRational(k, static_cast<std::uint32_t>(layout.Load(p, 4)),
                       static_cast<std::uint32_t>(layout.Load(p + 4, 4)));
    return;
  }
  std::uint64_t value = layout.Load(p, size);
  if (IsSigned(type) && size < 8 && ((value >> (8 * size - 1)) & 1) != 0) value |= ~std::uint64_t{0} << (8 * size);
  values.SetInteger(k, value);
}

}  // namespace

TTIFFIFD::TTIFFIFD(platform::Stream& stream, std::uint32_t& nextOffset) : FStream(stream) {
  const DirectoryPlace place = ReadDirectoryPlace(stream, stream.Position(), FLayout);
  nextOffset = static_cast<std::uint32_t>(place.Next);
  FOffset = place.Offset;
  Validate();
}

TTIFFIFD::TTIFFIFD(platform::Stream& stream, std::uint64_t& nextOffset, ReadingMode mode, FileLayout layout)
    : FStream(stream), FMode(mode), FLayout(layout) {
  const DirectoryPlace place = ReadDirectoryPlace(stream, stream.Position(), FLayout);
  nextOffset = place.Next;
  FOffset = place.Offset;
  Validate();
}

TTIFFIFD::TTIFFIFD(platform::Stream& stream, const DirectoryPlace& place, ReadingMode mode, FileLayout layout)
    : FStream(stream), FMode(mode), FLayout(layout), FOffset(place.Offset) {
  Validate();
}

void TTIFFIFD::Validate() {
  // Validation looks at no more than four values of any tag: decoding the rest would
  // let directories that share one huge value block cost time quadratic in the file.
  TagValues values;
  if (ReadTag(TiffTag::Photometric, values, 1) < 1) Fail(TIFFFailure::StructureError);
  FPhotometric = values.Integer(0);
  if (ReadTag(TiffTag::Compression, values, 1) < 1) Fail(TIFFFailure::StructureError);
  FCompression = values.Integer(0);
  FBitsPerPixel = FMode == ReadingMode::Classic ? ValidateClassic() : ValidateWidened();
}

std::int32_t TTIFFIFD::ReadTag(std::uint16_t tag, TagValues& values, std::uint32_t decodeAtMost) {
  FStream.SetPosition(FOffset);
  std::uint8_t word[8];
  if (!ReadExact(FStream, word, FLayout.EntryCountSize())) Fail(TIFFFailure::ReadError);
  const std::uint64_t entries = FLayout.Load(word, FLayout.EntryCountSize());
  const std::size_t wordSize = FLayout.WordSize();

  for (std::uint64_t i = 0; i < entries; ++i) {
    std::uint8_t entry[LargestEntry];
    if (!ReadExact(FStream, entry, FLayout.EntrySize())) Fail(TIFFFailure::ReadError);
    if (FLayout.Load(entry, 2) != tag) continue;

    // The first entry with the tag decides, usable or not.
    const auto type = static_cast<std::uint16_t>(FLayout.Load(entry + 2, 2));
    const std::uint64_t count = FLayout.Load(entry + 4, wordSize);
    const std::uint8_t* field = entry + 4 + wordSize;
    const std::uint32_t size = DecodedSize(type, FMode);
    if (count == 0 || size == 0) return 0;

    if (count <= wordSize / size) {
      // Values that fit in the entry itself. The classic reading takes only the first.
      TagValues result(count);
      const std::uint64_t decoded = FMode == ReadingMode::Classic ? 1 : std::min<std::uint64_t>(count, decodeAtMost);
      for (std::uint64_t k = 0; k < decoded; ++k) Decode(result, k, field + k * size, type, size, FLayout);
      values = std::move(result);
      return static_cast<std::int32_t>(count);
    }

    // The values must lie inside the file before anything is allocated for them, so
    // that a forged count costs no more memory than the file is long.
    const std::uint64_t offset = FLayout.Load(field, wordSize);
    const std::uint64_t fileSize = FStream.Size();
    if (fileSize < offset || (fileSize - offset) / size < count)
      throw TIFFError(TIFFFailure::ReadError, TIFFDetail::ValuesOutsideFile, tag);
    if (count > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
      throw ERangeError("Range check error: value count does not fit a signed 32-bit integer");

    TagValues result(count);
    FStream.SetPosition(offset);
    std::uint8_t buffer[4096];
    const std::uint32_t perBatch = sizeof buffer / size;
    const auto decoded = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, decodeAtMost));
    for (std::uint32_t k = 0; k < decoded;) {
      const std::uint32_t batch = std::min(decoded - k, perBatch);
      if (!ReadExact(FStream, buffer, std::size_t{batch} * size)) Fail(TIFFFailure::ReadError);
      for (std::uint32_t j = 0; j < batch; ++j, ++k) Decode(result, k, buffer + std::size_t{j} * size, type, size, FLayout);
    }
    values = std::move(result);
    return static_cast<std::int32_t>(count);
  }
  return 0;
}

std::int32_t TTIFFIFD::ValidateClassic() {
  TagValues bits;
  switch (FPhotometric) {
    case 0:  // WhiteIsZero
    case 1: {  // BlackIsZero
      const std::int32_t depth = ReadTag(TiffTag::BitsPerSample, bits, 1) <= 0 ? 1 : bits.Integer(0);
      if (depth != 1 && depth != 4 && depth != 8 && depth != 16) Fail(TIFFFailure::UnsupportedImageFormat);
      return depth;
    }
    case 2:  // RGB
    case 8:  // CIELab
      return EqualSamples(3);
    case 3: {  // Palette
      if (ReadTag(TiffTag::BitsPerSample, bits, 1) < 1) Fail(TIFFFailure::StructureError);
      const std::int32_t depth = bits.Integer(0);
      if (depth != 4 && depth != 8) Fail(TIFFFailure::UnsupportedImageFormat);
      return depth;
    }
    case 5:  // Separated
      return EqualSamples(4);
    default:
      return 0;
  }
}

// Colour models whose first samples must all have the same whole-byte depth.
std::int32_t TTIFFIFD::EqualSamples(std::int32_t samples) {
  TagValues bits;
  if (ReadTag(TiffTag::BitsPerSample, bits, static_cast<std::uint32_t>(samples)) < samples) Fail(TIFFFailure::StructureError);
  const std::int32_t first = bits.Integer(0);
  std::int64_t total = first;
  for (std::int32_t i = 1; i < samples; ++i) {
    const std::int32_t depth = bits.Integer(static_cast<std::size_t>(i));
    if (depth != first) Fail(TIFFFailure::UnsupportedImageFormat);
    total += depth;
  }
  if (first % 8 != 0) Fail(TIFFFailure::UnsupportedImageFormat);
  if (total > std::numeric_limits<std::int32_t>::max())
    throw ERangeError("Range check error: bits per pixel do not fit a signed 32-bit integer");
  return static_cast<std::int32_t>(total);
}

// The widened reading takes every sample layout GDAL's GTiff driver opens and refuses
// only directories that cannot describe an image it reads:
// - SamplesPerPixel (277) is 1 to 65535; when absent, one sample per BitsPerSample
//   value (one when that is absent too). Anything else is a structure error.
// - BitsPerSample (258, absent: 1) and SampleFormat (339, absent: unsigned integer)
//   hold one value for all samples or one per sample. More than one but fewer than the
//   samples is a structure error; samples that differ in depth or format are
//   unsupported, as libtiff cannot read them.
// - RGB, YCbCr and the Lab kinds need three samples; fewer is a structure error.
// - The depth must be one GDAL has a data type for: integers (formats 1, 2, 4) of 1
//   to 32 or 64 bits, floating point (3) of 16, 24, 32 or 64, complex integers (5) of
//   32 or 64, complex floating point (6) of 64 or 128. A palette is an unsigned integer
//   of 1 to 16 bits. Anything else, a depth of 0 included, is unsupported.
// Bits per pixel: depth times samples.
std::int32_t TTIFFIFD::ValidateWidened() {
  constexpr std::uint64_t MostSamples = 65535;
  TagValues values;
  std::uint64_t samples = 0;
  if (ReadTag(TiffTag::SamplesPerPixel, values, 1) >= 1)
    samples = values.Unsigned64(0);
  else if (const std::int32_t depths = ReadTag(TiffTag::BitsPerSample, values, 0); depths >= 1)
    samples = static_cast<std::uint64_t>(depths);
  else
    samples = 1;
  if (samples == 0 || samples > MostSamples) Fail(TIFFFailure::StructureError);

  const std::uint64_t depth = PerSampleValue(TiffTag::BitsPerSample, samples, 1);
  const std::uint64_t format = PerSampleValue(TiffTag::SampleFormat, samples, 1);

  switch (FPhotometric) {
    case 2:   // RGB
    case 6:   // YCbCr
    case 8:   // CIELab
    case 9:   // ICCLab
    case 10:  // ITULab
      if (samples < 3) Fail(TIFFFailure::StructureError);
      break;
    default:
      break;
  }

  bool known = false;
  switch (format) {
    case 1: case 2: case 4:  // unsigned, signed, undefined integers
      known = (depth >= 1 && depth <= 32) || depth == 64;
      break;
    case 3:  // floating point
      known = depth == 16 || depth == 24 || depth == 32 || depth == 64;
      break;
    case 5:  // complex integers
      known = depth == 32 || depth == 64;
      break;
    case 6:  // complex floating point
      known = depth == 64 || depth == 128;
      break;
    default:
      break;
  }
  if (FPhotometric == 3 && (format != 1 || depth > 16)) known = false;
  if (!known) Fail(TIFFFailure::UnsupportedImageFormat);
  return static_cast<std::int32_t>(depth * samples);
}

// The one value of a per-sample tag, after checking that the values agree with the
// sample count and with each other. Only the first four are compared, for the reason
// given in Validate.
std::uint64_t TTIFFIFD::PerSampleValue(std::uint16_t tag, std::uint64_t samples, std::uint64_t absent) {
  constexpr std::uint32_t Compared = 4;
  TagValues values;
  const std::int32_t count = ReadTag(tag, values, Compared);
  if (count < 1) return absent;
  const auto given = static_cast<std::uint64_t>(count);
  if (given > 1 && given < samples) Fail(TIFFFailure::StructureError);
  const std::uint64_t first = values.Unsigned64(0);
  const std::uint64_t compared = std::min<std::uint64_t>({given, samples, Compared});
  for (std::uint64_t i = 1; i < compared; ++i)
    if (values.Unsigned64(i) != first) Fail(TIFFFailure::UnsupportedImageFormat);
  return first;
}

}  // namespace kelvory
