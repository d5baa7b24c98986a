#pragma once
#include <cstddef>
#include <cstdint>

namespace kelvory::platform {

// What the system opens files and processes as: a descriptor here, a HANDLE's value
// on Windows (invalid: -1 on both).
#ifdef _WIN32
using NativeFd = std::intptr_t;
#else
using NativeFd = int;
#endif

// Owns one open descriptor and closes it exactly once.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(NativeFd fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueFd() { Reset(); }

  NativeFd Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  NativeFd Release() {
    const NativeFd fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(NativeFd fd = -1);

 private:
  NativeFd fd_ = -1;
};

// Reads up to count bytes of fd at offset, going on after short and interrupted reads:
// fewer bytes come back only at the end of the file or on an error.
std::size_t ReadAt(NativeFd fd, void* buffer, std::size_t count, std::uint64_t offset);

}  // namespace kelvory::platform
