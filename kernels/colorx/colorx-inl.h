// The colour-X effects' SIMD body, compiled once per target by colorx_simd.cpp (foreach_target): the
// glow's and the trails' blends and the scans for their sources. The scans keep their order, but
// the blends of one source are independent of each other, so each row of a glow's square and a
// left or right trail are blended a vector of bytes at a time (one 32-bit lane per byte) in the
// fixed-point form that plans.h has checked against every byte value. An up or down trail
// blends a column per source, so its sources of one row (which blend other rows only) are
// handled a vector of columns at a time.
#if defined(ASMPIC_KERNELS_COLORX_COLORX_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ASMPIC_KERNELS_COLORX_COLORX_INL_H_
#undef ASMPIC_KERNELS_COLORX_COLORX_INL_H_
#else
#define ASMPIC_KERNELS_COLORX_COLORX_INL_H_
#endif

#include <hwy/highway.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "kernels/colorx/passes.h"
#include "kernels/colorx/plans.h"

HWY_BEFORE_NAMESPACE();
namespace asmpic::colorx {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// FindFixedBlend's search. BlendValue's byte for each of the 256 values p (the same products and
// sum, rounded half to even) and each slope's bounds on the offset are worked out a vector of
// values at a time; every value is an integer below 2^31 in magnitude, held exactly in a double
// lane, so the bounds are those of integer arithmetic.
bool FixedBlendSimd(float w, const ColourBytes& k, FixedBlend& blend) {
  if (!(std::abs(w) <= 64.0f)) return false;
  const hn::ScalableTag<double> d;
  const auto n = static_cast<std::int64_t>(hn::Lanes(d));
  constexpr std::int64_t kOne = std::int64_t{1} << kFixedShift;
  constexpr std::int64_t kLimit = std::int64_t{1} << 31;
  const auto slope = static_cast<std::int64_t>(std::nearbyint(static_cast<double>(w) * kOne));
  const auto iota = hn::Iota(d, 0.0);
  const auto one = hn::Set(d, static_cast<double>(kOne));
  const auto zero = hn::Zero(d);
  const auto full = hn::Set(d, 255.0);
  const auto noLow = hn::Set(d, static_cast<double>(-kLimit));
  const auto noHigh = hn::Set(d, static_cast<double>(kLimit - 1));
  HWY_ALIGN double want[256];
  for (int c = 0; c < 3; ++c) {
    const auto share = hn::Set(d, (1.0 - w) * k[c]);
    for (std::int64_t p = 0; p < 256; p += n) {
      const auto value =
          hn::Add(hn::Mul(hn::Set(d, static_cast<double>(w)), hn::Add(hn::Set(d, p), iota)), share);
      hn::Store(hn::Min(hn::Max(hn::Round(value), zero), full), d, want + p);
    }
    bool found = false;
    for (int t = 0; t <= 128 && !found; ++t) {
      const std::int64_t a = slope + (t % 2 == 0 ? t / 2 : -(t + 1) / 2);
      // Every p asks want[p] * 2^16 <= a p + b < (want[p] + 1) * 2^16, with no lower bound for
      // 0 and no upper bound for 255 (the saturation covers them).
      auto lows = noLow;
      auto highs = noHigh;
      for (std::int64_t p = 0; p < 256; p += n) {
        const auto v = hn::Load(d, want + p);
        const auto ap = hn::Mul(hn::Set(d, static_cast<double>(a)), hn::Add(hn::Set(d, p), iota));
        lows = hn::Max(lows, hn::IfThenElse(hn::Gt(v, zero), hn::Sub(hn::Mul(v, one), ap), noLow));
        const auto high = hn::Sub(hn::Sub(hn::Mul(hn::Add(v, hn::Set(d, 1.0)), one), hn::Set(d, 1.0)), ap);
        highs = hn::Min(highs, hn::IfThenElse(hn::Lt(v, full), high, noHigh));
      }
      const auto lo = static_cast<std::int64_t>(hn::GetLane(hn::MaxOfLanes(d, lows)));
      const auto hi = static_cast<std::int64_t>(hn::GetLane(hn::MinOfLanes(d, highs)));
      if (lo > hi) continue;
      const std::int64_t b = lo + (hi - lo) / 2;
      // No lane may leave 32 bits: that also keeps the shifted value within 16 bits.
      if (std::abs(b) >= kLimit || std::abs(a * 255 + b) >= kLimit) continue;
      blend.a[c] = static_cast<std::int32_t>(a);
      blend.b[c] = static_cast<std::int32_t>(b);
      found = true;
    }
    if (!found) return false;
  }
  blend.a[3] = static_cast<std::int32_t>(kOne);
  blend.b[3] = 0;
  return true;
}

#if HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128

// Blends `pixels` pixels from `bytes` on. Lane t of a vector (byte t of the span) takes its
// slope and offset from lane t of `a` and `b`, which lanes(t, a, b) sets (out parameters: SVE's
// vectors have no size, so no pair or struct can hold them); `blend` gives the same per pixel
// for the pixels after the last whole vector. Where every ring's blend gives the effect colour back for the
// effect colour (`keep`: the usual case), a run of pixels all in that colour stays as it is and
// is skipped: around dense sources the glow soon paints everything in the colour.
template <class D, class Lanes>
HWY_INLINE void BlendSpan(D d, std::uint8_t* HWY_RESTRICT bytes, std::int64_t pixels, Lanes lanes,
                          const FixedBlend* (*blendOf)(const void*, std::int64_t), const void* context,
                          bool keep, std::uint32_t target) {
  const hn::Rebind<std::uint8_t, D> d8;
  const hn::RebindToUnsigned<D> du;
  const auto n = static_cast<std::int64_t>(hn::Lanes(d));
  const auto colourBits = hn::Set(du, 0x00FFFFFFu);
  const auto colour = hn::Set(du, target);
  const std::int64_t count = 4 * pixels;
  std::int64_t t = 0;
  const auto blendVector = [&](std::int64_t at) {
    const auto p = hn::PromoteTo(d, hn::LoadU(d8, bytes + at));
    hn::Vec<D> a, b;
    lanes(at, a, b);
    const auto v = hn::ShiftRight<kFixedShift>(hn::Add(hn::Mul(p, a), b));
    hn::StoreU(hn::DemoteTo(d8, v), d8, bytes + at);
  };
  // Runs of n pixels (4 n bytes, four vectors of byte lanes).
  for (; t + 4 * n <= count; t += 4 * n) {
    if (keep) {
      const auto run = hn::LoadU(du, reinterpret_cast<const std::uint32_t*>(bytes + t));
      if (hn::AllTrue(du, hn::Eq(hn::And(run, colourBits), colour))) continue;
    }
    for (int k = 0; k < 4; ++k) blendVector(t + k * n);
  }
  for (; t + n <= count; t += n) blendVector(t);
  for (; t < count; ++t) bytes[t] = ApplyFixed(*blendOf(context, t / 4), static_cast<int>(t % 4), bytes[t]);
}

// NextMatch in the processor's widest vectors: the first pixel index in [from, to) of `row` whose
// colour bytes are `target`, or `to`.
std::int64_t NextMatchSimd(const std::uint8_t* HWY_RESTRICT row, std::int64_t from, std::int64_t to,
                           std::uint32_t target) {
  const hn::ScalableTag<std::uint32_t> du;
  const hn::Repartition<std::uint8_t, decltype(du)> d8;
  const auto n = static_cast<std::int64_t>(hn::Lanes(du));
  const auto colourBits = hn::Set(du, 0x00FFFFFFu);
  const auto colour = hn::Set(du, target);
  std::int64_t i = from;
  for (; i + n <= to; i += n) {
    const auto words = hn::BitCast(du, hn::LoadU(d8, row + 4 * i));
    const std::intptr_t hit = hn::FindFirstTrue(du, hn::Eq(hn::And(words, colourBits), colour));
    if (hit >= 0) return i + hit;
  }
  for (; i < to; ++i) {
    if ((LoadPixelWord(row + 4 * i) & 0x00FFFFFFu) == target) return i;
  }
  return to;
}

// True when all `pixels` pixels from `bytes` on have the colour bytes `target`.
HWY_INLINE bool AllInColour(const std::uint8_t* HWY_RESTRICT bytes, std::int64_t pixels,
                            std::uint32_t target) {
  const hn::ScalableTag<std::uint32_t> du;
  const auto n = static_cast<std::int64_t>(hn::Lanes(du));
  const auto colourBits = hn::Set(du, 0x00FFFFFFu);
  const auto colour = hn::Set(du, target);
  const auto* words = reinterpret_cast<const std::uint32_t*>(bytes);
  std::int64_t i = 0;
  for (; i + n <= pixels; i += n) {
    if (!hn::AllTrue(du, hn::Eq(hn::And(hn::LoadU(du, words + i), colourBits), colour))) return false;
  }
  for (; i < pixels; ++i) {
    if ((LoadPixelWord(bytes + 4 * i) & 0x00FFFFFFu) != target) return false;
  }
  return true;
}

void GlowSimd(const PlaneView& plane, std::int64_t r, float, float, std::int32_t colour,
              const GlowPlan& plan) {
  const hn::ScalableTag<std::int32_t> d;
  std::uint32_t target;
  if (!MatchWord(colour, target)) return;
  struct Edge {
    const GlowPlan* plan;
    std::int64_t r;
    std::int64_t first;  // the offset i of the span's first pixel
  };
  const auto edgeBlend = [](const void* context, std::int64_t pixel) {
    const auto* edge = static_cast<const Edge*>(context);
    return &edge->plan->rings[edge->r - std::abs(edge->first + pixel)];
  };
  const auto middleBlend = [](const void* context, std::int64_t) {
    return static_cast<const FixedBlend*>(context);
  };

  // A ring without a fixed-point form, pixel by pixel; a pixel in the effect colour stays as it is
  // where every ring keeps that colour.
  const auto byTable = [&](std::uint8_t* px, const std::uint8_t* table) {
    if (!plan.keepsColour || (LoadPixelWord(px) & 0x00FFFFFFu) != target) BlendByTable(px, table);
  };
  ForEachGlowSource<NextMatchSimd>(plane, r, target, [&](std::int64_t x, std::int64_t y) {
    for (std::int64_t j = -r; j <= r; ++j) {
      std::uint8_t* line = plane.at(x - r, y + j);                             // offset i = -r
      if (plan.keepsColour && AllInColour(line, 2 * r + 1, target)) continue;  // nothing would change
      const std::int64_t inner = std::abs(j);
      // Offsets -r ... -inner - 1 and inner + 1 ... r lie on the rings of their own column.
      for (const std::int64_t first : {-r, inner + 1}) {
        const std::int64_t pixels = r - inner;
        if (pixels == 0) continue;
        const std::int64_t lane0 = 4 * (first + r);
        const Edge edge{&plan, r, first};
        BlendSpan(
            d, line + lane0, pixels,
            [&](std::int64_t t, auto& a, auto& b) {
              a = hn::LoadU(d, plan.edgeA.data() + lane0 + t);
              b = hn::LoadU(d, plan.edgeB.data() + lane0 + t);
            },
            +edgeBlend, &edge, plan.keepsColour, target);
      }
      // Offsets -inner ... inner lie on the row's own ring: one pixel's lanes repeated.
      if (!plan.tabledDistances.empty() &&
          std::binary_search(plan.tabledDistances.begin(), plan.tabledDistances.end(), inner)) {
        for (std::int64_t i = 0; i <= 2 * inner; ++i) byTable(line + 4 * (r - inner + i), plan.table(inner));
      } else {
        const FixedBlend& ring = plan.rings[r - inner];
        const auto a = hn::LoadDup128(d, ring.a);
        const auto b = hn::LoadDup128(d, ring.b);
        BlendSpan(
            d, line + 4 * (r - inner), 2 * inner + 1,
            [&](std::int64_t, auto& ringA, auto& ringB) {
              ringA = a;
              ringB = b;
            },
            +middleBlend, &ring, plan.keepsColour, target);
      }
      // The edge pixels of rings without a fixed-point form, left as they were by the vectors.
      for (auto it = std::upper_bound(plan.tabledDistances.begin(), plan.tabledDistances.end(), inner);
           it != plan.tabledDistances.end(); ++it) {
        byTable(line + 4 * (r - *it), plan.table(*it));
        byTable(line + 4 * (r + *it), plan.table(*it));
      }
    }
  });
}

// A left or right trail: each source's r pixels in one span of vectors.
void HorizontalTrailSimd(const PlaneView& plane, const TrailStep& step, std::int64_t r, TrailPlan& lazyPlan,
                         std::uint32_t target) {
  const hn::ScalableTag<std::int32_t> d;
  const std::int64_t from = step.dx < 0 ? r : 0;  // 0-based columns
  const std::int64_t to = step.dx > 0 ? plane.width - r : plane.width;
  const auto spanBlend = [](const void* context, std::int64_t pixel) {
    const auto* plan = static_cast<const TrailPlan*>(context);
    return &plan->blends[plan->distanceOf(pixel)];
  };
  for (std::int64_t y = 1; y <= plane.height; ++y) {
    std::uint8_t* row = plane.at(1, y);
    for (std::int64_t x = NextMatchSimd(row, from, to, target); x < to;
         x = NextMatchSimd(row, x + 1, to, target)) {
      const TrailPlan& plan = lazyPlan.Ready();
      std::uint8_t* span = row + 4 * (step.dx > 0 ? x + 1 : x - r);
      BlendSpan(
          d, span, r,
          [&](std::int64_t t, auto& a, auto& b) {
            a = hn::LoadU(d, plan.spanA.data() + t);
            b = hn::LoadU(d, plan.spanB.data() + t);
          },
          +spanBlend, &plan, plan.keepsColour, target);
      for (const std::int64_t n : plan.tabledDistances)
        BlendByTable(row + 4 * (x + n * step.dx), plan.table(n));
    }
  }
}

// An up or down trail. A source at (x, y) blends (x, y + n dy), n = 1 ... r: rows other than its
// own, so the sources of one row neither make nor unmake each other, and a pixel's blends come in
// the order of their sources' rows as in the scan. A vector of columns of row y finds its
// sources; each of the r rows it blends takes the blend where a source is and keeps its pixel
// elsewhere.
void VerticalTrailSimd(const PlaneView& plane, const TrailStep& step, std::int64_t r, TrailPlan& lazyPlan,
                       std::uint32_t target) {
  const hn::ScalableTag<std::uint32_t> du;
  const hn::Repartition<std::uint8_t, decltype(du)> d8;  // the bytes of a vector of pixels
  const hn::ScalableTag<std::int32_t> d;
  const hn::Rebind<std::uint8_t, decltype(d)> dq;  // a quarter of them, one per 32-bit lane
  const auto n = static_cast<std::int64_t>(hn::Lanes(du));
  const auto colourBits = hn::Set(du, 0x00FFFFFFu);
  const auto colour = hn::Set(du, target);
  const std::int64_t width = plane.width;
  const std::int64_t firstY = step.dy < 0 ? r + 1 : 1;
  const std::int64_t lastY = step.dy > 0 ? plane.height - r : plane.height;
  const std::int64_t rowBytes = 4 * width * step.dy;
  HWY_ALIGN std::uint8_t matched[HWY_MAX_BYTES];
  for (std::int64_t y = firstY; y <= lastY; ++y) {
    const std::uint8_t* row = plane.at(1, y);
    std::int64_t x = 0;
    for (; x + n <= width; x += n) {
      const auto match = hn::Eq(hn::And(hn::BitCast(du, hn::LoadU(d8, row + 4 * x)), colourBits), colour);
      if (hn::AllFalse(du, match)) continue;
      const TrailPlan& plan = lazyPlan.Ready();
      // The match of each byte's pixel, a quarter of the bytes (one per 32-bit lane) at a time.
      hn::StoreU(hn::BitCast(d8, hn::VecFromMask(du, match)), d8, matched);
      const auto zero = hn::Zero(d);
      const auto m0 = hn::Ne(hn::PromoteTo(d, hn::Load(dq, matched)), zero);
      const auto m1 = hn::Ne(hn::PromoteTo(d, hn::Load(dq, matched + n)), zero);
      const auto m2 = hn::Ne(hn::PromoteTo(d, hn::Load(dq, matched + 2 * n)), zero);
      const auto m3 = hn::Ne(hn::PromoteTo(d, hn::Load(dq, matched + 3 * n)), zero);
      for (std::int64_t k = 1; k <= r; ++k) {
        std::uint8_t* line = plane.at(x + 1, y) + k * rowBytes;
        if (plan.tableSlot[k] >= 0) {
          for (std::int64_t i = 0; i < n; ++i) {
            if ((LoadPixelWord(row + 4 * (x + i)) & 0x00FFFFFFu) == target)
              BlendByTable(line + 4 * i, plan.table(k));
          }
          continue;
        }
        const auto a = hn::LoadDup128(d, plan.blends[k].a);
        const auto b = hn::LoadDup128(d, plan.blends[k].b);
        const auto blendQuarter = [&](std::uint8_t* bytes, auto m) {
          const auto p = hn::PromoteTo(d, hn::LoadU(dq, bytes));
          const auto v = hn::ShiftRight<kFixedShift>(hn::Add(hn::Mul(p, a), b));
          hn::StoreU(hn::DemoteTo(dq, hn::IfThenElse(m, v, p)), dq, bytes);
        };
        blendQuarter(line, m0);
        blendQuarter(line + n, m1);
        blendQuarter(line + 2 * n, m2);
        blendQuarter(line + 3 * n, m3);
      }
    }
    for (; x < width; ++x) {  // the columns after the last whole vector
      if ((LoadPixelWord(row + 4 * x) & 0x00FFFFFFu) != target) continue;
      const TrailPlan& plan = lazyPlan.Ready();
      for (std::int64_t k = 1; k <= r; ++k) {
        std::uint8_t* px = plane.at(x + 1, y) + k * rowBytes;
        if (plan.tableSlot[k] >= 0) {
          BlendByTable(px, plan.table(k));
        } else {
          for (int c = 0; c < 3; ++c) px[c] = ApplyFixed(plan.blends[k], c, px[c]);
        }
      }
    }
  }
}

// The trails (TrailFast's scans) with their blends a vector at a time.
void TrailSimd(const PlaneView& plane, std::int32_t op, std::int64_t r, float a, float b,
               std::int32_t colour) {
  std::uint32_t target;
  if (!MatchWord(colour, target)) return;
  const TrailStep step = StepOf(op);
  if (r >= (step.dx != 0 ? plane.width : plane.height)) return;  // no source has room for its trail
  TrailPlan plan(r, a, b, BytesOf(colour), step.dx);
  if (step.dy == 0) return HorizontalTrailSimd(plane, step, r, plan, target);
  VerticalTrailSimd(plane, step, r, plan, target);
}

// The flare a ring at a time: the points' pixel indices (-1 for a point outside the picture) and
// what each byte value becomes, a vector at a time, then the visits in the reference's order (a
// pixel near the centre is visited more than once per ring, each time scaled again). The same
// products, sums and half-to-even rounding as the baseline: a coordinate too large for
// RoundCoordinate's shortcut lies outside the picture either way, and a byte times the factor is
// exact in double.
void FlareRingsSimd(const PlaneView& plane, const FlareRings& rings) {
  const hn::ScalableTag<double> d;
  const hn::Rebind<std::int64_t, decltype(d)> di;
  const hn::Rebind<std::int32_t, decltype(d)> d32;
  const hn::Rebind<std::uint8_t, decltype(d)> d8;
  const auto n = static_cast<std::int64_t>(hn::Lanes(d));
  constexpr std::int64_t kMaxLanes = HWY_MAX_BYTES / sizeof(double);
  constexpr std::int64_t kPadded = (kFlarePoints + kMaxLanes - 1) / kMaxLanes * kMaxLanes;  // whole vectors
  // The tables in lanes: the values and how far from its rounded value a coordinate is settled
  // (see SettledCoordinate); the padding lanes are settled and never read.
  HWY_ALIGN double sines[kPadded] = {};
  HWY_ALIGN double cosines[kPadded] = {};
  HWY_ALIGN double sineSettled[kPadded];
  HWY_ALIGN double cosineSettled[kPadded];
  std::fill(sineSettled, sineSettled + kPadded, std::numeric_limits<double>::infinity());
  std::fill(cosineSettled, cosineSettled + kPadded, std::numeric_limits<double>::infinity());
  for (int i = 0; i < kFlarePoints; ++i) {
    sines[i] = rings.sines[i].value;
    sineSettled[i] = rings.sines[i].settled;
    cosines[i] = rings.cosines[i].value;
    cosineSettled[i] = rings.cosines[i].settled;
  }
  // A lane whose coordinate lies too near a rounding boundary takes the exact value; its vector is
  // then worked out again.
  const auto settleLanes = [&](std::int64_t i, double radius) {
    for (std::int64_t j = i; j < std::min<std::int64_t>(i + n, kFlarePoints); ++j) {
      const auto check = [&](double centre, FlareTrig& entry, double* value, double* settled,
                             double (*exact)(double)) {
        const double c = centre + radius * value[j];
        if (!(std::abs(c - std::nearbyint(c)) >= settled[j])) return;
        SettleExactly(entry, exact, rings.angles[j]);
        value[j] = entry.value;
        settled[j] = entry.settled;
      };
      check(rings.frame.cx, rings.sines[j], sines, sineSettled, ExactSine);
      check(rings.frame.cy, rings.cosines[j], cosines, cosineSettled, ExactCosine);
    }
  };
  HWY_ALIGN std::int64_t at[kPadded];
  HWY_ALIGN std::uint8_t becomes[3][256];
  const auto cx = hn::Set(d, rings.frame.cx), cy = hn::Set(d, rings.frame.cy);
  const auto one = hn::Set(d, 1.0);
  const auto width = hn::Set(d, static_cast<double>(plane.width));
  const auto height = hn::Set(d, static_cast<double>(plane.height));
  const auto iota = hn::Iota(d, 0.0);
  std::uint8_t* const bytes = plane.bytes;
  const ColourBytes k = rings.k;
  for (std::int64_t ring = rings.first; ring <= rings.last; ++ring) {
    const float f = FlareFactor(rings.frame, ring);
    const auto radius = hn::Set(d, static_cast<double>(ring));
    for (std::int64_t i = 0; i < kFlarePoints; i += n) {
      const auto xs = hn::Add(cx, hn::Mul(radius, hn::Load(d, sines + i)));
      const auto ys = hn::Add(cy, hn::Mul(radius, hn::Load(d, cosines + i)));
      auto x = hn::Round(xs);
      auto y = hn::Round(ys);
      // Not(distance >= settled) so that a NaN coordinate (outside the picture either way) passes.
      const auto unsettled = hn::Or(hn::Ge(hn::Abs(hn::Sub(xs, x)), hn::Load(d, sineSettled + i)),
                                    hn::Ge(hn::Abs(hn::Sub(ys, y)), hn::Load(d, cosineSettled + i)));
      if (HWY_UNLIKELY(!hn::AllFalse(d, unsettled))) {
        settleLanes(i, static_cast<double>(ring));
        x = hn::Round(hn::Add(cx, hn::Mul(radius, hn::Load(d, sines + i))));
        y = hn::Round(hn::Add(cy, hn::Mul(radius, hn::Load(d, cosines + i))));
      }
      const auto inside =
          hn::And(hn::And(hn::Ge(x, one), hn::Le(x, width)), hn::And(hn::Ge(y, one), hn::Le(y, height)));
      const auto index = hn::Add(hn::Mul(hn::Sub(y, one), width), hn::Sub(x, one));  // exact: below 2^53
      hn::Store(hn::ConvertTo(di, hn::IfThenElse(inside, index, hn::Set(d, -1.0))), di, at + i);
    }
    // What each byte value of each channel becomes: scaled, or the colour's byte on overflow.
    const auto factor = hn::Set(d, static_cast<double>(f));
    for (std::int64_t p = 0; p < 256; p += n) {
      const auto value =
          hn::DemoteTo(d32, hn::Round(hn::Mul(hn::Add(hn::Set(d, static_cast<double>(p)), iota), factor)));
      const auto over = hn::Gt(value, hn::Set(d32, 255));  // value is 0 ... 510
      for (int c = 0; c < 3; ++c) {
        hn::Store(hn::DemoteTo(d8, hn::IfThenElse(over, hn::Set(d32, k[c]), value)), d8, becomes[c] + p);
      }
    }
    // Runs of points on one pixel (many on the inner rings) are scaled in registers and written
    // once.
    for (int i = 0; i < kFlarePoints;) {
      const std::int64_t index = at[i];
      int end = i + 1;
      while (end < kFlarePoints && at[end] == index) ++end;
      const int visits = end - i;
      i = end;
      if (index < 0) continue;
      std::uint8_t* px = bytes + 4 * index;
      for (int c = 0; c < 3; ++c) {
        std::uint8_t value = px[c];
        for (int v = 0; v < visits; ++v) value = becomes[c][value];
        px[c] = value;
      }
    }
  }
}

#else

// The portable targets (one lane, or vectors emulated with scalar code) run the baseline's glow,
// trails and flare, which is what a processor without a SIMD target runs.
void GlowSimd(const PlaneView& plane, std::int64_t r, float a, float b, std::int32_t colour,
              const GlowPlan&) {
  GlowFast(plane, r, a, b, colour);
}

void TrailSimd(const PlaneView& plane, std::int32_t op, std::int64_t r, float a, float b,
               std::int32_t colour) {
  TrailFast(plane, op, r, a, b, colour);
}

void FlareRingsSimd(const PlaneView& plane, const FlareRings& rings) {
  FlareRingsFast(plane, rings);
}

#endif

}  // namespace HWY_NAMESPACE
}  // namespace asmpic::colorx
HWY_AFTER_NAMESPACE();

#endif  // include guard
