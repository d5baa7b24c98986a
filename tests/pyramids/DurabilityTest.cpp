// Working copies left by a run that died, and an external overview file a run left
// unfinished.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Scratch.h"
#include "pyramids/ExternalLevels.h"
#include "pyramids/WorkFolder.h"
#include "platform/TempFile.h"

namespace kelvory::platform {
namespace {

using test::ReadBytes;
using test::Scratch;
using test::WriteBytes;
namespace fs = std::filesystem;

TEST(Orphans, OnlyWorkingCopiesWhoseOwnerIsGoneAreRemoved) {
  Scratch s;
  const std::string folder = s.Tmp() + "/";
  std::error_code error;
  TempFile mine = TempFile::Create(folder, "kelvory", error);
  ASSERT_FALSE(error);
  // One made by a process that then died without cleaning up.
  const pid_t child = ::fork();
  if (child == 0) {
    TempFile left = TempFile::Create(folder, "kelvory", error);
    left.Keep();
    ::_exit(error ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  WriteBytes(folder + "kelvory-notes.txt", "the user's");
  WriteBytes(folder + "kelvoryABC", "too short for a working copy");

  EXPECT_EQ(RemoveOrphans(folder, "kelvory"), 1);
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(folder)) left.push_back(entry.path().string());
  std::sort(left.begin(), left.end());
  std::vector<std::string> expected{mine.Path(), folder + "kelvory-notes.txt", folder + "kelvoryABC"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
}

}  // namespace
}  // namespace kelvory::platform

namespace kelvory::test {
namespace {

// Levels built beside a file go into a copy of its overview file in the file's work
// folder: the overview file readers see is the old one until the new one replaces it
// whole. An unfinished run leaves only the work folder, which the next run in that
// folder removes, whether the run failed or its process died.
TEST(ExternalLevels, AnUnfinishedRunLeavesTheOverviewFileAsItWas) {
  const auto entries = [](const std::string& folder) {
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(folder)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    return left;
  };
  for (const bool hadOverviews : {false, true}) {
    for (const bool died : {false, true}) {
      SCOPED_TRACE(std::string(hadOverviews ? "with" : "without") + " an overview file, " + (died ? "died" : "failed"));
      Scratch s;
      const std::string raster = s.Data() + "a.tif";
      WriteBytes(raster, "raster");
      if (hadOverviews) WriteBytes(raster + ".ovr", "old levels");
      // Ends this process on the spot when dying, its build still alive.
      const auto halfRun = [&](bool dying) {
        std::error_code error;
        ExternalLevelsBuild build = ExternalLevelsBuild::Prepare(raster, error);
        if (error) return false;
        if (hadOverviews && ReadBytes(build.Scratch()) != "old levels") return false;
        WriteBytes(build.Scratch(), "half-written levels");
        if (dying) ::_exit(0);
        return true;
      };
      if (died) {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(halfRun(true) ? 0 : 1);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(RemoveOrphanWorkFolders(s.Data()), 1);
      } else {
        ASSERT_TRUE(halfRun(false));
      }
      const std::vector<std::string> expected =
          hadOverviews ? std::vector<std::string>{"a.tif", "a.tif.ovr"} : std::vector<std::string>{"a.tif"};
      EXPECT_EQ(entries(s.Data()), expected);
      if (hadOverviews) {
        EXPECT_EQ(ReadBytes(raster + ".ovr"), "old levels");
      }
    }
  }
  Scratch s;
  const std::string raster = s.Data() + "b.tif";
  WriteBytes(raster, "raster");
  std::error_code error;
  ExternalLevelsBuild build = ExternalLevelsBuild::Prepare(raster, error);
  ASSERT_FALSE(error);
  WriteBytes(build.Scratch(), "new levels");
  EXPECT_FALSE(fs::exists(raster + ".ovr"));
  EXPECT_FALSE(build.Commit());
  EXPECT_EQ(RemoveOrphanWorkFolders(s.Data()), 0);
  EXPECT_EQ(entries(s.Data()), (std::vector<std::string>{"b.tif", "b.tif.ovr"}));
  EXPECT_EQ(ReadBytes(raster + ".ovr"), "new levels");
}

}  // namespace
}  // namespace kelvory::test
