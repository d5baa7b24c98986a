#include "platform/MemoryFile.h"

#include "platform/Win32.win32.h"

namespace kelvory::platform {

// Windows has no anonymous files: a temporary file that the system keeps in its cache
// while it can and deletes when the last handle closes, also when this program dies.
// The system picks the file's name; name labels nothing here.
std::unique_ptr<MemoryFile> MemoryFile::Create(const std::string& /*name*/, std::error_code& error) {
  error.clear();
  std::wstring folder(MAX_PATH + 1, L'\0');
  const DWORD length = ::GetTempPathW(static_cast<DWORD>(folder.size()), folder.data());
  std::wstring path(MAX_PATH + 1, L'\0');
  if (length == 0 || length > MAX_PATH || ::GetTempFileNameW(folder.c_str(), L"kmf", 0, path.data()) == 0) {
    error = win32::LastError();
    return nullptr;
  }
  path.resize(path.find(L'\0'));
  // The child gets a duplicate of this handle and writes through it; it must be
  // able to share the file with us, and the file may go while it is open.
  const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = win32::LastError();
    ::DeleteFileW(path.c_str());
    return nullptr;
  }
  return std::unique_ptr<MemoryFile>(new MemoryFile(UniqueFd(win32::FdOf(handle))));
}

std::size_t MemoryFile::Read(void* buffer, std::size_t count) {
  const std::size_t done = ReadAt(fd_.Get(), buffer, count, position_);
  position_ += done;
  return done;
}

std::uint64_t MemoryFile::Size() const {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(win32::HandleOf(fd_.Get()), &size)) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

}  // namespace kelvory::platform
