#pragma once
// The plans of the SIMD glow and trails: each blend weight as fixed-point arithmetic checked
// against every byte value, or a table of the blended bytes where no fixed-point form fits.
// Private to the family.
#include <cstdint>
#include <vector>

#include "kernels/colorx/common.h"

namespace asmpic::colorx {

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

inline std::uint8_t ApplyFixed(const FixedBlend& blend, int c, std::uint8_t p) {
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
inline bool MakeGlowPlan(std::int64_t r, float a, float b, const ColourBytes& k, GlowPlan& plan) {
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

inline void BlendByTable(std::uint8_t* px, const std::uint8_t* table) {
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

}  // namespace asmpic::colorx
