#pragma once
#include <cstddef>
#include <cstdint>

namespace kelvory::platform {

// A seekable byte source. A read past the end, or one that fails, delivers fewer
// bytes than asked; nothing here throws.
class Stream {
 public:
  virtual ~Stream() = default;
  // Reads up to count bytes at the current position and advances past them.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  virtual std::uint64_t Position() const = 0;
  // Any position is allowed, also one past the end.
  virtual void SetPosition(std::uint64_t position) = 0;
  virtual std::uint64_t Size() const = 0;
};

}  // namespace kelvory::platform
