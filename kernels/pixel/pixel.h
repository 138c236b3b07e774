#pragma once
// The neighbourhood effects: the pixel kernels' operations, the ripple table that ASM_PixelEffects
// builds for them, and the banded entry behind the faster kernels.
//
// Every pixel kernel reads plane 3 (the undo copy) and writes plane 2 (the working picture); none
// writes plane 1 or 3. Byte 3 of a destination pixel is written only by smoothing.
#include <cstdint>
#include <vector>

#include "kernels/kernel_params.h"

namespace asmpic {

enum PixelOpcode : std::int32_t {
  kPixelSmoothing = 0,  // Amount 1, 2, 4, 8: horizontal pair, vertical pair, diagonals, ring of eight
  kPixelContour = 1,    // eight-neighbour edge filter plus the colour
  kPixelEmboss = 2,     // difference with the upper-right neighbour, minus the colour
  kPixelRipple = 3,     // rows displaced along a sine wave (needs the ripple table)
  kPixelRelief = 4,     // directional 3 x 3 filter blended with the picture
  kPixelTwirl = 5,      // a turn growing with the distance from the centre; colour fills the rest
};

// The ripple's source rows for a width x height picture: max(width, height) single-precision
// entries; entry i (element i - 1) is i + 2 sin(i / 5) amount, held to 1 ... height.
std::vector<float> BuildRippleTable(std::int32_t width, std::int32_t height, std::int32_t amount);

// The faster kernel with its rows split into `bands` parts, each but the first on a thread of its
// own (1 runs everything on the caller's thread). PixelKernelBaseline picks the count from the picture's
// size; tests pick it to check that the split changes nothing.
void PixelKernelInBands(KernelParams* block, std::intptr_t rippleTable, int bands);

// The twirl's single-precision cosines and sines of `count` angles (each below 39000), as the best
// variant finds them: equal to the C library's double results rounded to single precision.
void TwirlCosSinBest(const double* angles, std::int64_t count, float* cosines, float* sines);

}  // namespace asmpic
