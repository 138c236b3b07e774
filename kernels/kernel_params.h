#pragma once
// The parameter block every effect kernel reads, and the kernel entry shared by all five.
#include <bit>
#include <cstdint>
#include <cstring>

namespace asmpic {

struct KernelParams {
  std::int32_t width = 0;          // picture width W in pixels
  std::int32_t height = 0;         // picture height H in pixels
  std::uint8_t* pixels = nullptr;  // start of plane 1; plane k starts (k - 1) * W * H * 4 bytes on
  std::uint8_t* second = nullptr;  // reserved; no kernel reads it
  std::int32_t amount = 0;         // the method's Amount, widened with its sign
  std::int32_t colour = 0;         // fill or effect colour, 0x00BBGGRR
  std::int32_t opcode = 0;         // the operation inside the kernel
};

// A kernel: the block, two 32-bit arguments that carry single-precision floats as bit patterns,
// and one integer or address.
using KernelEntry = void (*)(KernelParams* block, std::uint32_t arg1, std::uint32_t arg2, std::intptr_t arg3);

inline std::uint32_t FloatArg(float value) {
  return std::bit_cast<std::uint32_t>(value);
}
inline float ArgFloat(std::uint32_t bits) {
  return std::bit_cast<float>(bits);
}

// Helpers the kernels share for reaching pixels. Plane k = 1, 2, 3; coordinates are 1-based,
// row 1 being the first row in the plane (the bottom row on screen).
struct PlaneGeometry {
  std::int64_t width;
  std::int64_t height;
  std::int64_t pixelCount() const { return width * height; }
  std::int64_t planeBytes() const { return pixelCount() * 4; }
};

inline PlaneGeometry GeometryOf(const KernelParams& p) {
  return {p.width, p.height};
}

inline std::uint8_t* PlanePtr(const KernelParams& p, int k) {
  return p.pixels + (k - 1) * GeometryOf(p).planeBytes();
}

inline std::uint8_t* PixelPtr(std::uint8_t* plane, std::int64_t width, std::int64_t x, std::int64_t y) {
  return plane + 4 * ((x - 1) + width * (y - 1));
}

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
