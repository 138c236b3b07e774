// ASM_Rotate: turns plane 1 or the undo copy about a centre into the working picture.
#include <cmath>
#include <cstdint>
#include <optional>

#include "engine/cls_asmpic.h"
#include "kernels/kernel_store.h"

namespace asmpic {

void clsASMpic::ASM_Rotate(std::int16_t Angle, bool AntiAlias, bool SourcePic, std::int32_t colorX,
                           std::optional<double> centerX, std::optional<double> centerY) {
  // A turn by 0 degrees changes nothing: no undo copy, no kernel, no draw. Unbound, the box check
  // below reports the missing box.
  if (bound() && Angle == 0) return;
  RunEffect(!SourcePic, [&] {
    params_.colour = EffectColour(colorX);
    params_.opcode = (SourcePic ? 2 : 0) + (AntiAlias ? 1 : 0);
    // Formed in 16 bits, so angles above 32767 - 360 wrap to negative ones.
    const auto angle = static_cast<std::int16_t>(Angle + 360);
    Call(kernels_.rotate, FloatArg(CentreX(centerX)), FloatArg(CentreY(centerY)), std::intptr_t{angle});
  });
}

}  // namespace asmpic
