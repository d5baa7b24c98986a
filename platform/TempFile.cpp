#include "platform/TempFile.h"

#include "platform/Files.h"

namespace kelvory::platform {

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    Remove();
    path_ = std::move(other.path_);
    mark_ = std::move(other.mark_);
    other.path_.clear();
  }
  return *this;
}

void TempFile::Keep() {
  path_.clear();
  mark_.Reset();
}

void TempFile::Remove() {
  if (!path_.empty()) DeleteFile(path_);
  path_.clear();
  mark_.Reset();
}

}  // namespace kelvory::platform
