#pragma once
// The program's paths are UTF-8 byte strings (any bytes on Linux); std::filesystem's
// own conversion from std::string uses the system's ANSI code page on Windows, which
// would lose most letters. These convert without loss on both systems, and on Windows
// give a path too long for the system's calls in the extended form, taking it off again
// for the program.
#include <filesystem>
#include <string>

namespace kelvory::platform {

std::filesystem::path FsPath(const std::string& path);
std::string PathText(const std::filesystem::path& path);

}  // namespace kelvory::platform
