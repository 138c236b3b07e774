#include "engine/cls_asmpic.h"
#include "kernels/kernel_store.h"

namespace asmpic {

void PaletteKernelReference(KernelParams*, std::uint32_t, std::uint32_t, std::intptr_t) {}
void PaletteKernel(KernelParams* block, std::uint32_t a1, std::uint32_t a2, std::intptr_t a3) {
  PaletteKernelReference(block, a1, a2, a3);
}

void clsASMpic::ASM_PalEffects(std::int32_t, std::int16_t, std::int32_t) {}
void clsASMpic::ASM_IncrementalPalEffects(const std::int32_t&, std::int16_t) {}

}  // namespace asmpic
