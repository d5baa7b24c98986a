#pragma once
// Reads another stream a block at a time and serves small reads from the block held:
// the TIFF reader asks for every field of a directory on its own, and unbuffered each
// was a system call (some two hundred for a small file). Reads as large as a block go
// straight through.
#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/Stream.h"

namespace kelvory::platform {

class BufferedStream final : public Stream {
 public:
  // inner stays the caller's and must outlive this stream.
  explicit BufferedStream(Stream& inner) : inner_(inner) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::uint64_t Position() const override { return position_; }
  void SetPosition(std::uint64_t position) override { position_ = position; }
  std::uint64_t Size() const override { return inner_.Size(); }

 private:
  static constexpr std::size_t kBlockSize = 4096;

  Stream& inner_;
  std::uint64_t position_ = 0;
  // The block held: where it starts and how many of its bytes could be read.
  std::uint64_t blockStart_ = 0;
  std::size_t blockBytes_ = 0;
  std::array<unsigned char, kBlockSize> block_{};
};

}  // namespace kelvory::platform
