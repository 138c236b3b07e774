#pragma once
// The parameter block every effect kernel reads, the kernel entry shared by all five, and the
// planes of the block's buffer.
#include <bit>
#include <cstdint>

#include "kernels/plane_view.h"

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
using Kernel = void(KernelParams* block, std::uint32_t arg1, std::uint32_t arg2, std::intptr_t arg3);
using KernelEntry = Kernel*;

inline std::uint32_t FloatArg(float value) {
  return std::bit_cast<std::uint32_t>(value);
}
inline float ArgFloat(std::uint32_t bits) {
  return std::bit_cast<float>(bits);
}

// The three planes of the buffer, each W x H x 4 bytes one after the other.
enum : int { kSourcePlane = 1, kWorkingPlane = 2, kUndoPlane = 3 };

// Plane k (kSourcePlane, kWorkingPlane or kUndoPlane) of the block's buffer.
inline PlaneView PlaneOf(const KernelParams& p, int k) {
  const std::int64_t width = p.width, height = p.height;
  return {p.pixels + (k - 1) * width * height * 4, width, height};
}

// False for an empty picture or a block without a buffer: a kernel then writes nothing.
inline bool HasPixels(const KernelParams& p) {
  return p.width > 0 && p.height > 0 && p.pixels != nullptr;
}

// The spellings the resample family (rotate, magnify) still uses; they go when it reaches its
// pixels through PlaneView too.
inline PlaneView GeometryOf(const KernelParams& p) {
  return PlaneOf(p, kSourcePlane);
}
inline std::uint8_t* PlanePtr(const KernelParams& p, int k) {
  return PlaneOf(p, k).bytes;
}
inline std::uint8_t* PixelPtr(std::uint8_t* plane, std::int64_t width, std::int64_t x, std::int64_t y) {
  return PlaneView{plane, width, 0}.at(x, y);
}

}  // namespace asmpic
