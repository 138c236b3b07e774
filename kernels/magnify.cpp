#include "engine/cls_asmpic.h"
#include "kernels/kernel_store.h"

namespace asmpic {

void MagnifyKernelReference(KernelParams*, std::uint32_t, std::uint32_t, std::intptr_t) {}
void MagnifyKernel(KernelParams* block, std::uint32_t a1, std::uint32_t a2, std::intptr_t a3) {
  MagnifyKernelReference(block, a1, a2, a3);
}

void clsASMpic::ASM_Magnify(float, std::optional<double>, std::optional<double>, bool, std::int32_t) {}

}  // namespace asmpic
