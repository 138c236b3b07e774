// ASM_PalEffects and ASM_IncrementalPalEffects: the palette kernel on the working picture.
#include <cmath>
#include <cstdint>
#include <optional>

#include "engine/cls_asmpic.h"
#include "kernels/kernel_store.h"
#include "kernels/palette.h"
#include "kernels/rounding.h"

namespace asmpic {

void clsASMpic::ASM_PalEffects(std::int32_t OpCode, std::int16_t Amount, std::int32_t colorX) {
  RunEffect(true, [&] {
    params_.amount = Amount;
    params_.colour = EffectColour(colorX);
    params_.opcode = OpCode;
    // Every opcode reaches the kernel, which ignores the ones it does not know. The noise always
    // starts from the seed 2.0's bit pattern.
    Call(kernels_.palette, FloatArg(2.0f), FloatArg(3.0f), 4);
  });
}

void clsASMpic::ASM_IncrementalPalEffects(const std::int32_t& OpCode, std::int16_t Amount) {
  RunEffect(true, [&] {
    params_.amount = Amount;
    params_.colour = box_->BackColor();
    params_.opcode = OpCode;
    // The generator goes back to the same point on every call, so the noise seed drawn from it is
    // the same every time and repeated calls add the same pattern.
    platform::RandomNumbers& random = runtime_.Random();
    random.Rnd(-1.0f);
    random.Randomize(1.0);
    std::uint32_t seed = FloatArg(2.0f);
    if (OpCode == kNoise) seed = FloatArg(ToSingle(static_cast<double>(random.Rnd()) * 255.0));
    Call(kernels_.palette, seed, FloatArg(3.0f), 4);
  });
}

}  // namespace asmpic
