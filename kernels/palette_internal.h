#pragma once
// What the palette kernel's translation units share: palette.cpp (reference and baseline) and
// palette_simd.cpp with its per-target body palette-inl.h.
#include <cstdint>

#include "kernels/palette.h"

namespace asmpic {

constexpr int kThresholdLevel = 180;

inline bool IsChannelArithmetic(std::int32_t op) {
  return op >= kRedUp && op <= kShiftDown;
}

// Every opcode but the noise over a span of pixels (for the pair opcodes a span of whole pairs),
// the baseline way. The SIMD variant hands it the pixels left over after its last whole vector.
void PaletteSpanBaseline(std::int32_t op, std::uint8_t* bytes, std::int64_t pixels, std::uint32_t addendWord);

// The same span in the widest vectors the processor has (palette_simd.cpp); a processor without
// a SIMD target lands on the portable target, whose body is the baseline's.
void PaletteSpanBest(std::int32_t op, std::uint8_t* bytes, std::int64_t pixels, std::uint32_t addendWord);

}  // namespace asmpic
