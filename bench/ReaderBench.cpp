// Reads the structure of every regular file in a folder (or of each file named) with
// one reader, the way a build reads its files, and prints how long that took.
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "tiff/TIFFBitmap.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc < 2) {
    std::fputs("usage: kelvory-bench-reader FOLDER|FILE...\n", stderr);
    return 2;
  }
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    if (fs::is_directory(argv[i], error)) {
      for (const fs::directory_entry& entry : fs::directory_iterator(argv[i])) {
        if (entry.is_regular_file()) files.push_back(entry.path().string());
      }
    } else {
      files.emplace_back(argv[i]);
    }
  }

  kelvory::TTIFFBitmap reader;
  long directories = 0;
  long failures = 0;
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& file : files) {
    try {
      reader.LoadFromFile(file);
      std::int32_t width = 0;
      std::int32_t height = 0;
      if (!reader.GetImageSize(1, width, height)) ++failures;
      directories += reader.DirectoryCount();
      reader.Close();
    } catch (const std::exception&) {
      ++failures;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%zu files, %ld directories, %ld failures, %.3f s, %.1f us per file\n",
              files.size(), directories, failures, seconds,
              files.empty() ? 0.0 : seconds * 1e6 / static_cast<double>(files.size()));
  return failures == 0 ? 0 : 1;
}
