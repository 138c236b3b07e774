// Colour-X effects: paint with one colour (dots, lines, a grid), spread a fading tint of it around
// the pixels that already have it (a glow or a trail), or flare a disc about a centre. All work in
// place on the working picture (plane 2); byte 3 of a pixel is never touched.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernels/colorx.h"
#include "kernels/kernel_store.h"
#include "kernels/rounding.h"
#include "kernels/sine_cosine.h"

namespace asmpic {

namespace {

// Plane 2 with 1-based pixel access, row 1 first.
struct Plane {
  std::uint8_t* bytes;
  std::int64_t width;
  std::int64_t height;
  std::uint8_t* at(std::int64_t x, std::int64_t y) const { return PixelPtr(bytes, width, x, y); }
};

bool FindPlane(const KernelParams& block, Plane& plane) {
  if (block.width <= 0 || block.height <= 0 || block.pixels == nullptr) return false;
  plane = {PlanePtr(block, 2), block.width, block.height};
  return true;
}

// The effect colour's bytes in pixel order: blue, green, red.
using ColourBytes = std::array<std::uint8_t, 3>;

ColourBytes BytesOf(std::int32_t colour) {
  return {static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
          static_cast<std::uint8_t>(colour)};
}

// A pixel matches when its colour, read as blue * 65536 + green * 256 + red, equals the effect
// colour in all 32 bits; a colour with any of bits 24 to 31 set matches nothing.
bool Matches(const std::uint8_t* px, std::int32_t colour) {
  return px[0] * 65536 + px[1] * 256 + px[2] == colour;
}

void Paint(std::uint8_t* px, const ColourBytes& k) {
  std::memcpy(px, k.data(), 3);
}

// w is the share the pixel keeps, 1 - w the colour's share.
std::uint8_t BlendValue(float w, std::uint8_t p, std::uint8_t k) {
  const double value = RoundHalfEven(w * static_cast<double>(p) + (1.0 - w) * k);
  if (value > 255.0) return 255;
  if (!(value >= 0.0)) return 0;  // a negative weight (reach of 10 or more) can push it below 0
  return static_cast<std::uint8_t>(value);
}

void Blend(std::uint8_t* px, float w, const ColourBytes& k) {
  for (int c = 0; c < 3; ++c) px[c] = BlendValue(w, px[c], k[c]);
}

// The reach of the glow and the trails: (Amount + 2) div 2, with 5 made 4.
std::int64_t Reach(std::int32_t amount) {
  const std::int64_t r = (static_cast<std::int64_t>(amount) + 2) / 2;
  return r == 5 ? 4 : r;
}

// The glow's weight on the ring `ringsOut` rings in from the outermost one (d = r - ringsOut).
float GlowWeight(float a, float b, std::int64_t ringsOut) {
  return ToSingle(static_cast<double>(a) - static_cast<double>(b) * static_cast<double>(ringsOut));
}

// The trails' weights, index n = 1 ... r the distance from the source pixel: the farthest
// pixel's weight is a - b, each nearer one b less, stored as single precision at every step.
std::vector<float> TrailWeights(std::int64_t r, float a, float b) {
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

TrailStep StepOf(std::int32_t op) {
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

void ScatterDot(const Plane& plane, float a, float b, const ColourBytes& k) {
  const std::int64_t x = std::min(RoundClamped(static_cast<double>(a) * plane.width + 1.0), plane.width);
  const std::int64_t y = std::min(RoundClamped(static_cast<double>(b) * plane.height + 1.0), plane.height);
  if (x < 1 || y < 1) return;  // only values below 0 or not a number, never drawn by the method
  Paint(plane.at(x, y), k);
}

// Rows H, H - step, ... and columns W, W - step, ...; a step below 1 paints nothing.
void RowLines(const Plane& plane, std::int64_t step, const ColourBytes& k) {
  if (step < 1) return;
  for (std::int64_t y = plane.height; y >= 1; y -= step) {
    for (std::int64_t x = plane.width; x >= 1; --x) Paint(plane.at(x, y), k);
  }
}

void ColumnLines(const Plane& plane, std::int64_t step, const ColourBytes& k) {
  if (step < 1) return;
  for (std::int64_t y = plane.height; y >= 1; --y) {
    for (std::int64_t x = plane.width; x >= 1; x -= step) Paint(plane.at(x, y), k);
  }
}

void DotGrid(const Plane& plane, std::int64_t step, const ColourBytes& k) {
  if (step < 1) return;
  for (std::int64_t y = plane.height; y >= 1; y -= step) {
    for (std::int64_t x = plane.width; x >= 1; x -= step) Paint(plane.at(x, y), k);
  }
}

// --- Flare -----------------------------------------------------------------------------------

// Each visit multiplies the channel by f; a channel that overflows takes the colour's instead.
void FlarePixel(std::uint8_t* px, float f, const ColourBytes& k) {
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

std::int64_t RingCount(double distance) {
  if (distance >= 9.0e18) return std::numeric_limits<std::int64_t>::max();
  return distance <= 0.0 ? 0 : static_cast<std::int64_t>(distance);
}

std::int64_t LastRingInside(const Plane& plane, double cx, double cy) {
  const double dx = std::max(std::abs(0.5 - cx), std::abs(plane.width + 0.5 - cx));
  const double dy = std::max(std::abs(0.5 - cy), std::abs(plane.height + 0.5 - cy));
  return RingCount(std::sqrt(dx * dx + dy * dy) + kRingMargin);
}

std::int64_t FirstRingInside(const Plane& plane, double cx, double cy) {
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
bool MakeFlareFrame(const Plane& plane, std::int32_t amount, float a, float b, FlareFrame& frame) {
  if (amount <= 0) return false;
  frame.rings = 24 * static_cast<std::int64_t>(amount);
  frame.degree = ToSingle(std::numbers::pi / 180.0);
  frame.cx = a;
  frame.cy = static_cast<double>(plane.height) - b;
  return std::isfinite(frame.cx) && std::isfinite(frame.cy);
}

float FlareFactor(const FlareFrame& frame, std::int64_t k) {
  return ToSingle(2.0 - static_cast<double>(k) / static_cast<double>(frame.rings));
}

// --- The faster variant's pieces -------------------------------------------------------------

// Rounds to the nearest integer, halves to even, exactly as std::nearbyint does in the default
// rounding mode, without a library call: adding and taking away 1.5 * 2^52 leaves the nearest
// integer for any |v| below 2^51. Larger values, infinities and NaN go the long way.
std::int64_t RoundCoordinate(double v) {
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

[[gnu::noinline]] std::int64_t ExactCoordinate(double centre, double radius, FlareTrig& entry,
                                               double (*exact)(double), double angle) {
  entry = {exact(angle), std::numeric_limits<double>::infinity()};
  return RoundCoordinate(centre + radius * entry.value);
}

// centre + radius * v rounded, for v the engine's sine or cosine of angle.
std::int64_t SettledCoordinate(double centre, double radius, FlareTrig& entry, double (*exact)(double),
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

void FlarePixelFast(std::uint8_t* px, float f, const ColourBytes& k) {
  for (int c = 0; c < 3; ++c) {
    const std::int64_t value = RoundCoordinate(px[c] * static_cast<double>(f));  // 0 ... 510
    px[c] = value > 255 ? k[c] : static_cast<std::uint8_t>(value);
  }
}

// The low 24 bits a matching pixel has as a little-endian word, or false when no pixel can match.
bool MatchWord(std::int32_t colour, std::uint32_t& word) {
  if (colour < 0 || colour > 0xFFFFFF) return false;
  const auto c = static_cast<std::uint32_t>(colour);
  word = ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16);
  return true;
}

// The first pixel index in [from, to) of `row` that matches, or `to`. It reads the row as it is
// now, so a scan calls it again after every blend.
std::int64_t NextMatch(const std::uint8_t* row, std::int64_t from, std::int64_t to, std::uint32_t target) {
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
void ForEachGlowSource(const Plane& plane, std::int64_t r, std::uint32_t target, Source source) {
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

// --- The SIMD variant's blends -----------------------------------------------------------------

// One blend weight as fixed-point arithmetic on 32-bit lanes: channel c of a pixel p becomes
// (a[c] * p + b[c]) >> 16 (shifting arithmetically), saturated to 0 ... 255. It is only used where
// it gives BlendValue's byte for every one of the 256 values p can take, which FindFixedBlend
// checks value by value, so the vector code needs no floating point and no rounding of its own.
// Byte 3 (c = 3) keeps its value: a = 1 << 16, b = 0.
struct alignas(16) FixedBlend {
  std::int32_t a[4];
  std::int32_t b[4];
};

constexpr int kFixedShift = 16;

// A fixed-point form of the blend with weight w, found by trying slopes a near w * 2^16 and, for
// each, the offsets that keep every p inside the interval of its byte; false when none fits (or
// w is not a number, or large enough for a lane to overflow). The caller then blends the slow way.
// Defined with the SIMD bodies below: the search runs a vector of byte values at a time.
bool FindFixedBlend(float w, const ColourBytes& k, FixedBlend& blend);

std::uint8_t ApplyFixed(const FixedBlend& blend, int c, std::uint8_t p) {
  const std::int32_t v = (blend.a[c] * p + blend.b[c]) >> kFixedShift;
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

// The glow in fixed point: the blend of each ring (index r - d, as GlowWeight counts), and the
// lanes of one row of the square through the source, pixel offsets -r ... r, with the weight of
// the ring each offset lies on when it lies farther out than the row (the left and right edges).
// A ring whose weight has no fixed-point form (an exact tie of the rounding at odd values, as
// with weight -1.5) keeps identity lanes there and is blended by table, pixel by pixel: the
// blends of one source are independent, so their order does not matter.
struct GlowPlan {
  std::vector<FixedBlend> rings;
  std::vector<std::int32_t> edgeA;
  std::vector<std::int32_t> edgeB;
  std::vector<std::int64_t> tabledDistances;  // d of each ring without a fixed-point form, rising
  std::vector<std::uint8_t> tables;           // 768 bytes per ring (by d), blue, green, red
  bool keepsColour = true;                    // every ring's blend leaves the effect colour as it is
  const std::uint8_t* table(std::int64_t d) const { return tables.data() + 768 * d; }
};

// False when the weights are such that no ring has a fixed-point form worth the vectors.
bool MakeGlowPlan(std::int64_t r, float a, float b, const ColourBytes& k, GlowPlan& plan) {
  constexpr FixedBlend kIdentity{{1 << kFixedShift, 1 << kFixedShift, 1 << kFixedShift, 1 << kFixedShift},
                                 {0, 0, 0, 0}};
  plan.rings.resize(static_cast<std::size_t>(r) + 1);
  for (std::int64_t d = 0; d <= r; ++d) {
    const float w = GlowWeight(a, b, r - d);
    for (int c = 0; c < 3; ++c) plan.keepsColour = plan.keepsColour && BlendValue(w, k[c], k[c]) == k[c];
    if (FindFixedBlend(w, k, plan.rings[r - d])) continue;
    plan.rings[r - d] = kIdentity;
    plan.tabledDistances.push_back(d);
    plan.tables.resize(768 * (static_cast<std::size_t>(r) + 1));
    for (int c = 0; c < 3; ++c)
      for (int p = 0; p < 256; ++p)
        plan.tables[768 * d + 256 * c + p] = BlendValue(w, static_cast<std::uint8_t>(p), k[c]);
  }
  if (2 * plan.tabledDistances.size() > plan.rings.size()) return false;
  plan.edgeA.resize(static_cast<std::size_t>(4 * (2 * r + 1)));
  plan.edgeB.resize(plan.edgeA.size());
  for (std::int64_t i = -r; i <= r; ++i) {
    const FixedBlend& ring = plan.rings[r - std::abs(i)];
    for (int c = 0; c < 4; ++c) {
      plan.edgeA[4 * (i + r) + c] = ring.a[c];
      plan.edgeB[4 * (i + r) + c] = ring.b[c];
    }
  }
  return true;
}

void BlendByTable(std::uint8_t* px, const std::uint8_t* table) {
  px[0] = table[px[0]];
  px[1] = table[256 + px[1]];
  px[2] = table[512 + px[2]];
}

// The trails in fixed point: the blend of each distance n = 1 ... r from the source (index n, as
// TrailWeights counts), and the lanes of the r pixels a left or right trail blends, in memory
// order. A distance whose weight has no fixed-point form (beyond +-64, which long trails reach,
// or an exact tie) keeps identity lanes and is blended by table, pixel by pixel: the blends of
// one source touch r different pixels, so their order does not matter. The plan is made when
// the first source turns up (Ready()), so a picture without one costs only the scan.
class TrailPlan {
 public:
  TrailPlan(std::int64_t r, float a, float b, const ColourBytes& k, std::int64_t dx)
      : r_(r), a_(a), b_(b), k_(k), dx_(dx) {}

  std::vector<FixedBlend> blends;   // index n = 1 ... r
  std::vector<std::int32_t> spanA;  // 4 lanes per pixel of a left or right trail's span
  std::vector<std::int32_t> spanB;
  std::vector<std::int64_t> tabledDistances;  // n of each distance without a fixed-point form, rising
  std::vector<std::int64_t> tableSlot;        // index n: its table's slot, or -1
  std::vector<std::uint8_t> tables;           // 768 bytes per slot, blue, green, red
  bool keepsColour = true;                    // every blend leaves the effect colour as it is

  std::int64_t reach() const { return r_; }
  // The distance of pixel j (0-based) of a left or right trail's span from its source.
  std::int64_t distanceOf(std::int64_t j) const { return dx_ > 0 ? j + 1 : r_ - j; }
  const std::uint8_t* table(std::int64_t n) const { return tables.data() + 768 * tableSlot[n]; }

  const TrailPlan& Ready() {
    if (!made_) Make();
    return *this;
  }

 private:
  void Make() {
    constexpr FixedBlend kIdentity{{1 << kFixedShift, 1 << kFixedShift, 1 << kFixedShift, 1 << kFixedShift},
                                   {0, 0, 0, 0}};
    const std::vector<float> weights = TrailWeights(r_, a_, b_);
    blends.resize(static_cast<std::size_t>(r_) + 1, kIdentity);
    tableSlot.assign(static_cast<std::size_t>(r_) + 1, -1);
    for (std::int64_t n = 1; n <= r_; ++n) {
      const float w = weights[n];
      for (int c = 0; c < 3; ++c) keepsColour = keepsColour && BlendValue(w, k_[c], k_[c]) == k_[c];
      if (FindFixedBlend(w, k_, blends[n])) continue;
      blends[n] = kIdentity;
      tableSlot[n] = static_cast<std::int64_t>(tabledDistances.size());
      tabledDistances.push_back(n);
      tables.resize(tables.size() + 768);
      std::uint8_t* table = tables.data() + tables.size() - 768;
      for (int c = 0; c < 3; ++c)
        for (int p = 0; p < 256; ++p) table[256 * c + p] = BlendValue(w, static_cast<std::uint8_t>(p), k_[c]);
    }
    spanA.resize(static_cast<std::size_t>(4 * r_));
    spanB.resize(spanA.size());
    for (std::int64_t j = 0; j < r_; ++j) {
      const FixedBlend& blend = blends[distanceOf(j)];
      for (int c = 0; c < 4; ++c) {
        spanA[4 * j + c] = blend.a[c];
        spanB[4 * j + c] = blend.b[c];
      }
    }
    made_ = true;
  }

  std::int64_t r_;
  float a_;
  float b_;
  ColourBytes k_;
  std::int64_t dx_;
  bool made_ = false;
};

// --- The reference effects -------------------------------------------------------------------

void GlowReference(const Plane& plane, std::int64_t r, float a, float b, std::int32_t colour) {
  const ColourBytes k = BytesOf(colour);
  for (std::int64_t y = r + 1; y <= plane.height - r; ++y) {
    for (std::int64_t x = r + 1; x <= plane.width - r; ++x) {
      if (!Matches(plane.at(x, y), colour)) continue;
      for (std::int64_t j = -r; j <= r; ++j) {
        for (std::int64_t i = -r; i <= r; ++i) {
          const std::int64_t d = std::max(std::abs(i), std::abs(j));
          Blend(plane.at(x + i, y + j), GlowWeight(a, b, r - d), k);
        }
      }
    }
  }
}

// The scan keeps r pixels from the edge it moves towards, so every trail pixel lies in the plane.
void TrailReference(const Plane& plane, std::int32_t op, std::int64_t r, float a, float b,
                    std::int32_t colour) {
  const ColourBytes k = BytesOf(colour);
  const TrailStep step = StepOf(op);
  const std::int64_t firstY = step.dy < 0 ? r + 1 : 1;
  const std::int64_t lastY = step.dy > 0 ? plane.height - r : plane.height;
  const std::int64_t firstX = step.dx < 0 ? r + 1 : 1;
  const std::int64_t lastX = step.dx > 0 ? plane.width - r : plane.width;
  for (std::int64_t y = firstY; y <= lastY; ++y) {
    for (std::int64_t x = firstX; x <= lastX; ++x) {
      if (!Matches(plane.at(x, y), colour)) continue;
      float w = a;
      for (std::int64_t n = r; n >= 1; --n) {
        w = ToSingle(static_cast<double>(w) - b);
        Blend(plane.at(x + n * step.dx, y + n * step.dy), w, k);
      }
    }
  }
}

void FlareReference(const Plane& plane, std::int32_t amount, float a, float b, std::int32_t colour) {
  FlareFrame frame;
  if (!MakeFlareFrame(plane, amount, a, b, frame)) return;
  const ColourBytes k = BytesOf(colour);
  const std::int64_t last = std::min(frame.rings, LastRingInside(plane, frame.cx, frame.cy));
  for (std::int64_t ring = 1; ring <= last; ++ring) {
    const float f = FlareFactor(frame, ring);
    const double radius = static_cast<double>(ring);
    for (int t = 359; t >= 1; --t) {
      const double angle = t * frame.degree;
      const std::int64_t x =
          ThroughSine(angle, [&](double s) { return RoundClamped(frame.cx + radius * s); });
      const std::int64_t y =
          ThroughCosine(angle, [&](double c) { return RoundClamped(frame.cy + radius * c); });
      if (x < 1 || x > plane.width || y < 1 || y > plane.height) continue;
      FlarePixel(plane.at(x, y), f, k);
    }
  }
}

// --- The faster effects: the same scans in the same order ------------------------------------

void GlowFast(const Plane& plane, std::int64_t r, float a, float b, std::int32_t colour) {
  std::uint32_t target;
  if (!MatchWord(colour, target) || 2 * r >= plane.width || 2 * r >= plane.height) return;
  std::vector<float> weights(static_cast<std::size_t>(r) + 1);
  for (std::int64_t ringsOut = 0; ringsOut <= r; ++ringsOut) weights[ringsOut] = GlowWeight(a, b, ringsOut);
  Blender blender(std::move(weights), BytesOf(colour));
  ForEachGlowSource(plane, r, target, [&](std::int64_t x, std::int64_t y) {
    for (std::int64_t j = -r; j <= r; ++j) {
      std::uint8_t* line = plane.at(x, y + j);
      for (std::int64_t i = -r; i <= r; ++i) {
        blender.Apply(line + 4 * i, static_cast<std::size_t>(r - std::max(std::abs(i), std::abs(j))));
      }
    }
  });
}

void TrailFast(const Plane& plane, std::int32_t op, std::int64_t r, float a, float b, std::int32_t colour) {
  std::uint32_t target;
  if (!MatchWord(colour, target)) return;
  const TrailStep step = StepOf(op);
  const std::int64_t firstY = step.dy < 0 ? r + 1 : 1;
  const std::int64_t lastY = step.dy > 0 ? plane.height - r : plane.height;
  const std::int64_t from = step.dx < 0 ? r : 0;  // 0-based columns
  const std::int64_t to = step.dx > 0 ? plane.width - r : plane.width;
  if (firstY > lastY || from >= to) return;
  Blender blender(TrailWeights(r, a, b), BytesOf(colour));
  const std::int64_t stride = 4 * (step.dx + step.dy * plane.width);
  for (std::int64_t y = firstY; y <= lastY; ++y) {
    const std::uint8_t* row = plane.at(1, y);
    for (std::int64_t x = NextMatch(row, from, to, target); x < to; x = NextMatch(row, x + 1, to, target)) {
      std::uint8_t* source = plane.at(x + 1, y);
      for (std::int64_t n = r; n >= 1; --n) blender.Apply(source + n * stride, static_cast<std::size_t>(n));
    }
  }
}

// The rings first ... last of a flare, the points of each in the reference's order: point i at
// angle (359 - i) degrees, whose sine and cosine are sines[i] and cosines[i].
struct FlareRings {
  FlareFrame frame;
  std::int64_t first;
  std::int64_t last;
  ColourBytes k;
  const double* angles;
  FlareTrig* sines;    // settled further as the rings need it
  FlareTrig* cosines;
};
constexpr int kFlarePoints = 359;

// An entry that cannot settle a coordinate takes the engine's exact value, which settles every one.
[[gnu::noinline]] void SettleExactly(FlareTrig& entry, double (*exact)(double), double angle) {
  entry = {exact(angle), std::numeric_limits<double>::infinity()};
}

void FlareRingsFast(const Plane& plane, const FlareRings& rings) {
  // Copies, so that the compiler need not read them again after every byte written.
  const Plane p = plane;
  const FlareFrame frame = rings.frame;
  const ColourBytes k = rings.k;
  for (std::int64_t ring = rings.first; ring <= rings.last; ++ring) {
    const float f = FlareFactor(frame, ring);
    const double radius = static_cast<double>(ring);
    for (int i = 0; i < kFlarePoints; ++i) {
      const std::int64_t x = SettledCoordinate(frame.cx, radius, rings.sines[i], ExactSine, rings.angles[i]);
      const std::int64_t y = SettledCoordinate(frame.cy, radius, rings.cosines[i], ExactCosine, rings.angles[i]);
      if (x < 1 || x > p.width || y < 1 || y > p.height) continue;
      FlarePixelFast(p.at(x, y), f, k);
    }
  }
}

// The flare's frame, the rings that can reach the picture and the sines and cosines, as both
// faster variants take them; `paint` visits the rings.
template <typename Paint>
void FlareWith(const Plane& plane, std::int32_t amount, float a, float b, std::int32_t colour, Paint paint) {
  FlareFrame frame;
  if (!MakeFlareFrame(plane, amount, a, b, frame)) return;
  const std::int64_t first = FirstRingInside(plane, frame.cx, frame.cy);
  const std::int64_t last = std::min(frame.rings, LastRingInside(plane, frame.cx, frame.cy));
  if (first > last) return;
  // The C library's sines and cosines, once per call instead of once per ring (see
  // SettledCoordinate).
  std::array<double, kFlarePoints> angles;
  std::array<FlareTrig, kFlarePoints> sines;
  std::array<FlareTrig, kFlarePoints> cosines;
  for (int t = 359; t >= 1; --t) {
    angles[359 - t] = t * frame.degree;
    sines[359 - t] = FlareTrig::FromCLibrary(std::sin(angles[359 - t]), frame, last);
    cosines[359 - t] = FlareTrig::FromCLibrary(std::cos(angles[359 - t]), frame, last);
  }
  paint(FlareRings{frame, first, last, BytesOf(colour), angles.data(), sines.data(), cosines.data()});
}

void FlareFast(const Plane& plane, std::int32_t amount, float a, float b, std::int32_t colour) {
  FlareWith(plane, amount, a, b, colour, [&](const FlareRings& rings) { FlareRingsFast(plane, rings); });
}

}  // namespace
}  // namespace asmpic

// The SIMD body, compiled once per target.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/colorx-inl.h"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "kernels/colorx-inl.h"

#if HWY_ONCE
namespace asmpic {
namespace {

HWY_EXPORT(GlowSimd);
HWY_EXPORT(TrailSimd);
HWY_EXPORT(FixedBlendSimd);
HWY_EXPORT(FlareRingsSimd);

bool FindFixedBlend(float w, const ColourBytes& k, FixedBlend& blend) {
  return HWY_DYNAMIC_DISPATCH(FixedBlendSimd)(w, k, blend);
}

// The glow with its blends a vector at a time where every ring's weight has a fixed-point form
// (see FindFixedBlend), else the baseline's. The plan is made when the first source turns up, so
// a picture without one costs only the scan.
void GlowBest(const Plane& plane, std::int64_t r, float a, float b, std::int32_t colour) {
  std::uint32_t target;
  if (!MatchWord(colour, target) || 2 * r >= plane.width || 2 * r >= plane.height) return;
  bool anySource = false;
  for (std::int64_t y = r + 1; y <= plane.height - r && !anySource; ++y)
    anySource = NextMatch(plane.at(1, y), r, plane.width - r, target) < plane.width - r;
  if (!anySource) return;
  GlowPlan plan;
  if (!MakeGlowPlan(r, a, b, BytesOf(colour), plan)) return GlowFast(plane, r, a, b, colour);
  HWY_DYNAMIC_DISPATCH(GlowSimd)(plane, r, a, b, colour, plan);
}

}  // namespace

void ColorXKernelReference(KernelParams* block, std::uint32_t argA, std::uint32_t argB, std::intptr_t) {
  Plane plane;
  if (!FindPlane(*block, plane)) return;
  const float a = ArgFloat(argA);
  const float b = ArgFloat(argB);
  const std::int32_t amount = block->amount;
  const std::int32_t colour = block->colour;
  switch (block->opcode) {
    case kScatterDot:
      return ScatterDot(plane, a, b, BytesOf(colour));
    case kRowLines:
      return RowLines(plane, amount, BytesOf(colour));
    case kColumnLines:
      return ColumnLines(plane, amount, BytesOf(colour));
    case kDotGrid:
      return DotGrid(plane, amount, BytesOf(colour));
    case kGlow:
      if (Reach(amount) >= 1) GlowReference(plane, Reach(amount), a, b, colour);
      return;
    case kTrailUp:
    case kTrailDown:
    case kTrailLeft:
    case kTrailRight:
      if (Reach(amount) >= 1) TrailReference(plane, block->opcode, Reach(amount), a, b, colour);
      return;
    case kFlare:
      return FlareReference(plane, amount, a, b, colour);
    default:
      return;  // any other opcode changes nothing
  }
}

void ColorXKernelBaseline(KernelParams* block, std::uint32_t argA, std::uint32_t argB, std::intptr_t unused) {
  Plane plane;
  if (!FindPlane(*block, plane)) return;
  const float a = ArgFloat(argA);
  const float b = ArgFloat(argB);
  const std::int32_t amount = block->amount;
  const std::int32_t colour = block->colour;
  switch (block->opcode) {
    case kGlow:
      if (Reach(amount) >= 1) GlowFast(plane, Reach(amount), a, b, colour);
      return;
    case kTrailUp:
    case kTrailDown:
    case kTrailLeft:
    case kTrailRight:
      if (Reach(amount) >= 1) TrailFast(plane, block->opcode, Reach(amount), a, b, colour);
      return;
    case kFlare:
      return FlareFast(plane, amount, a, b, colour);
    default:
      return ColorXKernelReference(block, argA, argB, unused);  // painting is already a plain store
  }
}

// The SIMD variant: the glow's and the trails' scans and blends a vector at a time, the flare's
// points and scaled bytes a ring at a time; painting as the baseline does it (plain stores).
// Without a SIMD target the dispatch lands on the portable target, which runs the baseline's glow,
// trails and flare.
void ColorXKernelBest(KernelParams* block, std::uint32_t argA, std::uint32_t argB, std::intptr_t unused) {
  Plane plane;
  const std::int32_t op = block->opcode;
  const bool trail = op == kTrailUp || op == kTrailDown || op == kTrailLeft || op == kTrailRight;
  if ((op != kGlow && op != kFlare && !trail) || !FindPlane(*block, plane)) {
    return ColorXKernelBaseline(block, argA, argB, unused);
  }
  if (op == kFlare) {
    return FlareWith(plane, block->amount, ArgFloat(argA), ArgFloat(argB), block->colour,
                     [&](const FlareRings& rings) { HWY_DYNAMIC_DISPATCH(FlareRingsSimd)
                                                    (plane, rings); });
  }
  const std::int64_t r = Reach(block->amount);
  if (r < 1) return;
  if (trail)
    return HWY_DYNAMIC_DISPATCH(TrailSimd)(plane, op, r, ArgFloat(argA), ArgFloat(argB), block->colour);
  GlowBest(plane, r, ArgFloat(argA), ArgFloat(argB), block->colour);
}

}  // namespace asmpic
#endif  // HWY_ONCE
