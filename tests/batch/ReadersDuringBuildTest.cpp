// A GDAL reader looping over a file while it is built sees, at every read, the old file
// or the new one, whichever way the build takes: never a level half written, never a
// file of the build's beside it.
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/batch/BatchFixture.h"

namespace kelvory::test {
namespace {

// What a reader sees of a raster's levels (the image itself is the same before and
// after): their checksums, or the error GDAL reports; "absent" for no file.
std::string Seen(const fs::path& path) {
  if (!fs::exists(path)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return "absent";
  }
  const ChildResult info = RunChild({GDALINFO, "-checksum", "-oo", "OVERVIEW_LEVEL=0", path.string()});
  std::string seen = info.exitCode == 0 ? "" : "exit " + std::to_string(info.exitCode) + "\n";
  std::istringstream lines(info.out + info.err);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("hecksum") != std::string::npos || line.find("Overviews:") != std::string::npos ||
        line.find("ERROR") != std::string::npos || line.find("Warning") != std::string::npos)
      seen += line + "\n";
  }
  return seen;
}

TEST_F(BatchCommand, AReaderDuringABuildSeesTheOldFileOrTheNewOneEveryWay) {
  const fs::path program = Program("", true);
  struct Way {
    const char* name;
    std::vector<std::string> options;
    bool intoDestination;
  };
  const std::vector<Way> ways = {
      {"levels appended", {}, false},
      {"working copy", {"--config", "GDAL_CACHEMAX", "64"}, false},
      {"--external", {"--external"}, false},
      {"--dest", {"--dest", (root_ / "out").string()}, true},
  };
  // Noise, which compresses slowly: the levels take a few seconds to build.
  std::string pixels = "P5\n6000 6000\n255\n";
  std::uint32_t state = 2024;
  for (std::size_t i = 0; i < 6000u * 6000u; ++i) {
    state = state * 1664525u + 1013904223u;
    pixels += static_cast<char>(state >> 24);
  }
  WriteAll(root_ / "noise.pgm", pixels);
  pixels = {};
  int reads = 0;
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    // 36 MB uncompressed: big enough for the append way.
    const fs::path file = root_ / "map.tif";
    fs::remove(file);
    fs::remove(root_ / "map.tif.ovr");
    const ChildResult made = RunChild({GDAL_TRANSLATE, "-q", (root_ / "noise.pgm").string(), file.string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const fs::path read = way.intoDestination ? root_ / "out" / "map.tif" : file;
    if (way.intoDestination) fs::create_directories(root_ / "out");
    const std::string before = Seen(read);

    std::vector<std::string> args = way.options;
    args.insert(args.end(), {"-r", "lanczos", file.string()});
    std::atomic<bool> finished = false;
    ChildResult built;
    std::thread build([&] {
      built = Batch(program, args, {"COMPRESS_OVERVIEW=DEFLATE", "ZLEVEL_OVERVIEW=9"});
      finished = true;
    });
    std::vector<std::string> seen;
    while (!finished) seen.push_back(Seen(read));
    build.join();
    ASSERT_EQ(built.exitCode, 0) << built.out << built.err;
    const std::string after = Seen(read);
    EXPECT_NE(after, before);
    EXPECT_EQ(after.find("exit"), std::string::npos) << after;
    for (const std::string& one : seen) {
      EXPECT_TRUE(one == before || one == after) << "a reader saw:\n" << one;
    }
    reads += static_cast<int>(seen.size());
    std::printf("%s: %zu reads\n", way.name, seen.size());
    fs::remove_all(root_ / "out");
  }
  std::printf("%d reads during builds, each the old file or the new one\n", reads);
}

}  // namespace
}  // namespace kelvory::test
