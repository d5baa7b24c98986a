#pragma once
// kelvory-batch with the real gdaladdo on GeoTIFF files made by GDAL's own tools, and
// checked with them.
#include <string>
#include <vector>

#include "tests/batch/BatchFixture.h"

namespace kelvory::test {

class GisFiles : public BatchCommand {
 protected:
  void SetUp() override {
    BatchCommand::SetUp();
    program_ = Program("", true);
  }

  // Runs a shell command in the test folder; GDAL's tools come from the PATH.
  std::string Sh(const std::string& command) {
    const ChildResult run = RunChild({"/bin/sh", "-ec", "cd '" + root_.string() + "'; " + command});
    EXPECT_EQ(run.exitCode, 0) << command << "\n" << run.err;
    return run.out;
  }

  // Bigger files than the other command tests: more time.
  ChildResult Batch(std::vector<std::string> args, std::vector<std::string> env = {}) {
    args.insert(args.begin(), program_.string());
    env.push_back("TMPDIR=" + tmp_.string());
    return RunChild(args, env, std::chrono::seconds(120));
  }

  std::string Path(const std::string& name) const { return (root_ / name).string(); }

  // The sizes of the first image's overviews as gdalinfo lists them, "" for none.
  std::string Overviews(const std::string& name) {
    const std::string info = Sh("gdalinfo '" + name + "'");
    const std::size_t at = info.find("Overviews: ");
    return at == std::string::npos ? "" : info.substr(at + 11, info.find('\n', at) - at - 11);
  }

  std::string OverviewChecksums(const std::string& name) {
    const std::string info = Sh("gdalinfo -checksum '" + name + "'");
    const std::size_t at = info.find("Overviews checksum: ");
    return at == std::string::npos ? "" : info.substr(at, info.find('\n', at) - at);
  }

  fs::path program_;
};

// 600 x 600 asks for 3 levels: 300, 150 and 75 pixels.
inline constexpr const char* Base = "gdal_create -q -of GTiff -outsize 600 600 -bands 1 -burn 5";
inline constexpr const char* ThreeLevels = "300x300, 150x150, 75x75";

}  // namespace kelvory::test
