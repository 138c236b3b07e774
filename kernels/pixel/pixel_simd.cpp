// The twirl's SIMD angles, cosines, sines and spans for every target this build compiles
// (pixel-inl.h), and the entries that dispatch to the best one the processor offers.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/pixel/pixel_simd.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "kernels/pixel/pixel-inl.h"

#if HWY_ONCE
#include "kernels/pixel/pixel.h"

namespace asmpic {

HWY_EXPORT(TwirlAnglesSimd);
HWY_EXPORT(TwirlCosSinSimd);
HWY_EXPORT(TwirlSpanSimd);

void TwirlAnglesBest(double first, std::int64_t count, double rowSquare, double k, double m, double* angles) {
  HWY_DYNAMIC_DISPATCH(TwirlAnglesSimd)(first, count, rowSquare, k, m, angles);
}

void TwirlCosSinBest(const double* angles, std::int64_t count, float* cosines, float* sines) {
  HWY_DYNAMIC_DISPATCH(TwirlCosSinSimd)(angles, count, cosines, sines);
}

void TwirlSpanBest(const TwirlSpan& span) {
  HWY_DYNAMIC_DISPATCH(TwirlSpanSimd)(span);
}

}  // namespace asmpic
#endif
