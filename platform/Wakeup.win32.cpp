#include "platform/Wakeup.h"

#include "platform/Win32.win32.h"

namespace kelvory::platform {

// A manual-reset event: signalled until cleared, however many waits see it.
Wakeup::Wakeup() : fd_(win32::FdOf(::CreateEventW(nullptr, TRUE, FALSE, nullptr))) {}

void Wakeup::Signal() {
  if (fd_.Valid()) ::SetEvent(win32::HandleOf(fd_.Get()));
}

void Wakeup::Clear() {
  if (fd_.Valid()) ::ResetEvent(win32::HandleOf(fd_.Get()));
}

}  // namespace kelvory::platform
