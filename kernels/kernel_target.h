#pragma once
// Which variant of the kernels new engines use, and the name of the code that runs for it.
#include <optional>
#include <string>
#include <string_view>

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

// The code that runs for a choice on this processor: the SIMD target ("AVX2", "AVX3_ZEN4",
// "NEON", ...), the baseline's instruction set ("SSE2", "scalar") or "reference".
std::string KernelTargetName(KernelChoice choice);

}  // namespace asmpic
