// Neighbourhood effects: smoothing, contour, emboss, ripple, relief and twirl, from plane 3 into
// plane 2 (engine/effects/pixel.cpp drives them).
#include "kernels/pixel/pixel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernels/kernel_store.h"
#include "kernels/kernel_target.h"
#include "kernels/pixel/pixel_internal.h"
#include "kernels/pixel/pixel_rows.h"
#include "kernels/rounding.h"
#include "kernels/sine_cosine.h"
#include "kernels/worker_pool.h"

namespace asmpic {
namespace {

// The two planes an operation works on: it reads the undo plane and writes the working plane.
struct Planes {
  SourcePlaneView source;
  PlaneView target;
};

Planes PlanesOf(const KernelParams& block) {
  return {PlaneOf(block, kUndoPlane), PlaneOf(block, kWorkingPlane)};
}

// Pixels are handled as 32-bit words (LoadPixelWord, StorePixelWord). Every operation on words
// below treats the four bytes alike, so the byte order of the word does not matter.

// Each byte halved, quartered or divided by 8, rounded down; the mask drops the bits that the
// shift would carry into the next lower byte. Sums of 2, 4 and 8 such shares stay within a byte.
std::uint32_t Half(std::uint32_t p) {
  return (p & 0xFEFEFEFEu) >> 1;
}
std::uint32_t Quarter(std::uint32_t p) {
  return (p & 0xFCFCFCFCu) >> 2;
}
std::uint32_t Eighth(std::uint32_t p) {
  return (p & 0xF8F8F8F8u) >> 3;
}

// colour.k: blue (bits 16-23) for byte 0, green for byte 1, red (bits 0-7) for byte 2.
int ColourComponent(std::int32_t colour, int k) {
  return (static_cast<std::uint32_t>(colour) >> (16 - 8 * k)) & 0xFF;
}

// The word with byte 3 of a pixel set and bytes 0 ... 2 clear.
std::uint32_t ByteThreeMask() {
  const std::uint8_t bytes[4] = {0, 0, 0, 0xFF};
  return LoadPixelWord(bytes);
}

void CopyColourBytes(std::uint8_t* to, const std::uint8_t* from) {
  std::memcpy(to, from, 3);
}
void Fill(std::uint8_t* to, std::int32_t colour) {
  for (int k = 0; k < 3; ++k) to[k] = static_cast<std::uint8_t>(ColourComponent(colour, k));
}

// The twirl's largest angle, reached at distance max(W, H) from the centre.
float TwirlMaxAngle(std::int32_t amount) {
  constexpr double pi = std::numbers::pi;
  switch (amount) {
    case 1:
      return ToSingle(pi / 2);
    case 2:
      return ToSingle(pi);
    case 4:
      return ToSingle(3 * pi / 2);
    default:
      return ToSingle(2 * pi);
  }
}

// The source row for destination row y; the table holds rows already, the clamp keeps a table
// that was built for another picture inside this one.
std::int64_t RippleSourceRow(const float* table, std::int64_t y, std::int64_t height) {
  return std::clamp<std::int64_t>(RoundClamped(table[y - 1]), 1, height);
}

// ------------------------------------------------------------------------------------------------
// Reference: one pixel at a time, exactly as the arithmetic reads.

void SmoothingReference(const Planes& p, std::int32_t amount) {
  const auto S = [&](std::int64_t x, std::int64_t y) { return LoadPixelWord(p.source.at(x, y)); };
  const std::int64_t W = p.target.width, H = p.target.height;
  switch (amount) {
    case 1:
      for (std::int64_t y = H; y >= 1; --y)
        for (std::int64_t x = W - 1; x >= 2; --x)
          StorePixelWord(p.target.at(x, y), Half(S(x - 1, y)) + Half(S(x + 1, y)));
      break;
    case 2:
      for (std::int64_t y = H - 1; y >= 2; --y)
        for (std::int64_t x = W; x >= 1; --x)
          StorePixelWord(p.target.at(x, y), Half(S(x, y - 1)) + Half(S(x, y + 1)));
      break;
    case 4:
      for (std::int64_t y = H - 1; y >= 2; --y)
        for (std::int64_t x = W - 1; x >= 2; --x)
          StorePixelWord(p.target.at(x, y), Quarter(S(x - 1, y - 1)) + Quarter(S(x + 1, y - 1)) +
                                                Quarter(S(x - 1, y + 1)) + Quarter(S(x + 1, y + 1)));
      break;
    case 8:
      for (std::int64_t y = H - 1; y >= 2; --y)
        for (std::int64_t x = W - 1; x >= 2; --x) {
          std::uint32_t sum = 0;
          for (std::int64_t j = y - 1; j <= y + 1; ++j)
            for (std::int64_t i = x - 1; i <= x + 1; ++i)
              if (i != x || j != y) sum += Eighth(S(i, j));
          StorePixelWord(p.target.at(x, y), sum);
        }
      break;
    default:
      break;  // no such pattern: nothing is written
  }
}

// Runs `channel(x, y, k)` for k = 0, 1, 2 of every pixel with x = 2 ... W - 1, y = 2 ... H - 1 and
// writes its result; byte 3 keeps its value.
template <typename Channel>
void InnerRegionReference(const Planes& p, Channel channel) {
  for (std::int64_t y = p.target.height - 1; y >= 2; --y)
    for (std::int64_t x = p.target.width - 1; x >= 2; --x)
      for (int k = 0; k < 3; ++k) p.target.at(x, y)[k] = static_cast<std::uint8_t>(channel(x, y, k));
}

void ContourReference(const Planes& p, std::int32_t colour) {
  InnerRegionReference(p, [&](std::int64_t x, std::int64_t y, int k) {
    int n = 0;
    for (std::int64_t j = y - 1; j <= y + 1; ++j)
      for (std::int64_t i = x - 1; i <= x + 1; ++i)
        if (i != x || j != y) n += p.source.at(i, j)[k];
    const int v = 8 * p.source.at(x, y)[k] - n + ColourComponent(colour, k);
    return std::clamp(v, 0, 255);
  });
}

void EmbossReference(const Planes& p, std::int32_t colour) {
  InnerRegionReference(p, [&](std::int64_t x, std::int64_t y, int k) {
    const int v = std::abs(p.source.at(x, y)[k] - p.source.at(x + 1, y + 1)[k] - ColourComponent(colour, k));
    return std::min(v, 255);
  });
}

void ReliefReference(const Planes& p, std::int32_t colour) {
  InnerRegionReference(p, [&](std::int64_t x, std::int64_t y, int k) {
    const auto S = [&](std::int64_t i, std::int64_t j) { return int{p.source.at(i, j)[k]}; };
    const int g =
        S(x, y + 1) + 2 * S(x + 1, y + 1) + S(x + 1, y) - S(x - 1, y) - 2 * S(x - 1, y - 1) - S(x, y - 1);
    const int t = S(x, y) + g;
    // Negative sums halve downwards too, and a result below 0 is black.
    int v = static_cast<int>(std::floor(t / 2.0)) + 50;
    if (v > 255) v = ColourComponent(colour, k);
    if (v < 0) v = 0;
    return v;
  });
}

void RippleReference(const Planes& p, const float* table) {
  for (std::int64_t x = p.target.width; x >= 1; --x)
    for (std::int64_t y = p.target.height; y >= 1; --y)
      CopyColourBytes(p.target.at(x, y), p.source.at(x, RippleSourceRow(table, y, p.target.height)));
}

void TwirlReference(const Planes& p, std::int32_t amount, std::int32_t colour) {
  const std::int64_t W = p.target.width, H = p.target.height;
  const std::int64_t cx = W / 2, cy = H / 2, M = std::max(W, H);
  const float K = TwirlMaxAngle(amount);
  for (std::int64_t y = H; y >= 1; --y)
    for (std::int64_t x = W; x >= 1; --x) {
      const double dx = static_cast<double>(x - cx), dy = static_cast<double>(y - cy);
      const double r = std::sqrt(dx * dx + dy * dy);
      const double theta = K * r / static_cast<double>(M);
      const float c = SingleCosine(theta), s = SingleSine(theta);
      const double sx = RoundHalfEven(dx * c - dy * s + static_cast<double>(cx));
      const double sy = RoundHalfEven(dx * s + dy * c + static_cast<double>(cy));
      if (sx <= 1 || sx >= static_cast<double>(W) || sy <= 1 || sy >= static_cast<double>(H)) {
        Fill(p.target.at(x, y), colour);
      } else {
        CopyColourBytes(p.target.at(x, y),
                        p.source.at(static_cast<std::int64_t>(sx), static_cast<std::int64_t>(sy)));
      }
    }
}

// ------------------------------------------------------------------------------------------------
// Faster variant: whole rows at a time, in loops the compiler vectorises, optionally in bands of
// rows on the worker pool. Each band writes only its own rows of plane 2 and reads only plane 3,
// so the split never changes a byte.

// How smoothing, the channel filters and the ripple run their rows: the loops below, or the SIMD
// variant's (pixel_rows.h), which give the same bytes.
enum class RowCode { kBaseline, kSimd };

// The source rows about destination row y; the rows below and above only where they exist.
pixel_rows::RowSet RowsAbout(const Planes& p, std::int64_t y) {
  return {y > 1 ? p.source.row(y - 1) : nullptr, p.source.row(y),
          y < p.target.height ? p.source.row(y + 1) : nullptr, p.target.row(y), p.target.width};
}

void SmoothingRows(const Planes& p, std::int32_t amount, std::int64_t firstRow, std::int64_t lastRow,
                   RowCode code) {
  const std::int64_t W = p.target.width;
  for (std::int64_t y = firstRow; y <= lastRow; ++y) {
    if (code == RowCode::kSimd) {
      pixel_rows::SmoothingRowBest(RowsAbout(p, y), amount);
      continue;
    }
    const std::uint8_t* mid = p.source.row(y);
    std::uint8_t* out = p.target.row(y);
    if (amount == 1) {
      for (std::int64_t i = 1; i < W - 1; ++i)
        StorePixelWord(out + 4 * i,
                       Half(LoadPixelWord(mid + 4 * (i - 1))) + Half(LoadPixelWord(mid + 4 * (i + 1))));
      continue;
    }
    const std::uint8_t* down = p.source.row(y - 1);
    const std::uint8_t* up = p.source.row(y + 1);
    if (amount == 2) {
      for (std::int64_t i = 0; i < W; ++i)
        StorePixelWord(out + 4 * i, Half(LoadPixelWord(down + 4 * i)) + Half(LoadPixelWord(up + 4 * i)));
    } else if (amount == 4) {
      for (std::int64_t i = 1; i < W - 1; ++i)
        StorePixelWord(out + 4 * i, Quarter(LoadPixelWord(down + 4 * (i - 1))) +
                                        Quarter(LoadPixelWord(down + 4 * (i + 1))) +
                                        Quarter(LoadPixelWord(up + 4 * (i - 1))) +
                                        Quarter(LoadPixelWord(up + 4 * (i + 1))));
    } else {
      for (std::int64_t i = 1; i < W - 1; ++i) {
        const auto at = [&](const std::uint8_t* row, std::int64_t j) {
          return Eighth(LoadPixelWord(row + 4 * j));
        };
        StorePixelWord(out + 4 * i, at(down, i - 1) + at(down, i) + at(down, i + 1) + at(mid, i - 1) +
                                        at(mid, i + 1) + at(up, i - 1) + at(up, i) + at(up, i + 1));
      }
    }
  }
}

// The 3 x 3 channel filters. kFilterChannel is one byte: it gets pointers to the same byte in the
// rows below, at and above the pixel, and the colour component of that byte's channel;
// kFilterRow is the SIMD variant's whole row (pixel_rows.h). Where SSE2 is there (every x86-64
// processor), FilterLanes() does the same for eight bytes held as 16-bit lanes: at(row, offset)
// gives the lanes of row 0 (below), 1 (at) or 2 (above), `offset` bytes on. Saturating the lanes
// to 0 ... 255 when they are packed back to bytes is the clamp to 0 ... 255.
enum class Filter { kContour, kEmboss, kRelief };

constexpr decltype(&pixel_rows::ContourChannel) kFilterChannel[] = {
    pixel_rows::ContourChannel, pixel_rows::EmbossChannel, pixel_rows::ReliefChannel};
constexpr decltype(&pixel_rows::ContourRowBest) kFilterRow[] = {
    pixel_rows::ContourRowBest, pixel_rows::EmbossRowBest, pixel_rows::ReliefRowBest};

#if defined(__SSE2__)
template <Filter kFilter, typename At>
__m128i FilterLanes(const At& at, __m128i colour) {
  if constexpr (kFilter == Filter::kContour) {
    const __m128i n =
        _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(at(0, -4), at(0, 0)), _mm_add_epi16(at(0, 4), at(1, -4))),
                      _mm_add_epi16(_mm_add_epi16(at(1, 4), at(2, -4)), _mm_add_epi16(at(2, 0), at(2, 4))));
    return _mm_sub_epi16(_mm_add_epi16(_mm_slli_epi16(at(1, 0), 3), colour), n);  // -2040 ... 2295
  } else if constexpr (kFilter == Filter::kEmboss) {
    const __m128i d = _mm_sub_epi16(_mm_sub_epi16(at(1, 0), at(2, 4)), colour);
    return _mm_max_epi16(d, _mm_sub_epi16(_mm_setzero_si128(), d));
  } else {
    const __m128i plus = _mm_add_epi16(_mm_add_epi16(at(1, 0), at(2, 0)),
                                       _mm_add_epi16(_mm_slli_epi16(at(2, 4), 1), at(1, 4)));
    const __m128i minus = _mm_add_epi16(_mm_add_epi16(at(1, -4), _mm_slli_epi16(at(0, -4), 1)), at(0, 0));
    const __m128i v = _mm_add_epi16(_mm_srai_epi16(_mm_sub_epi16(plus, minus), 1), _mm_set1_epi16(50));
    const __m128i over = _mm_cmpgt_epi16(v, _mm_set1_epi16(255));
    return _mm_or_si128(_mm_and_si128(over, colour), _mm_andnot_si128(over, v));
  }
}
#endif

// One row y (2 ... H - 1) of a channel filter over pixels 2 ... W - 1, byte 3 of each kept.
template <Filter kFilter>
void FilterRow(const Planes& p, std::int64_t y, const std::array<int, 4>& colour) {
  constexpr auto channel = kFilterChannel[static_cast<int>(kFilter)];
  const std::uint8_t* rows[3] = {p.source.row(y - 1), p.source.row(y), p.source.row(y + 1)};
  std::uint8_t* out = p.target.row(y);
  const std::int64_t end = 4 * (p.target.width - 1);
  std::int64_t i = 4;
#if defined(__SSE2__)
  // Sixteen bytes (four pixels) at a time; the loads reach 4 bytes either side, still in the row.
  const __m128i colour16 =
      _mm_setr_epi16(static_cast<std::int16_t>(colour[0]), static_cast<std::int16_t>(colour[1]),
                     static_cast<std::int16_t>(colour[2]), 0, static_cast<std::int16_t>(colour[0]),
                     static_cast<std::int16_t>(colour[1]), static_cast<std::int16_t>(colour[2]), 0);
  const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF000000u));  // byte 3 of each pixel
  const __m128i zero = _mm_setzero_si128();
  if constexpr (kFilter == Filter::kEmboss) {
    // |a - b - c| held to 255 on the bytes themselves, sixteen at a time: where a >= b it is
    // |(a - b) - c|, both in 0 ... 255; where a < b it is (b - a) + c, saturated at 255. When a == b
    // both give c.
    const __m128i c = _mm_packus_epi16(colour16, colour16);
    for (; i + 16 <= end; i += 16) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[1] + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[2] + i + 4));
      const __m128i down = _mm_subs_epu8(a, b), up = _mm_subs_epu8(b, a);
      const __m128i above = _mm_cmpeq_epi8(up, zero);  // a >= b
      const __m128i v = _mm_or_si128(_mm_and_si128(above, _mm_or_si128(_mm_subs_epu8(down, c), _mm_subs_epu8(c, down))),
                                     _mm_andnot_si128(above, _mm_adds_epu8(up, c)));
      auto* to = reinterpret_cast<__m128i*>(out + i);
      _mm_storeu_si128(to, _mm_or_si128(_mm_and_si128(keep, _mm_loadu_si128(to)), _mm_andnot_si128(keep, v)));
    }
  }
  for (; i + 16 <= end; i += 16) {
    const auto load = [&](int row, int offset) {
      return _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[row] + i + offset));
    };
    const auto low = [&](int row, int offset) { return _mm_unpacklo_epi8(load(row, offset), zero); };
    const auto high = [&](int row, int offset) { return _mm_unpackhi_epi8(load(row, offset), zero); };
    const __m128i v =
        _mm_packus_epi16(FilterLanes<kFilter>(low, colour16), FilterLanes<kFilter>(high, colour16));
    auto* to = reinterpret_cast<__m128i*>(out + i);
    _mm_storeu_si128(to, _mm_or_si128(_mm_and_si128(keep, _mm_loadu_si128(to)), _mm_andnot_si128(keep, v)));
  }
#endif
  for (; i < end; ++i)
    if ((i & 3) != 3)
      out[i] = static_cast<std::uint8_t>(channel(rows[0] + i, rows[1] + i, rows[2] + i, colour[i & 3]));
}

template <Filter kFilter>
void FilterRows(const Planes& p, const std::array<int, 4>& colour, int bands, RowCode code) {
  constexpr auto simdRow = kFilterRow[static_cast<int>(kFilter)];
  RunInBands(2, p.target.height - 1, bands, [&](std::int64_t first, std::int64_t last) {
    for (std::int64_t y = first; y <= last; ++y) {
      if (code == RowCode::kSimd) {
        simdRow(RowsAbout(p, y), colour.data());
      } else {
        FilterRow<kFilter>(p, y, colour);
      }
    }
  });
}

void RippleRows(const Planes& p, const float* table, std::int64_t firstRow, std::int64_t lastRow,
                RowCode code) {
  const std::uint32_t keep = ByteThreeMask();
  for (std::int64_t y = firstRow; y <= lastRow; ++y) {
    const std::uint8_t* from = p.source.row(RippleSourceRow(table, y, p.target.height));
    std::uint8_t* out = p.target.row(y);
    if (code == RowCode::kSimd) {
      pixel_rows::CopyColourRowBest(from, out, p.target.width);
      continue;
    }
    std::int64_t i = 0;
#if defined(__SSE2__)
    // Four pixels at a time: the colour bytes of the source row, byte 3 of the destination's.
    const __m128i top = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 4 <= p.target.width; i += 4) {
      auto* to = reinterpret_cast<__m128i*>(out + 4 * i);
      const __m128i colour = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 4 * i));
      _mm_storeu_si128(to, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(to), top), _mm_andnot_si128(top, colour)));
    }
#endif
    for (; i < p.target.width; ++i)
      StorePixelWord(out + 4 * i,
                     (LoadPixelWord(out + 4 * i) & keep) | (LoadPixelWord(from + 4 * i) & ~keep));
  }
}

// Rounds half to even like std::nearbyint in the default rounding mode, for |value| < 2^51: adding
// 1.5 * 2^52 leaves no fraction bits, so the addition itself rounds. Twirl values stay far below.
double RoundSmall(double value) {
  constexpr double kShift = 0x1.8p52;
  return (value + kShift) - kShift;
}

}  // namespace

void TwirlSpanScalar(const TwirlSpan& span) {
  const std::uint32_t keep = ByteThreeMask();
  const double dW = static_cast<double>(span.width), dH = static_cast<double>(span.height);
  const double dcx = static_cast<double>(span.cx), dcy = static_cast<double>(span.cy);
  for (std::int64_t k = 0; k < span.count; ++k) {
    const std::int64_t x = span.x0 + span.step * k;
    const double c = span.cosines[k], s = span.sines[k];
    const double dx = static_cast<double>(x - span.cx);
    const double sx = RoundSmall(dx * c - span.dy * s + dcx);
    const double sy = RoundSmall(dx * s + span.dy * c + dcy);
    std::uint32_t colourBytes = span.fill;
    if (sx > 1 && sx < dW && sy > 1 && sy < dH) {
      const auto index = static_cast<std::int64_t>(sx) - 1 + span.width * (static_cast<std::int64_t>(sy) - 1);
      colourBytes = LoadPixelWord(span.source + 4 * index) & ~keep;
    }
    std::uint8_t* to = span.row + 4 * (x - 1);
    StorePixelWord(to, (LoadPixelWord(to) & keep) | colourBytes);
  }
}

namespace {

// How a twirl gets its angles, their single-precision cosines and sines, and its spans: the
// baseline's (cosines and sines one by one with the C library, the rest in SSE2 where it is there),
// or a vector at a time in the SIMD variant's widest vectors; all give the same values.
struct TwirlTrig {
  void (*angles)(double first, std::int64_t count, double rowSquare, double k, double m, double* angles);
  void (*cosSin)(const double* angles, std::int64_t count, float* cosines, float* sines);
  void (*span)(const TwirlSpan& span);
};

constexpr TwirlTrig kBaselineTrig{TwirlAnglesBaseline, TwirlCosSinBaseline, TwirlSpanBaseline};

// The twirl's rows at distance a = firstDistance ... lastDistance above and below the centre row.
// The turn depends on the distance from the centre only, so the cosine and sine of one column
// distance b serve the columns b left and right of the centre in both rows. They are worked out
// for a run of column distances at a time, so the scratch space stays small for any width.
void TwirlRows(const Planes& p, std::int32_t amount, std::int32_t colour, std::int64_t firstDistance,
               std::int64_t lastDistance, const TwirlTrig& trig) {
  const std::int64_t W = p.target.width, H = p.target.height;
  const std::int64_t cx = W / 2, cy = H / 2, M = std::max(W, H);
  const float K = TwirlMaxAngle(amount);
  const std::int64_t maxColumnDistance = std::max(W - cx, cx - 1);
  std::uint8_t fill[4] = {0, 0, 0, 0};
  Fill(fill, colour);
  const std::uint32_t fillWord = LoadPixelWord(fill);

  // The turn depends on b^2 + a^2 alone, an exact integer, so row a's values at column distance
  // b < a are row b's at column distance a, bit for bit. For distances first .. first + reach - 1
  // (rows of this band, so that its rows come in increasing order) they are kept as they are
  // worked out, in `earlier`: (row b, column distance c), b < c, at index (c - first) * reach +
  // b - first, so that a row reads its own in one run. The square is held to kMaxReach^2 values.
  constexpr std::int64_t kMaxReach = 768;
  const std::int64_t first = firstDistance;
  const std::int64_t reach =
      std::clamp<std::int64_t>(std::min(lastDistance, maxColumnDistance) - first + 1, 0, kMaxReach);
  const std::unique_ptr<float[]> earlier(new float[static_cast<std::size_t>(2 * reach * reach)]);
  float* const earlierCos = earlier.get();
  float* const earlierSin = earlierCos + reach * reach;

  constexpr std::int64_t kRun = 512;
  float cosines[kRun], sines[kRun];
  double angles[kRun];
  for (std::int64_t a = firstDistance; a <= lastDistance; ++a) {
    const double da = static_cast<double>(a);
    const std::int64_t rows[2] = {cy + a, cy - a};
    const bool kept = a - first < reach;
    for (std::int64_t b0 = 0; b0 <= maxColumnDistance; b0 += kRun) {
      const std::int64_t run = std::min(kRun, maxColumnDistance - b0 + 1);
      // Column distances b0 + i for i in [reuseFrom, reuseTo) come from `earlier`, the rest are
      // worked out.
      const std::int64_t reuseFrom = kept ? std::clamp<std::int64_t>(first - b0, 0, run) : 0;
      const std::int64_t reuseTo = kept ? std::clamp<std::int64_t>(a - b0, reuseFrom, run) : 0;
      const auto workOut = [&](std::int64_t from, std::int64_t to) {
        if (to <= from) return;
        trig.angles(static_cast<double>(b0 + from), to - from, da * da, K, static_cast<double>(M),
                    angles + from);
        trig.cosSin(angles + from, to - from, cosines + from, sines + from);
      };
      workOut(0, reuseFrom);
      workOut(reuseTo, run);
      if (kept) {
        const std::int64_t row = (a - first) * reach - first;
        std::copy(earlierCos + row + b0 + reuseFrom, earlierCos + row + b0 + reuseTo, cosines + reuseFrom);
        std::copy(earlierSin + row + b0 + reuseFrom, earlierSin + row + b0 + reuseTo, sines + reuseFrom);
        // This row's values for the later rows of the square: column distances a + 1 onwards.
        const std::int64_t keepTo = std::min(run, first + reach - b0);
        for (std::int64_t i = std::max<std::int64_t>(a + 1 - b0, 0); i < keepTo; ++i) {
          const std::int64_t at = (b0 + i - first) * reach + a - first;
          earlierCos[at] = cosines[i];
          earlierSin[at] = sines[i];
        }
      }
      for (int r = 0; r < (a == 0 ? 1 : 2); ++r) {  // the centre row once
        const std::int64_t y = rows[r];
        if (y < 1 || y > H) continue;
        const double dy = static_cast<double>(y - cy);
        TwirlSpan span{p.source.bytes, p.target.row(y), W, H, cx, cy, dy, fillWord, 0, 1,
                       nullptr,        nullptr,         0};
        // Right of the centre, with the centre column itself (cx is 0 in a picture one pixel
        // wide), then left of it.
        const std::int64_t rightFirst = std::max<std::int64_t>(0, 1 - cx - b0);
        const std::int64_t rightRun = std::min(run, W - cx - b0 + 1);
        if (rightRun > rightFirst) {
          span.x0 = cx + b0 + rightFirst;
          span.step = 1;
          span.cosines = cosines + rightFirst;
          span.sines = sines + rightFirst;
          span.count = rightRun - rightFirst;
          trig.span(span);
        }
        const std::int64_t leftFirst = b0 == 0 ? 1 : 0;
        const std::int64_t leftRun = std::min(run, cx - b0);
        if (leftRun > leftFirst) {
          span.x0 = cx - b0 - leftFirst;
          span.step = -1;
          span.cosines = cosines + leftFirst;
          span.sines = sines + leftFirst;
          span.count = leftRun - leftFirst;
          trig.span(span);
        }
      }
    }
  }
}

int BandsFor(const KernelParams& block) {
  return BandsForPixels(std::int64_t{block.width} * block.height);
}

}  // namespace

std::vector<float> BuildRippleTable(std::int32_t width, std::int32_t height, std::int32_t amount) {
  const std::int32_t n = std::max({width, height, 0});
  std::vector<float> table(static_cast<std::size_t>(n));
  const float lowest = 1.0f, highest = static_cast<float>(height);
  for (std::int32_t i = 1; i <= n; ++i) {
    float t = ThroughSine(i / 5.0, [&](double s) { return ToSingle(i + 2 * s * amount); });
    if (t < lowest) t = lowest;
    if (t > highest) t = highest;
    table[i - 1] = t;
  }
  return table;
}

void PixelKernelReference(KernelParams* block, std::uint32_t, std::uint32_t, std::intptr_t rippleTable) {
  if (!HasPixels(*block)) return;
  const Planes p = PlanesOf(*block);
  switch (block->opcode) {
    case kPixelSmoothing:
      return SmoothingReference(p, block->amount);
    case kPixelContour:
      return ContourReference(p, block->colour);
    case kPixelEmboss:
      return EmbossReference(p, block->colour);
    case kPixelRipple:
      if (rippleTable != 0) RippleReference(p, reinterpret_cast<const float*>(rippleTable));
      return;
    case kPixelRelief:
      return ReliefReference(p, block->colour);
    case kPixelTwirl:
      return TwirlReference(p, block->amount, block->colour);
    default:
      return;
  }
}

namespace {
void RunPixelKernel(KernelParams* block, std::intptr_t rippleTable, int bands, const TwirlTrig& trig,
                    RowCode code) {
  if (!HasPixels(*block)) return;
  const Planes p = PlanesOf(*block);
  const std::int32_t amount = block->amount, colour = block->colour;
  const std::array<int, 4> components = {ColourComponent(colour, 0), ColourComponent(colour, 1),
                                         ColourComponent(colour, 2), 0};
  // The best variant's smoothing, emboss and ripple rows, or the baseline's where those are faster.
  const RowCode ownRows =
      code == RowCode::kSimd && RunsBaselineRowsBest() ? RowCode::kBaseline : code;

  switch (block->opcode) {
    case kPixelSmoothing: {
      if (amount != 1 && amount != 2 && amount != 4 && amount != 8) return;
      const std::int64_t first = amount == 1 ? 1 : 2,
                         last = amount == 1 ? p.target.height : p.target.height - 1;
      RunInBands(first, last, bands,
                 [&](std::int64_t from, std::int64_t to) { SmoothingRows(p, amount, from, to, ownRows); });
      return;
    }
    case kPixelContour:
      return FilterRows<Filter::kContour>(p, components, bands, code);
    case kPixelEmboss:
      return FilterRows<Filter::kEmboss>(p, components, bands, ownRows);
    case kPixelRipple: {
      if (rippleTable == 0) return;
      const auto* table = reinterpret_cast<const float*>(rippleTable);
      RunInBands(1, p.target.height, bands,
                 [&](std::int64_t from, std::int64_t to) { RippleRows(p, table, from, to, ownRows); });
      return;
    }
    case kPixelRelief:
      return FilterRows<Filter::kRelief>(p, components, bands, code);
    case kPixelTwirl: {
      const std::int64_t cy = p.target.height / 2;
      RunInBands(0, std::max(p.target.height - cy, cy - 1), bands,
                 [&](std::int64_t from, std::int64_t to) { TwirlRows(p, amount, colour, from, to, trig); });
      return;
    }
    default:
      return;
  }
}

}  // namespace

void PixelKernelInBands(KernelParams* block, std::intptr_t rippleTable, int bands) {
  RunPixelKernel(block, rippleTable, bands, kBaselineTrig, RowCode::kBaseline);
}

void PixelKernelBaseline(KernelParams* block, std::uint32_t, std::uint32_t, std::intptr_t rippleTable) {
  PixelKernelInBands(block, rippleTable, BandsFor(*block));
}

// The SIMD variant: the twirl's angles, cosines and sines a vector at a time, and the rows of the
// smoothing, the filters and the ripple in the widest vectors the processor has. Without a SIMD
// target the twirl's dispatch lands on the portable target, whose bodies are the scalar ones (see
// PaletteKernelBest), and the rows are the baseline's.
void PixelKernelBest(KernelParams* block, std::uint32_t, std::uint32_t, std::intptr_t rippleTable) {
  constexpr TwirlTrig kSimdTrig{TwirlAnglesBest, TwirlCosSinBest, TwirlSpanBest};
  RunPixelKernel(block, rippleTable, BandsFor(*block), kSimdTrig,
                 BestHasSimdTarget() ? RowCode::kSimd : RowCode::kBaseline);
}

}  // namespace asmpic
