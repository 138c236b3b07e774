#pragma once
// The faster kernel variants under test, one named test case each: the baseline, and the best
// variant once per SIMD target this build compiled and this processor runs, with run-time dispatch
// held to that one target (so every target is checked, not only the best this machine offers);
// and FastMatchesReference, which every family's suite uses to hold its fast variants against
// its reference.
#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <cctype>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "kernels/kernel_store.h"
#include "tests/support/kernel_planes.h"
#include "tests/support/simd_targets.h"

namespace asmpic::testing {

struct FastTarget {
  std::string name;     // "baseline", or Highway's name of the target ("AVX2", "NEON", ...)
  std::int64_t target;  // Highway's bit of the target; 0 for the baseline
};

inline void PrintTo(const FastTarget& fast, std::ostream* out) {
  *out << fast.name;
}

inline std::vector<FastTarget> FastTargets() {
  std::vector<FastTarget> targets = {{"baseline", 0}};
  for (const std::int64_t target : hwy::SupportedAndGeneratedTargets())
    targets.push_back({hwy::TargetName(target), target});
  return targets;
}

// While it lives, run-time dispatch takes `target` and nothing better.
class HeldTarget {
 public:
  explicit HeldTarget(std::int64_t target) {
    hwy::SetSupportedTargetsForTest(target);
    ForgetBestTarget();
  }
  ~HeldTarget() {
    hwy::SetSupportedTargetsForTest(0);  // back to what the processor offers
    ForgetBestTarget();
  }
  HeldTarget(const HeldTarget&) = delete;
  HeldTarget& operator=(const HeldTarget&) = delete;
};

// The test case's name: the target's, in the letters, digits and underscores a name may hold.
inline std::string FastVariantName(const ::testing::TestParamInfo<FastTarget>& info) {
  std::string name = info.param.name;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

// A family's three entries.
struct KernelFamily {
  KernelEntry reference;
  KernelEntry best;
  KernelEntry baseline;
};

// Runs the reference and the parameter's fast variant on copies of `start` (its params set) with
// the same three arguments; the failure names the target, `what` and the first pixel that differs.
inline ::testing::AssertionResult FastMatchesReference(const FastTarget& fast, const KernelFamily& family,
                                                       const KernelPlanes& start, std::uint32_t arg1,
                                                       std::uint32_t arg2, std::intptr_t arg3,
                                                       const std::string& what) {
  KernelPlanes want = start;
  family.reference(&want.params, arg1, arg2, arg3);
  KernelPlanes got = start;
  if (fast.target == 0) {
    family.baseline(&got.params, arg1, arg2, arg3);
  } else {
    const HeldTarget held(fast.target);
    family.best(&got.params, arg1, arg2, arg3);
  }
  if (got.bytes == want.bytes) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << fast.name << ", " << what << ": " << FirstDifference(got, want);
}

inline auto FastVariants() {
  return ::testing::ValuesIn(FastTargets());
}

}  // namespace asmpic::testing
