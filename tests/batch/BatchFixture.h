#pragma once
// The batch command run as a child in a folder of its own: a copy of the command with
// the real tool, a fake one or none beside it, and small real GeoTIFF files.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/batch/ChildProcess.h"

namespace kelvory::test {

namespace fs = std::filesystem;

inline std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteAll(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

class BatchCommand : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kelvory-batch-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    tmp_ = root_ / "tmp";
    fs::create_directories(tmp_);
  }
  void TearDown() override { fs::remove_all(root_); }

  // A program folder with a copy of the command, so that its own folder decides which
  // tool it finds. An empty script body leaves the tool out.
  fs::path Program(const std::string& toolScript, bool realTool = false) {
    const fs::path folder = root_ / "program";
    fs::create_directories(folder);
    fs::copy_file(KELVORY_BATCH, folder / "kelvory-batch", fs::copy_options::overwrite_existing);
    // A tool set up before may be a link to the system's: never write through it.
    fs::remove(folder / "gdal" / "gdaladdo");
    if (realTool) {
      fs::create_directories(folder / "gdal");
      fs::create_symlink(GDALADDO, folder / "gdal" / "gdaladdo");
    } else if (!toolScript.empty()) {
      fs::create_directories(folder / "gdal");
      WriteAll(folder / "gdal" / "gdaladdo", "#!/bin/sh\n" + toolScript);
      fs::permissions(folder / "gdal" / "gdaladdo", fs::perms::owner_all);
    }
    return folder / "kelvory-batch";
  }

  ChildResult Batch(const fs::path& program, std::vector<std::string> args, std::vector<std::string> env = {}) {
    args.insert(args.begin(), program.string());
    env.push_back("TMPDIR=" + tmp_.string());
    return RunChild(args, env, std::chrono::seconds(60));
  }

  fs::path Tiff(const std::string& name, int width, int height) {
    const fs::path path = root_ / name;
    const ChildResult made = RunChild({GDAL_CREATE, "-q", "-of", "GTiff", "-outsize",
                                       std::to_string(width), std::to_string(height), "-bands",
                                       "1", "-ot", "Byte", path.string()});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return path;
  }

  static int DirectoryCount(const fs::path& path) {
    const ChildResult info = RunChild({TIFFINFO, path.string()});
    int count = 0;
    for (std::size_t at = 0; (at = info.out.find("TIFF Directory at offset", at)) != std::string::npos; ++at) {
      ++count;
    }
    return count;
  }

  bool TempFolderEmpty() const { return fs::is_empty(tmp_); }

  fs::path root_;
  fs::path tmp_;
};

}  // namespace kelvory::test
