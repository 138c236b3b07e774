#pragma once
// One plane of the kernels' pixel buffer as every family reaches it: W x H pixels of four bytes
// (blue, green, red, fourth), 1-based coordinates, row 1 first in memory (the bottom row on
// screen). PlaneOf (kernel_params.h) gives plane 1, 2 or 3 of a block.
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace asmpic {

template <typename Byte>
struct BasicPlaneView {
  Byte* bytes = nullptr;
  std::int64_t width = 0;
  std::int64_t height = 0;

  std::int64_t pixelCount() const { return width * height; }
  // Row y, from its pixel 1 on.
  Byte* row(std::int64_t y) const { return bytes + 4 * width * (y - 1); }
  // Pixel (x, y).
  Byte* at(std::int64_t x, std::int64_t y) const { return row(y) + 4 * (x - 1); }

  // The same plane, only to be read.
  operator BasicPlaneView<const Byte>() const requires(!std::is_const_v<Byte>) {
    return {bytes, width, height};
  }
};

using PlaneView = BasicPlaneView<std::uint8_t>;
using SourcePlaneView = BasicPlaneView<const std::uint8_t>;  // a plane that is only read

// A pixel's four bytes as one 32-bit word (blue in the low byte on our little-endian hosts), for
// kernels that work on whole pixels; memcpy keeps the access free of alignment and aliasing rules.
inline std::uint32_t LoadPixelWord(const std::uint8_t* pixel) {
  std::uint32_t word;
  std::memcpy(&word, pixel, 4);
  return word;
}

inline void StorePixelWord(std::uint8_t* pixel, std::uint32_t word) {
  std::memcpy(pixel, &word, 4);
}

}  // namespace asmpic
