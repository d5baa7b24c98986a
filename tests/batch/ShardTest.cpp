#include "batch/Shard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/BatchOptions.h"

namespace kelvory {
namespace {

TEST(Shard, EveryPathFallsInExactlyOneShareOfN) {
  std::vector<std::string> paths;
  for (int i = 0; i < 300; ++i) paths.push_back("/srv/maps/" + std::to_string(i % 17) + "/sheet-" + std::to_string(i) + ".tif");
  paths.push_back("");
  paths.push_back("/srv/\xff\xfe.tif");
  for (const int n : {1, 2, 3, 4, 7, 64}) {
    SCOPED_TRACE("N = " + std::to_string(n));
    std::vector<int> rowsPerShare(static_cast<std::size_t>(n));
    for (const std::string& path : paths) {
      int shares = 0;
      for (int k = 1; k <= n; ++k) {
        if (InShard(path, {k, n})) {
          ++shares;
          ++rowsPerShare[static_cast<std::size_t>(k - 1)];
        }
      }
      EXPECT_EQ(shares, 1) << path;
    }
    // A few shares may be small, but a hash that puts everything in one is no split.
    if (n > 1 && n < 10) {
      for (const int rows : rowsPerShare) EXPECT_GT(rows, 0);
    }
  }
}

TEST(Shard, TheSplitIsFnv1aOfThePathBytesAndSoTheSameEverywhere) {
  // Published FNV-1a 64-bit values.
  EXPECT_EQ(PathHash(""), 0xcbf29ce484222325ull);
  EXPECT_EQ(PathHash("a"), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(PathHash("foobar"), 0x85944171f73967e8ull);
}

TEST(Shard, CommandLineTakesKOfNAndRefusesEverythingElse) {
  EXPECT_EQ(ParseArguments({"--shard", "2/4", "x.tif"}).shard, (Shard{2, 4}));
  EXPECT_EQ(ParseArguments({"--shard=1/1", "x.tif"}).shard, (Shard{1, 1}));
  EXPECT_EQ(ParseArguments({"x.tif"}).shard, (Shard{1, 1}));
  EXPECT_TRUE(ParseArguments({"--json", "x.tif"}).json);
  for (const char* wrong : {"0/4", "5/4", "4", "1/0", "-1/4", "1/4/", "a/b", "/4", "1/", " 1/4", "1/4x"}) {
    EXPECT_THROW(ParseArguments({"--shard", wrong, "x.tif"}), UsageError) << wrong;
  }
  EXPECT_THROW(ParseArguments({"--shard", "1/2", "--shard", "2/2", "x.tif"}), UsageError);
  EXPECT_THROW(ParseArguments({"--json=yes", "x.tif"}), UsageError);
}

}  // namespace
}  // namespace kelvory
