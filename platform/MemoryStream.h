#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Stream.h"

namespace kelvory::platform {

// A stream over bytes held in memory, for tests and fuzzing.
class MemoryStream final : public Stream {
 public:
  explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  MemoryStream(const std::uint8_t* data, std::size_t size) : bytes_(data, data + size) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::uint64_t Position() const override { return position_; }
  void SetPosition(std::uint64_t position) override { position_ = position; }
  std::uint64_t Size() const override { return bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint64_t position_ = 0;
};

}  // namespace kelvory::platform
