#pragma once
// The five effect kernels and the one call that enters them.
#include <cstdint>

#include "kernels/kernel_params.h"
#include "kernels/kernel_target.h"

namespace asmpic {

// Every kernel comes in three variants that write the same bytes:
// - Reference: plain loops that read like the arithmetic; the oracle for the others.
// - Baseline: what any processor of the architecture runs (SSE2 on x86-64), without run-time
//   dispatch; the old machines this benchmark is for run it. Its vector code is written by hand
//   with SSE2 intrinsics (the `#if defined(__SSE2__)` blocks of each family): Debian's Highway
//   1.0.3 has no SSE2 target (its lowest x86 target is SSSE3), so a Highway body cannot serve
//   every x86-64 processor, and elsewhere those blocks fall back to their plain loops.
// - Best: one SIMD source compiled for several targets, dispatched at run time to the best one
//   the processor offers; it runs the baseline where no SIMD target fits. The 128-bit x86 targets
//   (SSSE3, SSE4) run the baseline's resampling and its smoothing, emboss and ripple rows, which
//   are faster there than their own (resample_simd.cpp, pixel_simd.cpp).
//
// The arguments of each: rotate, the centre's x and y (floats) and the angle in degrees + 360;
// magnify, the centre's x and y and the zoom in tenths; palette, the noise seed; pixel, the
// ripple's row table (BuildRippleTable), which only the ripple reads; Colour-X, its a and b
// (floats).
Kernel RotateKernelReference, RotateKernelBaseline, RotateKernelBest;
Kernel MagnifyKernelReference, MagnifyKernelBaseline, MagnifyKernelBest;
Kernel PaletteKernelReference, PaletteKernelBaseline, PaletteKernelBest;
Kernel PixelKernelReference, PixelKernelBaseline, PixelKernelBest;
Kernel ColorXKernelReference, ColorXKernelBaseline, ColorXKernelBest;

// The kernels an engine calls, filled once at construction.
struct KernelStore {
  KernelEntry rotate;
  KernelEntry palette;
  KernelEntry pixel;
  KernelEntry colorX;
  KernelEntry magnify;

  // The variant of the process-wide choice (see SetKernelChoice).
  KernelStore();
  explicit KernelStore(KernelChoice choice);

  // The store with every kernel's reference version (for checking the faster ones).
  static KernelStore Reference() { return KernelStore(KernelChoice::kReference); }

  bool operator==(const KernelStore&) const = default;
};

// Enters a kernel with the block and its three arguments.
inline void CallKernel(KernelEntry kernel, KernelParams& block, std::uint32_t arg1, std::uint32_t arg2,
                       std::intptr_t arg3) {
  kernel(&block, arg1, arg2, arg3);
}

}  // namespace asmpic
