// kelvory-batch ended as by a crash just before each of its calls that change a file or
// a folder, in each way a file can be built: a reader then finds the old file or the
// new one, and the next run builds it, leaving nothing of the build's beside it.
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "tests/batch/BatchFixture.h"

namespace kelvory::test {
namespace {

// The levels GDAL reads of a raster, or its error; "absent" for no file.
std::string LevelsSeen(const fs::path& path) {
  if (!fs::exists(path)) return "absent";
  const ChildResult info = RunChild({GDALINFO, "-checksum", "-oo", "OVERVIEW_LEVEL=0", path.string()});
  // From the first band on: the list of files before it names the sidecars.
  const std::size_t bands = info.out.find("Band 1");
  return std::to_string(info.exitCode) + "\n" + (bands == std::string::npos ? "" : info.out.substr(bands)) + info.err;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(BatchCommand, ACrashAtAnyFileChangingCallLeavesTheOldFileOrTheNewOne) {
  const fs::path program = Program("", true);
  const fs::path original = Tiff("original.tif", 1200, 900);
  struct Way {
    const char* name;
    std::vector<std::string> options;
    bool secondName;  // a second hard link takes the append way at any size
    std::vector<std::string> left;
  };
  const fs::path out = root_ / "out";
  const std::vector<Way> ways = {
      {"working copy", {}, false, {"map.tfw", "map.tif"}},
      // Nearest levels of an uncompressed file keep the working copy.
      {"levels appended", {"-r", "average"}, true, {"map 2.tif", "map.tfw", "map.tif"}},
      {"--external", {"--external"}, false, {"map.tfw", "map.tif", "map.tif.ovr"}},
      {"--dest", {"--dest", out.string()}, false, {".map.tif.kelvory-stamp", "map.tfw", "map.tif"}},
  };
  const fs::path work = root_ / "work";
  int crashes = 0;
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    const bool intoDestination = way.name == std::string("--dest");
    const fs::path read = (intoDestination ? out : work) / "map.tif";
    const auto setUp = [&] {
      fs::remove_all(work);
      fs::remove_all(out);
      fs::create_directories(work);
      fs::create_directories(out);
      fs::copy_file(original, work / "map.tif");
      WriteAll(work / "map.tfw", "1\n0\n0\n-1\n100\n200\n");
      if (way.secondName) fs::create_hard_link(work / "map.tif", work / "map 2.tif");
    };
    std::vector<std::string> args = way.options;
    args.push_back((work / "map.tif").string());
    const std::string preload = "LD_PRELOAD=" + std::string(CRASH_AT_CALL);
    // A sanitized build's runtime wants to come first; the preloaded calls pass through
    // to it all the same.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string asan = "ASAN_OPTIONS=" + std::string(sanitizer ? sanitizer : "") + ":verify_asan_link_order=0";

    setUp();
    const std::string before = LevelsSeen(read);
    const fs::path countFile = root_ / "count";
    ASSERT_EQ(Batch(program, args, {preload, asan, "KELVORY_CRASH_COUNT=" + countFile.string()}).exitCode, 0);
    const std::string after = LevelsSeen(read);
    ASSERT_NE(before, after);
    const long calls = std::stol(ReadAll(countFile));
    ASSERT_GT(calls, 2);

    for (long n = 1; n <= calls; ++n) {
      SCOPED_TRACE("crashed before call " + std::to_string(n) + " of " + std::to_string(calls));
      setUp();
      const ChildResult crashed = Batch(program, args, {preload, asan, "KELVORY_CRASH_AT=" + std::to_string(n)});
      ASSERT_EQ(crashed.signal, SIGKILL) << crashed.out << crashed.err;
      const std::string seen = LevelsSeen(read);
      EXPECT_TRUE(seen == before || seen == after) << seen;
      // A destination raster is there only with its sidecars.
      if (intoDestination && fs::exists(read)) {
        EXPECT_TRUE(fs::exists(out / "map.tfw"));
      }

      const ChildResult again = Batch(program, args);
      EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
      EXPECT_EQ(LevelsSeen(read), after);
      EXPECT_EQ(Names(intoDestination ? out : work), way.left);
      EXPECT_TRUE(TempFolderEmpty());
      ++crashes;
    }
  }
  std::printf("%d crashes, each leaving the old file or the new one\n", crashes);
}

}  // namespace
}  // namespace kelvory::test
