#include "platform/Win32.win32.h"

#include <string>

namespace kelvory::platform::win32 {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
  return out;
}

std::wstring WidePath(const std::string& utf8) {
  std::wstring path = Wide(utf8);
  // CreateDirectoryW stops 12 short of MAX_PATH, the other calls at it.
  constexpr std::size_t kLongest = MAX_PATH - 12;
  if (path.size() < kLongest || path.rfind(LR"(\\?\)", 0) == 0 || path.rfind(LR"(\\.\)", 0) == 0) return path;
  // The extended form is taken as it is, without '/', "." or ".." read for the system:
  // those are resolved first, and a relative path made full.
  const std::wstring full = FullPathName(path);
  if (full.empty()) return path;
  if (full.rfind(LR"(\\)", 0) == 0) return LR"(\\?\UNC\)" + full.substr(2);
  return LR"(\\?\)" + full;
}

std::wstring FullPathName(const std::wstring& path) {
  std::wstring full(path.size() + MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return {};
    if (n < full.size()) {
      full.resize(n);
      return full;
    }
    full.resize(n + 1);
  }
}

std::string ShownPath(const std::wstring& path) {
  if (path.rfind(LR"(\\?\UNC\)", 0) == 0) return Narrow(LR"(\\)" + path.substr(8));
  if (path.rfind(LR"(\\?\)", 0) == 0) return Narrow(path.substr(4));
  return Narrow(path);
}

std::string Narrow(const std::wstring& utf16) {
  if (utf16.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), size, nullptr,
                        nullptr);
  return out;
}

namespace {

std::errc ConditionOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
      return std::errc::no_such_file_or_directory;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return std::errc::permission_denied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
      return std::errc::device_or_resource_busy;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return std::errc::file_exists;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::errc::no_space_on_device;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return std::errc::not_enough_memory;
    case ERROR_NOT_SAME_DEVICE:
      return std::errc::cross_device_link;
    case ERROR_DIRECTORY:
      return std::errc::not_a_directory;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return std::errc::filename_too_long;
    case ERROR_BAD_EXE_FORMAT:
      return std::errc::executable_format_error;
    case ERROR_INVALID_HANDLE:
      return std::errc::bad_file_descriptor;
    case ERROR_INVALID_PARAMETER:
      return std::errc::invalid_argument;
    default:
      return std::errc{};
  }
}

class Win32Category final : public std::error_category {
 public:
  const char* name() const noexcept override { return "win32"; }

  std::string message(int code) const override {
    const auto value = static_cast<DWORD>(code);
    // English first, as the program's English is; a system without it speaks its own.
    std::string text = MessageText(value, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (text.empty()) text = MessageText(value, 0);
    return text.empty() ? "Windows error " + std::to_string(value) : text;
  }

  std::error_condition default_error_condition(int code) const noexcept override {
    const std::errc condition = ConditionOf(static_cast<DWORD>(code));
    return condition == std::errc{} ? std::error_condition(code, *this) : std::make_error_condition(condition);
  }
};

}  // namespace

const std::error_category& ErrorCategory() {
  static const Win32Category category;
  return category;
}

std::error_code ErrorFrom(DWORD code) {
  if (code == ERROR_SUCCESS) return {};
  return {static_cast<int>(code), ErrorCategory()};
}

std::string MessageText(DWORD code, LANGID language) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  if (length == 0 || buffer == nullptr) return {};
  std::wstring text(buffer, length);
  ::LocalFree(buffer);
  // The texts end a sentence and a line; the reasons go on after them.
  while (!text.empty() && (text.back() == L'.' || text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
    text.pop_back();
  return Narrow(text);
}

bool HeldByAnother(const std::error_code& error) {
  if (error.category() != ErrorCategory()) return false;
  const auto code = static_cast<DWORD>(error.value());
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
}

UniqueFd OpenFile(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
  const HANDLE handle = ::CreateFileW(WidePath(path).c_str(), access, share, nullptr, disposition, flags, nullptr);
  return UniqueFd(FdOf(handle));
}

}  // namespace kelvory::platform::win32
