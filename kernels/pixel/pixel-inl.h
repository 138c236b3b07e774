// The neighbourhood effects' SIMD body, compiled once per target by pixel_simd.cpp (foreach_target):
// the twirl's turn angles and their cosines and sines, a vector of column distances at a time.
//
// The twirl rounds the engine's double cosine and sine (the exactly rounded values, see
// sine_cosine.h) to single precision. Highway's vector Cos and Sin stay within 3 ulp of the exact
// value on |x| <= 39000 (the twirl's angles stay below 9), the exactly rounded value within half an
// ulp, so the two differ by less than 4 ulp of the result. Where the vector's value v lies more
// than 128 ulp (that bound with a wide margin) from every value halfway between two floats, the
// exactly rounded value rounds to the same float; the rare vectors with a lane closer to such a
// boundary take the engine's SingleCosine and SingleSine.
#if defined(ASMPIC_KERNELS_PIXEL_PIXEL_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ASMPIC_KERNELS_PIXEL_PIXEL_INL_H_
#undef ASMPIC_KERNELS_PIXEL_PIXEL_INL_H_
#else
#define ASMPIC_KERNELS_PIXEL_PIXEL_INL_H_
#endif

#include <hwy/contrib/math/math-inl.h>
#include <hwy/highway.h>

#include <cmath>
#include <cstdint>

#include "kernels/gather-inl.h"
#include "kernels/pixel/pixel_internal.h"
#include "kernels/rounding.h"
#include "kernels/sine_cosine.h"

HWY_BEFORE_NAMESPACE();
namespace asmpic {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The engine's cosine and sine of one angle in single precision: every value that the vector
// code cannot vouch for comes from here.
HWY_INLINE void TwirlCosSinOne(double angle, float& cosine, float& sine) {
  cosine = SingleCosine(angle);
  sine = SingleSine(angle);
}

void TwirlCosSinSimd(const double* HWY_RESTRICT angles, std::int64_t count, float* HWY_RESTRICT cosines,
                     float* HWY_RESTRICT sines) {
  std::int64_t j = 0;
#if HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128
  const hn::ScalableTag<double> d;
  const hn::RebindToSigned<decltype(d)> di;
  const hn::Rebind<float, decltype(d)> df;
  const auto n = static_cast<std::int64_t>(hn::Lanes(d));
  // Rounding to single precision drops the low 29 bits of a double's 52 fraction bits; v lies
  // halfway between two floats where those bits are 2^28. A value farther than kMargin ulp from
  // there rounds as every double within kMargin ulp of it does (in v's binade; across a power of
  // two the nearest halfway value is 2^28 ulp away). Zero and the twirl's values are normal floats.
  constexpr std::int64_t kMargin = 128;
  const auto offset = hn::Set(di, (std::int64_t{1} << 28) - kMargin);
  const auto lowBits = hn::Set(di, (std::int64_t{1} << 29) - 1);
  const auto window = hn::Set(di, 2 * kMargin);
  const auto clear = [&](hn::Vec<decltype(d)> v) {
    return hn::Gt(hn::And(hn::Sub(hn::BitCast(di, v), offset), lowBits), window);
  };
  if (count >= n) {
    // The last vector ends at the last angle and may overlap the one before it.
    for (;; j += n) {
      const bool last = j + n >= count;
      if (last) j = count - n;
      const auto theta = hn::LoadU(d, angles + j);
      const auto c = hn::Cos(d, theta);
      const auto s = hn::Sin(d, theta);
      hn::StoreU(hn::DemoteTo(df, c), df, cosines + j);
      hn::StoreU(hn::DemoteTo(df, s), df, sines + j);
      if (!hn::AllTrue(di, hn::And(clear(c), clear(s)))) {
        for (std::int64_t k = j; k < j + n; ++k) TwirlCosSinOne(angles[k], cosines[k], sines[k]);
      }
      if (last) break;
    }
    j = count;
  }
#endif
  for (; j < count; ++j) TwirlCosSinOne(angles[j], cosines[j], sines[j]);
}

// The twirl's angles K * sqrt(b^2 + a^2) / M for column distances b = first, first + 1, ...:
// squares and their sum are exact integers, the square root, product and quotient round as the
// scalar code does.
void TwirlAnglesSimd(double first, std::int64_t count, double rowSquare, double k, double m,
                     double* HWY_RESTRICT angles) {
  std::int64_t j = 0;
#if HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128
  const hn::ScalableTag<double> d;
  const auto n = static_cast<std::int64_t>(hn::Lanes(d));
  const auto vk = hn::Set(d, k), vm = hn::Set(d, m), va = hn::Set(d, rowSquare);
  if (count >= n) {
    // The last vector ends at the last angle and may overlap the one before it.
    for (;; j += n) {
      const bool last = j + n >= count;
      if (last) j = count - n;
      const auto b = hn::Add(hn::Set(d, first + static_cast<double>(j)), hn::Iota(d, 0.0));
      const auto r = hn::Sqrt(hn::Add(hn::Mul(b, b), va));
      hn::StoreU(hn::Div(hn::Mul(vk, r), vm), d, angles + j);
      if (last) break;
    }
    j = count;
  }
#endif
  for (; j < count; ++j) {
    const double b = first + static_cast<double>(j);
    angles[j] = k * std::sqrt(b * b + rowSquare) / m;
  }
}

// A run of twirl pixels (see TwirlSpan) a vector of 32-bit lanes at a time, each vector's points
// worked out in two halves of double lanes: the same products and sums as the scalar code, in the
// same order. Rounding to the nearest integer, halves to even, is one add of 1.5 * 2^52 (exact
// for the twirl's values, far below 2^51): the sum's low 32 bits are the integer, and the test
// "inside" is made on the sum itself. A run that fills no whole vector, or a picture whose pixel
// indices do not fit 31 bits, takes the scalar code; the last vector of a run ends at the run's
// end and overlaps the one before it, which writes the same bytes again.
void TwirlSpanSimd(const TwirlSpan& span) {
#if HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128
  const GatherTag d32;
  const hn::Repartition<double, GatherTag> dd;  // half as many lanes
  const hn::Rebind<float, decltype(dd)> df;
  using VD = hn::Vec<decltype(dd)>;
  const auto n = static_cast<std::int64_t>(hn::Lanes(dd));
  const std::int64_t lanes = 2 * n;
  if (span.count < lanes || span.width * (span.height + 1) >= (std::int64_t{1} << 31)) {
    return TwirlSpanScalar(span);
  }
  constexpr double kRound = 0x1.8p52;
  const VD k = hn::Set(dd, kRound);
  const VD dcx = hn::Set(dd, static_cast<double>(span.cx)), dcy = hn::Set(dd, static_cast<double>(span.cy));
  const VD dy = hn::Set(dd, span.dy);
  const VD first = hn::Set(dd, kRound + 1);
  const VD lastX = hn::Set(dd, kRound + static_cast<double>(span.width));
  const VD lastY = hn::Set(dd, kRound + static_cast<double>(span.height));
  const VD lowLanes = hn::Mul(hn::Iota(dd, 0.0), hn::Set(dd, static_cast<double>(span.step)));
  const VD highLanes = hn::Add(lowLanes, hn::Set(dd, static_cast<double>(span.step * n)));
  const auto w = static_cast<std::int32_t>(span.width);
  const GatherVec width = hn::Set(d32, w), origin = hn::Set(d32, w + 1);
  const GatherVec keep = hn::Set(d32, static_cast<std::int32_t>(0xFF000000u));
  const GatherVec fill = hn::Set(d32, static_cast<std::int32_t>(span.fill));
  // The low 32 bits of every 64-bit lane of lo, then of hi.
  const auto low32 = [&](VD hi, VD lo) {
    return hn::ConcatEven(d32, hn::BitCast(d32, hi), hn::BitCast(d32, lo));
  };
  const auto inside = [&](VD su, VD sv) {
    return hn::And(hn::And(hn::Gt(su, first), hn::Lt(su, lastX)), hn::And(hn::Gt(sv, first), hn::Lt(sv, lastY)));
  };
  // The sums with 1.5 * 2^52 of the source point of the lanes at dx with cosine c and sine s.
  const auto point = [&](VD dx, VD c, VD s, VD& su, VD& sv) {
    su = hn::Add(hn::Add(hn::Sub(hn::Mul(dx, c), hn::Mul(dy, s)), dcx), k);
    sv = hn::Add(hn::Add(hn::Add(hn::Mul(dx, s), hn::Mul(dy, c)), dcy), k);
  };
  for (std::int64_t at = 0;; at += lanes) {
    const bool last = at + lanes >= span.count;
    if (last) at = span.count - lanes;
    const std::int64_t x = span.x0 + span.step * at;
    const VD dx = hn::Set(dd, static_cast<double>(x - span.cx));
    VD sulo, svlo, suhi, svhi;
    point(hn::Add(dx, lowLanes), hn::PromoteTo(dd, hn::LoadU(df, span.cosines + at)),
          hn::PromoteTo(dd, hn::LoadU(df, span.sines + at)), sulo, svlo);
    point(hn::Add(dx, highLanes), hn::PromoteTo(dd, hn::LoadU(df, span.cosines + at + n)),
          hn::PromoteTo(dd, hn::LoadU(df, span.sines + at + n)), suhi, svhi);
    const auto in = NarrowMasks(d32, dd, inside(suhi, svhi), inside(sulo, svlo));
    // The lanes go to columns x, x + step, ...: reversed into memory order for step -1.
    auto* to = reinterpret_cast<std::int32_t*>(span.row) + (span.step > 0 ? x - 1 : x - lanes);
    GatherVec colour = fill;
    if (!hn::AllFalse(d32, in)) {
      // Pixel index (sy - 1) W + sx - 1; pixel 0 for the lanes outside.
      const GatherVec index = hn::Sub(hn::Add(hn::Mul(low32(svhi, svlo), width), low32(suhi, sulo)), origin);
      const GatherVec pixels = GatherPixels(d32, span.source, hn::IfThenElseZero(in, index));
      colour = hn::IfThenElse(in, hn::AndNot(keep, pixels), fill);
      if (span.step < 0) colour = hn::Reverse(d32, colour);
    }
    hn::StoreU(hn::Or(hn::And(hn::LoadU(d32, to), keep), colour), d32, to);
    if (last) break;
  }
#else
  TwirlSpanScalar(span);
#endif
}

}  // namespace HWY_NAMESPACE
}  // namespace asmpic
HWY_AFTER_NAMESPACE();

#endif  // include guard
