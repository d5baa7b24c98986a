#pragma once
// Reads of little-endian numbers from a stream. Each read reports whether it got every
// byte it needed; the caller decides which error that is.
#include <cstddef>
#include <cstdint>

#include "platform/Stream.h"

namespace kelvory::le {

inline std::uint16_t Load16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t Load32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Zero-extends width (1 to 4) bytes.
inline std::uint32_t LoadN(const std::uint8_t* p, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return value;
}

inline bool ReadExact(platform::Stream& stream, void* buffer, std::size_t count) {
  return stream.Read(buffer, count) == count;
}

inline bool Read16(platform::Stream& stream, std::uint16_t& value) {
  std::uint8_t bytes[2];
  if (!ReadExact(stream, bytes, sizeof bytes)) return false;
  value = Load16(bytes);
  return true;
}

inline bool Read32(platform::Stream& stream, std::uint32_t& value) {
  std::uint8_t bytes[4];
  if (!ReadExact(stream, bytes, sizeof bytes)) return false;
  value = Load32(bytes);
  return true;
}

}  // namespace kelvory::le
