#include "platform/UniqueFd.h"

#include <unistd.h>

namespace kelvory::platform {

void UniqueFd::Reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

}  // namespace kelvory::platform
