#include "platform/MemoryStream.h"

#include <cstring>

namespace kelvory::platform {

std::size_t MemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= bytes_.size()) return 0;
  const std::size_t available = bytes_.size() - static_cast<std::size_t>(position_);
  const std::size_t n = count < available ? count : available;
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

}  // namespace kelvory::platform
