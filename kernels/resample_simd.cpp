// The SIMD resampling pass for every target this build compiles (resample-inl.h), and the entries
// that dispatch to the best one the processor offers.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/resample_simd.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "kernels/resample-inl.h"

HWY_BEFORE_NAMESPACE();
namespace asmpic::resample::HWY_NAMESPACE {

// The pass each target runs. The 128-bit x86 targets (SSSE3, SSE4) run the baseline's SSE2 pass:
// they have no gather, and the vector pass's per-lane inserts and extracts make it slower there
// than the hand-written SSE2 one, which gives the same bytes. The target that is reported is still
// the one chosen; only its resampling is the baseline's.
#if HWY_TARGET == HWY_SSSE3 || HWY_TARGET == HWY_SSE4
constexpr bool kBaselinePass = true;
#else
constexpr bool kBaselinePass = false;
#endif

void RotateRowsOfTarget(const KernelParams& p, int sourcePlane, bool smoothed, const RotationMapping& mapping,
                        std::int64_t first, std::int64_t last) {
  if constexpr (kBaselinePass) return RotateRowsBaseline(p, sourcePlane, smoothed, mapping, first, last);
  RotateRows(p, sourcePlane, smoothed, mapping, first, last);
}

void MagnifyRowsOfTarget(const KernelParams& p, int sourcePlane, bool smoothed, const MagnifyMapping& mapping,
                         std::int64_t first, std::int64_t last) {
  if constexpr (kBaselinePass) return MagnifyRowsBaseline(p, sourcePlane, smoothed, mapping, first, last);
  MagnifyRows(p, sourcePlane, smoothed, mapping, first, last);
}

}  // namespace asmpic::resample::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace asmpic::resample {

HWY_EXPORT(RotateRowsOfTarget);
HWY_EXPORT(MagnifyRowsOfTarget);

void RotateRowsBest(const KernelParams& p, int sourcePlane, bool smoothed, const RotationMapping& mapping,
                    std::int64_t first, std::int64_t last) {
  HWY_DYNAMIC_DISPATCH(RotateRowsOfTarget)(p, sourcePlane, smoothed, mapping, first, last);
}

void MagnifyRowsBest(const KernelParams& p, int sourcePlane, bool smoothed, const MagnifyMapping& mapping,
                     std::int64_t first, std::int64_t last) {
  HWY_DYNAMIC_DISPATCH(MagnifyRowsOfTarget)(p, sourcePlane, smoothed, mapping, first, last);
}

}  // namespace asmpic::resample
#endif
