// The multi-core pass: every thread's engine computes the very pictures that one engine alone
// computes, pass after pass, and a spoilt kernel shows up in every thread.
#include <gtest/gtest.h>

#include <vector>

#include "app/results/expected_hashes.h"
#include "app/run/multicore.h"
#include "tests/app/results_support.h"

namespace asmpic::app {
namespace {

using testing::Shipped;

TEST(MultiCore, EveryThreadComputesTheExpectedPicturesInEveryPass) {
  testing::Ticking clock;
  const std::vector<int> all{0, 1, 2, 3, 4, 5, 6};
  const MultiCorePasses passes = RunMultiCore(Shipped().picture1, Shipped().picture2, all, 3, 2, 0.0,
                                              KernelStore{}, [&] { return clock.Next(); });
  ASSERT_EQ(passes.wallSeconds.size(), 2u);
  for (const double wall : passes.wallSeconds) EXPECT_GT(wall, 0.0);
  ASSERT_EQ(passes.threads.size(), 3u);
  for (std::size_t t = 0; t < passes.threads.size(); ++t) {
    const Validation& v = passes.threads[t];
    EXPECT_EQ(v.verdict, Verdict::Valid) << "thread " << t + 1;
    ASSERT_EQ(v.tests.size(), 7u);
    for (const TestCheck& check : v.tests) {
      EXPECT_EQ(check.runs, 2);
      EXPECT_EQ(check.computed, kExpectedPictureHashes[static_cast<std::size_t>(check.test)]);
    }
  }
}

TEST(MultiCore, ASpoiltKernelIsCaughtInEveryThread) {
  testing::Ticking clock;
  const std::vector<int> ripple{4};
  const MultiCorePasses passes = RunMultiCore(Shipped().picture1, Shipped().picture2, ripple, 2, 1, 0.0,
                                              testing::SpoiltRippleKernels(), [&] { return clock.Next(); });
  ASSERT_EQ(passes.threads.size(), 2u);
  for (const Validation& v : passes.threads) {
    EXPECT_EQ(v.verdict, Verdict::Invalid);
    ASSERT_EQ(v.tests.size(), 1u);
    EXPECT_EQ(v.tests[0].test, 4);
  }
}

}  // namespace
}  // namespace asmpic::app
