#include "platform/Console.h"

#include <io.h>

#include <string>

#include "platform/Win32.win32.h"

namespace kelvory::platform {

bool IsTerminal(StandardStream stream) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE),
                          &mode) != 0;
}

int TerminalColumns(StandardStream stream) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(::GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE),
                                    &info))
    return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

void WriteText(std::FILE* stream, std::string_view text) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || ::GetConsoleMode(handle, &mode) == 0) {
    std::fwrite(text.data(), 1, text.size(), stream);
    return;
  }
  std::fflush(stream);  // what the stream holds goes first
  constexpr std::string_view eraseToLineEnd = "\033[K";
  while (!text.empty()) {
    const std::size_t code = text.find(eraseToLineEnd);
    const std::wstring part = win32::Wide(std::string(text.substr(0, code)));
    DWORD written = 0;
    if (!part.empty()) ::WriteConsoleW(handle, part.data(), static_cast<DWORD>(part.size()), &written, nullptr);
    if (code == std::string_view::npos) break;
    CONSOLE_SCREEN_BUFFER_INFO screen;
    if (::GetConsoleScreenBufferInfo(handle, &screen)) {
      ::FillConsoleOutputCharacterW(handle, L' ', static_cast<DWORD>(screen.dwSize.X - screen.dwCursorPosition.X),
                                    screen.dwCursorPosition, &written);
    }
    text.remove_prefix(code + eraseToLineEnd.size());
  }
}

// Windows has no such signal: a write to a closed pipe just fails.
std::error_code IgnoreBrokenPipe() { return {}; }

}  // namespace kelvory::platform
