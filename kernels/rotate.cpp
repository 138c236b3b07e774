#include "engine/cls_asmpic.h"
#include "kernels/kernel_store.h"

namespace asmpic {

void RotateKernelReference(KernelParams*, std::uint32_t, std::uint32_t, std::intptr_t) {}
void RotateKernel(KernelParams* block, std::uint32_t a1, std::uint32_t a2, std::intptr_t a3) {
  RotateKernelReference(block, a1, a2, a3);
}

void clsASMpic::ASM_Rotate(std::int16_t, bool, bool, std::int32_t, std::optional<double>, std::optional<double>) {}

}  // namespace asmpic
