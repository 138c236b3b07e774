// Repeated runs on scripted clocks: the warm-up is left out, each test's and the total's median,
// spread and standard deviation come out on both clocks, and the score is the median total's.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "app/run/benchmark_table.h"
#include "app/run/benchmark_runner.h"
#include "app/results/statistics.h"
#include "tests/app/results_support.h"

namespace asmpic::app {
namespace {

TEST(Summarize, MedianOfOddAndEvenCountsAndTheSampleStandardDeviation) {
  const std::array<double, 5> odd{9.0, 1.0, 5.0, 3.0, 7.0};
  const Statistics a = Summarize(odd);
  EXPECT_EQ(a.count, 5);
  EXPECT_DOUBLE_EQ(a.median, 5.0);
  EXPECT_DOUBLE_EQ(a.min, 1.0);
  EXPECT_DOUBLE_EQ(a.max, 9.0);
  EXPECT_NEAR(a.stddev, std::sqrt(10.0), 1e-12);  // squares 40 over n - 1 = 4

  const std::array<double, 4> even{4.0, 1.0, 10.0, 2.0};
  EXPECT_DOUBLE_EQ(Summarize(even).median, 3.0);

  const std::array<double, 1> one{0.25};
  const Statistics single = Summarize(one);
  EXPECT_DOUBLE_EQ(single.median, 0.25);
  EXPECT_DOUBLE_EQ(single.stddev, 0.0);
  EXPECT_EQ(Summarize({}).count, 0);
}

// Each test of each run lasts a chosen time on both clocks; the warm-up lasts 50 s per test, so
// that counting it would show everywhere.
class ScriptedRuns : public ::testing::Test {
 protected:
  static constexpr int kRepeat = 4;
  static constexpr std::array<double, kRepeat> kRotate{1.0, 3.0, 2.0, 10.0};

  static double Duration(int run, int test) {  // run 0 is the warm-up
    if (run == 0) return 50.0;
    return test == 0 ? kRotate[static_cast<std::size_t>(run - 1)] : 0.25 * run;
  }

  // Two readings per test: at its start and at its end.
  static std::vector<double> Readings(double start, double scale) {
    std::vector<double> readings;
    double now = start;
    for (int run = 0; run <= kRepeat; ++run) {
      for (int test = 0; test < 7; ++test) {
        readings.push_back(now);
        now += scale * Duration(run, test);
        readings.push_back(now);
        now += 0.125;
      }
    }
    return readings;
  }

  BenchmarkResult Run() {
    BenchmarkPlan plan;
    plan.repeat = kRepeat;
    plan.kernels = testing::IdleKernels();
    BenchmarkHooks hooks;
    hooks.timeOfDay = [this] { return static_cast<float>(timeOfDay.Next()); };
    hooks.monotonic = [this] { return monotonic.Next(); };
    return RunBenchmark(platform::Image(300, 222), platform::Image(305, 98), plan, hooks);
  }

  testing::Script timeOfDay{Readings(1000.0, 1.0)};
  testing::Script monotonic{Readings(5.0, 2.0)};
};

TEST_F(ScriptedRuns, EachTestsStatisticsLeaveTheWarmUpOut) {
  const BenchmarkResult r = Run();
  EXPECT_EQ(timeOfDay.used(), 2u * 7 * (kRepeat + 1));
  EXPECT_EQ(monotonic.used(), 2u * 7 * (kRepeat + 1));
  ASSERT_EQ(r.runs.size(), static_cast<std::size_t>(kRepeat));
  ASSERT_EQ(r.perTest.size(), 7u);

  const TestStatistics& rotate = r.perTest[0];
  EXPECT_DOUBLE_EQ(rotate.seconds.median, 2.5);
  EXPECT_DOUBLE_EQ(rotate.seconds.min, 1.0);
  EXPECT_DOUBLE_EQ(rotate.seconds.max, 10.0);
  EXPECT_DOUBLE_EQ(rotate.monotonicSeconds.median, 5.0);
  EXPECT_DOUBLE_EQ(rotate.monotonicSeconds.max, 20.0);

  for (int test = 1; test < 7; ++test) {
    const TestStatistics& s = r.perTest[static_cast<std::size_t>(test)];
    EXPECT_EQ(s.test, test);
    EXPECT_DOUBLE_EQ(s.seconds.median, 0.625);
    EXPECT_DOUBLE_EQ(s.seconds.min, 0.25);
    EXPECT_DOUBLE_EQ(s.seconds.max, 1.0);
    EXPECT_NEAR(s.seconds.stddev, std::sqrt(0.3125 / 3.0), 1e-9);
    EXPECT_NEAR(s.monotonicSeconds.stddev, 2.0 * std::sqrt(0.3125 / 3.0), 1e-9);
  }
}

TEST_F(ScriptedRuns, TheScoreComesFromTheMedianTotal) {
  const BenchmarkResult r = Run();
  // Totals 2.5, 6, 6.5 and 16 s: the median is 6.25 s.
  EXPECT_DOUBLE_EQ(r.total.median, 6.25);
  EXPECT_DOUBLE_EQ(r.total.min, 2.5);
  EXPECT_DOUBLE_EQ(r.total.max, 16.0);
  EXPECT_DOUBLE_EQ(r.monotonicTotal.median, 12.5);
  ASSERT_TRUE(r.score);
  EXPECT_EQ(r.score->value, ComputeScore(6.25f).value);
  EXPECT_EQ(r.score->colour, kGreen);
  // The list is the last run's, as the window would show it.
  EXPECT_EQ(r.listLines.front(), "Rotating... 10");
  EXPECT_EQ(r.listLines.back(), "Twirl... 1");
}

}  // namespace
}  // namespace asmpic::app
