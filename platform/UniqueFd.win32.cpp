#include "platform/UniqueFd.h"

#include <algorithm>

#include "platform/Win32.win32.h"

namespace kelvory::platform {

void UniqueFd::Reset(NativeFd fd) {
  if (fd_ >= 0) ::CloseHandle(win32::HandleOf(fd_));
  fd_ = fd;
}

std::size_t ReadAt(NativeFd fd, void* buffer, std::size_t count, std::uint64_t offset) {
  std::size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < count) {
    // An explicit offset: the handle's own position is left alone, as pread does.
    OVERLAPPED at{};
    const std::uint64_t where = offset + done;
    at.Offset = static_cast<DWORD>(where);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(win32::HandleOf(fd), out + done, chunk, &got, &at) || got == 0) break;
    done += got;
  }
  return done;
}

}  // namespace kelvory::platform
