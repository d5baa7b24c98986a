#pragma once
// What the Windows tests share: a scratch folder of their own, removed afterwards, and
// the stand-in tool built beside them.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/FolderEntries.h"
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
  // Removed by the platform's own call: the C runtime's listing behind remove_all lists
  // another folder past MAX_PATH, where some tests make theirs.
  ~ScratchFolder() { platform::RemoveTree(Utf8(path_)); }
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

// A 512x512 8-bit grey image, big enough to want levels, in one strip, little-endian classic TIFF.
inline std::string GreyTiff() {
  constexpr std::uint32_t side = 512, pixels = side * side;
  std::string bytes = "II*";
  bytes += '\0';
  auto put = [&bytes](std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(8 + pixels, 4);
  for (std::uint32_t i = 0; i < pixels; ++i) bytes += static_cast<char>(i % 251);
  const std::uint32_t entries[][3] = {{256, 4, side}, {257, 4, side}, {258, 3, 8},   {259, 3, 1},     {262, 3, 1},
                                      {273, 4, 8},    {277, 3, 1},    {278, 4, side}, {279, 4, pixels}};
  put(std::size(entries), 2);
  for (const auto& e : entries) {
    put(e[0], 2);
    put(e[1], 2);
    put(1, 4);
    put(e[2], 4);
  }
  put(0, 4);
  return bytes;
}

}  // namespace kelvory::wintest
