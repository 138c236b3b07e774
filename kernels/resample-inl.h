// The resampling pass of rotation and magnify as one SIMD source, compiled once per target by
// resample_simd.cpp (foreach_target) and chosen at run time. It writes the bytes of the scalar pass
// in resample.h exactly:
// - A point's coordinates are the same double operations in the same order (a multiply, then an
//   add: never fused).
// - Rounding to the nearest integer, halves to even, is one add of 1.5 * 2^52: for |t| < 2^51 the
//   sum is 1.5 * 2^52 + round(t) exactly, and its low 32 bits are round(t). Larger, infinite and
//   NaN values give sums outside [1.5 * 2^52 + 1, 1.5 * 2^52 + W], so the test "inside the picture"
//   is made on the sum itself and every such value falls outside, as in the scalar pass.
// - Smoothing: for a point inside, u is a float of at least 1, so u - ix is a multiple of 2^-23
//   in 0 .. 1, fx = kx * 2^-23 exactly, and the blend along a row, p00 + (p10 - p00) * fx, is the
//   integer T0 = p00 * 2^23 + (p10 - p00) * kx scaled by 2^-23, without rounding (it lies in
//   0 .. 255 * 2^23 < 2^31). Only the blend between the rows rounds; it is made in double as
//   T0 + (T1 - T0) * fy, which is the scalar pass's t0 + (t1 - t0) * fy scaled by 2^23, a power of
//   two, so both round alike. Its result lies between two bytes, so no clamp is needed.
// - Each row is split where its points leave the picture (InsideSpan, with the same tests on the
//   same sums), so the vectors sample without per-point tests and the rest takes the fill.

// Per-target include guard, as Highway's foreach_target needs.
#if defined(ASMPIC_KERNELS_RESAMPLE_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ASMPIC_KERNELS_RESAMPLE_INL_H_
#undef ASMPIC_KERNELS_RESAMPLE_INL_H_
#else
#define ASMPIC_KERNELS_RESAMPLE_INL_H_
#endif

#include <hwy/highway.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "kernels/gather-inl.h"
#include "kernels/resample.h"

HWY_BEFORE_NAMESPACE();
namespace asmpic::resample::HWY_NAMESPACE {

namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128

using D32 = hn::ScalableTag<std::int32_t>;
using DD = hn::Repartition<double, D32>;  // half as many lanes
using V32 = hn::Vec<D32>;
using VD = hn::Vec<DD>;

constexpr double kRound = kRoundingSum;           // 1.5 * 2^52
constexpr double kScale = 8388608.0;              // 2^23
constexpr double kRoundScaled = kRound * kScale;  // 1.5 * 2^75: its ulp is 2^23

// The low 32 bits of every 64-bit lane of lo, then of hi.
HWY_INLINE V32 Low32(D32 d32, VD hi, VD lo) {
  return hn::ConcatEven(d32, hn::BitCast(d32, hi), hn::BitCast(d32, lo));
}

// Source reads: see gather-inl.h.
HWY_INLINE V32 Gather(D32 d32, const std::uint8_t* base, V32 index) {
  return asmpic::HWY_NAMESPACE::GatherPixels(d32, base, index);
}
HWY_INLINE void GatherPairs(D32 d32, const std::uint8_t* base, V32 index, V32& left, V32& right) {
  asmpic::HWY_NAMESPACE::GatherPixelPairs(d32, base, index, left, right);
}

// Bytes 0, 1 and 2 of `value` into the pixels at `out`; byte 3 keeps what it held.
HWY_INLINE void StoreLow3(D32 d32, V32 value, std::uint8_t* out) {
  const V32 top = hn::Set(d32, static_cast<std::int32_t>(0xFF000000u));
  const V32 old = hn::LoadU(d32, reinterpret_cast<std::int32_t*>(out));
  hn::StoreU(hn::Or(hn::And(old, top), hn::AndNot(top, value)), d32, reinterpret_cast<std::int32_t*>(out));
}

// The vector forms of the mappings. What depends on x alone is worked out once per call, for
// columns 1 .. n (element x - 1), with the scalar mapping's operations, and each row adds its own
// part: the same double values as the scalar pass, hence the same bytes. The row's part is kept
// as a double and made a vector where it is used: SVE's vectors have no size, so no struct can
// hold one.
struct RotationRowVec : RotationRowPoints {
  // cx + (x - cx) * c and cy + (x - cx) * s.
  struct Columns {
    std::vector<double> across, down;
    Columns(const RotationMapping& m, std::int64_t n)
        : across(static_cast<std::size_t>(n)), down(across.size()) {
      for (std::int64_t x = 1; x <= n; ++x) {
        const double dx = static_cast<double>(x) - m.cx;
        across[static_cast<std::size_t>(x - 1)] = m.cx + dx * m.c;
        down[static_cast<std::size_t>(x - 1)] = m.cy + dx * m.s;
      }
    }
  };
  // Plain pointers and values, no reference: a copy of the row in the vector loop stays in
  // registers, where the stores of pixels (which may alias anything) would make the loop read a
  // referenced object again on every vector.
  RotationRowVec(const RotationMapping& m, const Columns& cols, double y)
      : RotationRowPoints{cols.across.data(), cols.down.data(), (y - m.cy) * m.s, (y - m.cy) * m.c} {}
  // The points of columns i + 1 .. i + Lanes(dd), with U's and V's operations.
  HWY_INLINE void operator()(DD dd, std::size_t i, VD& u, VD& v) const {
    u = hn::Sub(hn::LoadU(dd, across + i), hn::Set(dd, dySin));
    v = hn::Add(hn::LoadU(dd, down + i), hn::Set(dd, dyCos));
  }
};

struct MagnifyRowVec : MagnifyRowPoints {
  // (x - cx) * s + cx.
  struct Columns {
    std::vector<double> across;
    Columns(const MagnifyMapping& m, std::int64_t n) : across(static_cast<std::size_t>(n)) {
      for (std::int64_t x = 1; x <= n; ++x)
        across[static_cast<std::size_t>(x - 1)] = (static_cast<double>(x) - m.cx) * m.s + m.cx;
    }
  };
  MagnifyRowVec(const MagnifyMapping& m, const Columns& cols, double y)
      : MagnifyRowPoints{cols.across.data(), (y - m.cy) * m.s + m.cy} {}
  HWY_INLINE void operator()(DD dd, std::size_t i, VD& u, VD& vOut) const {
    u = hn::LoadU(dd, across + i);
    vOut = hn::Set(dd, v);
  }
};

// Nearest sampling of one vector of pixels, columns i + 1 onwards, all of whose points fall inside
// the picture (see InsideSpan). The sum 1.5 * 2^52 + sx + sy * W is exact (it stays below 2^53),
// so its low 32 bits are the pixel's place counted from the source's pixel (0, 0), one row and one
// column before the first: one conversion to integers instead of two and a multiplication.
template <class RowVec>
HWY_INLINE void NearestVector(D32 d32, DD dd, const RowVec& row, std::size_t i, const std::uint8_t* source,
                              std::int32_t width, std::uint8_t* out) {
  const std::size_t n = hn::Lanes(dd);
  VD ulo, vlo, uhi, vhi;
  row(dd, i, ulo, vlo);
  row(dd, i + n, uhi, vhi);
  const VD k = hn::Set(dd, kRound);
  const VD w = hn::Set(dd, static_cast<double>(width));
  const VD placeLo = hn::Add(hn::Add(ulo, k), hn::Mul(hn::Sub(hn::Add(vlo, k), k), w));
  const VD placeHi = hn::Add(hn::Add(uhi, k), hn::Mul(hn::Sub(hn::Add(vhi, k), k), w));
#if HWY_TARGET == HWY_AVX2
  // The sums lie in [2^52, 2^53), where a double's bits are those of 1.5 * 2^52 plus the sum's
  // excess over it: one 64-bit subtraction gives the index in 64-bit lanes.
  const __m256i origin = _mm256_set1_epi64x(static_cast<std::int64_t>(0x4338000000000000u) + width + 1);
  StoreLow3(d32,
            asmpic::HWY_NAMESPACE::GatherPixels64(
                source, _mm256_sub_epi64(_mm256_castpd_si256(placeLo.raw), origin),
                _mm256_sub_epi64(_mm256_castpd_si256(placeHi.raw), origin)),
            out);
#else
  const V32 index = hn::Sub(Low32(d32, placeHi, placeLo), hn::Set(d32, width + 1));
  StoreLow3(d32, Gather(d32, source, index), out);
#endif
}

// One byte of four neighbours blended: along the rows exactly in integers, between them in double.
HWY_INLINE V32 BlendByte(D32 d32, DD dd, int shift, V32 p00, V32 p10, V32 p01, V32 p11, V32 kx, VD fylo,
                         VD fyhi) {
  const V32 mask = hn::Set(d32, 255);
  const auto byte = [&](V32 word) { return hn::And(hn::ShiftRightSame(word, shift), mask); };
  const V32 a = byte(p00), b = byte(p10), c = byte(p01), e = byte(p11);
  const V32 t0 = hn::Add(hn::ShiftLeft<23>(a), hn::Mul(hn::Sub(b, a), kx));
  const V32 t1 = hn::Add(hn::ShiftLeft<23>(c), hn::Mul(hn::Sub(e, c), kx));
  const V32 diff = hn::Sub(t1, t0);
  const hn::Half<D32> dh;
  // sum = 2^23 * (t0 + (t1 - t0) * fy) lies in 0 .. 255 * 2^23; adding 1.5 * 2^75 rounds it to a
  // multiple of 2^23, halves to even, and leaves round(sum / 2^23) in the low bits.
  const VD k = hn::Set(dd, kRoundScaled);
  const auto between = [&](hn::Vec<hn::Half<D32>> t, hn::Vec<hn::Half<D32>> d, VD fy) {
    const VD sum = hn::Add(hn::PromoteTo(dd, t), hn::Mul(hn::PromoteTo(dd, d), fy));
    return hn::Add(sum, k);
  };
  const VD lo = between(hn::LowerHalf(dh, t0), hn::LowerHalf(dh, diff), fylo);
  const VD hi = between(hn::UpperHalf(dh, t0), hn::UpperHalf(dh, diff), fyhi);
  return Low32(d32, hi, lo);
}

// Smoothed sampling of one vector of pixels, columns i + 1 onwards, all of whose points fall
// inside the picture (see InsideSpan).
template <class RowVec>
HWY_INLINE void SmoothedVector(D32 d32, DD dd, const RowVec& row, std::size_t i, const std::uint8_t* source,
                               std::int32_t width, std::uint8_t* out) {
  const hn::Rebind<float, DD> df;
  const std::size_t n = hn::Lanes(dd);
  VD ulo, vlo, uhi, vhi;
  row(dd, i, ulo, vlo);
  row(dd, i + n, uhi, vhi);
  // The point in single precision, and its lower-left neighbour as sums with 1.5 * 2^52.
  const auto single = [&](VD t) { return hn::PromoteTo(dd, hn::DemoteTo(df, t)); };
  ulo = single(ulo), uhi = single(uhi), vlo = single(vlo), vhi = single(vhi);
  const VD k = hn::Set(dd, kRound);
  const VD halfK = hn::Set(dd, 0.5);
  const VD sxlo = hn::Add(hn::Sub(ulo, halfK), k), sxhi = hn::Add(hn::Sub(uhi, halfK), k);
  const VD sylo = hn::Add(hn::Sub(vlo, halfK), k), syhi = hn::Add(hn::Sub(vhi, halfK), k);

  // The fractions u - ix and v - iy, exact; kx = fx * 2^23 as an integer.
  const VD fxlo = hn::Sub(ulo, hn::Sub(sxlo, k)), fxhi = hn::Sub(uhi, hn::Sub(sxhi, k));
  const VD fylo = hn::Sub(vlo, hn::Sub(sylo, k)), fyhi = hn::Sub(vhi, hn::Sub(syhi, k));
  const VD scale = hn::Set(dd, kScale);
  const V32 kx = Low32(d32, hn::Add(hn::Mul(fxhi, scale), k), hn::Add(hn::Mul(fxlo, scale), k));

  const V32 ix = Low32(d32, sxhi, sxlo);
  const V32 iy = Low32(d32, syhi, sylo);
  const V32 w = hn::Set(d32, width);
  const V32 index = hn::Sub(hn::Add(hn::Mul(iy, w), ix), hn::Set(d32, width + 1));
  V32 p00, p10, p01, p11;
  GatherPairs(d32, source, index, p00, p10);
  GatherPairs(d32, source, hn::Add(index, w), p01, p11);

  const V32 blue = BlendByte(d32, dd, 0, p00, p10, p01, p11, kx, fylo, fyhi);
  const V32 green = BlendByte(d32, dd, 8, p00, p10, p01, p11, kx, fylo, fyhi);
  const V32 red = BlendByte(d32, dd, 16, p00, p10, p01, p11, kx, fylo, fyhi);
  StoreLow3(d32, hn::Or(blue, hn::Or(hn::ShiftLeft<8>(green), hn::ShiftLeft<16>(red))), out);
}

template <bool kSmoothed, class RowVec, class Mapping>
void Rows(const KernelParams& p, int sourcePlane, const Mapping& mapping, std::int64_t first,
          std::int64_t last) {
  const D32 d32;
  const DD dd;
  const std::int64_t width = p.width;
  const std::int64_t height = p.height;
  const std::int64_t lanes = static_cast<std::int64_t>(hn::Lanes(d32));
  const std::uint8_t* source = PlanePtr(p, sourcePlane);
  std::uint8_t* dest = PlanePtr(p, 2);
  const FillBytes fillBytes = FillOf(p.colour);
  // The fill colour is 0x00BBGGRR; a pixel word holds blue in its low byte.
  const V32 fill = hn::Set(d32, fillBytes.blue | fillBytes.green << 8 | fillBytes.red << 16);
  // Vectors where the picture is at least one vector wide and every pixel index (plus a row and a
  // column, for smoothing) fits 32 bits; the scalar pass elsewhere. A row's last vector ends at its
  // last pixel and may overlap the one before it: every pixel depends on its own point alone, so
  // writing it twice writes the same bytes.
  const bool vectors = width >= lanes && width * (height + 1) < (std::int64_t{1} << 31);
  if (!vectors) {
    const auto rows = [&](auto&& sample) {
      for (std::int64_t y = first; y <= last; ++y) {
        const auto row = mapping.Row(static_cast<double>(y));
        std::uint8_t* rowOut = PixelPtr(dest, width, 1, y);
        for (std::int64_t x = 1; x <= width; ++x) sample(row(static_cast<double>(x)), rowOut + 4 * (x - 1));
      }
    };
    if constexpr (kSmoothed) {
      rows([&](SourcePoint point, std::uint8_t* out) {
        SampleSmoothed<FastArithmetic>(source, width, height, point, fillBytes, out);
      });
    } else {
      rows([&](SourcePoint point, std::uint8_t* out) {
        SampleNearest<FastArithmetic>(source, width, height, point, fillBytes, out);
      });
    }
    return;
  }
  const typename RowVec::Columns columns(mapping, width);
  const auto width32 = static_cast<std::int32_t>(width);
  // Each row in three parts: the columns before and after its span inside the picture take the fill
  // colour, and the span samples the source without testing each point. Parts narrower than a
  // vector go pixel by pixel. A part's last vector ends at its last pixel and may overlap the one
  // before it: every pixel depends on its own point alone, so writing it twice writes the same
  // bytes. (Tiles of rows and columns, meant to keep the source pixels that neighbouring rows read
  // in the cache, made the full HD rotation slower on AVX-512, so the rows go one after the other.)
  for (std::int64_t y = first; y <= last; ++y) {
    std::uint8_t* rowOut = PixelPtr(dest, width, 1, y);
    const RowVec rowVec(mapping, columns, static_cast<double>(y));
    std::int64_t lo, hi;
    InsideSpan<kSmoothed>(rowVec, width, height, lo, hi);
    const auto fillPart = [&](std::int64_t from, std::int64_t to) {
      if (to - from + 1 >= lanes) {
        for (std::int64_t x = from; x < to + 1; x += lanes)
          StoreLow3(d32, fill, rowOut + 4 * (std::min(x, to - lanes + 1) - 1));
      } else {
        for (std::int64_t x = from; x <= to; ++x) WriteFill(rowOut + 4 * (x - 1), fillBytes);
      }
    };
    if (lo > hi) {
      fillPart(1, width);
      continue;
    }
    fillPart(1, lo - 1);
    fillPart(hi + 1, width);
    if (hi - lo + 1 >= lanes) {
      // (Plain loops: GCC does not inline a lambda's body compiled for another target.) The row
      // and the width are copies whose address no one has, so they stay in registers.
      const RowVec vectorRow = rowVec;
      for (std::int64_t x = lo; x < hi + 1; x += lanes) {
        const auto i = static_cast<std::size_t>(std::min(x, hi - lanes + 1) - 1);
        if constexpr (kSmoothed) {
          SmoothedVector(d32, dd, vectorRow, i, source, width32, rowOut + 4 * i);
        } else {
          NearestVector(d32, dd, vectorRow, i, source, width32, rowOut + 4 * i);
        }
      }
    } else {
      for (std::int64_t x = lo; x <= hi; ++x) {
        const auto i = static_cast<std::size_t>(x - 1);
        const SourcePoint point{rowVec.U(i), rowVec.V(i)};
        if constexpr (kSmoothed) {
          SampleSmoothed<FastArithmetic>(source, width, height, point, fillBytes, rowOut + 4 * i);
        } else {
          SampleNearest<FastArithmetic>(source, width, height, point, fillBytes, rowOut + 4 * i);
        }
      }
    }
  }
}

void RotateRows(const KernelParams& p, int sourcePlane, bool smoothed, const RotationMapping& mapping,
                std::int64_t first, std::int64_t last) {
  if (smoothed) {
    Rows<true, RotationRowVec>(p, sourcePlane, mapping, first, last);
  } else {
    Rows<false, RotationRowVec>(p, sourcePlane, mapping, first, last);
  }
}

void MagnifyRows(const KernelParams& p, int sourcePlane, bool smoothed, const MagnifyMapping& mapping,
                 std::int64_t first, std::int64_t last) {
  if (smoothed) {
    Rows<true, MagnifyRowVec>(p, sourcePlane, mapping, first, last);
  } else {
    Rows<false, MagnifyRowVec>(p, sourcePlane, mapping, first, last);
  }
}

#else  // HWY_SCALAR, HWY_EMU128: never chosen (the baseline runs instead), built for the table only

void RotateRows(const KernelParams& p, int sourcePlane, bool smoothed, const RotationMapping& mapping,
                std::int64_t first, std::int64_t last) {
  ResampleRows<FastArithmetic>(p, sourcePlane, smoothed, mapping, first, last);
}

void MagnifyRows(const KernelParams& p, int sourcePlane, bool smoothed, const MagnifyMapping& mapping,
                 std::int64_t first, std::int64_t last) {
  ResampleRows<FastArithmetic>(p, sourcePlane, smoothed, mapping, first, last);
}

#endif

}  // namespace asmpic::resample::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#endif  // per-target include guard
