#pragma once
// How the numbers of one TIFF file are laid out: their byte order, and whether the file
// is a classic TIFF (16-bit entry counts, 32-bit counts and offsets) or a BigTIFF (64-bit
// entry counts, counts and offsets).
#include <cstddef>
#include <cstdint>

#include "platform/Stream.h"

namespace kelvory {

struct FileLayout {
  bool BigEndian = false;
  bool BigTiff = false;

  // Bytes of the header; no directory starts inside it.
  std::uint64_t HeaderSize() const { return BigTiff ? 16 : 8; }
  // Width of a directory's entry count.
  std::size_t EntryCountSize() const { return BigTiff ? 8 : 2; }
  std::size_t EntrySize() const { return BigTiff ? 20 : 12; }
  // Width of an entry's value count, of its value field and of a next-directory offset.
  std::size_t WordSize() const { return BigTiff ? 8 : 4; }

  // Zero-extends width (1 to 8) bytes in the file's byte order.
  std::uint64_t Load(const std::uint8_t* p, std::size_t width) const {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      const std::size_t byte = BigEndian ? i : width - 1 - i;
      value = (value << 8) | p[byte];
    }
    return value;
  }
};

inline bool ReadExact(platform::Stream& stream, void* buffer, std::size_t count) {
  return stream.Read(buffer, count) == count;
}

}  // namespace kelvory
