// Holding run-time dispatch to one target (as every per-target test case does) really runs that
// target: Highway's dispatch lands on it and the kernels name it as the code that runs.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "tests/kernels/kernel_target_test.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace asmpic::HWY_NAMESPACE {
// The target this copy of the function was compiled for.
const char* CompiledTarget() {
  return hwy::TargetName(HWY_TARGET);
}
}  // namespace asmpic::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernels/kernel_target.h"
#include "tests/support/fast_variants.h"

namespace asmpic {
HWY_EXPORT(CompiledTarget);

namespace {

class HeldTargetTest : public ::testing::TestWithParam<testing::FastTarget> {};

// Every SIMD target of the fast variants' test cases (not the baseline, which has no dispatch).
std::vector<testing::FastTarget> SimdTargets() {
  std::vector<testing::FastTarget> targets = testing::FastTargets();
  targets.erase(targets.begin());
  return targets;
}

INSTANTIATE_TEST_SUITE_P(Targets, HeldTargetTest, ::testing::ValuesIn(SimdTargets()), testing::FastVariantName);

TEST_P(HeldTargetTest, IsTheOneThatRuns) {
  const testing::FastTarget& fast = GetParam();
  const testing::HeldTarget held(fast.target);
  EXPECT_EQ(std::string(HWY_DYNAMIC_DISPATCH(CompiledTarget)()), fast.name);
  // A portable target (EMU128, SCALAR) is no SIMD target of the kernels': they run the baseline.
  const bool portable = (fast.target & (HWY_SCALAR | HWY_EMU128)) != 0;
  EXPECT_EQ(BestHasSimdTarget(), !portable);
  EXPECT_EQ(KernelTargetName(KernelChoice::kBest), portable ? KernelTargetName(KernelChoice::kBaseline) : fast.name);
}

// Without a held target, "--kernels best" names, and runs, the target Highway's own dispatch picks
// on this processor.
TEST(KernelTarget, BestIsTheTargetThatDispatchRunsOnThisProcessor) {
  ForgetBestTarget();
  const std::string dispatched = HWY_DYNAMIC_DISPATCH(CompiledTarget)();
  if (dispatched == hwy::TargetName(HWY_SCALAR) || dispatched == hwy::TargetName(HWY_EMU128)) {
    EXPECT_FALSE(BestHasSimdTarget()) << dispatched;
  } else {
    EXPECT_TRUE(BestHasSimdTarget());
    EXPECT_EQ(KernelTargetName(KernelChoice::kBest), dispatched);
  }
  EXPECT_EQ(KernelTargetName(KernelChoice::kReference), "reference");
}

}  // namespace
}  // namespace asmpic
#endif
