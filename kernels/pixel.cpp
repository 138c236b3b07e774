#include "engine/cls_asmpic.h"
#include "kernels/kernel_store.h"

namespace asmpic {

void PixelKernelReference(KernelParams*, std::uint32_t, std::uint32_t, std::intptr_t) {}
void PixelKernel(KernelParams* block, std::uint32_t a1, std::uint32_t a2, std::intptr_t a3) {
  PixelKernelReference(block, a1, a2, a3);
}

void clsASMpic::ASM_PixelEffects(const std::int32_t&, std::int16_t, std::int32_t) {}

}  // namespace asmpic
