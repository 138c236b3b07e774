#pragma once
// A three-plane pixel buffer with its KernelParams, for running kernels directly in tests and
// benchmarks, without the engine or a window system.
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "kernels/kernel_params.h"

namespace asmpic::testing {

struct KernelPlanes {
  KernelPlanes(int width, int height) : bytes(static_cast<std::size_t>(width) * height * 12) {
    params.width = width;
    params.height = height;
    params.pixels = bytes.data();
  }
  // Copies keep their own bytes: the block points into this object's buffer.
  KernelPlanes(const KernelPlanes& other) : bytes(other.bytes), params(other.params) {
    params.pixels = bytes.data();
  }
  KernelPlanes& operator=(const KernelPlanes&) = delete;

  int width() const { return params.width; }
  int height() const { return params.height; }
  std::size_t planeBytes() const { return bytes.size() / 3; }
  std::uint8_t* plane(int k) { return bytes.data() + (k - 1) * planeBytes(); }
  // Byte c of pixel (x, y) of plane k, 1-based coordinates, row 1 first in the buffer.
  std::uint8_t& at(int k, int x, int y, int c) {
    return plane(k)[4 * ((x - 1) + static_cast<std::size_t>(width()) * (y - 1)) + c];
  }
  std::array<std::uint8_t, 4> pixel(int k, int x, int y) {
    return {at(k, x, y, 0), at(k, x, y, 1), at(k, x, y, 2), at(k, x, y, 3)};
  }
  void setPixel(int k, int x, int y, std::array<std::uint8_t, 4> p) {
    for (int c = 0; c < 4; ++c) at(k, x, y, c) = p[c];
  }
  std::vector<std::uint8_t> planeCopy(int k) { return {plane(k), plane(k) + planeBytes()}; }
  void fillPlane(int k, std::array<std::uint8_t, 4> p) {
    for (std::size_t i = 0; i < planeBytes(); ++i) plane(k)[i] = p[i % 4];
  }
  // Every byte of every plane random.
  void randomize(std::uint32_t seed) {
    std::mt19937 random(seed);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random() >> 24);
  }

  std::vector<std::uint8_t> bytes;
  KernelParams params;
};

// Where two buffers of the same size first differ, as "plane k pixel (x, y) byte c: got instead of
// want", or "" when they are equal. Equivalence tests report it with their parameters.
inline std::string FirstDifference(const KernelPlanes& got, const KernelPlanes& want) {
  const std::size_t planeBytes = want.planeBytes();
  for (std::size_t i = 0; i < want.bytes.size(); ++i) {
    if (got.bytes[i] == want.bytes[i]) continue;
    const std::size_t pixel = (i % planeBytes) / 4;
    const std::size_t width = static_cast<std::size_t>(want.params.width);
    return "plane " + std::to_string(i / planeBytes + 1) + " pixel (" + std::to_string(pixel % width + 1) +
           ", " + std::to_string(pixel / width + 1) + ") byte " + std::to_string(i % 4) + ": " +
           std::to_string(got.bytes[i]) + " instead of " + std::to_string(want.bytes[i]);
  }
  return "";
}

}  // namespace asmpic::testing
