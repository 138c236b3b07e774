// The baseline's twirl pieces: the cosines and sines one call for both, and in SSE2, which every
// x86-64 processor has, the turn angles two at a time and the span four pixels at a time. They give the scalar code's bytes: the same double
// operations in the same order per lane (SSE2's square root, like std::sqrt, is correctly rounded),
// and the rounding to an integer is one add of 1.5 * 2^52, as RoundSmall does it. Elsewhere the
// scalar code runs.
#include <cmath>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernels/pixel/pixel_internal.h"
#include "kernels/sine_cosine.h"

namespace asmpic {

void TwirlCosSinBaseline(const double* angles, std::int64_t count, float* cosines, float* sines) {
  const auto single = [](double v) { return static_cast<float>(v); };
  for (std::int64_t j = 0; j < count; ++j) {
    // One call for both (the C library shares the argument's reduction between them); each value
    // is settled to the exactly rounded one as SingleCosine and SingleSine settle theirs.
    double sine, cosine;
    ::sincos(angles[j], &sine, &cosine);
    cosines[j] = Settle(Nearby(cosine), single, ExactCosine, angles[j]);
    sines[j] = Settle(Nearby(sine), single, ExactSine, angles[j]);
  }
}

void TwirlAnglesBaseline(double first, std::int64_t count, double rowSquare, double k, double m,
                         double* angles) {
  std::int64_t j = 0;
#if defined(__SSE2__)
  const __m128d vk = _mm_set1_pd(k), vm = _mm_set1_pd(m), va = _mm_set1_pd(rowSquare);
  for (; j + 2 <= count; j += 2) {
    const double b0 = first + static_cast<double>(j);
    const double b1 = first + static_cast<double>(j + 1);
    const __m128d b = _mm_set_pd(b1, b0);
    const __m128d r = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(b, b), va));
    _mm_storeu_pd(angles + j, _mm_div_pd(_mm_mul_pd(vk, r), vm));
  }
#endif
  for (; j < count; ++j) {
    const double b = first + static_cast<double>(j);
    angles[j] = k * std::sqrt(b * b + rowSquare) / m;
  }
}

void TwirlSpanBaseline(const TwirlSpan& span) {
#if defined(__SSE2__)
  constexpr std::int64_t kLanes = 4;
  if (span.count < kLanes || span.width * (span.height + 1) >= (std::int64_t{1} << 31)) {
    return TwirlSpanScalar(span);
  }
  constexpr double kRound = 0x1.8p52;
  const __m128d k = _mm_set1_pd(kRound);
  const __m128d dcx = _mm_set1_pd(static_cast<double>(span.cx)), dcy = _mm_set1_pd(static_cast<double>(span.cy));
  const __m128d dy = _mm_set1_pd(span.dy);
  const __m128d first = _mm_set1_pd(kRound + 1);
  const __m128d lastX = _mm_set1_pd(kRound + static_cast<double>(span.width));
  const __m128d lastY = _mm_set1_pd(kRound + static_cast<double>(span.height));
  const __m128d w = _mm_set1_pd(static_cast<double>(span.width));
  const double step = span.step;
  const __m128d lowLanes = _mm_set_pd(step, 0), highLanes = _mm_set_pd(3 * step, 2 * step);
  const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i fill = _mm_set1_epi32(static_cast<int>(span.fill));
  const __m128i origin = _mm_set1_epi32(static_cast<std::int32_t>(span.width + 1));
  // Two lanes at dx: whether each source point lies inside (all bits of the 64-bit lane) and its
  // place sx + sy W, exact in a double and held in its low 32 bits.
  const auto half = [&](__m128d dx, const float* cosines, const float* sines, __m128d& place) {
    const __m128d c = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cosines))));
    const __m128d s = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(sines))));
    const __m128d su = _mm_add_pd(_mm_add_pd(_mm_sub_pd(_mm_mul_pd(dx, c), _mm_mul_pd(dy, s)), dcx), k);
    const __m128d sv = _mm_add_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(dx, s), _mm_mul_pd(dy, c)), dcy), k);
    place = _mm_add_pd(su, _mm_mul_pd(_mm_sub_pd(sv, k), w));
    return _mm_and_pd(_mm_and_pd(_mm_cmpgt_pd(su, first), _mm_cmplt_pd(su, lastX)),
                      _mm_and_pd(_mm_cmpgt_pd(sv, first), _mm_cmplt_pd(sv, lastY)));
  };
  const auto low32 = [](__m128d lo, __m128d hi) {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castpd_ps(lo), _mm_castpd_ps(hi), _MM_SHUFFLE(2, 0, 2, 0)));
  };
  for (std::int64_t at = 0;; at += kLanes) {
    const bool last = at + kLanes >= span.count;
    if (last) at = span.count - kLanes;
    const std::int64_t x = span.x0 + span.step * at;
    const __m128d dx = _mm_set1_pd(static_cast<double>(x - span.cx));
    __m128d placeLo, placeHi;
    const __m128d inLo = half(_mm_add_pd(dx, lowLanes), span.cosines + at, span.sines + at, placeLo);
    const __m128d inHi = half(_mm_add_pd(dx, highLanes), span.cosines + at + 2, span.sines + at + 2, placeHi);
    const __m128i in = low32(inLo, inHi);
    // The lanes go to columns x, x + step, ...: reversed into memory order for step -1.
    auto* to = reinterpret_cast<__m128i*>(span.row + 4 * (span.step > 0 ? x - 1 : x - kLanes));
    __m128i colour = fill;
    if (_mm_movemask_ps(_mm_castsi128_ps(in)) != 0) {
      // Pixel (sy - 1) W + sx - 1; pixel 0 for the lanes outside.
      alignas(16) std::int32_t index[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(index),
                      _mm_and_si128(in, _mm_sub_epi32(low32(placeLo, placeHi), origin)));
      std::int32_t words[4];
      for (int lane = 0; lane < 4; ++lane) std::memcpy(&words[lane], span.source + 4 * std::int64_t{index[lane]}, 4);
      const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words));
      colour = _mm_or_si128(_mm_and_si128(in, _mm_andnot_si128(keep, pixels)), _mm_andnot_si128(in, fill));
      if (span.step < 0) colour = _mm_shuffle_epi32(colour, _MM_SHUFFLE(0, 1, 2, 3));
    }
    _mm_storeu_si128(to, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(to), keep), colour));
    if (last) break;
  }
#else
  TwirlSpanScalar(span);
#endif
}

}  // namespace asmpic
