// The SIMD resampling pass for every target this build compiles (resample-inl.h), and the entries
// that dispatch to the best one the processor offers.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/resample_simd.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "kernels/resample-inl.h"

#if HWY_ONCE
namespace asmpic::resample {

HWY_EXPORT(RotateRows);
HWY_EXPORT(MagnifyRows);

void RotateRowsBest(const KernelParams& p, int sourcePlane, bool smoothed, const RotationMapping& mapping,
                    std::int64_t first, std::int64_t last) {
  HWY_DYNAMIC_DISPATCH(RotateRows)(p, sourcePlane, smoothed, mapping, first, last);
}

void MagnifyRowsBest(const KernelParams& p, int sourcePlane, bool smoothed, const MagnifyMapping& mapping,
                     std::int64_t first, std::int64_t last) {
  HWY_DYNAMIC_DISPATCH(MagnifyRows)(p, sourcePlane, smoothed, mapping, first, last);
}

}  // namespace asmpic::resample
#endif
