// Magnify: the magnify kernels zoom plane 3 about a centre into plane 2, in steps of one tenth
// (engine/effects/magnify.cpp drives them).
#include <cmath>

#include "kernels/kernel_store.h"
#include "kernels/resample.h"
#include "kernels/worker_pool.h"

namespace asmpic {

namespace {

// Opcodes: 0 nearest, 1 smoothed, both from plane 3. Argument 3 is the zoom in tenths, L.
// `rows(p, sourcePlane, smoothed, mapping, first, last)` resamples rows first..last; pictures of
// kParallelPixels and more are split into bands of rows when `banded`.
template <typename Rows>
void Magnify(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY, std::intptr_t tenths,
             bool banded, Rows rows) {
  if (!resample::HasPixels(block)) return;
  const KernelParams& p = *block;
  if (p.opcode != 0 && p.opcode != 1) return;

  const std::int32_t zoom = static_cast<std::int32_t>(tenths);
  if (zoom == 0) {
    // A zoom of 0 has no finite scale: nothing of the source is shown.
    resample::FillPlane2(p);
    return;
  }
  const float s = ToSingle(1.0 / (zoom / 10.0));
  const float cx = ArgFloat(centreX);
  // The centre's y counts rows from the top of the picture; buffer rows count from the bottom.
  const float cy = ToSingle(p.height - static_cast<double>(ArgFloat(centreY)));
  const resample::MagnifyMapping mapping{cx, cy, s};
  const bool smoothed = p.opcode == 1;
  const int bands = banded ? BandsForPixels(std::int64_t{p.width} * p.height) : 1;
  RunInBands(1, p.height, bands,
             [&](std::int64_t first, std::int64_t last) { rows(p, 3, smoothed, mapping, first, last); });
}

}  // namespace

void MagnifyKernelReference(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY,
                            std::intptr_t tenths) {
  Magnify(block, centreX, centreY, tenths, false,
          resample::ResampleRows<resample::ExactArithmetic, resample::MagnifyMapping>);
}

void MagnifyKernelBaseline(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY,
                           std::intptr_t tenths) {
  Magnify(block, centreX, centreY, tenths, true,
          resample::MagnifyRowsBaseline);
}

void MagnifyKernelBest(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY,
                       std::intptr_t tenths) {
  if (!BestHasSimdTarget()) return MagnifyKernelBaseline(block, centreX, centreY, tenths);
  Magnify(block, centreX, centreY, tenths, true, resample::MagnifyRowsBest);
}

}  // namespace asmpic
