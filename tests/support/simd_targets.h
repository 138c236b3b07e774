#pragma once
// Runs a test body once for every SIMD target that this build compiled and this processor runs,
// with the best variant held to that one target (HoldSimdTarget, as --kernels <target> does), so
// the best variant is checked on each of them and not only on the best this machine offers; then
// once on a processor mocked to offer none of them, where the best variant runs the baseline.
#include <hwy/targets.h>

#include <string>

#include "kernels/kernel_target.h"

namespace asmpic::testing {

template <typename Body>
void ForEachSimdTarget(Body&& body) {
  for (const std::int64_t target : SimdTargets()) {
    HoldSimdTarget(target);
    body(std::string(hwy::TargetName(target)));
  }
  HoldSimdTarget(0);
  constexpr std::int64_t kPortable = HWY_TARGETS & (HWY_SCALAR | HWY_EMU128);
  if constexpr (kPortable != 0) {
    hwy::SetSupportedTargetsForTest(kPortable & -kPortable);
    ForgetBestTarget();
    body(std::string("no SIMD target"));
    hwy::SetSupportedTargetsForTest(0);  // back to what the processor offers
    ForgetBestTarget();
  }
}

}  // namespace asmpic::testing
