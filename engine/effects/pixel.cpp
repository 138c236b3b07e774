// ASM_PixelEffects: the neighbourhood kernel from the undo copy into the working picture.
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/cls_asmpic.h"
#include "kernels/kernel_store.h"
#include "kernels/pixel/pixel.h"

namespace asmpic {

void clsASMpic::ASM_PixelEffects(const std::int32_t& OpCode, std::int16_t Amount, std::int32_t colorX) {
  RunEffect(true, [&] {
    params_.amount = Amount;
    params_.colour = EffectColour(colorX);
    params_.opcode = OpCode;
    // Compared unsigned, so a negative opcode is out of range too.
    if (static_cast<std::uint32_t>(OpCode) > kPixelTwirl) return;
    std::vector<float> rippleTable;  // lives until the kernel has returned
    std::intptr_t arg3 = 4;
    if (OpCode == kPixelRipple) {
      rippleTable = BuildRippleTable(width_, height_, Amount);
      arg3 = reinterpret_cast<std::intptr_t>(rippleTable.data());
    }
    Call(kernels_.pixel, FloatArg(2.0f), FloatArg(3.0f), arg3);
  });
}

}  // namespace asmpic
