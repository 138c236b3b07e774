// The ratio between two results and its verdict, checked by simulation: seeded draws from skewed
// timing-like distributions, so the counts are reproducible and the checks fast.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "app/results/ratio_interval.h"

namespace asmpic::app {
namespace {

// Mpix/s of `runs` runs: a true speed with lognormal noise of about 3 % plus now and then a run
// slowed by another program, as busy machines give.
std::vector<double> Runs(std::mt19937_64& random, int runs, double speed) {
  std::lognormal_distribution<double> noise(0.0, 0.03);
  std::bernoulli_distribution disturbed(0.1);
  std::uniform_real_distribution<double> slowdown(0.7, 0.95);
  std::vector<double> values;
  for (int i = 0; i < runs; ++i)
    values.push_back(speed * noise(random) * (disturbed(random) ? slowdown(random) : 1.0));
  return values;
}

TEST(RatioInterval, ExactMannWhitneyTailsAndTheCoverageFewRunsReach) {
  // 2 against 2: U = 0 in 1 of C(4, 2) = 6 orders.
  EXPECT_NEAR(MannWhitneyCdf(2, 2, 0), 1.0 / 6, 1e-12);
  EXPECT_NEAR(MannWhitneyCdf(3, 4, 1), 2.0 / 35, 1e-12);
  EXPECT_NEAR(MannWhitneyCdf(5, 5, 12), 0.5, 1e-12);  // symmetric about m·n/2 = 12.5
  // Large samples: the normal approximation continues the exact counts smoothly.
  EXPECT_NEAR(MannWhitneyCdf(50, 50, 1000), MannWhitneyCdf(51, 50, 1020), 0.02);

  const std::vector<double> three = {1.0, 1.1, 1.2};
  const std::vector<double> four = {1.0, 1.1, 1.2, 1.3};
  auto r = EstimateRatio(three, four);
  ASSERT_TRUE(r && r->low && r->high);
  EXPECT_NEAR(r->coverage, 1.0 - 2.0 / 35, 1e-12);  // 94.3 %: short of 95 % however wide
  EXPECT_EQ(JudgeRatio(*r, 0.02), RatioVerdict::kInconclusive);
  r = EstimateRatio(four, four);
  EXPECT_NEAR(r->coverage, 1.0 - 2.0 / 70, 1e-12);  // 4 against 4 reach 95 %
  EXPECT_NEAR(r->ratio, 1.0, 1e-12);
  EXPECT_FALSE(EstimateRatio({}, four));
  EXPECT_FALSE(EstimateRatio(three, std::vector<double>{0.0, -1.0}));  // nothing positive
}

TEST(RatioInterval, SameDistributionIsRarelySlowerAtTheSmallestCountsThatGiveAVerdict) {
  std::mt19937_64 random(21);
  for (const auto& [m, n] : {std::pair{4, 4}, std::pair{3, 5}, std::pair{5, 5}}) {
    int slower = 0;
    const int trials = 4000;
    for (int t = 0; t < trials; ++t) {
      const auto r = EstimateRatio(Runs(random, m, 100.0), Runs(random, n, 100.0));
      slower += JudgeRatio(*r, 0.0) == RatioVerdict::kSlower;
    }
    EXPECT_LE(slower, trials * 5 / 100) << m << " against " << n;
  }
}

TEST(RatioInterval, TheIntervalCoversTheTrueRatioAtItsStatedCoverage) {
  std::mt19937_64 random(7);
  for (const auto& [m, n] : {std::pair{5, 5}, std::pair{6, 9}, std::pair{20, 20}, std::pair{60, 60}}) {
    const int trials = 1200;
    int covered = 0;
    double stated = 0.0;
    for (int t = 0; t < trials; ++t) {
      const auto r = EstimateRatio(Runs(random, m, 100.0), Runs(random, n, 90.0));
      stated = r->coverage;
      covered += *r->low <= 0.9 && 0.9 <= *r->high;
    }
    EXPECT_NEAR(static_cast<double>(covered) / trials, stated, 0.02)
        << m << " against " << n;
  }
}

TEST(RatioInterval, VerdictsOfARealSlowdownAndOfNoDifference) {
  std::mt19937_64 random(3);
  int slower = 0;
  int same = 0;
  for (int t = 0; t < 200; ++t) {
    // 10 % slower with 20 runs each.
    slower += JudgeRatio(*EstimateRatio(Runs(random, 20, 100.0), Runs(random, 20, 90.0)), 0.02) ==
              RatioVerdict::kSlower;
    // The same speed with little noise: same within 2 %.
    std::lognormal_distribution<double> quiet(0.0, 0.005);
    std::vector<double> a, b;
    for (int i = 0; i < 20; ++i) a.push_back(100.0 * quiet(random)), b.push_back(100.0 * quiet(random));
    same += JudgeRatio(*EstimateRatio(a, b), 0.02) == RatioVerdict::kSame;
  }
  EXPECT_GE(slower, 198);
  EXPECT_GE(same, 198);
  // Faster is the mirror of slower.
  EXPECT_EQ(JudgeRatio(*EstimateRatio(Runs(random, 20, 90.0), Runs(random, 20, 100.0)), 0.02),
            RatioVerdict::kFaster);
}

}  // namespace
}  // namespace asmpic::app
