#include "platform/SystemText.h"

#include "platform/Win32.win32.h"

namespace kelvory::platform {

std::string FromSystemText(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  // Strict: invalid UTF-8 is refused rather than patched with replacement characters.
  if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0) > 0)
    return std::string(text);
  const int size = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), size);
  return win32::Narrow(wide);
}

std::string SystemErrorText(const std::error_code& error, std::string_view language) {
  if (!error || error.category() != win32::ErrorCategory()) return {};
  if (language != "ru") return {};
  return win32::MessageText(static_cast<DWORD>(error.value()), MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA));
}

}  // namespace kelvory::platform
