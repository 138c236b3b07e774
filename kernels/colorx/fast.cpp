// The Colour-X kernel's baseline and SIMD variants: the reference's scans in the same order, with
// the glow's and the trails' sources found a vector at a time and their blends from byte tables,
// and the flare's sines and cosines once per call; painting is the reference's own.
#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "kernels/colorx/colorx.h"
#include "kernels/colorx/common.h"
#include "kernels/colorx/passes.h"
#include "kernels/kernel_store.h"

namespace asmpic {
namespace colorx {

void GlowFast(const PlaneView& plane, std::int64_t r, float a, float b, std::int32_t colour) {
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

void TrailFast(const PlaneView& plane, std::int32_t op, std::int64_t r, float a, float b,
               std::int32_t colour) {
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

void FlareRingsFast(const PlaneView& plane, const FlareRings& rings) {
  // Copies, so that the compiler need not read them again after every byte written.
  const PlaneView p = plane;
  const FlareFrame frame = rings.frame;
  const ColourBytes k = rings.k;
  for (std::int64_t ring = rings.first; ring <= rings.last; ++ring) {
    const float f = FlareFactor(frame, ring);
    const double radius = static_cast<double>(ring);
    for (int i = 0; i < kFlarePoints; ++i) {
      const std::int64_t x = SettledCoordinate(frame.cx, radius, rings.sines[i], ExactSine, rings.angles[i]);
      const std::int64_t y =
          SettledCoordinate(frame.cy, radius, rings.cosines[i], ExactCosine, rings.angles[i]);
      if (x < 1 || x > p.width || y < 1 || y > p.height) continue;
      FlarePixelFast(p.at(x, y), f, k);
    }
  }
}

// The flare's frame, the rings that can reach the picture and the sines and cosines, as both
// faster variants take them; `paint` visits the rings.
template <typename Paint>
void FlareWith(const PlaneView& plane, std::int32_t amount, float a, float b, std::int32_t colour,
               Paint paint) {
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

void FlareFast(const PlaneView& plane, std::int32_t amount, float a, float b, std::int32_t colour) {
  FlareWith(plane, amount, a, b, colour, [&](const FlareRings& rings) { FlareRingsFast(plane, rings); });
}

void FlareBest(const PlaneView& plane, std::int32_t amount, float a, float b, std::int32_t colour) {
  FlareWith(plane, amount, a, b, colour, [&](const FlareRings& rings) { FlareRingsBest(plane, rings); });
}

}  // namespace colorx

void ColorXKernelBaseline(KernelParams* block, std::uint32_t argA, std::uint32_t argB, std::intptr_t) {
  colorx::RunColorX(*block, argA, argB, {colorx::GlowFast, colorx::TrailFast, colorx::FlareFast});
}

// The SIMD variant: the glow's and the trails' scans and blends a vector at a time, the flare's
// points and scaled bytes a ring at a time; painting as the baseline does it (plain stores).
// Without a SIMD target the dispatch lands on the portable target, which runs the baseline's glow,
// trails and flare.
void ColorXKernelBest(KernelParams* block, std::uint32_t argA, std::uint32_t argB, std::intptr_t) {
  colorx::RunColorX(*block, argA, argB, {colorx::GlowBest, colorx::TrailBest, colorx::FlareBest});
}

}  // namespace asmpic
