// A build that appends levels, killed in the middle of the append, is settled by the
// next run in one go, whichever name of the file that run is given, and the file is
// left with no bytes of the killed build in it.
#include <string>
#include <vector>

#include "tests/batch/BatchFixture.h"

namespace kelvory::test {
namespace {

TEST_F(BatchCommand, AnAppendKilledMidwayIsSettledByOneRunUnderAnyName) {
  const fs::path program = Program("", true);
  struct Case {
    const char* name;
    bool secondName;  // rebuilt through another hard link of the file
  };
  for (const Case c : {Case{"same name", false}, Case{"another name", true}}) {
    SCOPED_TRACE(c.name);
    const fs::path folder = root_ / (c.secondName ? "linked" : "plain");
    fs::create_directories(folder);
    const fs::path file = Tiff("map.tif", 3000, 2000);
    fs::rename(file, folder / "map.tif");
    const fs::path reference = folder / "reference.tif";
    fs::copy_file(folder / "map.tif", reference);
    if (c.secondName) {
      fs::create_hard_link(folder / "map.tif", folder / "map 2.tif");
      fs::create_hard_link(reference, folder / "reference 2.tif");
    }
    const ChildResult killed = RunChild({APPEND_LINK_CHILD, (folder / "map.tif").string(), "SyncAppend", "average", "2", "4"});
    ASSERT_TRUE(!killed.exited || killed.exitCode != 0);
    ASSERT_GT(fs::file_size(folder / "map.tif"), fs::file_size(reference));

    const fs::path rebuilt = folder / (c.secondName ? "map 2.tif" : "map.tif");
    // Nearest levels of an uncompressed file keep the working copy.
    const ChildResult run = Batch(program, {"-r", "average", rebuilt.string(), reference.string()});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(SortedLines(run.out), SortedLines("done: " + rebuilt.string() + "\ndone: " + reference.string() + "\n"));
    // No dead bytes: the same size as the same build of an untouched copy.
    EXPECT_EQ(fs::file_size(rebuilt), fs::file_size(reference));
    EXPECT_EQ(DirectoryCount(rebuilt), DirectoryCount(reference));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder)) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    const std::vector<std::string> expected =
        c.secondName ? std::vector<std::string>{"map 2.tif", "map.tif", "reference 2.tif", "reference.tif"}
                     : std::vector<std::string>{"map.tif", "reference.tif"};
    EXPECT_EQ(left, expected);
  }
}

}  // namespace
}  // namespace kelvory::test
