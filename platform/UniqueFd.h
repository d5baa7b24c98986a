#pragma once
#include <cstddef>
#include <cstdint>

namespace kelvory::platform {

// Owns one open descriptor and closes it exactly once.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueFd() { Reset(); }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1);

 private:
  int fd_ = -1;
};

// Reads up to count bytes of fd at offset, going on after short and interrupted reads:
// fewer bytes come back only at the end of the file or on an error.
std::size_t ReadAt(int fd, void* buffer, std::size_t count, std::uint64_t offset);

}  // namespace kelvory::platform
