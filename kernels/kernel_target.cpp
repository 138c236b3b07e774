#include "kernels/kernel_target.h"

#include <hwy/targets.h>

#include <atomic>
#include <cstdint>

namespace asmpic {

namespace {

std::atomic<KernelChoice> gChoice{KernelChoice::kBest};

// The target the dispatcher takes: Highway orders targets so that the better one has the lower bit.
// Worked out once: asking the processor (CPUID, which a virtual machine may trap) on every kernel
// call cost microseconds.
std::atomic<std::int64_t> gBestTarget{-1};  // -1: not yet worked out

std::int64_t BestTarget() {
  std::int64_t best = gBestTarget.load(std::memory_order_relaxed);
  if (best < 0) {
    const std::int64_t targets = hwy::SupportedTargets() & HWY_TARGETS;
    best = targets & -targets;
    gBestTarget.store(best, std::memory_order_relaxed);
  }
  return best;
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

void ForgetBestTarget() {
  gBestTarget.store(-1);
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
