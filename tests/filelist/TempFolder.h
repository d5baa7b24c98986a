#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/FsPath.h"

namespace kelvory::test {

class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    std::filesystem::path candidate;
    do {
      candidate = std::filesystem::temp_directory_path() / ("kelvory-filelist-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(candidate));
    path_ = platform::PathText(candidate);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(platform::FsPath(path_), ignored);
  }

  std::string Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  std::size_t EntryCount() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(platform::FsPath(path_)), {}));
  }

 private:
  std::string path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(platform::FsPath(path), std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(platform::FsPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace kelvory::test
