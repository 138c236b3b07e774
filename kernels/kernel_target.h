#pragma once
// Which variant of the kernels new engines use, and the name of the code that runs for it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace asmpic {

enum class KernelChoice {
  kBest,       // the best SIMD target the processor offers, chosen at run time
  kBaseline,   // what every processor of the architecture runs (SSE2 on x86-64)
  kReference,  // the plain reference kernels
};

// "best", "baseline" or "reference".
std::optional<KernelChoice> ParseKernelChoice(std::string_view name);
std::string_view KernelChoiceName(KernelChoice choice);

// The choice that engines made from now on take. Programs set it once, before any engine exists.
void SetKernelChoice(KernelChoice choice);
KernelChoice CurrentKernelChoice();

// True where the best variant runs a SIMD target of its own; false where it runs the baseline
// because the processor offers none (on x86-64: no SSSE3).
bool BestHasSimdTarget();

// The best target is worked out once per process; tests that restrict the targets Highway may
// use (hwy::SetSupportedTargetsForTest) call this after each change.
void ForgetBestTarget();

// The code that runs for a choice on this processor: the SIMD target ("AVX2", "AVX3_DL",
// "NEON", ...), the baseline's instruction set ("SSE2", "scalar") or "reference".
std::string KernelTargetName(KernelChoice choice);

// --- One SIMD target held for the best variant ------------------------------------------------
// A target is one of Highway's bits (hwy/targets.h): the lower the bit, the better the target.

// The SIMD targets that this build compiled and this processor runs, best first, whether or not
// one of them is held (the portable fallbacks, which the best variant never runs, are left out).
std::vector<std::int64_t> SimdTargets();

// A target's name as --kernels takes it: Highway's name in lower case ("avx2", "sse4", "neon").
std::string SimdTargetName(std::int64_t target);

// Holds the best variant to `target`, one of SimdTargets(): from now on every engine's best kernels
// run it, as if the processor offered nothing better. 0 lifts the hold. A target not in
// SimdTargets() is refused (false) and nothing changes. Call it while no kernel runs.
bool HoldSimdTarget(std::int64_t target);
// The target held, or 0.
std::int64_t HeldSimdTarget();

// A --kernels value: one of the three choices, the name of a SIMD target (any case), which means the
// best variant held to that target, or the baseline's instruction set ("sse2" on x86), which means
// the baseline.
struct KernelRequest {
  KernelChoice choice = KernelChoice::kBest;
  std::int64_t target = 0;  // the target to hold, or 0
};
// The request that `name` makes; nothing, and why in `error`, for a name that is none of these or a
// target that this build or this processor does not run.
std::optional<KernelRequest> ParseKernelRequest(std::string_view name, std::string* error = nullptr);
// Holds the request's target (or lifts the hold) and makes its choice the current one.
void ApplyKernelRequest(const KernelRequest& request);

}  // namespace asmpic
