// ASM_Magnify: zooms the undo copy about a centre into the working picture.
#include <cmath>
#include <cstdint>
#include <optional>

#include "engine/cls_asmpic.h"
#include "kernels/kernel_store.h"
#include "kernels/rounding.h"

namespace asmpic {

namespace {

// L = Factor x 10, the product taken in single precision and rounded halves to even. A product
// beyond 32 bits (or infinite) is held at the nearest 32-bit value, the closest zoom there is; NaN
// gives no zoom at all, 0.
std::int32_t ZoomTenths(float Factor) {
  const float tenfold = Factor * 10.0f;
  if (std::isnan(tenfold)) return 0;
  return static_cast<std::int32_t>(RoundClamped(tenfold));
}

}  // namespace

void clsASMpic::ASM_Magnify(float Factor, std::optional<double> centerX, std::optional<double> centerY,
                            bool AntiAlias, std::int32_t colorX) {
  RunEffect(true, [&] {
    params_.colour = EffectColour(colorX);
    params_.opcode = AntiAlias ? 1 : 0;
    Call(kernels_.magnify, FloatArg(CentreX(centerX)), FloatArg(CentreY(centerY)), ZoomTenths(Factor));
  });
}

}  // namespace asmpic
