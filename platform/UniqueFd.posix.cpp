#include "platform/UniqueFd.h"

#include <cerrno>
#include <unistd.h>

namespace kelvory::platform {

void UniqueFd::Reset(NativeFd fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

std::size_t ReadAt(NativeFd fd, void* buffer, std::size_t count, std::uint64_t offset) {
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < count) {
    const ssize_t n = ::pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

}  // namespace kelvory::platform
