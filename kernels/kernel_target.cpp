#include "kernels/kernel_target.h"

#include <hwy/targets.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdint>

namespace asmpic {

namespace {

std::atomic<KernelChoice> gChoice{KernelChoice::kBest};

// The target the dispatcher takes: Highway orders targets so that the better one has the lower bit.
// Worked out once: asking the processor (CPUID, which a virtual machine may trap) on every kernel
// call cost microseconds.
std::atomic<std::int64_t> gBestTarget{-1};  // -1: not yet worked out

// The target the best variant is held to, or 0.
std::atomic<std::int64_t> gHeld{0};

constexpr std::int64_t kPortableTargets = HWY_SCALAR | HWY_EMU128;

// The targets that this build compiled and dispatch may take now: what the processor runs, less
// those better than a held target. Highway's SupportedTargets() detects the processor anew and, as
// it does, points dispatch at every target it detected, held or not; dispatch is pointed back at
// the allowed ones here.
std::int64_t AllowedTargets() {
  const std::int64_t targets = hwy::SupportedTargets();
  hwy::GetChosenTarget().Update(targets);
  return targets & HWY_TARGETS;
}

std::int64_t BestTarget() {
  std::int64_t best = gBestTarget.load(std::memory_order_relaxed);
  if (best < 0) {
    const std::int64_t targets = AllowedTargets();
    best = targets & -targets;
    gBestTarget.store(best, std::memory_order_relaxed);
  }
  return best;
}

// Holding a target disables, in Highway, every target with a lower bit: the better ones.
void DisableBetterThan(std::int64_t target) {
  hwy::DisableTargets(target == 0 ? 0 : target - 1);
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

// Every target Highway names on this architecture, compiled or not: bits 0 .. 62.
std::int64_t TargetNamed(std::string_view lowerName) {
  for (int bit = 0; bit < 63; ++bit) {
    const std::int64_t target = std::int64_t{1} << bit;
    if ((target & kPortableTargets) == 0 && Lower(hwy::TargetName(target)) == lowerName) return target;
  }
  return 0;
}

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

std::vector<std::int64_t> SimdTargets() {
  const std::int64_t held = gHeld.load();
  if (held != 0) hwy::DisableTargets(0);
  std::int64_t targets = AllowedTargets() & ~kPortableTargets;
  if (held != 0) DisableBetterThan(held);
  std::vector<std::int64_t> list;
  for (; targets != 0; targets &= targets - 1) list.push_back(targets & -targets);
  return list;
}

std::string SimdTargetName(std::int64_t target) {
  return Lower(hwy::TargetName(target));
}

bool HoldSimdTarget(std::int64_t target) {
  if (target != 0) {
    const std::vector<std::int64_t> targets = SimdTargets();
    if (std::find(targets.begin(), targets.end(), target) == targets.end()) return false;
  }
  gHeld.store(target);
  DisableBetterThan(target);
  ForgetBestTarget();
  return true;
}

std::int64_t HeldSimdTarget() {
  return gHeld.load();
}

std::optional<KernelRequest> ParseKernelRequest(std::string_view name, std::string* error) {
  const std::string lower = Lower(name);
  if (const auto choice = ParseKernelChoice(lower)) return KernelRequest{*choice, 0};
  if (lower == Lower(KernelTargetName(KernelChoice::kBaseline))) return KernelRequest{KernelChoice::kBaseline, 0};
  const std::vector<std::int64_t> targets = SimdTargets();
  std::string runs;
  for (const std::int64_t target : targets) runs += ", " + SimdTargetName(target);
  const std::int64_t target = TargetNamed(lower);
  if (target != 0 && std::find(targets.begin(), targets.end(), target) != targets.end()) {
    return KernelRequest{KernelChoice::kBest, target};
  }
  if (error != nullptr) {
    const std::string known = "best, baseline, reference, " + Lower(KernelTargetName(KernelChoice::kBaseline)) + runs;
    *error = target != 0 ? "this processor or build does not run the " + lower + " target; it runs " + known
                         : "unknown kernels \"" + std::string(name) + "\"; choose from " + known;
  }
  return std::nullopt;
}

void ApplyKernelRequest(const KernelRequest& request) {
  HoldSimdTarget(request.target);
  SetKernelChoice(request.choice);
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
