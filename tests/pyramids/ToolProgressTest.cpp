#include <gtest/gtest.h>

#include "pyramids/ToolProgress.h"

namespace kelvory {
namespace {

TEST(ToolProgress, LastCompleteMarkAndItsDotsGiveThePercentage) {
  struct Case {
    const char* output;
    int percent;
  };
  const Case cases[] = {
      {"", -1},
      {"0", -1},  // the mark may still grow
      {"0.", 2},
      {"0...", 7},
      {"0...1", 7},
      {"0...10", 7},  // "10" may become "100"
      {"0...10.", 12},
      {"0...10...20...30...40...50...60...70...80...90...100", 97},
      {"0...10...20...30...40...50...60...70...80...90...100 - done.\n", 100},
      // A second pass starts again from zero.
      {"0...10...20...30...40...50...60...70...80...90...100 - done.\n0...10.", 12},
      // Other text is no progress.
      {"Warning 1: 3 bands.\n", -1},
      {"1234.", -1},
      {"0...10.....", 17},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressPercent(c.output), c.percent) << '"' << c.output << '"';
}

}  // namespace
}  // namespace kelvory
