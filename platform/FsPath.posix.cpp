#include "platform/FsPath.h"

namespace kelvory::platform {

std::filesystem::path FsPath(const std::string& path) { return std::filesystem::path(path); }

std::string PathText(const std::filesystem::path& path) { return path.native(); }

}  // namespace kelvory::platform
