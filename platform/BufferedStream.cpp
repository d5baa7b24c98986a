#include "platform/BufferedStream.h"

#include <algorithm>
#include <cstring>

namespace kelvory::platform {

std::size_t BufferedStream::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    if (position_ >= blockStart_ && position_ < blockStart_ + blockBytes_) {
      const auto at = static_cast<std::size_t>(position_ - blockStart_);
      const std::size_t n = std::min(count - done, blockBytes_ - at);
      std::memcpy(out + done, block_.data() + at, n);
      position_ += n;
      done += n;
      continue;
    }
    if (count - done >= kBlockSize) {
      inner_.SetPosition(position_);
      const std::size_t n = inner_.Read(out + done, count - done);
      position_ += n;
      return done + n;
    }
    blockStart_ = position_ - position_ % kBlockSize;
    inner_.SetPosition(blockStart_);
    blockBytes_ = inner_.Read(block_.data(), kBlockSize);
    // Past the end, or the read failed: fewer bytes than asked, as the stream gives.
    if (position_ >= blockStart_ + blockBytes_) return done;
  }
  return done;
}

}  // namespace kelvory::platform
