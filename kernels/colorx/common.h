#pragma once
// What every variant of the Colour-X kernel shares: the frame that runs a variant's passes on the
// working picture (plane 2), the effect colour's bytes, the blend of a tint, the reach and weights of the
// glow and the trails, the painting of dots, lines and grids, and the flare's frame. Private to the family.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "kernels/colorx/colorx.h"
#include "kernels/kernel_params.h"
#include "kernels/rounding.h"

namespace asmpic::colorx {

// The passes of one variant (reference, baseline or SIMD) of the glow, the trails and the flare;
// painting dots, lines and grids is a plain store, the same in every variant.
struct Passes {
  void (*glow)(const PlaneView& plane, std::int64_t r, float a, float b, std::int32_t colour);
  void (*trail)(const PlaneView& plane, std::int32_t op, std::int64_t r, float a, float b,
                std::int32_t colour);
  void (*flare)(const PlaneView& plane, std::int32_t amount, float a, float b, std::int32_t colour);
};

// The kernel on the block's working picture with the given passes (reference.cpp): the arguments
// carry a and b as single-precision bit patterns; an empty picture and any opcode other than the
// ten change nothing.
void RunColorX(const KernelParams& block, std::uint32_t argA, std::uint32_t argB, const Passes& passes);

// The effect colour's bytes in pixel order: blue, green, red.
using ColourBytes = std::array<std::uint8_t, 3>;

inline ColourBytes BytesOf(std::int32_t colour) {
  return {static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
          static_cast<std::uint8_t>(colour)};
}

// A pixel matches when its colour, read as blue * 65536 + green * 256 + red, equals the effect
// colour in all 32 bits; a colour with any of bits 24 to 31 set matches nothing.
inline bool Matches(const std::uint8_t* px, std::int32_t colour) {
  return px[0] * 65536 + px[1] * 256 + px[2] == colour;
}

inline void Paint(std::uint8_t* px, const ColourBytes& k) {
  std::memcpy(px, k.data(), 3);
}

// w is the share the pixel keeps, 1 - w the colour's share.
inline std::uint8_t BlendValue(float w, std::uint8_t p, std::uint8_t k) {
  const double value = RoundHalfEven(w * static_cast<double>(p) + (1.0 - w) * k);
  if (value > 255.0) return 255;
  if (!(value >= 0.0)) return 0;  // a negative weight (reach of 10 or more) can push it below 0
  return static_cast<std::uint8_t>(value);
}

inline void Blend(std::uint8_t* px, float w, const ColourBytes& k) {
  for (int c = 0; c < 3; ++c) px[c] = BlendValue(w, px[c], k[c]);
}

// The reach of the glow and the trails: (Amount + 2) div 2, with 5 made 4.
inline std::int64_t Reach(std::int32_t amount) {
  const std::int64_t r = (static_cast<std::int64_t>(amount) + 2) / 2;
  return r == 5 ? 4 : r;
}

// The glow's weight on the ring `ringsOut` rings in from the outermost one (d = r - ringsOut).
inline float GlowWeight(float a, float b, std::int64_t ringsOut) {
  return ToSingle(static_cast<double>(a) - static_cast<double>(b) * static_cast<double>(ringsOut));
}

// The trails' weights, index n = 1 ... r the distance from the source pixel: the farthest
// pixel's weight is a - b, each nearer one b less, stored as single precision at every step.
inline std::vector<float> TrailWeights(std::int64_t r, float a, float b) {
  std::vector<float> weights(static_cast<std::size_t>(r) + 1);
  float w = a;
  for (std::int64_t n = r; n >= 1; --n) {
    w = ToSingle(static_cast<double>(w) - b);
    weights[n] = w;
  }
  return weights;
}

struct TrailStep {
  std::int64_t dx;
  std::int64_t dy;
};

inline TrailStep StepOf(std::int32_t op) {
  switch (op) {
    case kTrailUp:
      return {0, 1};
    case kTrailDown:
      return {0, -1};
    case kTrailLeft:
      return {-1, 0};
    default:
      return {1, 0};
  }
}

// --- Painting, shared by both variants ---------------------------------------------------------

inline void ScatterDot(const PlaneView& plane, float a, float b, const ColourBytes& k) {
  const std::int64_t x = std::min(RoundClamped(static_cast<double>(a) * plane.width + 1.0), plane.width);
  const std::int64_t y = std::min(RoundClamped(static_cast<double>(b) * plane.height + 1.0), plane.height);
  if (x < 1 || y < 1) return;  // only values below 0 or not a number, never drawn by the method
  Paint(plane.at(x, y), k);
}

// Rows H, H - step, ... and columns W, W - step, ...; a step below 1 paints nothing.
inline void RowLines(const PlaneView& plane, std::int64_t step, const ColourBytes& k) {
  if (step < 1) return;
  for (std::int64_t y = plane.height; y >= 1; y -= step) {
    for (std::int64_t x = plane.width; x >= 1; --x) Paint(plane.at(x, y), k);
  }
}

inline void ColumnLines(const PlaneView& plane, std::int64_t step, const ColourBytes& k) {
  if (step < 1) return;
  for (std::int64_t y = plane.height; y >= 1; --y) {
    for (std::int64_t x = plane.width; x >= 1; x -= step) Paint(plane.at(x, y), k);
  }
}

inline void DotGrid(const PlaneView& plane, std::int64_t step, const ColourBytes& k) {
  if (step < 1) return;
  for (std::int64_t y = plane.height; y >= 1; y -= step) {
    for (std::int64_t x = plane.width; x >= 1; x -= step) Paint(plane.at(x, y), k);
  }
}

// --- Flare -----------------------------------------------------------------------------------

// Each visit multiplies the channel by f; a channel that overflows takes the colour's instead.
inline void FlarePixel(std::uint8_t* px, float f, const ColourBytes& k) {
  for (int c = 0; c < 3; ++c) {
    const double value = RoundHalfEven(px[c] * static_cast<double>(f));
    px[c] = value > 255.0 ? k[c] : static_cast<std::uint8_t>(value);
  }
}

// Rings that lie wholly outside the picture visit no pixel. A visited point rounds into the
// picture, so it lies in [0.5, W + 0.5] x [0.5, H + 0.5], k away from the centre: rings closer
// than that rectangle's nearest point or beyond its farthest corner can be skipped. The margin of
// 2 covers the rounding of the coordinates.
constexpr double kRingMargin = 2.0;

inline std::int64_t RingCount(double distance) {
  if (distance >= 9.0e18) return std::numeric_limits<std::int64_t>::max();
  return distance <= 0.0 ? 0 : static_cast<std::int64_t>(distance);
}

inline std::int64_t LastRingInside(const PlaneView& plane, double cx, double cy) {
  const double dx = std::max(std::abs(0.5 - cx), std::abs(plane.width + 0.5 - cx));
  const double dy = std::max(std::abs(0.5 - cy), std::abs(plane.height + 0.5 - cy));
  return RingCount(std::sqrt(dx * dx + dy * dy) + kRingMargin);
}

inline std::int64_t FirstRingInside(const PlaneView& plane, double cx, double cy) {
  const double dx = std::max({0.5 - cx, cx - (plane.width + 0.5), 0.0});
  const double dy = std::max({0.5 - cy, cy - (plane.height + 0.5), 0.0});
  return std::max<std::int64_t>(1, RingCount(std::sqrt(dx * dx + dy * dy) - kRingMargin));
}

// The flare's geometry: R = 24 * Amount rings about (a, H - b), one degree apart.
struct FlareFrame {
  std::int64_t rings = 0;
  double degree = 0.0;  // pi / 180 as single precision
  double cx = 0.0;
  double cy = 0.0;
};

// False when nothing can be visited: no rings, or a centre that is not a finite number.
inline bool MakeFlareFrame(const PlaneView& plane, std::int32_t amount, float a, float b, FlareFrame& frame) {
  if (amount <= 0) return false;
  frame.rings = 24 * static_cast<std::int64_t>(amount);
  frame.degree = ToSingle(std::numbers::pi / 180.0);
  frame.cx = a;
  frame.cy = static_cast<double>(plane.height) - b;
  return std::isfinite(frame.cx) && std::isfinite(frame.cy);
}

inline float FlareFactor(const FlareFrame& frame, std::int64_t k) {
  return ToSingle(2.0 - static_cast<double>(k) / static_cast<double>(frame.rings));
}

}  // namespace asmpic::colorx
