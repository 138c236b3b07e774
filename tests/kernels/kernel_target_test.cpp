// Choosing the kernels' SIMD target: a name that --kernels takes holds the best variant to that
// target, and Highway's dispatch then runs that target's code; a target the processor or the build
// does not run is refused; without a hold the best variant runs the processor's best target.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "tests/kernels/kernel_target_test.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace asmpic::target_probe::HWY_NAMESPACE {
// The target whose code runs, as dispatch chose it.
std::int64_t CompiledTarget() {
  return HWY_TARGET;
}
}  // namespace asmpic::target_probe::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernels/kernel_target.h"
#include "tests/support/fast_variants.h"

namespace asmpic::target_probe {
HWY_EXPORT(CompiledTarget);

namespace {

std::int64_t DispatchedTarget() {
  return HWY_DYNAMIC_DISPATCH(CompiledTarget)();
}

// Every hold, and every mock, is lifted at the end of each test.
class KernelTarget : public ::testing::Test {
 protected:
  void TearDown() override {
    HoldSimdTarget(0);
    hwy::SetSupportedTargetsForTest(0);
    ForgetBestTarget();
    SetKernelChoice(KernelChoice::kBest);
  }
};

TEST_F(KernelTarget, EveryTargetTheProcessorRunsCanBeHeldAndIsWhatRuns) {
  const std::vector<std::int64_t> targets = SimdTargets();
  for (const std::int64_t target : targets) {
    const std::string name = SimdTargetName(target);
    std::string error;
    const auto request = ParseKernelRequest(name, &error);
    ASSERT_TRUE(request) << name << ": " << error;
    EXPECT_EQ(request->choice, KernelChoice::kBest) << name;
    EXPECT_EQ(request->target, target) << name;
    ApplyKernelRequest(*request);
    EXPECT_EQ(HeldSimdTarget(), target);
    EXPECT_EQ(KernelTargetName(KernelChoice::kBest), hwy::TargetName(target));
    EXPECT_EQ(DispatchedTarget(), target) << name;
    // Asking Highway what the processor runs, as listing the targets does, leaves the hold in force.
    EXPECT_EQ(SimdTargets(), targets);
    EXPECT_EQ(DispatchedTarget(), target) << name;
  }
  ASSERT_TRUE(HoldSimdTarget(0));
  if (!targets.empty()) {
    EXPECT_EQ(DispatchedTarget(), targets.front());
    // Upper case as Highway writes the names, too.
    EXPECT_TRUE(ParseKernelRequest(hwy::TargetName(targets.front())));
  }
  // The baseline by its instruction set.
  const auto baseline = ParseKernelRequest(KernelTargetName(KernelChoice::kBaseline));
  ASSERT_TRUE(baseline);
  EXPECT_EQ(baseline->choice, KernelChoice::kBaseline);
  EXPECT_EQ(baseline->target, 0);
}

// The fast-variant suites' cases, one per target (fast_variants.h), run the target they are named
// after: otherwise each would check only the best target again.
TEST_F(KernelTarget, EachFastVariantCaseRunsTheTargetItIsNamedAfter) {
  for (const testing::FastTarget& fast : testing::FastTargets()) {
    if (fast.target == 0) continue;  // the baseline has no dispatch
    const testing::HeldTarget held(fast.target);
    EXPECT_EQ(DispatchedTarget(), fast.target) << fast.name;
  }
}

TEST_F(KernelTarget, TheBestVariantRunsTheBestTargetOffered) {
  const std::vector<std::int64_t> targets = SimdTargets();
  if (!targets.empty()) {
    EXPECT_EQ(KernelTargetName(KernelChoice::kBest), hwy::TargetName(targets.front()));
    EXPECT_EQ(SimdTargetName(targets.front()), SimdTargetName(SimdTargets().front()));
  }
  // A processor offering two of the compiled targets, and the portable fallback: the better one.
  constexpr std::int64_t kSimd = HWY_TARGETS & ~(HWY_SCALAR | HWY_EMU128);
  if constexpr ((kSimd & (kSimd - 1)) != 0) {
    const std::int64_t better = kSimd & -kSimd;
    const std::int64_t rest = kSimd & (kSimd - 1);
    const std::int64_t worse = rest & -rest;
    hwy::SetSupportedTargetsForTest(worse | better | (HWY_TARGETS & (HWY_SCALAR | HWY_EMU128)));
    ForgetBestTarget();
    EXPECT_TRUE(BestHasSimdTarget());
    EXPECT_EQ(KernelTargetName(KernelChoice::kBest), hwy::TargetName(better));
    EXPECT_EQ(SimdTargets(), (std::vector<std::int64_t>{better, worse}));
  }
}

TEST_F(KernelTarget, TargetsTheProcessorDoesNotRunAndUnknownNamesAreRefused) {
  constexpr std::int64_t kSimd = HWY_TARGETS & ~(HWY_SCALAR | HWY_EMU128);
  if constexpr ((kSimd & (kSimd - 1)) != 0) {
    // A processor offering only the worst compiled target: the better ones are refused.
    const std::int64_t worst = std::int64_t{1}
                               << (63 - __builtin_clzll(static_cast<unsigned long long>(kSimd)));
    const std::int64_t better = kSimd & -kSimd;
    hwy::SetSupportedTargetsForTest(worst);
    ForgetBestTarget();
    std::string error;
    EXPECT_FALSE(ParseKernelRequest(SimdTargetName(better), &error));
    EXPECT_NE(error.find("does not run the " + SimdTargetName(better)), std::string::npos) << error;
    EXPECT_NE(error.find(SimdTargetName(worst)), std::string::npos) << error;
    EXPECT_FALSE(HoldSimdTarget(better));
    EXPECT_EQ(HeldSimdTarget(), 0);
    EXPECT_TRUE(HoldSimdTarget(worst));
  }
  for (const char* name : {"", "avx", "sse", "fastest", "best ", "emu128", "scalar_"}) {
    std::string error;
    EXPECT_FALSE(ParseKernelRequest(name, &error)) << name;
    EXPECT_NE(error.find("unknown kernels"), std::string::npos) << name << ": " << error;
  }
}

}  // namespace
}  // namespace asmpic::target_probe
#endif  // HWY_ONCE
