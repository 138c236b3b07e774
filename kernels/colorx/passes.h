#pragma once
// The faster variants' pieces of the Colour-X kernel: rounding of the flare's coordinates, its
// sines and cosines, the scan for the pixels of the effect colour and the blender with its byte
// tables; the baseline's passes (fast.cpp) and the SIMD ones (colorx_simd.cpp), which fall back on
// them. Private to the family.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "kernels/colorx/common.h"
#include "kernels/rounding.h"
#include "kernels/sine_cosine.h"

namespace asmpic::colorx {

// Rounds to the nearest integer, halves to even, exactly as std::nearbyint does in the default
// rounding mode, without a library call: adding and taking away 1.5 * 2^52 leaves the nearest
// integer for any |v| below 2^51. Larger values, infinities and NaN go the long way.
inline std::int64_t RoundCoordinate(double v) {
  constexpr double kShift = 0x1.8p52;
  if (!(std::abs(v) < 0x1p51)) return RoundClamped(v);
  return static_cast<std::int64_t>((v + kShift) - kShift);
}

// One sine or cosine of the flare's table: the C library's value d until it cannot settle a
// coordinate, then the engine's value v (exactly rounded). |v - d| is within kSineCosineSlack |d|,
// so for radii up to `rings` the coordinate centre + radius * d lies within `band` of the one from
// v (the product and the sum round once each; a wide margin on top): a coordinate from d more than
// that inside its rounding interval is v's coordinate too.
struct FlareTrig {
  double value;
  double settled;  // the largest distance from the rounded coordinate that is settled

  static FlareTrig FromCLibrary(double d, const FlareFrame& frame, std::int64_t rings) {
    const double band =
        (static_cast<double>(rings) + std::max(std::abs(frame.cx), std::abs(frame.cy))) * 0x1p-40;
    return {d, 0.5 - band};
  }
};

[[gnu::noinline]] inline std::int64_t ExactCoordinate(double centre, double radius, FlareTrig& entry,
                                                      double (*exact)(double), double angle) {
  entry = {exact(angle), std::numeric_limits<double>::infinity()};
  return RoundCoordinate(centre + radius * entry.value);
}

// centre + radius * v rounded, for v the engine's sine or cosine of angle.
inline std::int64_t SettledCoordinate(double centre, double radius, FlareTrig& entry, double (*exact)(double),
                                      double angle) {
  constexpr double kShift = 0x1.8p52;  // rounds to an integer as RoundCoordinate does
  const double c = centre + radius * entry.value;
  // Always below 2^51: a ring that reaches the picture has a radius and a centre below 2^37.
  if (std::abs(c) < 0x1p51) [[likely]] {
    const double rounded = (c + kShift) - kShift;
    if (std::abs(c - rounded) < entry.settled) [[likely]]
      return static_cast<std::int64_t>(rounded);
  }
  return ExactCoordinate(centre, radius, entry, exact, angle);
}

inline void FlarePixelFast(std::uint8_t* px, float f, const ColourBytes& k) {
  for (int c = 0; c < 3; ++c) {
    const std::int64_t value = RoundCoordinate(px[c] * static_cast<double>(f));  // 0 ... 510
    px[c] = value > 255 ? k[c] : static_cast<std::uint8_t>(value);
  }
}

// The low 24 bits a matching pixel has as a little-endian word, or false when no pixel can match.
inline bool MatchWord(std::int32_t colour, std::uint32_t& word) {
  if (colour < 0 || colour > 0xFFFFFF) return false;
  const auto c = static_cast<std::uint32_t>(colour);
  word = ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16);
  return true;
}

// The first pixel index in [from, to) of `row` that matches, or `to`. It reads the row as it is
// now, so a scan calls it again after every blend.
inline std::int64_t NextMatch(const std::uint8_t* row, std::int64_t from, std::int64_t to,
                              std::uint32_t target) {
  std::int64_t i = from;
#if defined(__SSE2__)
  const __m128i mask = _mm_set1_epi32(0x00FFFFFF);
  const __m128i want = _mm_set1_epi32(static_cast<int>(target));
  for (; i + 4 <= to; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * i));
    const int hits = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(v, mask), want)));
    if (hits != 0) return i + std::countr_zero(static_cast<unsigned>(hits));
  }
#endif
  for (; i < to; ++i) {
    if ((LoadPixelWord(row + 4 * i) & 0x00FFFFFFu) == target) return i;
  }
  return to;
}

// Calls source(x, y) for every source of a glow of reach r, in the scan's order: rows r + 1 ... H - r,
// columns r + 1 ... W - r, each row read again after every source's blends (a blend can make a
// source further on). `next` finds the next match as NextMatch does.
template <auto next = NextMatch, typename Source>
void ForEachGlowSource(const PlaneView& plane, std::int64_t r, std::uint32_t target, Source source) {
  const std::int64_t from = r;  // 0-based columns
  const std::int64_t to = plane.width - r;
  for (std::int64_t y = r + 1; y <= plane.height - r; ++y) {
    const std::uint8_t* row = plane.at(1, y);
    for (std::int64_t x = next(row, from, to, target); x < to; x = next(row, x + 1, to, target)) {
      source(x + 1, y);
    }
  }
}

// Blends with a small set of weights. For short reaches every weight's result for every byte value
// is tabled on first use; long reaches (which would need large tables) blend directly.
class Blender {
 public:
  Blender(std::vector<float> weights, const ColourBytes& k) : weights_(std::move(weights)), k_(k) {}

  void Apply(std::uint8_t* px, std::size_t index) {
    if (weights_.size() > kMaxTabled) return Blend(px, weights_[index], k_);
    if (tables_.empty()) Build();
    const std::uint8_t* t = tables_.data() + index * 768;
    px[0] = t[px[0]];
    px[1] = t[256 + px[1]];
    px[2] = t[512 + px[2]];
  }

 private:
  static constexpr std::size_t kMaxTabled = 64;

  void Build() {
    tables_.resize(weights_.size() * 768);
    for (std::size_t i = 0; i < weights_.size(); ++i) {
      for (int c = 0; c < 3; ++c) {
        for (int p = 0; p < 256; ++p) {
          tables_[i * 768 + c * 256 + p] = BlendValue(weights_[i], static_cast<std::uint8_t>(p), k_[c]);
        }
      }
    }
  }

  std::vector<float> weights_;
  ColourBytes k_;
  std::vector<std::uint8_t> tables_;
};

// The rings first ... last of a flare, the points of each in the reference's order: point i at
// angle (359 - i) degrees, whose sine and cosine are sines[i] and cosines[i].
struct FlareRings {
  FlareFrame frame;
  std::int64_t first;
  std::int64_t last;
  ColourBytes k;
  const double* angles;
  FlareTrig* sines;  // settled further as the rings need it
  FlareTrig* cosines;
};
constexpr int kFlarePoints = 359;

// An entry that cannot settle a coordinate takes the engine's exact value, which settles every one.
[[gnu::noinline]] inline void SettleExactly(FlareTrig& entry, double (*exact)(double), double angle) {
  entry = {exact(angle), std::numeric_limits<double>::infinity()};
}

// The baseline's passes (fast.cpp).
void GlowFast(const PlaneView& plane, std::int64_t r, float a, float b, std::int32_t colour);
void TrailFast(const PlaneView& plane, std::int32_t op, std::int64_t r, float a, float b,
               std::int32_t colour);
void FlareRingsFast(const PlaneView& plane, const FlareRings& rings);

// The SIMD passes in the widest vectors the processor has (colorx_simd.cpp). Without a SIMD
// target the dispatch lands on the portable target, which runs the baseline's.
void GlowBest(const PlaneView& plane, std::int64_t r, float a, float b, std::int32_t colour);
void TrailBest(const PlaneView& plane, std::int32_t op, std::int64_t r, float a, float b,
               std::int32_t colour);
void FlareRingsBest(const PlaneView& plane, const FlareRings& rings);

}  // namespace asmpic::colorx
