#include "platform/TempFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "platform/UniqueFd.h"

namespace kelvory::platform {

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    Remove();
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

TempFile TempFile::Create(const std::string& folder, const std::string& prefix, std::error_code& error) {
  error.clear();
  const std::string pattern = folder + prefix + "XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
  if (!fd.Valid()) {
    error.assign(errno, std::generic_category());
    return {};
  }
  return TempFile(std::string(name.data()));
}

void TempFile::Remove() {
  if (!path_.empty()) ::unlink(path_.c_str());
  path_.clear();
}

}  // namespace kelvory::platform
