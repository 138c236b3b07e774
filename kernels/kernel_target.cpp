#include "kernels/kernel_target.h"

#include <hwy/targets.h>

#include <atomic>
#include <cstdint>

namespace asmpic {

namespace {

std::atomic<KernelChoice> gChoice{KernelChoice::kBest};

// The target the dispatcher takes: Highway orders targets so that the better one has the lower bit.
std::int64_t BestTarget() {
  const std::int64_t targets = hwy::SupportedTargets() & HWY_TARGETS;
  return targets & -targets;
}

constexpr std::int64_t kPortableTargets = HWY_SCALAR | HWY_EMU128;

}  // namespace

std::optional<KernelChoice> ParseKernelChoice(std::string_view name) {
  if (name == "best") return KernelChoice::kBest;
  if (name == "baseline") return KernelChoice::kBaseline;
  if (name == "reference") return KernelChoice::kReference;
  return std::nullopt;
}

std::string_view KernelChoiceName(KernelChoice choice) {
  switch (choice) {
    case KernelChoice::kBest:
      return "best";
    case KernelChoice::kBaseline:
      return "baseline";
    case KernelChoice::kReference:
      return "reference";
  }
  return "best";
}

void SetKernelChoice(KernelChoice choice) {
  gChoice.store(choice);
}
KernelChoice CurrentKernelChoice() {
  return gChoice.load();
}

bool BestHasSimdTarget() {
  const std::int64_t best = BestTarget();
  return best != 0 && (best & kPortableTargets) == 0;
}

std::string KernelTargetName(KernelChoice choice) {
  if (choice == KernelChoice::kReference) return "reference";
  if (choice == KernelChoice::kBest && BestHasSimdTarget()) return hwy::TargetName(BestTarget());
#if defined(__SSE2__)
  return "SSE2";
#else
  return "scalar";
#endif
}

}  // namespace asmpic
