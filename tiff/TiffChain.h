#pragma once
// Every directory of a TIFF file with all its entries and their values as stored, for
// copying directories from one file into another. The reader (TTIFFBitmap) answers
// questions about a file; this keeps what is needed to write its directories again.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Stream.h"
#include "tiff/FileLayout.h"
#include "tiff/TiffTags.h"

namespace kelvory {

// Bytes of one value of a type; 0 for a type TIFF does not define.
std::uint32_t TypeSize(std::uint16_t type);
// The width of the numbers a value is made of, which a change of byte order reverses:
// 1 for bytes and text, 4 for each half of a rational.
std::uint32_t TypeUnit(std::uint16_t type);

struct TiffEntry {
  std::uint16_t Tag = 0;
  std::uint16_t Type = 0;
  std::uint64_t Count = 0;
  // Count values in the file's byte order; empty for a type TIFF does not define.
  std::vector<std::uint8_t> Values;
};

struct TiffDirectory {
  std::uint64_t Offset = 0;     // of its entry count
  std::uint64_t NextPlace = 0;  // where its next-directory offset is stored
  std::vector<TiffEntry> Entries;

  const TiffEntry* Find(std::uint16_t tag) const;
};

struct TiffChain {
  FileLayout Layout;
  std::uint64_t FileSize = 0;
  std::vector<TiffDirectory> Directories;

  // The integer values of an entry of an integer type (BYTE, SHORT, LONG, LONG8, IFD,
  // IFD8 and their signed kinds, taken as stored); empty when absent or of another type.
  std::vector<std::uint64_t> Numbers(const TiffEntry& entry) const;
  // The first integer value of tag in directory index, if there is one.
  std::optional<std::uint64_t> First(std::size_t index, std::uint16_t tag) const;
};

// Reads the header and every directory of the chain with all their values, in either
// byte order and layout. Raises TIFFError: a header it does not know, a chain that
// loops or leaves the file, values outside it. The values read in all stay below the
// size of the file, so a forged file costs no more memory than it is long.
TiffChain ReadTiffChain(platform::Stream& stream);

}  // namespace kelvory
