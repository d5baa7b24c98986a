#include "platform/ProcessorCount.h"

#include <bit>

#include "platform/Win32.win32.h"

namespace kelvory::platform {

// The processors this process may run on, as the affinity mask tells them.
int ProcessorCount() {
  DWORD_PTR process = 0, system = 0;
  if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process != 0)
    return std::popcount(static_cast<std::uint64_t>(process));
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

}  // namespace kelvory::platform
