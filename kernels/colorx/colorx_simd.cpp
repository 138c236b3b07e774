// The Colour-X kernel's SIMD glow, trails and flare rings for every target this build compiles
// (colorx-inl.h), and the entries that dispatch to the best one the processor offers.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/colorx/colorx_simd.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "kernels/colorx/colorx-inl.h"

#if HWY_ONCE
namespace asmpic::colorx {

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
void GlowBest(const PlaneView& plane, std::int64_t r, float a, float b, std::int32_t colour) {
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

void TrailBest(const PlaneView& plane, std::int32_t op, std::int64_t r, float a, float b,
               std::int32_t colour) {
  HWY_DYNAMIC_DISPATCH(TrailSimd)(plane, op, r, a, b, colour);
}

void FlareRingsBest(const PlaneView& plane, const FlareRings& rings) {
  HWY_DYNAMIC_DISPATCH(FlareRingsSimd)(plane, rings);
}

}  // namespace asmpic::colorx
#endif
