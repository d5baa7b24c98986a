#include "platform/Paths.h"

#include <unistd.h>

#include <vector>

namespace kelvory::platform {

bool IsSeparator(char c) { return c == '/'; }

std::size_t LastSeparator(const std::string& path) { return path.rfind('/'); }

std::string JoinPath(const std::string& folder, const std::string& name) {
  return !folder.empty() && folder.back() == '/' ? folder + name : folder + '/' + name;
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path.front() == '/'; }

std::string PathForProgram(const std::string& path) { return path; }

std::string FullPath(const std::string& path) {
  if (IsAbsolutePath(path)) return path;
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
