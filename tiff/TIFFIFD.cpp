#include "tiff/TIFFIFD.h"

#include <algorithm>
#include <limits>

#include "platform/Errors.h"
#include "tiff/LittleEndian.h"
#include "tiff/TIFFConst.h"

namespace kelvory {

namespace {

constexpr std::uint16_t TagBitsPerSample = 258;
constexpr std::uint16_t TagCompression = 259;
constexpr std::uint16_t TagPhotometric = 262;

constexpr std::uint16_t TypeRational = 5;
// Byte sizes of the TIFF 6.0 field types 1 to 12; only types 1 to 5 are decoded.
constexpr std::uint32_t TypeSizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

constexpr std::size_t EntrySize = 12;

[[noreturn]] void Fail(const char* message) { throw Exception(message); }

}  // namespace

TTIFFIFD::TTIFFIFD(platform::Stream& stream, std::uint32_t& nextOffset) : FStream(stream) {
  const std::uint64_t position = stream.Position();
  // Offsets in the file are 32-bit: a directory cannot start beyond them.
  if (position > std::numeric_limits<std::uint32_t>::max()) Fail(SReadError);
  FOffset = static_cast<std::uint32_t>(position);

  if (!le::Read16(stream, FEntryCount)) Fail(SReadError);
  stream.SetPosition(stream.Position() + std::uint64_t{EntrySize} * FEntryCount);
  if (!le::Read32(stream, nextOffset)) Fail(SReadError);

  // Validation looks at no more than four values of any tag: decoding the rest would
  // let directories that share one huge value block cost time quadratic in the file.
  TagValues values;
  if (ReadTag(TagPhotometric, values, 1) < 1) Fail(SStructureError);
  FPhotometric = values.Integer(0);
  if (ReadTag(TagCompression, values, 1) < 1) Fail(SStructureError);
  FCompression = values.Integer(0);
  FBitsPerPixel = ValidateBitsPerSample();
}

std::int32_t TTIFFIFD::ReadTag(std::uint16_t tag, TagValues& values, std::uint32_t decodeAtMost) {
  FStream.SetPosition(FOffset);
  std::uint16_t entries = 0;
  if (!le::Read16(FStream, entries)) Fail(SReadError);

  for (std::uint32_t i = 0; i < entries; ++i) {
    std::uint8_t entry[EntrySize];
    if (!le::ReadExact(FStream, entry, sizeof entry)) Fail(SReadError);
    if (le::Load16(entry) != tag) continue;

    // The first entry with the tag decides, usable or not.
    const std::uint16_t type = le::Load16(entry + 2);
    const std::uint32_t count = le::Load32(entry + 4);
    const std::uint32_t field = le::Load32(entry + 8);
    if (count == 0 || type < 1 || type > TypeRational) return 0;

    const std::uint32_t size = TypeSizes[type];
    if (type != TypeRational && std::uint64_t{size} * count <= 4) {
      TagValues result(count);
      result.SetInteger(0, le::LoadN(entry + 8, size));
      values = std::move(result);
      return static_cast<std::int32_t>(count);
    }

    // The values must lie inside the file before anything is allocated for them, so
    // that a forged count costs no more memory than the file is long.
    const std::uint64_t fileSize = FStream.Size();
    if (fileSize < field || (fileSize - field) / size < count) Fail(SReadError);
    if (count > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
      throw ERangeError("Range check error: value count does not fit a signed 32-bit integer");

    TagValues result(count);
    FStream.SetPosition(field);
    std::uint8_t buffer[4096];
    const std::uint32_t perBatch = sizeof buffer / size;
    const std::uint32_t decoded = std::min(count, decodeAtMost);
    for (std::uint32_t k = 0; k < decoded;) {
      const std::uint32_t batch = std::min(decoded - k, perBatch);
      if (!le::ReadExact(FStream, buffer, std::size_t{batch} * size)) Fail(SReadError);
      for (std::uint32_t j = 0; j < batch; ++j, ++k) {
        const std::uint8_t* value = buffer + std::size_t{j} * size;
        if (type == TypeRational)
          result.SetRational(k, le::Load32(value), le::Load32(value + 4));
        else
          result.SetInteger(k, le::LoadN(value, size));
      }
    }
    values = std::move(result);
    return static_cast<std::int32_t>(count);
  }
  return 0;
}

std::int32_t TTIFFIFD::ValidateBitsPerSample() {
  TagValues bits;
  switch (FPhotometric) {
    case 0:  // WhiteIsZero
    case 1: {  // BlackIsZero
      const std::int32_t depth = ReadTag(TagBitsPerSample, bits, 1) <= 0 ? 1 : bits.Integer(0);
      if (depth != 1 && depth != 4 && depth != 8 && depth != 16) Fail(SUnsupportedImageFormat);
      return depth;
    }
    case 2:  // RGB
    case 8:  // CIELab
      return EqualSamples(3);
    case 3: {  // Palette
      if (ReadTag(TagBitsPerSample, bits, 1) < 1) Fail(SStructureError);
      const std::int32_t depth = bits.Integer(0);
      if (depth != 4 && depth != 8) Fail(SUnsupportedImageFormat);
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
  if (ReadTag(TagBitsPerSample, bits, static_cast<std::uint32_t>(samples)) < samples) Fail(SStructureError);
  const std::int32_t first = bits.Integer(0);
  std::int64_t total = first;
  for (std::int32_t i = 1; i < samples; ++i) {
    const std::int32_t depth = bits.Integer(static_cast<std::size_t>(i));
    if (depth != first) Fail(SUnsupportedImageFormat);
    total += depth;
  }
  if (first % 8 != 0) Fail(SUnsupportedImageFormat);
  if (total > std::numeric_limits<std::int32_t>::max())
    throw ERangeError("Range check error: bits per pixel do not fit a signed 32-bit integer");
  return static_cast<std::int32_t>(total);
}

}  // namespace kelvory
