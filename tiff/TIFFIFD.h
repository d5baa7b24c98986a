#pragma once
#include <cstdint>
#include <limits>

#include "platform/Stream.h"
#include "tiff/ChainWalker.h"
#include "tiff/FileLayout.h"
#include "tiff/ReadingMode.h"
#include "tiff/TagValues.h"

namespace kelvory {

// One image file directory of a TIFF file. Construction reads just enough to hand back
// the next directory's offset and rejects image kinds the program cannot take; tag
// queries read the directory again from the shared stream.
class TTIFFIFD {
 public:
  // A directory of a classic little-endian file, read in the classic mode. The stream
  // stands at the directory's entry count. nextOffset receives the offset of the
  // following directory as stored, also when a later check fails.
  TTIFFIFD(platform::Stream& stream, std::uint32_t& nextOffset);
  // The same for a file of any layout, read in the given mode.
  TTIFFIFD(platform::Stream& stream, std::uint64_t& nextOffset, ReadingMode mode, FileLayout layout);
  // The directory at a place the chain's walk found.
  TTIFFIFD(platform::Stream& stream, const DirectoryPlace& place, ReadingMode mode, FileLayout layout);
  TTIFFIFD(const TTIFFIFD&) = delete;
  TTIFFIFD& operator=(const TTIFFIFD&) = delete;

  // The value count of the first entry with this tag, with values replaced by its
  // decoded values; 0, with values untouched, when there is no usable entry. Of several
  // values that fit in the entry itself, the classic mode decodes only the first, the
  // widened mode all. Out-of-line values must lie inside the file as a whole; of them
  // only the first decodeAtMost are decoded, the rest stay empty.
  std::int32_t ReadTag(std::uint16_t tag, TagValues& values,
                       std::uint32_t decodeAtMost = std::numeric_limits<std::uint32_t>::max());

  std::uint64_t Offset() const { return FOffset; }
  std::int32_t Compression() const { return FCompression; }
  std::int32_t BitsPerPixel() const { return FBitsPerPixel; }

 private:
  void Validate();
  std::int32_t ValidateClassic();
  std::int32_t EqualSamples(std::int32_t samples);
  std::int32_t ValidateWidened();
  std::uint64_t PerSampleValue(std::uint16_t tag, std::uint64_t samples, std::uint64_t absent);

  platform::Stream& FStream;
  ReadingMode FMode = ReadingMode::Classic;
  FileLayout FLayout;
  std::uint64_t FOffset = 0;
  std::int32_t FPhotometric = 0;
  std::int32_t FCompression = 0;
  std::int32_t FBitsPerPixel = 0;
};

}  // namespace kelvory
