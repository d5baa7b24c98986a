#include "platform/Console.h"

#include "platform/Win32.win32.h"

namespace kelvory::platform {

bool IsTerminal(StandardStream stream) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE),
                          &mode) != 0;
}

// Windows has no such signal: a write to a closed pipe just fails.
std::error_code IgnoreBrokenPipe() { return {}; }

}  // namespace kelvory::platform
