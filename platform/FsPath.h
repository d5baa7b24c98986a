#pragma once
// The program's paths are UTF-8 byte strings (any bytes on Linux); std::filesystem's
// own conversion from std::string uses the system's ANSI code page on Windows, which
// would lose most letters. These convert without loss on both systems.
#include <filesystem>
#include <string>

namespace kelvory::platform {

inline std::filesystem::path FsPath(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

inline std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace kelvory::platform
