#pragma once
#include <string>

namespace kelvory::platform {

// True when a folder exists at path, following links; false for a file, for nothing
// there and for a path that cannot be looked at.
bool FolderExists(const std::string& path);

}  // namespace kelvory::platform
