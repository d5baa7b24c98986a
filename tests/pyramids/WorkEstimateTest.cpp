#include "pyramids/WorkEstimate.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kelvory
