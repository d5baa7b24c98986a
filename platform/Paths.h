#pragma once
#include <string>

namespace kelvory::platform {

// The path made absolute against the current folder, without resolving links or
// dot segments; a path that is already absolute comes back as it is.
std::string FullPath(const std::string& path);

}  // namespace kelvory::platform
