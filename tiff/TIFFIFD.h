#pragma once
#include <cstdint>
#include <limits>

#include "platform/Stream.h"
#include "tiff/TagValues.h"

namespace kelvory {

// One image file directory of a little-endian TIFF file. Construction reads just enough
// to hand back the next directory's offset and rejects image kinds the program cannot
// take; tag queries read the directory again from the shared stream.
class TTIFFIFD {
 public:
  // The stream stands at the directory's entry count. nextOffset receives the offset
  // of the following directory as stored, also when a later check fails.
  TTIFFIFD(platform::Stream& stream, std::uint32_t& nextOffset);
  TTIFFIFD(const TTIFFIFD&) = delete;
  TTIFFIFD& operator=(const TTIFFIFD&) = delete;

  // The value count of the first entry with this tag, with values replaced by its
  // decoded values; 0, with values untouched, when there is no usable entry. Only the
  // first of several values that fit in the entry itself is decoded. Out-of-line values
  // must lie inside the file as a whole; of them only the first decodeAtMost are
  // decoded, the rest stay empty.
  std::int32_t ReadTag(std::uint16_t tag, TagValues& values,
                       std::uint32_t decodeAtMost = std::numeric_limits<std::uint32_t>::max());

  std::uint32_t Offset() const { return FOffset; }
  // Bytes from the entry count to the end of the next-directory offset.
  std::uint32_t Extent() const { return 2 + 12 * std::uint32_t{FEntryCount} + 4; }
  std::int32_t Photometric() const { return FPhotometric; }
  std::int32_t Compression() const { return FCompression; }
  std::int32_t BitsPerPixel() const { return FBitsPerPixel; }

 private:
  std::int32_t ValidateBitsPerSample();
  std::int32_t EqualSamples(std::int32_t samples);

  platform::Stream& FStream;
  std::uint32_t FOffset = 0;
  std::uint16_t FEntryCount = 0;
  std::int32_t FPhotometric = 0;
  std::int32_t FCompression = 0;
  std::int32_t FBitsPerPixel = 0;
};

}  // namespace kelvory
