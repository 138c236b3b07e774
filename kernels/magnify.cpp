// Magnify: MagnifyKernelBaseline zooms plane 3 about a centre into plane 2, in steps of one tenth, and
// ASM_Magnify drives it.
#include <cmath>

#include "engine/cls_asmpic.h"
#include "kernels/kernel_store.h"
#include "kernels/resample.h"

namespace asmpic {

namespace {

// Destination (x, y) comes from
//   u = (x - cx) * s + cx
//   v = (y - cy) * s + cy
// in double, from the single-precision scale and centre.
struct MagnifyMapping {
  double cx;
  double cy;
  double s;

  struct RowMapping {
    const MagnifyMapping& m;
    double v;
    resample::SourcePoint operator()(double x) const { return {(x - m.cx) * m.s + m.cx, v}; }
  };
  RowMapping Row(double y) const { return {*this, (y - cy) * s + cy}; }
};

// Opcodes: 0 nearest, 1 smoothed, both from plane 3. Argument 3 is the zoom in tenths, L.
template <typename Arithmetic>
void Magnify(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY, std::intptr_t tenths) {
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
  resample::Resample<Arithmetic>(p, 3, p.opcode == 1, MagnifyMapping{cx, cy, s});
}

// L = Factor x 10, the product taken in single precision and rounded halves to even. A product
// beyond 32 bits (or infinite) is held at the nearest 32-bit value, the closest zoom there is; NaN
// gives no zoom at all, 0.
std::int32_t ZoomTenths(float Factor) {
  const float tenfold = Factor * 10.0f;
  if (std::isnan(tenfold)) return 0;
  return static_cast<std::int32_t>(RoundClamped(tenfold));
}

}  // namespace

void MagnifyKernelReference(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY,
                            std::intptr_t tenths) {
  Magnify<resample::ExactArithmetic>(block, centreX, centreY, tenths);
}

void MagnifyKernelBaseline(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY,
                           std::intptr_t tenths) {
  Magnify<resample::FastArithmetic>(block, centreX, centreY, tenths);
}

// The SIMD variant: for now the baseline, until its Highway body lands.
void MagnifyKernelBest(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY,
                       std::intptr_t tenths) {
  MagnifyKernelBaseline(block, centreX, centreY, tenths);
}

void clsASMpic::ASM_Magnify(float Factor, std::optional<double> centerX, std::optional<double> centerY,
                            bool AntiAlias, std::int32_t colorX) {
  RunEffect(true, [&] {
    params_.colour = EffectColour(colorX);
    params_.opcode = AntiAlias ? 1 : 0;
    Call(kernels_.magnify, FloatArg(CentreX(centerX)), FloatArg(CentreY(centerY)), ZoomTenths(Factor));
  });
}

}  // namespace asmpic
