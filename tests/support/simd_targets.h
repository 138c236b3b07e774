#pragma once
// Runs a test body once for every SIMD target that this build compiled and this processor runs,
// with run-time dispatch held to that one target, so the best variant is checked on each of them
// and not only on the best this machine offers.
#include <hwy/targets.h>

#include <string>

#include "kernels/kernel_target.h"

namespace asmpic::testing {

template <typename Body>
void ForEachSimdTarget(Body&& body) {
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
    hwy::SetSupportedTargetsForTest(target);
    ForgetBestTarget();
    body(std::string(hwy::TargetName(target)));
  }
  hwy::SetSupportedTargetsForTest(0);  // back to what the processor offers
  ForgetBestTarget();
}

}  // namespace asmpic::testing
