// The baseline's resampling pass. On x86-64 it samples four pixels at a time in SSE2, which every
// x86-64 processor has (the SIMD targets start at SSSE3, and the 128-bit ones, SSSE3 and SSE4, run
// this pass too: see resample_simd.cpp); other architectures take the scalar pass. The bytes are the scalar pass's: the points are the same
// double operations, and the rounding and the tests are those of the SIMD pass (resample-inl.h).
#include <cstdint>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernels/resample.h"

namespace asmpic::resample {

namespace {

#if defined(__SSE2__)

// The mappings with what depends on x alone worked out once per call, for columns 1 .. n
// (element x - 1), and each row's own part added where it is used: the scalar mappings' values.
struct RotationRows {
  const RotationMapping& m;
  std::vector<double> across, down;  // cx + (x - cx) * c and cy + (x - cx) * s
  RotationRows(const RotationMapping& mapping, std::int64_t n)
      : m(mapping), across(static_cast<std::size_t>(n)), down(across.size()) {
    for (std::int64_t x = 1; x <= n; ++x) {
      const double dx = static_cast<double>(x) - m.cx;
      across[static_cast<std::size_t>(x - 1)] = m.cx + dx * m.c;
      down[static_cast<std::size_t>(x - 1)] = m.cy + dx * m.s;
    }
  }
  struct Row {
    const RotationRows& rows;
    double dySin, dyCos;
    double U(std::size_t i) const { return rows.across[i] - dySin; }
    double V(std::size_t i) const { return rows.down[i] + dyCos; }
    // The points of columns i + 1 and i + 2.
    void Load(std::size_t i, __m128d& u, __m128d& v) const {
      u = _mm_sub_pd(_mm_loadu_pd(rows.across.data() + i), _mm_set1_pd(dySin));
      v = _mm_add_pd(_mm_loadu_pd(rows.down.data() + i), _mm_set1_pd(dyCos));
    }
  };
  Row At(double y) const { return {*this, (y - m.cy) * m.s, (y - m.cy) * m.c}; }
};

struct MagnifyRows {
  const MagnifyMapping& m;
  std::vector<double> across;  // (x - cx) * s + cx
  MagnifyRows(const MagnifyMapping& mapping, std::int64_t n)
      : m(mapping), across(static_cast<std::size_t>(n)) {
    for (std::int64_t x = 1; x <= n; ++x)
      across[static_cast<std::size_t>(x - 1)] = (static_cast<double>(x) - m.cx) * m.s + m.cx;
  }
  struct Row {
    const MagnifyRows& rows;
    double v;
    double U(std::size_t i) const { return rows.across[i]; }
    double V(std::size_t) const { return v; }
    void Load(std::size_t i, __m128d& uOut, __m128d& vOut) const {
      uOut = _mm_loadu_pd(rows.across.data() + i);
      vOut = _mm_set1_pd(v);
    }
  };
  Row At(double y) const { return {*this, (y - m.cy) * m.s + m.cy}; }
};

// Bytes 0, 1 and 2 of the four pixels of `value` into `out`; byte 3 keeps what it held.
inline void StoreLow3(__m128i value, std::uint8_t* out) {
  const __m128i top = _mm_set1_epi32(static_cast<std::int32_t>(0xFF000000u));
  const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(_mm_and_si128(old, top), _mm_andnot_si128(top, value)));
}

inline std::int32_t WordAt(const std::uint8_t* p) {
  std::int32_t w;
  std::memcpy(&w, p, 4);
  return w;
}

// Nearest sampling of columns i + 1 .. i + 4, whose points all fall inside the picture. The sum
// 1.5 * 2^52 + sx + sy * W is exact (it stays below 2^53), so its low 32 bits are the pixel's
// place counted from the source's pixel (0, 0), one row and one column before the first.
template <class Row>
inline void NearestVector(const Row& row, std::size_t i, const std::uint8_t* source, std::int64_t width,
                          std::uint8_t* out) {
  const __m128d k = _mm_set1_pd(kRoundingSum);
  const __m128d w = _mm_set1_pd(static_cast<double>(width));
  const auto place = [&](__m128d u, __m128d v) {
    return _mm_add_pd(_mm_add_pd(u, k), _mm_mul_pd(_mm_sub_pd(_mm_add_pd(v, k), k), w));
  };
  __m128d u0, v0, u1, v1;
  row.Load(i, u0, v0);
  row.Load(i + 2, u1, v1);
  const __m128 both = _mm_shuffle_ps(_mm_castpd_ps(place(u0, v0)), _mm_castpd_ps(place(u1, v1)), _MM_SHUFFLE(2, 0, 2, 0));
  alignas(16) std::int32_t at[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(at), _mm_castps_si128(both));
  const auto word = [&](int lane) { return WordAt(source + 4 * (at[lane] - (width + 1))); };
  StoreLow3(_mm_set_epi32(word(3), word(2), word(1), word(0)), out);
}

// Bytes 0, 1 and 2 of four neighbours blended as the scalar pass blends them, two pixels at a time
// in packed doubles (the same operations in the same order), rounded by the conversion to integers
// (to nearest, halves to even). A blend of bytes lies between them, so no clamp is needed.
inline __m128i BlendBytes(__m128i p00, __m128i p10, __m128i p01, __m128i p11, __m128d fxLo, __m128d fyLo,
                          __m128d fxHi, __m128d fyHi) {
  const __m128i mask = _mm_set1_epi32(255);
  __m128i pixels = _mm_setzero_si128();
  for (int shift = 0; shift <= 16; shift += 8) {
    const __m128i count = _mm_cvtsi32_si128(shift);
    const auto byte = [&](__m128i word) { return _mm_and_si128(_mm_srl_epi32(word, count), mask); };
    const __m128i a = byte(p00), b = byte(p10), c = byte(p01), e = byte(p11);
    const __m128i alongLow = _mm_sub_epi32(b, a), alongHigh = _mm_sub_epi32(e, c);
    const auto half = [&](__m128i first, __m128i step, __m128i first1, __m128i step1, __m128d fx,
                          __m128d fy) {
      const __m128d t0 = _mm_add_pd(_mm_cvtepi32_pd(first), _mm_mul_pd(_mm_cvtepi32_pd(step), fx));
      const __m128d t1 = _mm_add_pd(_mm_cvtepi32_pd(first1), _mm_mul_pd(_mm_cvtepi32_pd(step1), fx));
      return _mm_cvtpd_epi32(_mm_add_pd(t0, _mm_mul_pd(_mm_sub_pd(t1, t0), fy)));
    };
    const __m128i lo = half(a, alongLow, c, alongHigh, fxLo, fyLo);
    const __m128i hi = half(_mm_srli_si128(a, 8), _mm_srli_si128(alongLow, 8), _mm_srli_si128(c, 8),
                            _mm_srli_si128(alongHigh, 8), fxHi, fyHi);
    pixels = _mm_or_si128(pixels, _mm_sll_epi32(_mm_unpacklo_epi64(lo, hi), count));
  }
  return pixels;
}

// Smoothed sampling of columns i + 1 .. i + 4, whose lower-left neighbours all fall inside the
// picture with room for the right and upper ones.
template <class Row>
inline void SmoothedVector(const Row& row, std::size_t i, const std::uint8_t* source, std::int64_t width,
                           std::uint8_t* out) {
  const __m128d k = _mm_set1_pd(kRoundingSum);
  const __m128d half = _mm_set1_pd(0.5);
  const __m128d w = _mm_set1_pd(static_cast<double>(width));
  alignas(16) std::int32_t at[4];
  __m128d fx[2], fy[2];
  for (int pair = 0; pair < 2; ++pair) {
    __m128d u, v;
    row.Load(i + 2 * static_cast<std::size_t>(pair), u, v);
    // The point in single precision; its lower-left neighbour as sums with 1.5 * 2^52; the exact
    // fractions u - ix and v - iy; the neighbour's place as in NearestVector.
    u = _mm_cvtps_pd(_mm_cvtpd_ps(u));
    v = _mm_cvtps_pd(_mm_cvtpd_ps(v));
    const __m128d sx = _mm_add_pd(_mm_sub_pd(u, half), k);
    const __m128d sy = _mm_add_pd(_mm_sub_pd(v, half), k);
    fx[pair] = _mm_sub_pd(u, _mm_sub_pd(sx, k));
    fy[pair] = _mm_sub_pd(v, _mm_sub_pd(sy, k));
    const __m128d place = _mm_add_pd(sx, _mm_mul_pd(_mm_sub_pd(sy, k), w));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(at + 2 * pair),
                     _mm_castps_si128(_mm_shuffle_ps(_mm_castpd_ps(place), _mm_castpd_ps(place), _MM_SHUFFLE(2, 0, 2, 0))));
  }
  // Each pixel's neighbour and the one to its right as one 8-byte read, in its row and the next.
  const auto pairs = [&](std::int64_t rowOffset, __m128i& left, __m128i& right) {
    __m128i q[4];
    for (int lane = 0; lane < 4; ++lane)
      q[lane] = _mm_loadl_epi64(
          reinterpret_cast<const __m128i*>(source + 4 * (at[lane] - (width + 1) + rowOffset)));
    const __m128 m01 = _mm_castsi128_ps(_mm_unpacklo_epi64(q[0], q[1]));
    const __m128 m23 = _mm_castsi128_ps(_mm_unpacklo_epi64(q[2], q[3]));
    left = _mm_castps_si128(_mm_shuffle_ps(m01, m23, _MM_SHUFFLE(2, 0, 2, 0)));
    right = _mm_castps_si128(_mm_shuffle_ps(m01, m23, _MM_SHUFFLE(3, 1, 3, 1)));
  };
  __m128i p00, p10, p01, p11;
  pairs(0, p00, p10);
  pairs(width, p01, p11);
  StoreLow3(BlendBytes(p00, p10, p01, p11, fx[0], fy[0], fx[1], fy[1]), out);
}

template <bool kSmoothed, class Rows, class Mapping>
void SampleRows(const KernelParams& p, const std::uint8_t* source, const Mapping& mapping, std::int64_t first,
                 std::int64_t last) {
  constexpr std::int64_t kLanes = 4;
  const std::int64_t width = p.width;
  const std::int64_t height = p.height;
  std::uint8_t* dest = PlanePtr(p, 2);
  const FillBytes fillBytes = FillOf(p.colour);
  const __m128i fill = _mm_set1_epi32(fillBytes.blue | fillBytes.green << 8 | fillBytes.red << 16);
  const Rows rows(mapping, width);
  // Each row in three parts, as in the SIMD pass: fill before and after the span inside the
  // picture, the span sampled without per-point tests, parts narrower than a vector pixel by pixel.
  for (std::int64_t y = first; y <= last; ++y) {
    std::uint8_t* rowOut = PixelPtr(dest, width, 1, y);
    const auto row = rows.At(static_cast<double>(y));
    std::int64_t lo, hi;
    InsideSpan<kSmoothed>(row, width, height, lo, hi);
    const auto fillPart = [&](std::int64_t from, std::int64_t to) {
      if (to - from + 1 >= kLanes) {
        VectorsOver(from, to, kLanes, [&](std::size_t i) { StoreLow3(fill, rowOut + 4 * i); });
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
    if (hi - lo + 1 >= kLanes) {
      VectorsOver(lo, hi, kLanes, [&](std::size_t i) {
        if constexpr (kSmoothed) {
          SmoothedVector(row, i, source, width, rowOut + 4 * i);
        } else {
          NearestVector(row, i, source, width, rowOut + 4 * i);
        }
      });
    } else {
      for (std::int64_t x = lo; x <= hi; ++x) {
        const auto i = static_cast<std::size_t>(x - 1);
        const SourcePoint point{row.U(i), row.V(i)};
        if constexpr (kSmoothed) {
          SampleSmoothed<FastArithmetic>(source, width, height, point, fillBytes, rowOut + 4 * i);
        } else {
          SampleNearest<FastArithmetic>(source, width, height, point, fillBytes, rowOut + 4 * i);
        }
      }
    }
  }
}

// Whether the vectors can run: a picture at least one vector wide whose pixel places fit 31 bits.
bool VectorsFit(const KernelParams& p) {
  return p.width >= 4 && std::int64_t{p.width} * (std::int64_t{p.height} + 1) < (std::int64_t{1} << 31);
}

#endif  // __SSE2__

}  // namespace

void RotateRowsBaseline(const KernelParams& p, int sourcePlane, bool smoothed, const RotationMapping& mapping,
                        std::int64_t first, std::int64_t last) {
#if defined(__SSE2__)
  if (VectorsFit(p)) {
    const std::uint8_t* source = PlanePtr(p, sourcePlane);
    if (smoothed) return SampleRows<true, RotationRows>(p, source, mapping, first, last);
    return SampleRows<false, RotationRows>(p, source, mapping, first, last);
  }
#endif
  ResampleRows<FastArithmetic>(p, sourcePlane, smoothed, mapping, first, last);
}

void MagnifyRowsBaseline(const KernelParams& p, int sourcePlane, bool smoothed, const MagnifyMapping& mapping,
                         std::int64_t first, std::int64_t last) {
#if defined(__SSE2__)
  if (VectorsFit(p)) {
    const std::uint8_t* source = PlanePtr(p, sourcePlane);
    if (smoothed) return SampleRows<true, MagnifyRows>(p, source, mapping, first, last);
    return SampleRows<false, MagnifyRows>(p, source, mapping, first, last);
  }
#endif
  ResampleRows<FastArithmetic>(p, sourcePlane, smoothed, mapping, first, last);
}

}  // namespace asmpic::resample
