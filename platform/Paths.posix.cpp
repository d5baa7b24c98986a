#include "platform/Paths.h"

#include <unistd.h>

#include <vector>

namespace kelvory::platform {

std::string FullPath(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (buffer.size() > (1u << 20)) return path;
    buffer.resize(buffer.size() * 2);
  }
  std::string folder(buffer.data());
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder + path;
}

}  // namespace kelvory::platform
