#include "filelist/CaptionIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace kelvory {
namespace {

// Captions added and removed at random, many times over, against a plain vector of the
// rows: the table grows, and its runs of neighbours often wrap around its end. Every
// caption is found at its row, removed ones not at all.
TEST(CaptionIndex, FindsEveryRowThroughGrowthAndRemovals) {
  std::vector<std::string> rows;
  CaptionIndex index([&rows](int row) -> std::string_view { return rows[static_cast<std::size_t>(row)]; });
  std::mt19937 random(20261208);
  std::vector<std::string> removed;
  for (int step = 0; step < 20000; ++step) {
    const auto pick = [&](std::size_t size) { return std::uniform_int_distribution<std::size_t>(0, size - 1)(random); };
    if (rows.empty() || pick(3) != 0) {
      const std::string caption = "/m/" + std::to_string(pick(300)) + ".tif";
      const int listed = index.FindOrAdd(caption, static_cast<int>(rows.size()));
      if (listed == -1) {
        rows.push_back(caption);
      } else {
        ASSERT_EQ(rows[static_cast<std::size_t>(listed)], caption) << "step " << step;
      }
    } else {
      const std::size_t row = pick(rows.size());
      index.Remove(static_cast<int>(row));
      removed.push_back(rows[row]);
      rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
    }
  }
  for (std::size_t row = 0; row < rows.size(); ++row) ASSERT_EQ(index.Find(rows[row]), static_cast<int>(row));
  for (const std::string& caption : removed) {
    if (std::find(rows.begin(), rows.end(), caption) == rows.end()) {
      ASSERT_EQ(index.Find(caption), -1) << caption;
    }
  }
  index.Clear();
  EXPECT_EQ(index.Find(rows.front()), -1);
}

}  // namespace
}  // namespace kelvory
