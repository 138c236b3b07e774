// ASM_ColorXEffects: the Colour-X kernel on the working picture.
#include <cmath>
#include <cstdint>
#include <optional>

#include "engine/cls_asmpic.h"
#include "kernels/colorx/colorx.h"
#include "kernels/kernel_store.h"

namespace asmpic {

void clsASMpic::ASM_ColorXEffects(std::int32_t OpCode, std::int32_t colorX, std::int16_t Amount,
                                  std::optional<double> centerX, std::optional<double> centerY) {
  RunEffect(true, [&] {
    params_.amount = Amount;
    params_.colour = colorX;  // taken as it is: a negative colour is not the box's BackColor here
    params_.opcode = OpCode;
    runtime_.Randomize();
    constexpr std::intptr_t kIgnored = 0;
    switch (OpCode) {
      case kScatterDot: {
        // The dot count is formed in 16 bits and wraps; one kernel call paints one dot.
        const auto dots = static_cast<std::int16_t>(Amount * 20);
        platform::RandomNumbers& random = runtime_.Random();
        for (std::int16_t n = 0; n < dots; ++n) {
          const float a = random.Rnd();
          const float b = random.Rnd();
          Call(kernels_.colorX, FloatArg(a), FloatArg(b), kIgnored);
        }
        return;
      }
      case kRowLines:
      case kColumnLines:
      case kDotGrid:
        return Call(kernels_.colorX, FloatArg(2.0f), FloatArg(3.0f), kIgnored);
      case kGlow:
      case kTrailUp:
      case kTrailDown:
      case kTrailLeft:
      case kTrailRight:
        // The outermost weight and the step between rings.
        return Call(kernels_.colorX, FloatArg(0.9f), FloatArg(0.1f), kIgnored);
      case kFlare:
        return Call(kernels_.colorX, FloatArg(CentreX(centerX)), FloatArg(CentreY(centerY)), kIgnored);
      default:
        return;  // no effect; the undo copy and the draw still happen
    }
  });
}

}  // namespace asmpic
