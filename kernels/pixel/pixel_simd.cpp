// The twirl's SIMD angles, cosines, sines and spans for every target this build compiles
// (pixel-inl.h), and the entries that dispatch to the best one the processor offers.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/pixel/pixel_simd.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "kernels/pixel/pixel-inl.h"

namespace asmpic::HWY_NAMESPACE {

// Whether the best variant runs the baseline's smoothing, emboss and ripple rows rather than its
// own: on the 128-bit x86 targets (SSSE3, SSE4) the baseline's SSE2 rows are the faster ones (the
// contour, the relief and the twirl are faster in the target's own code). The bytes are the same.
bool RunsBaselineRows() {
  return HWY_TARGET == HWY_SSSE3 || HWY_TARGET == HWY_SSE4;
}

}  // namespace asmpic::HWY_NAMESPACE

#if HWY_ONCE
#include "kernels/pixel/pixel.h"

namespace asmpic {

HWY_EXPORT(TwirlAnglesSimd);
HWY_EXPORT(TwirlCosSinSimd);
HWY_EXPORT(TwirlSpanSimd);
HWY_EXPORT(RunsBaselineRows);

bool RunsBaselineRowsBest() {
  return HWY_DYNAMIC_DISPATCH(RunsBaselineRows)();
}

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
