// The safe replace's order of steps, what a failure at each step leaves, and hard
// links.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ReplaceFile.h"
#include "tests/pyramids/Scratch.h"

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

}  // namespace
}  // namespace kelvory::platform
