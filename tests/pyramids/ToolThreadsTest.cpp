#include "pyramids/ToolThreads.h"

#include <gtest/gtest.h>

namespace kelvory {
namespace {

TEST(ToolThreads, AToolTakesItsShareOfTheProcessorsNoOtherToolWillUse) {
  struct Case {
    const char* what;
    CoreUse use;  // cores, slots, threads running, files waiting
    int threads;
  };
  const Case cases[] = {
      {"one file alone", {4, 4, 0, 0}, 4},
      {"more files than slots", {4, 4, 0, 7}, 1},
      {"the first of two files on two processors", {2, 2, 0, 1}, 1},
      {"the second of them", {2, 2, 1, 0}, 1},
      {"the last file beside a running tool", {8, 8, 1, 0}, 7},
      {"the first of three files on eight processors", {8, 8, 0, 2}, 2},
      {"the second of them", {8, 8, 2, 1}, 3},
      {"the third of them, the last processors", {8, 8, 5, 0}, 3},
      {"threads given out count, not tools", {4, 4, 3, 0}, 1},
      {"fewer slots than processors bound the threads too", {8, 2, 0, 0}, 2},
      {"one slot", {8, 1, 0, 0}, 1},
      {"more slots than processors", {2, 4, 0, 2}, 1},
      {"more slots than processors, one file", {2, 4, 0, 0}, 2},
      {"tools already over the processors", {2, 4, 3, 0}, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(ToolThreads(c.use), c.threads) << c.what;
}

TEST(ToolThreads, TheUsersThreadCountIsFoundInAnyLetterCase) {
  const std::vector<std::pair<std::string, std::string>> config = {{"COMPRESS_OVERVIEW", "LZW"},
                                                                    {"gdal_num_threads", "ALL_CPUS"}};
  EXPECT_EQ(ChosenThreadArguments(config), (std::vector<std::string>{"--config", "gdal_num_threads", "ALL_CPUS"}));
  EXPECT_FALSE(OnlyThreadOptions(config));
  EXPECT_TRUE(OnlyThreadOptions({config[1]}));
  EXPECT_TRUE(ChosenThreadArguments({{"GDAL_NUM_THREADSX", "2"}}).empty());
}

}  // namespace
}  // namespace kelvory
