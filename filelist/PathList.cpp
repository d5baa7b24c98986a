#include "filelist/PathList.h"

#include <algorithm>
#include <cstring>

namespace kelvory {

PathList::PathList(std::initializer_list<std::string_view> paths) {
  for (const std::string_view path : paths) push_back(path);
}

void PathList::push_back(std::string_view path) {
  starts_.push_back(bytes_.size());
  bytes_.append(path);
  bytes_.push_back('\0');
}

void PathList::Append(PathList other) {
  if (empty()) {
    *this = std::move(other);
    return;
  }
  const std::uint64_t shift = bytes_.size();
  bytes_.append(other.bytes_);
  starts_.reserve(starts_.size() + other.starts_.size());
  for (const std::uint64_t start : other.starts_) starts_.push_back(shift + start);
}

void PathList::Sort() {
  // Only the starts move; strcmp orders unsigned bytes, as std::string does.
  const char* base = bytes_.data();
  std::sort(starts_.begin(), starts_.end(),
            [base](std::uint64_t a, std::uint64_t b) { return std::strcmp(base + a, base + b) < 0; });
}

std::string_view PathList::operator[](std::size_t i) const { return bytes_.data() + starts_[i]; }

bool PathList::operator==(const PathList& other) const {
  return std::equal(begin(), end(), other.begin(), other.end());
}

bool operator==(const PathList& list, const std::vector<std::string>& paths) {
  return std::equal(list.begin(), list.end(), paths.begin(), paths.end(),
                    [](std::string_view a, const std::string& b) { return a == b; });
}

}  // namespace kelvory
