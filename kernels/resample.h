#pragma once
// The resampling pass that rotation and magnify share. Every pixel of plane 2 is mapped back into a
// source plane (1 or 3) and takes the nearest source pixel, a blend of the four nearest ones, or the
// fill colour when it maps outside the picture. Only bytes 0, 1 and 2 of a destination pixel are
// written; byte 3 keeps what it held.
//
// A mapping gives, for one destination row y, a function from x to the source point (u, v):
//   auto row = mapping.Row(y);  SourcePoint point = row(x);
// so that what depends on y alone is worked out once per row (the same double values, hence the
// same bytes, as working it out per pixel).
#include <algorithm>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernels/kernel_params.h"
#include "kernels/rounding.h"

namespace asmpic::resample {

struct SourcePoint {
  double u;
  double v;
};

// The fill colour's bytes in pixel order; the colour is 0x00BBGGRR and its top byte is ignored.
struct FillBytes {
  std::uint8_t blue;
  std::uint8_t green;
  std::uint8_t red;
};

inline FillBytes FillOf(std::int32_t colour) {
  const auto bits = static_cast<std::uint32_t>(colour);
  return {static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 8),
          static_cast<std::uint8_t>(bits)};
}

inline void WriteFill(std::uint8_t* pixel, FillBytes fill) {
  pixel[0] = fill.blue;
  pixel[1] = fill.green;
  pixel[2] = fill.red;
}

// Gives every pixel of plane 2 the fill colour (a mapping that reaches no source pixel at all).
inline void FillPlane2(const KernelParams& p) {
  const FillBytes fill = FillOf(p.colour);
  std::uint8_t* pixel = PlanePtr(p, 2);
  for (std::int64_t i = 0; i < GeometryOf(p).pixelCount(); ++i, pixel += 4) WriteFill(pixel, fill);
}

inline const std::uint8_t* SourcePixel(const std::uint8_t* plane, std::int64_t width, std::int64_t x,
                                       std::int64_t y) {
  return plane + 4 * ((x - 1) + width * (y - 1));
}

// The arithmetic of the pass, in two interchangeable forms that give the same bytes. Integer()
// rounds to the nearest integer, halves to the even neighbour, and gives a value outside every
// picture for anything no 32-bit integer holds (huge, infinite or NaN); Single() stores a double
// as single precision; Blend() interpolates bytes 0, 1 and 2 of four neighbours, along the row by
// fx, then between the rows by fy, rounds, and clamps to 0 .. 255.
struct ExactArithmetic {
  static std::int64_t Integer(double value) { return RoundClamped(value); }
  static float Single(double value) { return ToSingle(value); }
  static void Blend(const std::uint8_t* p00, const std::uint8_t* p10, const std::uint8_t* p01,
                    const std::uint8_t* p11, double fx, double fy, std::uint8_t* out) {
    for (int c = 0; c < 3; ++c) {
      const double t0 = p00[c] + (p10[c] - p00[c]) * fx;
      const double t1 = p01[c] + (p11[c] - p01[c]) * fx;
      double value = RoundHalfEven(t0 + (t1 - t0) * fy);
      if (value > 255) value = 255;
      if (value < 0) value = 0;
      out[c] = static_cast<std::uint8_t>(value);
    }
  }
};

#if defined(__SSE2__)
// The same arithmetic with the processor's own instructions, inline: cvtsd2si rounds in the
// current rounding mode (to nearest, halves to even, as std::nearbyint does) and yields INT32_MIN
// for any value out of range; cvtsd2ss rounds to nearest and overflows to infinity, as ToSingle
// does; the blend works on two bytes at once in packed doubles, with the same operations in the
// same order per byte, and clamps by saturating packs.
struct Sse2Arithmetic {
  static std::int64_t Integer(double value) { return _mm_cvtsd_si32(_mm_set_sd(value)); }
  static float Single(double value) {
    return _mm_cvtss_f32(_mm_cvtsd_ss(_mm_setzero_ps(), _mm_set_sd(value)));
  }
  static void Blend(const std::uint8_t* p00, const std::uint8_t* p10, const std::uint8_t* p01,
                    const std::uint8_t* p11, double fx, double fy, std::uint8_t* out) {
    const __m128d vfx = _mm_set1_pd(fx);
    const __m128d vfy = _mm_set1_pd(fy);
    const __m128i a = Widen(p00), b = Widen(p10), c = Widen(p01), d = Widen(p11);
    // Lanes: bytes 0 and 1 in the low half, bytes 2 and 3 in the high half.
    const __m128i low = BlendHalf(a, b, c, d, vfx, vfy);
    const __m128i high = BlendHalf(_mm_srli_si128(a, 8), _mm_srli_si128(b, 8), _mm_srli_si128(c, 8),
                                   _mm_srli_si128(d, 8), vfx, vfy);
    const __m128i words = _mm_packs_epi32(_mm_unpacklo_epi64(low, high), _mm_setzero_si128());
    const auto bytes = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, words)));
    out[0] = static_cast<std::uint8_t>(bytes);
    out[1] = static_cast<std::uint8_t>(bytes >> 8);
    out[2] = static_cast<std::uint8_t>(bytes >> 16);
  }

 private:
  // The four bytes of a pixel as four 32-bit lanes.
  static __m128i Widen(const std::uint8_t* pixel) {
    std::int32_t bits;
    std::memcpy(&bits, pixel, 4);
    const __m128i zero = _mm_setzero_si128();
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(bits), zero), zero);
  }
  // Blends the two low lanes; the rounded results in the two low 32-bit lanes.
  static __m128i BlendHalf(__m128i a, __m128i b, __m128i c, __m128i d, __m128d fx, __m128d fy) {
    const __m128d p00 = _mm_cvtepi32_pd(a);
    const __m128d p01 = _mm_cvtepi32_pd(c);
    const __m128d t0 = _mm_add_pd(p00, _mm_mul_pd(_mm_cvtepi32_pd(_mm_sub_epi32(b, a)), fx));
    const __m128d t1 = _mm_add_pd(p01, _mm_mul_pd(_mm_cvtepi32_pd(_mm_sub_epi32(d, c)), fx));
    return _mm_cvtpd_epi32(_mm_add_pd(t0, _mm_mul_pd(_mm_sub_pd(t1, t0), fy)));
  }
};
using FastArithmetic = Sse2Arithmetic;
#else
using FastArithmetic = ExactArithmetic;
#endif

// Nearest sampling: the source pixel at the rounded point, accepted over 1 .. W and 1 .. H.
template <typename Arithmetic>
inline void SampleNearest(const std::uint8_t* source, std::int64_t width, std::int64_t height,
                          SourcePoint point, FillBytes fill, std::uint8_t* out) {
  const std::int64_t sx = Arithmetic::Integer(point.u);
  if (sx < 1 || sx > width) return WriteFill(out, fill);
  const std::int64_t sy = Arithmetic::Integer(point.v);
  if (sy < 1 || sy > height) return WriteFill(out, fill);
  const std::uint8_t* in = SourcePixel(source, width, sx, sy);
  out[0] = in[0];
  out[1] = in[1];
  out[2] = in[2];
}

// Smoothed sampling: the point is stored as single precision, its lower-left neighbour (ix, iy)
// must leave room for the right and upper neighbours (1 .. W - 1, 1 .. H - 1), and each byte is
// blended along the row first, then between the rows.
template <typename Arithmetic>
inline void SampleSmoothed(const std::uint8_t* source, std::int64_t width, std::int64_t height,
                           SourcePoint point, FillBytes fill, std::uint8_t* out) {
  constexpr float kHalf = 0.5f;
  const float u = Arithmetic::Single(point.u);
  const float v = Arithmetic::Single(point.v);
  const std::int64_t ix = Arithmetic::Integer(static_cast<double>(u) - kHalf);
  const std::int64_t iy = Arithmetic::Integer(static_cast<double>(v) - kHalf);
  if (ix < 1 || ix >= width || iy < 1 || iy >= height) return WriteFill(out, fill);
  // Both fractions lie in 0 .. 1.
  const double fx = Arithmetic::Single(static_cast<double>(u) - static_cast<double>(ix));
  const double fy = Arithmetic::Single(static_cast<double>(v) - static_cast<double>(iy));

  const std::uint8_t* p00 = SourcePixel(source, width, ix, iy);
  const std::uint8_t* p10 = p00 + 4;
  const std::uint8_t* p01 = p00 + 4 * width;
  const std::uint8_t* p11 = p01 + 4;
  Arithmetic::Blend(p00, p10, p01, p11, fx, fy, out);
}

// The pass over rows first..last: y from last down to first, and within a row x from W down to 1.
// Source and destination are different planes and every pixel depends on its own point alone, so
// neither the order nor a split into bands changes the result.
template <typename Arithmetic, bool kSmoothed, typename Mapping>
void Pass(const KernelParams& p, const std::uint8_t* source, const Mapping& mapping, std::int64_t first,
          std::int64_t last) {
  const std::int64_t width = p.width;
  const std::int64_t height = p.height;
  const FillBytes fill = FillOf(p.colour);
  std::uint8_t* dest = PlanePtr(p, 2);
  for (std::int64_t y = last; y >= first; --y) {
    const auto row = mapping.Row(static_cast<double>(y));
    for (std::int64_t x = width; x >= 1; --x) {
      std::uint8_t* out = PixelPtr(dest, width, x, y);
      const SourcePoint point = row(static_cast<double>(x));
      if constexpr (kSmoothed) {
        SampleSmoothed<Arithmetic>(source, width, height, point, fill, out);
      } else {
        SampleNearest<Arithmetic>(source, width, height, point, fill, out);
      }
    }
  }
}

// Resamples plane `sourcePlane` (1 or 3) into plane 2 through `mapping`, over rows first..last.
// The caller has checked that the picture has pixels.
template <typename Arithmetic, typename Mapping>
void ResampleRows(const KernelParams& p, int sourcePlane, bool smoothed, const Mapping& mapping,
                  std::int64_t first, std::int64_t last) {
  const std::uint8_t* source = PlanePtr(p, sourcePlane);
  if (smoothed) {
    Pass<Arithmetic, true>(p, source, mapping, first, last);
  } else {
    Pass<Arithmetic, false>(p, source, mapping, first, last);
  }
}

// Destination (x, y) comes from
//   u = cx + (x - cx) * c - (y - cy) * s
//   v = cy + (x - cx) * s + (y - cy) * c
// in double, from the single-precision c, s, cx and cy. With rows counted upwards this turns the
// picture clockwise on screen.
struct RotationMapping {
  double cx;
  double cy;
  double c;
  double s;

  struct RowMapping {
    const RotationMapping& m;
    double dySin;  // (y - cy) * s
    double dyCos;  // (y - cy) * c
    SourcePoint operator()(double x) const {
      const double dx = x - m.cx;
      return {m.cx + dx * m.c - dySin, m.cy + dx * m.s + dyCos};
    }
  };
  RowMapping Row(double y) const { return {*this, (y - cy) * s, (y - cy) * c}; }
};

// Destination (x, y) comes from
//   u = (x - cx) * s + cx
//   v = (y - cy) * s + cy
// in double, from the single-precision scale and centre.
struct MagnifyMapping {
  double cx;
  double cy;
  double s;

  struct RowMapping {
    const MagnifyMapping& m;
    double v;
    SourcePoint operator()(double x) const { return {(x - m.cx) * m.s + m.cx, v}; }
  };
  RowMapping Row(double y) const { return {*this, (y - cy) * s + cy}; }
};

// 1.5 * 2^52: adding it to a double of magnitude below 2^51 rounds it to an integer, halves to
// even, and leaves that integer in the sum's low 32 bits.
inline constexpr double kRoundingSum = 6755399441055744.0;

// The points of one row of the vector passes (resample-inl.h) as the row's part and arrays of
// what depends on the column alone: U(i) and V(i) are the point of column i + 1. Defined here,
// outside the per-target code, so that InsideSpan (compiled for the baseline) inlines them.
struct RotationRowPoints {
  const double* across;  // cx + (x - cx) * c
  const double* down;    // cy + (x - cx) * s
  double dySin, dyCos;   // (y - cy) * s, (y - cy) * c
  double U(std::size_t i) const { return across[i] - dySin; }
  double V(std::size_t i) const { return down[i] + dyCos; }
};
struct MagnifyRowPoints {
  const double* across;  // (x - cx) * s + cx
  double v;              // (y - cy) * s + cy
  double U(std::size_t i) const { return across[i]; }
  double V(std::size_t) const { return v; }
};

// Narrows lo .. hi to the columns of 1 .. n where `holds` is true, for a test that changes at
// most once along the row (false then true, or true then false), about where `coordinate(x)`, a
// near-linear function of x, reaches `at`. The search starts from where the line through the row's
// ends reaches `at` and walks from there, usually a step or two: a bisection's unpredictable
// branches cost more than the whole search.
template <class Test, class Coordinate>
void NarrowToSpan(std::int64_t n, const Test& holds, const Coordinate& coordinate, double at, std::int64_t& lo,
                  std::int64_t& hi) {
  const bool first = holds(1);
  if (first == holds(n)) {
    if (!first) lo = n + 1;
    return;
  }
  const double from = coordinate(1);
  const double guess = 1 + (at - from) / (coordinate(n) - from) * static_cast<double>(n - 1);
  // x: the last column like the first (holds(n) differs, holds(1) does not, so the walks end).
  std::int64_t x = guess >= 1 && guess <= static_cast<double>(n) ? static_cast<std::int64_t>(guess) : 1;
  if (holds(x) == first) {
    while (holds(x + 1) == first) ++x;
  } else {
    do --x;
    while (holds(x) != first);
  }
  if (first) {
    hi = std::min(hi, x);
  } else {
    lo = std::max(lo, x + 1);
  }
}

// The columns lo .. hi of a row whose points fall inside the picture, with the vector passes' own
// tests made on the same double values: row.U(i) and row.V(i) are the point of column i + 1. A
// point is inside when its sum with 1.5 * 2^52 (the rounded coordinate; for smoothing, the
// coordinate in single precision less a half) lies in 1 .. W and 1 .. H (smoothing: W - 1 and
// H - 1). Along a row each coordinate is a chain of rounded additions and multiplications of x by
// constants, hence monotonic in x (rounding never reverses an order), so each of the four bounds
// fails on one side of the row only and the columns inside are one span. Coordinates that are NaN
// fail every test, along the whole row.
template <bool kSmoothed, class Row>
void InsideSpan(const Row& row, std::int64_t width, std::int64_t height, std::int64_t& lo,
                std::int64_t& hi) {
  const auto sum = [](double t) {
    if constexpr (kSmoothed) {
      return static_cast<double>(static_cast<float>(t)) - 0.5 + kRoundingSum;
    } else {
      return t + kRoundingSum;
    }
  };
  const double first = kRoundingSum + 1;
  const double w = static_cast<double>(width), h = static_cast<double>(height);
  const double lastX = kSmoothed ? kRoundingSum + w - 1 : kRoundingSum + w;
  const double lastY = kSmoothed ? kRoundingSum + h - 1 : kRoundingSum + h;
  // Where the coordinate itself crosses the bounds, near enough to start the search.
  const double low = kSmoothed ? 1.5 : 0.5;
  const double highX = w + 0.5 - (kSmoothed ? 1 : 0);
  const double highY = h + 0.5 - (kSmoothed ? 1 : 0);
  const auto u = [&](std::int64_t x) { return row.U(static_cast<std::size_t>(x - 1)); };
  const auto v = [&](std::int64_t x) { return row.V(static_cast<std::size_t>(x - 1)); };
  lo = 1;
  hi = width;
  NarrowToSpan(width, [&](std::int64_t x) { return sum(u(x)) >= first; }, u, low, lo, hi);
  NarrowToSpan(width, [&](std::int64_t x) { return sum(u(x)) <= lastX; }, u, highX, lo, hi);
  NarrowToSpan(width, [&](std::int64_t x) { return sum(v(x)) >= first; }, v, low, lo, hi);
  NarrowToSpan(width, [&](std::int64_t x) { return sum(v(x)) <= lastY; }, v, highY, lo, hi);
}

// Calls step(i) for vectors covering columns lo .. hi (element i is column i + 1), the last one
// ending at hi and overlapping the one before it; the span holds at least one vector.
template <class Step>
inline void VectorsOver(std::int64_t lo, std::int64_t hi, std::int64_t lanes, const Step& step) {
  const std::int64_t lastStart = hi - lanes + 1;
  for (std::int64_t x = lo; x < lastStart + lanes; x += lanes)
    step(static_cast<std::size_t>(std::min(x, lastStart) - 1));
}

// The SIMD passes (resample-inl.h), over rows first..last, run by the best target the processor
// offers; callers check BestHasSimdTarget() first.
void RotateRowsBest(const KernelParams& p, int sourcePlane, bool smoothed, const RotationMapping& mapping,
                    std::int64_t first, std::int64_t last);
void MagnifyRowsBest(const KernelParams& p, int sourcePlane, bool smoothed, const MagnifyMapping& mapping,
                     std::int64_t first, std::int64_t last);

// The baseline's passes (resample_sse2.cpp), over rows first..last: vectors of the instruction set
// every processor of the architecture has where they pay, the scalar pass elsewhere.
void RotateRowsBaseline(const KernelParams& p, int sourcePlane, bool smoothed, const RotationMapping& mapping,
                        std::int64_t first, std::int64_t last);
void MagnifyRowsBaseline(const KernelParams& p, int sourcePlane, bool smoothed, const MagnifyMapping& mapping,
                         std::int64_t first, std::int64_t last);

// A block that a kernel can work on: pixels present and a buffer to reach them.
inline bool HasPixels(const KernelParams* block) {
  return block != nullptr && block->pixels != nullptr && block->width > 0 && block->height > 0;
}

}  // namespace asmpic::resample
