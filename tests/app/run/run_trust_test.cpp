// How long a run goes on, the trend of its passes, the order of its tests and the multi-core
// throughput over wall time: scripted clocks and synthetic pass scores.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "app/run/benchmark_table.h"
#include "app/run/benchmark_runner.h"
#include "app/run/multicore_throughput.h"
#include "app/run/pass_budget.h"
#include "app/run/pass_order.h"
#include "app/run/run_verdict.h"
#include "app/run/trend.h"
#include "tests/app/results_support.h"

namespace asmpic::app {
namespace {

struct Simulated {
  int passes = 0;
  double end = 0.0;  // the clock when the last pass ended
  std::optional<PrecisionOutcome> outcome;
};

// Passes of `seconds(i)` each on a scripted clock that starts at 0, with scores from `score(i)`.
template <typename Seconds, typename Score>
Simulated Simulate(const PassBudgetPlan& plan, Seconds seconds, Score score) {
  PassBudget budget(plan, 0.0);
  std::vector<double> taken;
  std::vector<double> scores;
  double now = 0.0;
  double longest = 0.0;
  while (budget.Another(now, taken, longest, scores) && taken.size() < 100000) {
    const double pass = seconds(static_cast<int>(taken.size()));
    now += pass;
    longest = std::max(longest, pass);
    taken.push_back(pass);
    scores.push_back(score(static_cast<int>(scores.size())));
  }
  return {static_cast<int>(taken.size()), now, budget.outcome()};
}

TEST(PassBudget, PrecisionStopsEarlyOnQuietPassesAndAtTheBudgetOnNoisyOnes) {
  const PassBudgetPlan plan{5, 0.0, 0.01, 60.0};
  // Quiet: within ± 0.2 %; six passes give the first 95 % interval.
  const Simulated quiet = Simulate(plan, [](int) { return 1.0; }, [](int i) { return 100.0 + 0.2 * (i % 3 - 1); });
  ASSERT_TRUE(quiet.outcome);
  EXPECT_TRUE(quiet.outcome->met);
  EXPECT_EQ(quiet.passes, 6);
  EXPECT_EQ(quiet.outcome->Text(), "precision 0.2 % reached after 6 passes");

  // Noisy: ± 20 %, passes of uneven length; the budget ends the run and no pass overruns it.
  std::mt19937 random(7);
  std::uniform_real_distribution<double> length(0.5, 1.5);
  std::uniform_real_distribution<double> noise(80.0, 120.0);
  const Simulated noisy = Simulate(plan, [&](int) { return length(random); }, [&](int) { return noise(random); });
  ASSERT_TRUE(noisy.outcome);
  EXPECT_FALSE(noisy.outcome->met);
  EXPECT_TRUE(noisy.outcome->budgetEnded);
  EXPECT_LE(noisy.end, 60.0);
  EXPECT_GT(noisy.end, 57.0);
  EXPECT_EQ(noisy.outcome->Text().rfind("precision not reached: ", 0), 0u) << noisy.outcome->Text();

  // --min-time and the passes asked for still hold with a precision; without one, nothing else counts.
  EXPECT_EQ(Simulate({8, 0.0, 0.01, 60.0}, [](int) { return 1.0; }, [](int) { return 100.0; }).passes, 8);
  EXPECT_EQ(Simulate({5, 10.0, std::nullopt, std::nullopt}, [](int) { return 1.0; }, [](int) { return 1.0; }).passes,
            10);
  // A budget shorter than one pass still makes one.
  EXPECT_EQ(Simulate({5, 0.0, 0.01, 0.5}, [](int) { return 1.0; }, [](int) { return 1.0; }).passes, 1);
}

TEST(PassBudget, TheRunStopsOnAScriptedClockWithinMaxTime) {
  // Every reading of the clock is a millisecond later: the passes' scores do not vary.
  testing::Ticking clock;
  BenchmarkPlan plan;
  plan.repeat = 5;
  plan.kernels = testing::IdleKernels();
  plan.precision = 0.005;
  plan.maxTime = 10.0;
  plan.shuffle = true;
  plan.seed = 3;
  BenchmarkHooks hooks;
  hooks.monotonic = [&clock] { return clock.Next(); };
  const BenchmarkResult quiet = RunBenchmark(testing::Shipped().picture1, testing::Shipped().picture2, plan, hooks);
  ASSERT_TRUE(quiet.precision);
  EXPECT_TRUE(quiet.precision->met);
  EXPECT_EQ(quiet.runs.size(), 6u);
  EXPECT_NE(quiet.runs[0].order, quiet.runs[1].order);

  // Readings that jump unevenly: the scores never agree and the budget of 0.5 s ends the run.
  std::mt19937 random(11);
  double now = 0.0;
  hooks.monotonic = [&] { return now += std::uniform_real_distribution<double>(0.0005, 0.0015)(random); };
  plan.precision = 0.0001;
  plan.maxTime = 0.5;
  const BenchmarkResult noisy = RunBenchmark(testing::Shipped().picture1, testing::Shipped().picture2, plan, hooks);
  ASSERT_TRUE(noisy.precision);
  EXPECT_FALSE(noisy.precision->met);
  EXPECT_GT(noisy.runs.size(), 6u);
  EXPECT_LE(noisy.runs.back().tests.back().startSeconds, 0.5);
  double lastEnd = 0.0;
  for (const TestSample& s : noisy.runs.back().tests) lastEnd = std::max(lastEnd, s.startSeconds + s.monotonicSeconds);
  EXPECT_LE(lastEnd, 0.5);
}

TEST(Trend, ASlowDownIsUnstableAndSteadyNoiseIsNot) {
  std::mt19937 random(5);
  std::normal_distribution<double> noise(0.0, 0.005);
  std::vector<double> slowing;
  for (int i = 0; i < 15; ++i) slowing.push_back(100.0 * (1.0 - 0.01 * i) * (1.0 + noise(random)));
  const Trend trend = FindTrend(slowing);
  EXPECT_TRUE(trend.significant);
  EXPECT_NEAR(trend.relativeChange, -0.15, 0.03);
  const TrustVerdict v = Judge({}, trend, MedianEstimate{15, 93.0, 92.0, 94.0, 0.98});
  EXPECT_EQ(v.state, TrustState::Unstable);
  ASSERT_EQ(v.reasons.size(), 1u);
  EXPECT_EQ(v.reasons[0].text, "passes slowed down by " + std::to_string(static_cast<int>(std::lround(
                                                                 -100.0 * trend.relativeChange))) +
                                   " % over the run");

  // Steady noise of ± 3 %: over many runs, hardly ever a trend.
  int trends = 0;
  std::normal_distribution<double> wide(0.0, 0.03);
  for (int run = 0; run < 200; ++run) {
    std::vector<double> steady;
    for (int i = 0; i < 15; ++i) steady.push_back(100.0 * (1.0 + wide(random)));
    trends += FindTrend(steady).significant ? 1 : 0;
  }
  EXPECT_LE(trends, 5);
  EXPECT_FALSE(FindTrend(std::vector<double>{5, 4, 3, 2, 1}).significant);  // too few passes to tell
}

TEST(PassOrder, ASeedGivesTheSameOrdersAndFixedKeepsTheTable) {
  const std::vector<int> tests{0, 1, 2, 3, 4, 5, 6};
  PassOrder a(42, true);
  PassOrder b(42, true);
  std::vector<std::vector<int>> seen;
  for (int pass = 0; pass < 20; ++pass) {
    const std::vector<int> order = a.Next(tests);
    EXPECT_EQ(order, b.Next(tests));
    EXPECT_TRUE(std::is_permutation(order.begin(), order.end(), tests.begin()));
    seen.push_back(order);
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_GT(std::unique(seen.begin(), seen.end()) - seen.begin(), 15);
  PassOrder fixed(42, false);
  EXPECT_EQ(fixed.Next(tests), tests);
}

TEST(MultiCoreThroughput, EnginesThatTookTurnsDoNotAddUp) {
  const long long pixels = 297 * 217;
  const auto pass = [](double secondStart) {
    PassSamples samples(2);
    double t = 0.0;
    for (int test = 0; test < 7; ++test) {
      samples[0].push_back({test, 0.0f, 1.0, 0, t});
      samples[1].push_back({test, 0.0f, 1.0, 0, secondStart + t});
      t += 1.0;
    }
    return samples;
  };
  const std::vector<double> together = PassWallThroughput(pass(0.0), pixels);
  const std::vector<double> inTurn = PassWallThroughput(pass(7.0), pixels);
  for (int test = 0; test < 7; ++test) {
    const double one = MegapixelsPerSecond(CallCount(kBenchmarkTests[static_cast<std::size_t>(test)]), pixels, 1.0);
    EXPECT_NEAR(together[static_cast<std::size_t>(test)], 2.0 * one, 1e-9);
    EXPECT_NEAR(inTurn[static_cast<std::size_t>(test)], one, 1e-9);
  }
  EXPECT_NEAR(PassTotalThroughput(pass(7.0), pixels) * 2.0, PassTotalThroughput(pass(0.0), pixels), 1e-9);
}

}  // namespace
}  // namespace asmpic::app
