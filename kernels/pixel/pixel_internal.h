#pragma once
// What the neighbourhood kernel's translation units share: pixel.cpp (reference, baseline and the
// banded frame) and pixel_simd.cpp with its per-target twirl body pixel-inl.h.
#include <cstdint>

namespace asmpic {

// A run of twirl pixels in one destination row: columns x0, x0 + step, ... (count of them), the
// k-th turned by cosines[k], sines[k]. Each takes the colour bytes of the source pixel it turns
// to, or the fill where that lies on or beyond the border; byte 3 keeps its value.
struct TwirlSpan {
  const std::uint8_t* source;  // plane 3
  std::uint8_t* row;           // the destination row in plane 2
  std::int64_t width;
  std::int64_t height;
  std::int64_t cx;
  std::int64_t cy;
  double dy;           // the row's distance from the centre row, signed
  std::uint32_t fill;  // the fill's colour bytes, byte 3 clear
  std::int64_t x0;
  int step;  // 1 or -1
  const float* cosines;
  const float* sines;
  std::int64_t count;
};

// The span one pixel at a time, as the baseline does it; the SIMD body hands it the rare vectors
// it cannot vouch for and the columns after its last whole vector.
void TwirlSpanScalar(const TwirlSpan& span);

// The baseline's angles, cosines and sines, and span (twirl_sse2.cpp): SSE2 vectors where the
// processor has them, the scalar code elsewhere; the same values as the scalar code.
void TwirlCosSinBaseline(const double* angles, std::int64_t count, float* cosines, float* sines);
void TwirlAnglesBaseline(double first, std::int64_t count, double rowSquare, double k, double m, double* angles);
void TwirlSpanBaseline(const TwirlSpan& span);

// The twirl's pieces in the widest vectors the processor has (pixel_simd.cpp): the turn angles of
// `count` column distances from `first`, and the span. Without a SIMD target the dispatch lands on
// the portable target, whose bodies are the scalar ones.
void TwirlAnglesBest(double first, std::int64_t count, double rowSquare, double k, double m, double* angles);
void TwirlSpanBest(const TwirlSpan& span);

// Whether the best target runs the baseline's smoothing, emboss and ripple rows (pixel_simd.cpp).
bool RunsBaselineRowsBest();

}  // namespace asmpic
