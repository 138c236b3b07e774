#pragma once
// The five effect kernels and the one call that enters them.
#include <cstdint>

#include "kernels/kernel_params.h"

namespace asmpic {

// Each kernel has a plain reference version that reads like its arithmetic; the entry the engine
// calls may be a faster variant that produces the same bytes.
void RotateKernel(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY, std::intptr_t angle);
void RotateKernelReference(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY,
                           std::intptr_t angle);
void MagnifyKernel(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY, std::intptr_t tenths);
void MagnifyKernelReference(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY,
                            std::intptr_t tenths);
void PaletteKernel(KernelParams* block, std::uint32_t seed, std::uint32_t unused, std::intptr_t unused3);
void PaletteKernelReference(KernelParams* block, std::uint32_t seed, std::uint32_t unused,
                            std::intptr_t unused3);
void PixelKernel(KernelParams* block, std::uint32_t unused1, std::uint32_t unused2,
                 std::intptr_t rippleTable);
void PixelKernelReference(KernelParams* block, std::uint32_t unused1, std::uint32_t unused2,
                          std::intptr_t rippleTable);
void ColorXKernel(KernelParams* block, std::uint32_t a, std::uint32_t b, std::intptr_t unused);
void ColorXKernelReference(KernelParams* block, std::uint32_t a, std::uint32_t b, std::intptr_t unused);

// The kernels an engine calls, filled once at construction.
struct KernelStore {
  KernelEntry rotate = RotateKernel;
  KernelEntry palette = PaletteKernel;
  KernelEntry pixel = PixelKernel;
  KernelEntry colorX = ColorXKernel;
  KernelEntry magnify = MagnifyKernel;

  // The store with every kernel's reference version (for checking the faster ones).
  static KernelStore Reference();
};

// Enters a kernel with the block and its three arguments.
inline void CallKernel(KernelEntry kernel, KernelParams& block, std::uint32_t arg1, std::uint32_t arg2,
                       std::intptr_t arg3) {
  kernel(&block, arg1, arg2, arg3);
}

}  // namespace asmpic
