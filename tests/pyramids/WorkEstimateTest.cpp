#include "pyramids/WorkEstimate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kelvory {
namespace {

TEST(WorkEstimate, BigFilesWeighMoreAndRowsThatCostNothingLeaveTheSums) {
  WorkEstimate estimate({100, 300, 600});
  EXPECT_EQ(estimate.SecondsLeft(10), std::nullopt);  // nothing reported yet
  estimate.RowSettled(0);                              // up to date: free
  EXPECT_DOUBLE_EQ(estimate.Fraction(), 0);
  estimate.RowProgress(2, 50);
  EXPECT_DOUBLE_EQ(estimate.Fraction(), 300.0 / 900.0);
  EXPECT_EQ(estimate.SecondsLeft(1), std::nullopt);  // too early to tell
  EXPECT_DOUBLE_EQ(*estimate.SecondsLeft(7), 14.0);  // a third in 7 s
  estimate.RowSettled(2);
  EXPECT_DOUBLE_EQ(estimate.Fraction(), 600.0 / 900.0);
  estimate.RowProgress(1, 10);
  estimate.RowSettled(1);
  estimate.RowProgress(1, 20);  // late news of a settled row changes nothing
  EXPECT_DOUBLE_EQ(estimate.Fraction(), 1);
  EXPECT_EQ(estimate.Settled(), 3);
  EXPECT_EQ(estimate.SecondsLeft(0.5), 0.0);
}

TEST(WorkEstimate, EveryRowFreeOrNoneIsStillAFraction) {
  WorkEstimate free({5, 0});
  free.RowSettled(0);
  EXPECT_DOUBLE_EQ(free.Fraction(), 0);
  free.RowSettled(1);
  EXPECT_DOUBLE_EQ(free.Fraction(), 1);
  EXPECT_DOUBLE_EQ(WorkEstimate({}).Fraction(), 1);
}

// A build of 25 files, one of them 432 MB, on two slots, with a clock of its own: each
// file takes time by its size, and its tool tells its percentage in steps of ten that
// come early, as gdaladdo's do. Once a fifth of the work is done the time left shown
// stays within 30 % of the truth (or two seconds, at the very end).
TEST(WorkEstimate, SteadyTimeLeftStaysNearTheTruthOnceAFifthIsDone) {
  for (const int bigAt : {0, 12, 24}) {
    std::vector<double> megabytes;
    for (int i = 0; i < 25; ++i) megabytes.push_back(i == bigAt ? 432.0 : 6.0 + (i * 7) % 35);
    constexpr double MegabytesPerSecond = 25;
    constexpr double Tick = 0.25;
    WorkEstimate estimate(megabytes);
    struct Slot {
      int row = -1;
      double start = 0;
    } slots[2];
    int next = 0;
    std::vector<std::pair<double, std::optional<double>>> shown;  // time, time left
    std::vector<double> fractions;
    double now = 0;
    while (estimate.Settled() < estimate.Total()) {
      for (Slot& slot : slots) {
        if (slot.row >= 0) {
          const double part = (now - slot.start) / (megabytes[static_cast<std::size_t>(slot.row)] / MegabytesPerSecond);
          if (part >= 1) {
            estimate.RowSettled(slot.row, now);
            slot.row = -1;
          } else {
            estimate.RowProgress(slot.row, static_cast<int>(std::floor(part * 10)) * 10, now);
          }
        }
        if (slot.row < 0 && next < estimate.Total()) {
          slot = {next++, now};
          estimate.RowStarted(slot.row, now);
        }
      }
      shown.emplace_back(now, estimate.SteadySecondsLeft(now));
      fractions.push_back(estimate.Fraction());
      now += Tick;
    }
    const double end = now - Tick;
    for (std::size_t i = 0; i < shown.size(); ++i) {
      if (fractions[i] < 0.2) continue;
      const double truth = end - shown[i].first;
      ASSERT_TRUE(shown[i].second.has_value()) << "big file " << bigAt << " at " << shown[i].first;
      EXPECT_NEAR(*shown[i].second, truth, std::max(0.3 * truth, 2.0)) << "big file " << bigAt << " at " << shown[i].first;
    }
  }
}

}  // namespace
}  // namespace kelvory
