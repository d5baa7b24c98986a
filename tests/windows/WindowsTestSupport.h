#pragma once
// What the Windows tests share: a scratch folder of their own, removed afterwards, and
// the stand-in tool built beside them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/Program.h"

namespace kelvory::wintest {

namespace fs = std::filesystem;

// UTF-8 path text, as the platform layer takes it.
inline std::string Utf8(const fs::path& path) {
  const auto text = path.u8string();
  return std::string(text.begin(), text.end());
}

inline fs::path FromUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    path_ = fs::temp_directory_path() / ("kelvory-test-" + std::to_string(random()));
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const fs::path& Path() const { return path_; }
  // A path in the folder, as UTF-8 text with the system's separators.
  std::string File(const std::string& name) const { return Utf8((path_ / FromUtf8(name)).make_preferred()); }

 private:
  fs::path path_;
};

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(FromUtf8(path), std::ios::binary) << text;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(FromUtf8(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The stand-in tool lies beside the test program.
inline std::string StandInTool() { return platform::ProgramFolder() + "kelvory-stand-in-tool.exe"; }

}  // namespace kelvory::wintest
