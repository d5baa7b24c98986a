// The safe replace's order of steps, what a failure at each step leaves, hard links,
// and working copies left by a run that died.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Scratch.h"
#include "platform/ReplaceFile.h"
#include "pyramids/ExternalLevels.h"
#include "pyramids/WorkFolder.h"
#include "platform/TempFile.h"

namespace kelvory::platform {
namespace {

using test::ReadBytes;
using test::Scratch;
using test::WriteBytes;
namespace fs = std::filesystem;

// Records every step and makes the one named fail, as a crash or a full disk would.
class RecordingSteps : public ReplaceSteps {
 public:
  explicit RecordingSteps(std::string failing = {}) : failing_(std::move(failing)) {}
  std::vector<std::string> steps;

  std::error_code SyncFile(const std::string& path) override { return Step("sync file", [&] { return ReplaceSteps::SyncFile(path); }); }
  std::error_code TakeOverAttributes(const std::string& model, const std::string& path) override {
    return Step("attributes", [&] { return ReplaceSteps::TakeOverAttributes(model, path); });
  }
  std::error_code Rename(const std::string& from, const std::string& to) override {
    return Step("rename", [&] { return ReplaceSteps::Rename(from, to); });
  }
  std::error_code SyncFolder(const std::string& folder) override {
    return Step("sync folder", [&] { return ReplaceSteps::SyncFolder(folder); });
  }

 private:
  template <typename F>
  std::error_code Step(const std::string& name, F real) {
    steps.push_back(name);
    return name == failing_ ? std::make_error_code(std::errc::io_error) : real();
  }
  std::string failing_;
};

TEST(SafeReplace, DataReachTheDiskBeforeTheNameAndTheFolderAfterIt) {
  Scratch s;
  const std::string target = s.Data() + "list.txt";
  WriteBytes(target, "old");
  RecordingSteps steps;
  EXPECT_FALSE(ReplaceFileContents(target, "new", steps));
  EXPECT_EQ(steps.steps, (std::vector<std::string>{"attributes", "sync file", "rename", "sync folder"}));
  EXPECT_EQ(ReadBytes(target), "new");
}

TEST(SafeReplace, AFailureBeforeTheRenameLeavesTheOldFileAndNoNewOne) {
  for (const char* failing : {"attributes", "sync file", "rename"}) {
    SCOPED_TRACE(failing);
    Scratch s;
    const std::string target = s.Data() + "list.txt";
    WriteBytes(target, "old");
    RecordingSteps steps(failing);
    EXPECT_EQ(ReplaceFileContents(target, "new", steps), std::errc::io_error);
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(fs::directory_iterator(s.Data())->path().filename(), "list.txt");
    EXPECT_EQ(std::distance(fs::directory_iterator(s.Data()), fs::directory_iterator()), 1);
  }
  // After the rename the new file is in place; the failed folder sync is still told.
  Scratch s;
  const std::string target = s.Data() + "list.txt";
  WriteBytes(target, "old");
  RecordingSteps steps("sync folder");
  EXPECT_EQ(ReplaceFileContents(target, "new", steps), std::errc::io_error);
  EXPECT_EQ(ReadBytes(target), "new");
}

TEST(SafeReplace, AHardLinkedFileIsNotSplit) {
  Scratch s;
  const std::string target = s.Data() + "a.tif";
  const std::string other = s.Data() + "b.tif";
  WriteBytes(target, "old");
  fs::create_hard_link(target, other);
  EXPECT_EQ(CheckReplaceable(target), std::errc::too_many_links);
  // A list file is small: it is written in place and stays one file under both names.
  EXPECT_FALSE(ReplaceFileContents(target, "new"));
  EXPECT_EQ(ReadBytes(other), "new");
  EXPECT_EQ(fs::hard_link_count(target), 2u);
}

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
