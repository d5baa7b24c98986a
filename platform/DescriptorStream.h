#pragma once
// Reads an open file through a descriptor its owner keeps, at positions of its own.
#include <cstdint>

#include "platform/Stream.h"
#include "platform/UniqueFd.h"

namespace kelvory::platform {

class DescriptorStream final : public Stream {
 public:
  DescriptorStream(NativeFd fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t done = ReadAt(fd_, buffer, count, position_);
    position_ += done;
    return done;
  }
  std::uint64_t Position() const override { return position_; }
  void SetPosition(std::uint64_t position) override { position_ = position; }
  std::uint64_t Size() const override { return size_; }

 private:
  NativeFd fd_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
};

}  // namespace kelvory::platform
