#pragma once
// The faster kernel variants under test: the baseline once, the best variant once per SIMD target
// this machine runs (see ForEachSimdTarget), for equivalence tests parameterised by KernelChoice.
#include <gtest/gtest.h>

#include <string>

#include "kernels/kernel_store.h"
#include "tests/support/simd_targets.h"

namespace asmpic::testing {

// Runs body(kernel, target name) with `baseline` or, for kBest, `best` on every SIMD target.
template <typename Body>
void ForEachFastKernel(KernelChoice choice, KernelEntry best, KernelEntry baseline, Body body) {
  if (choice != KernelChoice::kBest) return body(baseline, std::string("baseline"));
  ForEachSimdTarget([&](const std::string& target) { body(best, target); });
}

// Test-name suffix of a fast variant: "best" or "baseline".
inline std::string FastVariantName(const ::testing::TestParamInfo<KernelChoice>& info) {
  return std::string(KernelChoiceName(info.param));
}

inline auto FastVariants() {
  return ::testing::Values(KernelChoice::kBaseline, KernelChoice::kBest);
}

}  // namespace asmpic::testing
