#pragma once
#include <string>

namespace kelvory::platform {

// The path made absolute against the current folder, without resolving links or
// dot segments; a path that is already absolute comes back as it is.
std::string FullPath(const std::string& path);

// Where one name of a path ends: '/' on both systems, and a backslash too on Windows.
bool IsSeparator(char c);

// Where the path's last separator is, or std::string::npos.
std::size_t LastSeparator(const std::string& path);

// A name in a folder, with the system's own separator between them (a backslash on Windows,
// as its users read paths) unless the folder already ends with one.
std::string JoinPath(const std::string& folder, const std::string& name);

// Whether the path names its place without the current folder's help.
bool IsAbsolutePath(const std::string& path);

// The path as another program is given it on its command line: on Windows one too long
// for a program unaware of long paths (about MAX_PATH and more) goes in the extended
// form ("\\?\C:\..."), which every file call takes at any length; others as they are.
std::string PathForProgram(const std::string& path);

}  // namespace kelvory::platform
