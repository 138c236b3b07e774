// The throughput score on a scripted clock: megapixels per second per test, the geometric mean,
// the multi-core sum, runs that fill the minimum time, and the interval of the median.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "app/run/benchmark_table.h"
#include "app/run/benchmark_runner.h"
#include "app/results/statistics.h"
#include "app/results/throughput.h"
#include "tests/app/results_support.h"

namespace asmpic::app {
namespace {

constexpr std::array<double, 7> kSeconds = {0.5, 0.04, 0.01, 0.06, 0.008, 0.012, 0.13};

// A monotonic clock on which test t (of the seven, in order) takes kSeconds[t] / speed. Each
// thread reads its own script (start and end of every test, in order), as the recorders do.
// Test t takes seconds(t) on each thread's own script (start and end of every test, in order).
MonotonicClock TestClock(std::function<double(long long)> seconds) {
  struct Script {
    long long readings = 0;
    double now = 0.0;
  };
  auto scripts = std::make_shared<std::pair<std::mutex, std::map<std::thread::id, Script>>>();
  return [seconds, scripts] {
    std::lock_guard lock(scripts->first);
    Script& s = scripts->second[std::this_thread::get_id()];
    const long long n = s.readings++;
    if (n % 2 == 1) s.now += seconds(n / 2);
    return s.now;
  };
}

// The seven tests at kSeconds / speed.
MonotonicClock TestClock(double speed) {
  return TestClock([speed](long long test) { return kSeconds[static_cast<std::size_t>(test % 7)] / speed; });
}

BenchmarkResult Scripted(MonotonicClock clock, int threads, int repeat = 2, double minTime = 0.0,
                         std::vector<int> tests = {0, 1, 2, 3, 4, 5, 6}) {
  BenchmarkPlan plan;
  plan.tests = std::move(tests);
  plan.repeat = repeat;
  plan.minTime = minTime;
  plan.warmup = false;
  plan.threads = threads;
  plan.kernels = testing::IdleKernels();
  BenchmarkHooks hooks;
  hooks.monotonic = std::move(clock);
  return RunBenchmark(testing::Shipped().picture1, testing::Shipped().picture2, plan, hooks);
}

TEST(Throughput, DoublingEveryTestsSpeedDoublesEveryFigureAndTheScore) {
  const BenchmarkResult slow = Scripted(TestClock(1.0), 2);
  const BenchmarkResult fast = Scripted(TestClock(2.0), 2);
  ASSERT_EQ(slow.pixelsPerCall, 297 * 217);
  ASSERT_EQ(slow.throughput.tests.size(), 7u);
  // 720 rotations of 297 x 217 pixels in 0.5 s.
  EXPECT_NEAR(slow.throughput.tests[0].median, 720.0 * 297 * 217 / 0.5 / 1e6, 1e-9);
  double logs = 0.0;
  for (std::size_t t = 0; t < 7; ++t) {
    const double mpix = CallCount(kBenchmarkTests[t]) * 297.0 * 217.0 / kSeconds[t] / 1e6;
    EXPECT_NEAR(slow.throughput.tests[t].median, mpix, 1e-9 * mpix) << t;
    EXPECT_NEAR(fast.throughput.tests[t].median, 2 * mpix, 2e-9 * mpix) << t;
    logs += std::log(mpix);
  }
  EXPECT_NEAR(slow.throughput.score.median, std::exp(logs / 7), 1e-9 * slow.throughput.score.median);
  EXPECT_NEAR(fast.throughput.score.median / slow.throughput.score.median, 2.0, 1e-12);
  // Two engines at once, each as fast as the one alone: twice the throughput.
  ASSERT_TRUE(slow.multiCore && fast.multiCore);
  EXPECT_NEAR(slow.multiCore->throughput.score.median / slow.throughput.score.median, 2.0, 1e-12);
  EXPECT_NEAR(fast.multiCore->throughput.score.median / slow.multiCore->throughput.score.median, 2.0, 1e-12);
  EXPECT_EQ(slow.multiCore->throughput.score.count, 2);
}

TEST(Throughput, TimedRunsFillTheMinimumTimeAndTheMultiCorePassesToo) {
  // One contour test of a second per run (and per multi-core pass): 5 runs at least, and as many
  // as the minimum time needs.
  const auto second = [] { return TestClock([](long long) { return 1.0; }); };
  EXPECT_EQ(Scripted(second(), 1, 5, 0.0, {2}).runs.size(), 5u);
  const BenchmarkResult filled = Scripted(second(), 1, 5, 7.5, {2});
  EXPECT_EQ(filled.runs.size(), 8u);
  ASSERT_TRUE(filled.multiCore);
  EXPECT_EQ(filled.multiCore->wallSeconds.size(), 8u);
}

TEST(Throughput, GeometricMeanOfNothingOrOfAStalledTestIsZero) {
  EXPECT_EQ(GeometricMean({}), 0.0);
  EXPECT_EQ(GeometricMean(std::vector<double>{4.0, 0.0}), 0.0);
  EXPECT_DOUBLE_EQ(GeometricMean(std::vector<double>{2.0, 8.0}), 4.0);
  EXPECT_EQ(MegapixelsPerSecond(720, 64449, 0.0), 0.0);
}

TEST(MedianInterval, OrderStatisticsGiveTheNarrowestIntervalThatCovers95Percent) {
  // Five runs cannot reach 95 %: the minimum to the maximum covers 1 - 2/32.
  const MedianEstimate five = EstimateMedian(std::vector<double>{5, 1, 4, 2, 3});
  EXPECT_EQ(five.median, 3);
  EXPECT_EQ(five.low, 1);
  EXPECT_EQ(five.high, 5);
  EXPECT_DOUBLE_EQ(five.confidence, 1.0 - 2.0 / 32.0);
  const MedianEstimate six = EstimateMedian(std::vector<double>{1, 2, 3, 4, 5, 6});
  EXPECT_EQ(six.low, 1);
  EXPECT_EQ(six.high, 6);
  EXPECT_DOUBLE_EQ(six.confidence, 1.0 - 2.0 / 64.0);
  // Twenty: the 6th to the 15th smallest (coverage 95.86 %).
  std::vector<double> twenty;
  for (int i = 20; i >= 1; --i) twenty.push_back(i);
  const MedianEstimate t = EstimateMedian(twenty);
  EXPECT_EQ(t.low, 6);
  EXPECT_EQ(t.high, 15);
  EXPECT_NEAR(t.confidence, 0.9586, 1e-4);
  EXPECT_NEAR(*t.relativeHalfWidth(), 4.5 / 10.5, 1e-12);
  // One sample has no interval.
  const MedianEstimate one = EstimateMedian(std::vector<double>{7});
  EXPECT_EQ(one.count, 1);
  EXPECT_FALSE(one.low || one.high || one.relativeHalfWidth());
}

// A million runs (--repeat allows them): the interval is the normal approximation's, about 1.96
// standard deviations (500 ranks) either side of the middle.
TEST(MedianInterval, AMillionSamples) {
  constexpr int kCount = 1000000;
  std::vector<double> samples;
  for (int i = kCount - 1; i >= 0; --i) samples.push_back(i);
  const MedianEstimate e = EstimateMedian(samples);
  ASSERT_TRUE(e.low && e.high);
  EXPECT_NEAR(*e.low, 499019, 2);
  EXPECT_DOUBLE_EQ(*e.low + *e.high, kCount - 1);
  EXPECT_GE(e.confidence, 0.95);
  EXPECT_LT(e.confidence, 0.9502);
}

TEST(MedianInterval, CoversTheTrueMedianAboutAsOftenAsItClaims) {
  // Samples from a skewed distribution whose median is known: 1 + exponential, median 1 + ln 2.
  std::uint64_t state = 12345;
  const auto uniform = [&] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
  };
  const double median = 1.0 + std::log(2.0);
  int covered = 0;
  constexpr int kTrials = 2000;
  for (int trial = 0; trial < kTrials; ++trial) {
    std::vector<double> samples;
    for (int i = 0; i < 15; ++i) samples.push_back(1.0 - std::log(uniform()));
    const MedianEstimate e = EstimateMedian(samples);
    covered += *e.low <= median && median <= *e.high;
  }
  EXPECT_NEAR(static_cast<double>(covered) / kTrials, EstimateMedian(std::vector<double>(15, 1.0)).confidence,
              0.02);
}

}  // namespace
}  // namespace asmpic::app
