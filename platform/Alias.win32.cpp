#include "platform/Alias.h"

#include "platform/Win32.win32.h"

namespace kelvory::platform {

// Symbolic links need a privilege most users lack; a hard link needs none. It changes
// nothing a reader sees of the file: its data and its other names stay as they are.
std::error_code MakeAlias(const std::string& target, const std::string& alias) {
  if (::CreateHardLinkW(win32::WidePath(alias).c_str(), win32::WidePath(target).c_str(), nullptr)) return {};
  return win32::LastError();
}

std::error_code MakeHiddenFolder(const std::string& path) {
  const std::wstring wide = win32::WidePath(path);
  if (!::CreateDirectoryW(wide.c_str(), nullptr)) return win32::LastError();
  // A dot does not hide a name on Windows; the attribute does, where the filesystem
  // keeps it (the folder serves without it).
  ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_HIDDEN);
  return {};
}

}  // namespace kelvory::platform
