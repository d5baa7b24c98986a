#include "platform/Wakeup.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace kelvory::platform {

Wakeup::Wakeup() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void Wakeup::Signal() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(fd_.Get(), &one, sizeof one);
}

void Wakeup::Clear() {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = ::read(fd_.Get(), &count, sizeof count);
}

}  // namespace kelvory::platform
