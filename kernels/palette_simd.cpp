// The palette effects' SIMD span for every target this build compiles (palette-inl.h), and the
// entry that dispatches to the best one the processor offers.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernels/palette_simd.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "kernels/palette-inl.h"

#if HWY_ONCE
namespace asmpic {

HWY_EXPORT(PaletteSpanSimd);

void PaletteSpanBest(std::int32_t op, std::uint8_t* bytes, std::int64_t pixels, std::uint32_t addendWord) {
  HWY_DYNAMIC_DISPATCH(PaletteSpanSimd)(op, bytes, pixels, addendWord);
}

}  // namespace asmpic
#endif
