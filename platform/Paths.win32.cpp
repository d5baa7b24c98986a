#include "platform/Paths.h"

#include "platform/Win32.win32.h"

namespace kelvory::platform {

// A drive path ("C:\..."), a UNC path ("\\server\...") and a rooted one ("\...") count
// as absolute and come back unchanged, as a '/' one does.
std::string FullPath(const std::string& path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  if (drive || (!path.empty() && (path.front() == '\\' || path.front() == '/'))) return path;
  const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return path;
  std::wstring folder(size, L'\0');
  const DWORD n = ::GetCurrentDirectoryW(size, folder.data());
  if (n == 0 || n >= size) return path;
  folder.resize(n);
  std::string full = win32::Narrow(folder);
  if (full.back() != '\\' && full.back() != '/') full += '\\';
  return full + path;
}

}  // namespace kelvory::platform
