#include "platform/FsPath.h"

#include "platform/Win32.win32.h"

namespace kelvory::platform {

std::filesystem::path FsPath(const std::string& path) { return std::filesystem::path(win32::WidePath(path)); }

std::string PathText(const std::filesystem::path& path) { return win32::ShownPath(path.native()); }

}  // namespace kelvory::platform
