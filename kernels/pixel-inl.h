// The neighbourhood effects' SIMD body, compiled once per target by pixel.cpp (foreach_target):
// the twirl's turn angles and their cosines and sines, a vector of column distances at a time.
//
// The twirl rounds the engine's double cosine and sine (the exactly rounded values, see
// sine_cosine.h) to single precision. Highway's vector Cos and Sin stay within 3 ulp of the exact
// value on |x| <= 39000 (the twirl's angles stay below 9), the exactly rounded value within half an
// ulp, so the two differ by less than 4 ulp of the result. Where every double within 2^-46 * |v|
// (that bound with a wide margin) of the vector's value v rounds to one float, the exactly rounded
// value rounds to it too; the rare lanes that lie closer to a boundary between two floats take the
// engine's SingleCosine and SingleSine.
#if defined(ASMPIC_KERNELS_PIXEL_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ASMPIC_KERNELS_PIXEL_INL_H_
#undef ASMPIC_KERNELS_PIXEL_INL_H_
#else
#define ASMPIC_KERNELS_PIXEL_INL_H_
#endif

#include <hwy/contrib/math/math-inl.h>
#include <hwy/highway.h>

#include <cmath>
#include <cstdint>

#include "kernels/rounding.h"
#include "kernels/sine_cosine.h"

HWY_BEFORE_NAMESPACE();
namespace asmpic {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void TwirlCosSinSimd(const double* HWY_RESTRICT angles, std::int64_t count, float* HWY_RESTRICT cosines,
                     float* HWY_RESTRICT sines) {
  std::int64_t j = 0;
#if HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128
  const hn::ScalableTag<double> d;
  const hn::Rebind<float, decltype(d)> df;
  const auto n = static_cast<std::int64_t>(hn::Lanes(d));
  const auto margin = hn::Set(d, 0x1p-46);
  const auto floor = hn::Set(d, 0x1p-200);  // keeps a zero result away from a shortcut
  // The single-precision value and whether every double near v rounds to it.
  const auto single = [&](decltype(margin) v, auto& exact) {
    const auto tol = hn::Add(hn::Mul(hn::Abs(v), margin), floor);
    const auto low = hn::DemoteTo(df, hn::Sub(v, tol));
    const auto high = hn::DemoteTo(df, hn::Add(v, tol));
    exact = hn::Eq(low, high);
    return hn::DemoteTo(df, v);
  };
  for (; j + n <= count; j += n) {
    const auto theta = hn::LoadU(d, angles + j);
    hn::Mask<decltype(df)> cosExact, sinExact;
    hn::StoreU(single(hn::Cos(d, theta), cosExact), df, cosines + j);
    hn::StoreU(single(hn::Sin(d, theta), sinExact), df, sines + j);
    if (!hn::AllTrue(df, hn::And(cosExact, sinExact))) {
      for (std::int64_t k = j; k < j + n; ++k) {
        cosines[k] = SingleCosine(angles[k]);
        sines[k] = SingleSine(angles[k]);
      }
    }
  }
#endif
  for (; j < count; ++j) {
    cosines[j] = SingleCosine(angles[j]);
    sines[j] = SingleSine(angles[j]);
  }
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
  for (; j + n <= count; j += n) {
    const auto b = hn::Add(hn::Set(d, first + static_cast<double>(j)), hn::Iota(d, 0.0));
    const auto r = hn::Sqrt(hn::Add(hn::Mul(b, b), va));
    hn::StoreU(hn::Div(hn::Mul(vk, r), vm), d, angles + j);
  }
#endif
  for (; j < count; ++j) {
    const double b = first + static_cast<double>(j);
    angles[j] = k * std::sqrt(b * b + rowSquare) / m;
  }
}

// A run of twirl pixels (see TwirlSpan) a vector at a time: the same products, sums and rounding
// as the scalar code, in double lanes, and a gather of the source pixels that lie inside.
void TwirlSpanSimd(const TwirlSpan& span) {
  std::int64_t k = 0;
#if HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128
  const hn::ScalableTag<double> d;
  const hn::Rebind<float, decltype(d)> df;
  const hn::Rebind<std::int32_t, decltype(d)> di;
  const hn::Rebind<std::uint32_t, decltype(d)> du;
  const auto n = static_cast<std::int64_t>(hn::Lanes(d));
  const auto dcx = hn::Set(d, static_cast<double>(span.cx)), dcy = hn::Set(d, static_cast<double>(span.cy));
  const auto dy = hn::Set(d, span.dy);
  const auto one = hn::Set(d, 1.0), width = hn::Set(d, static_cast<double>(span.width));
  const auto height = hn::Set(d, static_cast<double>(span.height));
  const auto lanes = hn::Mul(hn::Iota(d, 0.0), hn::Set(d, static_cast<double>(span.step)));
  const auto keep = hn::Set(du, 0xFF000000u);
  const auto fill = hn::Set(du, span.fill);
  const auto* source = reinterpret_cast<const std::uint32_t*>(span.source);
  for (; k + n <= span.count; k += n) {
    const std::int64_t x = span.x0 + span.step * k;
    // The lane's column, left to right in memory order or right to left.
    const auto dx = hn::Add(hn::Set(d, static_cast<double>(x - span.cx)), lanes);
    const auto c = hn::PromoteTo(d, hn::LoadU(df, span.cosines + k));
    const auto s = hn::PromoteTo(d, hn::LoadU(df, span.sines + k));
    const auto sx = hn::Round(hn::Add(hn::Sub(hn::Mul(dx, c), hn::Mul(dy, s)), dcx));
    const auto sy = hn::Round(hn::Add(hn::Add(hn::Mul(dx, s), hn::Mul(dy, c)), dcy));
    const auto inside =
        hn::And(hn::And(hn::Gt(sx, one), hn::Lt(sx, width)), hn::And(hn::Gt(sy, one), hn::Lt(sy, height)));
    // Pixel index (sy - 1) W + sx - 1, exact in double; -1 for lanes outside, which read pixel 0.
    const auto index =
        hn::DemoteTo(di, hn::IfThenElse(inside, hn::Add(hn::Mul(hn::Sub(sy, one), width), hn::Sub(sx, one)),
                                        hn::Set(d, -1.0)));
    const auto found = hn::Gt(index, hn::Set(di, -1));
    // Pixel by pixel: the source reads are where the time goes, and separate loads beat the
    // processors' gather instructions on most machines.
    HWY_ALIGN std::int32_t at[HWY_MAX_BYTES / sizeof(double)];
    HWY_ALIGN std::uint32_t read[HWY_MAX_BYTES / sizeof(double)];
    hn::Store(hn::Max(index, hn::Zero(di)), di, at);
    for (std::int64_t lane = 0; lane < n; ++lane) read[lane] = source[at[lane]];
    const auto gathered = hn::Load(du, read);
    const auto colour = hn::IfThenElse(hn::RebindMask(du, found), hn::AndNot(keep, gathered), fill);
    // The lanes go to columns x, x + step, ...: reversed into memory order for step -1.
    auto* to = reinterpret_cast<std::uint32_t*>(span.row) + (span.step > 0 ? x - 1 : x - n);
    const auto out = span.step > 0 ? colour : hn::Reverse(du, colour);
    hn::StoreU(hn::Or(hn::And(hn::LoadU(du, to), keep), out), du, to);
  }
#endif
  if (k < span.count) {
    TwirlSpan rest = span;
    rest.x0 = span.x0 + span.step * k;
    rest.cosines += k;
    rest.sines += k;
    rest.count -= k;
    TwirlSpanScalar(rest);
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace asmpic
HWY_AFTER_NAMESPACE();

#endif  // include guard
