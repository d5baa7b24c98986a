#include "platform/Folders.h"

#include <sys/stat.h>

namespace kelvory::platform {

bool FolderExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace kelvory::platform
