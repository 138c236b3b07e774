// The Colour-X kernel's reference variant: paint with one colour (dots, lines, a grid), spread a
// fading tint of it around the pixels that already have it (a glow or a trail), or flare a disc
// about a centre, pixel by pixel as the arithmetic reads. All work in place on the working picture
// (plane 2); byte 3 of a pixel is never touched. RunColorX, the opcode dispatch every variant
// shares, lives here too: the variants differ only in their glow, trail and flare passes.
#include <algorithm>
#include <cstdint>

#include "kernels/colorx/colorx.h"
#include "kernels/colorx/common.h"
#include "kernels/kernel_store.h"
#include "kernels/sine_cosine.h"

namespace asmpic {
namespace colorx {
namespace {

void GlowReference(const PlaneView& plane, std::int64_t r, float a, float b, std::int32_t colour) {
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
void TrailReference(const PlaneView& plane, std::int32_t op, std::int64_t r, float a, float b,
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

void FlareReference(const PlaneView& plane, std::int32_t amount, float a, float b, std::int32_t colour) {
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

}  // namespace

void RunColorX(const KernelParams& block, std::uint32_t argA, std::uint32_t argB, const Passes& passes) {
  if (!HasPixels(block)) return;
  const PlaneView plane = PlaneOf(block, kWorkingPlane);
  const float a = ArgFloat(argA);
  const float b = ArgFloat(argB);
  const std::int32_t amount = block.amount;
  const std::int32_t colour = block.colour;
  switch (block.opcode) {
    case kScatterDot:
      return ScatterDot(plane, a, b, BytesOf(colour));
    case kRowLines:
      return RowLines(plane, amount, BytesOf(colour));
    case kColumnLines:
      return ColumnLines(plane, amount, BytesOf(colour));
    case kDotGrid:
      return DotGrid(plane, amount, BytesOf(colour));
    case kGlow:
      if (Reach(amount) >= 1) passes.glow(plane, Reach(amount), a, b, colour);
      return;
    case kTrailUp:
    case kTrailDown:
    case kTrailLeft:
    case kTrailRight:
      if (Reach(amount) >= 1) passes.trail(plane, block.opcode, Reach(amount), a, b, colour);
      return;
    case kFlare:
      return passes.flare(plane, amount, a, b, colour);
    default:
      return;  // any other opcode changes nothing
  }
}

}  // namespace colorx

void ColorXKernelReference(KernelParams* block, std::uint32_t argA, std::uint32_t argB, std::intptr_t) {
  colorx::RunColorX(*block, argA, argB,
                    {colorx::GlowReference, colorx::TrailReference, colorx::FlareReference});
}

}  // namespace asmpic
