// Rotation: the rotate kernels turn plane 1 or plane 3 about a centre into plane 2
// (engine/effects/rotate.cpp drives them).
#include <cmath>
#include <numbers>

#include "kernels/kernel_store.h"
#include "kernels/resample.h"
#include "kernels/sine_cosine.h"
#include "kernels/worker_pool.h"

namespace asmpic {

namespace {

// Opcodes: 0 nearest from plane 3, 1 smoothed from plane 3, 2 nearest from plane 1, 3 smoothed
// from plane 1. Argument 3 is the angle in degrees (plus 360) as a signed 32-bit integer.
// `rows(p, sourcePlane, smoothed, mapping, first, last)` resamples rows first..last; pictures of
// kParallelPixels and more are split into bands of rows when `banded`.
template <typename Rows>
void Rotate(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY, std::intptr_t angle,
            bool banded, Rows rows) {
  if (!resample::HasPixels(block)) return;
  const KernelParams& p = *block;
  if (p.opcode < 0 || p.opcode > 3) return;

  constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
  const double theta = static_cast<std::int32_t>(angle) * kRadiansPerDegree;
  const float c = SingleCosine(theta);
  const float s = SingleSine(theta);
  const float cx = ArgFloat(centreX);
  // The centre's y counts rows from the top of the picture; buffer rows count from the bottom.
  const float cy = ToSingle(p.height - static_cast<double>(ArgFloat(centreY)));

  const int sourcePlane = p.opcode >= 2 ? 1 : 3;
  const bool smoothed = (p.opcode & 1) != 0;
  const resample::RotationMapping mapping{cx, cy, c, s};
  const int bands = banded ? BandsForPixels(std::int64_t{p.width} * p.height) : 1;
  RunInBands(1, p.height, bands, [&](std::int64_t first, std::int64_t last) {
    rows(p, sourcePlane, smoothed, mapping, first, last);
  });
}

}  // namespace

void RotateKernelReference(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY,
                           std::intptr_t angle) {
  Rotate(block, centreX, centreY, angle, false,
         resample::ResampleRows<resample::ExactArithmetic, resample::RotationMapping>);
}

void RotateKernelBaseline(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY,
                          std::intptr_t angle) {
  Rotate(block, centreX, centreY, angle, true,
         resample::RotateRowsBaseline);
}

void RotateKernelBest(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY,
                      std::intptr_t angle) {
  if (!BestHasSimdTarget()) return RotateKernelBaseline(block, centreX, centreY, angle);
  Rotate(block, centreX, centreY, angle, true, resample::RotateRowsBest);
}

}  // namespace asmpic
