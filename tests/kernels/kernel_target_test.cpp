// "--kernels best" names, and runs, the target Highway's own dispatch picks on this processor: a
// dispatched function compiled for every target reports which one ran.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "tests/kernels/kernel_target_test.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include <cstdint>

HWY_BEFORE_NAMESPACE();
namespace asmpic::HWY_NAMESPACE {
std::int64_t CompiledTarget() {
  return HWY_TARGET;
}
}  // namespace asmpic::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include <gtest/gtest.h>

#include "kernels/kernel_target.h"

namespace asmpic {
HWY_EXPORT(CompiledTarget);
namespace {

TEST(KernelTarget, BestIsTheTargetThatDispatchRunsOnThisProcessor) {
  ForgetBestTarget();
  const std::int64_t dispatched = HWY_DYNAMIC_DISPATCH(CompiledTarget)();
  if ((dispatched & (HWY_SCALAR | HWY_EMU128)) != 0) {
    EXPECT_FALSE(BestHasSimdTarget()) << hwy::TargetName(dispatched);
  } else {
    EXPECT_TRUE(BestHasSimdTarget());
    EXPECT_EQ(KernelTargetName(KernelChoice::kBest), hwy::TargetName(dispatched));
  }
  EXPECT_EQ(KernelTargetName(KernelChoice::kReference), "reference");
}

}  // namespace
}  // namespace asmpic
#endif  // HWY_ONCE
