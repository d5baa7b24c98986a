#pragma once
// What the tests of building levels by appending and linking share: GDAL's tools run
// through the shell, an image with detail to build levels of, and the child program
// that builds one file and stops where it is told.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "Scratch.h"
#include "tests/NoiseImage.h"
#include "platform/FileStream.h"
#include "tiff/TiffAppend.h"
#include "tiff/TiffChain.h"

namespace kelvory::test {

namespace fs = std::filesystem;

// A shell command's output and error output; status receives its exit status.
inline std::string Output(const std::string& command, int* status = nullptr) {
  FILE* pipe = ::popen(("timeout 120 sh -c " + Quoted(command) + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return {};
  std::string text;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  const int ended = ::pclose(pipe);
  if (status) *status = WIFEXITED(ended) ? WEXITSTATUS(ended) : -1;
  return text;
}

// Runs a shell command that must succeed.
inline bool Sh(const std::string& command) {
  int status = 0;
  const std::string text = Output(command, &status);
  if (status != 0) ADD_FAILURE() << command << "\n" << text;
  return status == 0;
}

// The noise image of 600 x 500 in folder, as noise.pgm or noise.ppm.
inline std::string MakeNoise(const std::string& folder, int bands) {
  const std::string image = NoiseImage(600, 500, bands, {100, 230, 90, 200});
  const std::string path = folder + (bands == 1 ? "noise.pgm" : "noise.ppm");
  WriteBytes(path, image);
  return path;
}

// What GDAL reads of a file: every band's, level's and mask level's checksum.
inline std::string Checksums(const std::string& path, int levels) {
  std::string lines;
  std::istringstream info(Output("gdalinfo -checksum " + Quoted(path)));
  for (std::string line; std::getline(info, line);)
    if (line.find("Checksum") != std::string::npos || line.find("Overviews") != std::string::npos ||
        line.find("Mask Flags") != std::string::npos || line.find("ERROR") != std::string::npos)
      lines += line + "\n";
  if (lines.find("PER_DATASET") == std::string::npos) return lines;
  const std::string mask = path + ".mask.tif";
  for (int level = -1; level < levels; ++level) {
    const std::string open = level < 0 ? "" : " -oo OVERVIEW_LEVEL=" + std::to_string(level);
    lines += "mask " + std::to_string(level) + ": " +
             Output("gdal_translate -q -b mask" + open + " " + Quoted(path) + " " + Quoted(mask) +
                    " && gdalinfo -checksum " + Quoted(mask) + " | grep Checksum");
    fs::remove(mask);
  }
  return lines;
}

// Every directory's tags and values, but where the blocks lie and how the byte counts
// are typed (libtiff picks their width by their values).
inline std::string Tags(const std::string& path) {
  std::error_code error;
  auto stream = platform::FileStream::Open(path, error);
  if (!stream) return "cannot open " + path;
  const TiffChain chain = ReadTiffChain(*stream);
  std::ostringstream text;
  for (const TiffDirectory& directory : chain.Directories) {
    text << "directory\n";
    for (const TiffEntry& entry : directory.Entries) {
      if (entry.Tag == TiffTag::TileOffsets || entry.Tag == TiffTag::StripOffsets) continue;
      const bool counts = entry.Tag == TiffTag::TileByteCounts || entry.Tag == TiffTag::StripByteCounts;
      text << entry.Tag << ' ' << (counts ? 0 : entry.Type) << ':';
      const std::vector<std::uint64_t> numbers = chain.Numbers(entry);
      if (!numbers.empty() || entry.Count == 0)
        for (std::uint64_t n : numbers) text << ' ' << n;
      else
        for (std::uint8_t b : entry.Values) text << ' ' << int{b};
      text << '\n';
    }
  }
  return text.str();
}

inline std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

inline std::string Factors(const std::vector<std::int64_t>& factors) {
  std::string text;
  for (std::int64_t f : factors) text += " " + std::to_string(f);
  return text;
}

// The child that builds one file and stops where told (AppendLinkChild.cpp).
inline int RunChild(const std::string& source, const std::string& stop, const std::string& resampling,
             const std::vector<std::int64_t>& factors) {
  const int status = std::system(("timeout 120 " + Quoted(KELVORY_APPEND_LINK_CHILD) + " " + Quoted(source) + " " +
                                  stop + " " + (resampling.empty() ? "-" : resampling) + Factors(factors) +
                                  " >/dev/null 2>&1")
                                     .c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Commands that make a kind of file from the images MakeNoise writes.
inline const std::string Grey = "gdal_translate -q noise.pgm ";
inline const std::string Rgb = "gdal_translate -q -co PHOTOMETRIC=RGB noise.ppm ";
// Compressed: -ro builds nearest levels of an uncompressed file otherwise than in place.
inline const std::string Masked = "gdal_translate -q -mask 1 --config GDAL_TIFF_INTERNAL_MASK YES -co COMPRESS=LZW noise.pgm ";

inline const std::vector<std::int64_t> TwoFactors = {2, 4};

}  // namespace kelvory::test
