#include "platform/Paths.h"

#include "platform/Win32.win32.h"

namespace kelvory::platform {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

std::string JoinPath(const std::string& folder, const std::string& name) {
  return !folder.empty() && IsSeparator(folder.back()) ? folder + name : folder + '\\' + name;
}

// A drive path ("C:\..."), a UNC path ("\\server\...") and a rooted one ("\...") count
// as absolute, as a '/' one does.
bool IsAbsolutePath(const std::string& path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && IsSeparator(path[2]);
  return drive || (!path.empty() && IsSeparator(path.front()));
}

std::string PathForProgram(const std::string& path) { return win32::Narrow(win32::WidePath(path)); }

std::string FullPath(const std::string& path) {
  if (IsAbsolutePath(path)) return path;
  const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return path;
  std::wstring folder(size, L'\0');
  const DWORD n = ::GetCurrentDirectoryW(size, folder.data());
  if (n == 0 || n >= size) return path;
  folder.resize(n);
  return JoinPath(win32::Narrow(folder), path);
}

}  // namespace kelvory::platform
