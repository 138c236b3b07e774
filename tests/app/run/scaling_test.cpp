// Thread scaling: which thread counts an affinity mask gives, and the speed-up and efficiency
// worked out per round, so that a machine drifting between rounds cannot fake a speed-up.
#include <gtest/gtest.h>

#include "app/run/scaling.h"

namespace asmpic::app {
namespace {

ScalingPoint Point(int threads, std::vector<double> mpix) {
  ScalingPoint point;
  point.threads = threads;
  point.mpix = std::move(mpix);
  return point;
}

cpu_set_t Mask(std::initializer_list<int> processors) {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  for (const int p : processors) CPU_SET(p, &mask);
  return mask;
}

TEST(ScalingThreadCounts, DoubleUpToTheProcessorsOfTheMaskAndEndThere) {
  EXPECT_EQ(ScalingThreadCounts(Mask({0})), (std::vector<int>{1}));  // taskset -c 0
  EXPECT_EQ(ScalingThreadCounts(Mask({})), (std::vector<int>{1}));
  EXPECT_EQ(ScalingThreadCounts(Mask({0, 1})), (std::vector<int>{1, 2}));
  EXPECT_EQ(ScalingThreadCounts(Mask({0, 1, 2, 3})), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(ScalingThreadCounts(Mask({0, 1, 2, 3, 4, 5})), (std::vector<int>{1, 2, 4, 6}));
  // The processors allowed, not their numbers: a sparse mask of three is three threads.
  EXPECT_EQ(ScalingThreadCounts(Mask({3, 17, 40})), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ScalingThreadCounts(64), (std::vector<int>{1, 2, 4, 8, 16, 32, 64}));
}

TEST(ScalingSummary, SpeedUpsPairEachRoundWithItsOwnOneThreadPoint) {
  ScalingResult result;
  // The machine halves its speed every other round; each round's two points move together.
  result.points = {Point(1, {100, 50, 100, 50, 100, 50, 100, 50, 100}),
                   Point(2, {190, 95, 190, 95, 190, 95, 190, 95, 190})};
  SummarizeScaling(result);
  EXPECT_EQ(result.rounds, 9);
  const ScalingPoint& two = result.points[1];
  // Paired, the drift leaves no spread at all.
  EXPECT_DOUBLE_EQ(two.speedup.median, 1.9);
  ASSERT_TRUE(two.speedup.low && two.speedup.high);
  EXPECT_DOUBLE_EQ(*two.speedup.low, 1.9);
  EXPECT_DOUBLE_EQ(*two.speedup.high, 1.9);
  const MedianEstimate efficiency = two.efficiency();
  EXPECT_DOUBLE_EQ(efficiency.median, 0.95);
  EXPECT_DOUBLE_EQ(*efficiency.high, 0.95);
  EXPECT_DOUBLE_EQ(result.points[0].speedup.median, 1.0);
  EXPECT_DOUBLE_EQ(result.points[0].efficiency().median, 1.0);
}

TEST(ScalingSummary, RoundsWithoutAOneThreadSpeedAreLeftOutAndIntervalsScaleWithThreads) {
  ScalingResult result;
  result.points = {Point(1, {0, 100, 100, 100, 100, 100, 100}),
                   Point(4, {400, 300, 320, 340, 360, 380, 390})};
  SummarizeScaling(result);
  const ScalingPoint& four = result.points[1];
  EXPECT_EQ(four.speedups.size(), 6u);  // not an infinite speed-up from the empty round
  EXPECT_DOUBLE_EQ(four.speedup.median, 3.5);
  ASSERT_TRUE(four.speedup.low && four.speedup.high);
  const MedianEstimate efficiency = four.efficiency();
  EXPECT_DOUBLE_EQ(*efficiency.low, *four.speedup.low / 4);
  EXPECT_DOUBLE_EQ(*efficiency.high, *four.speedup.high / 4);
  EXPECT_LE(*efficiency.high, 1.0);
}

}  // namespace
}  // namespace asmpic::app
