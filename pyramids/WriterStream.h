#pragma once
// An open file read as a stream, at positions of its own, without a second open.
#include <cstdint>

#include "platform/FileWriter.h"
#include "platform/Stream.h"

namespace kelvory {

class WriterStream final : public platform::Stream {
 public:
  WriterStream(const platform::FileWriter& file, std::uint64_t size) : file_(file), size_(size) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    std::error_code error;
    const std::size_t done = file_.ReadAt(buffer, count, position_, error);
    position_ += done;
    return done;
  }
  std::uint64_t Position() const override { return position_; }
  void SetPosition(std::uint64_t position) override { position_ = position; }
  std::uint64_t Size() const override { return size_; }

 private:
  const platform::FileWriter& file_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
};

}  // namespace kelvory
