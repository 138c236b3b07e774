#pragma once
// What the rotation and magnify suites share: planes with a known fill colour, a check of plane 2
// against a source mapping, and the random sizes and centres of their fast-against-reference
// sweeps.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/kernel_planes.h"

namespace asmpic::testing {

using Source = std::optional<std::pair<int, int>>;  // a source pixel, or none: the fill colour

inline constexpr std::int32_t kFill = 0x00102030;  // blue 0x10, green 0x20, red 0x30
inline constexpr float kInf = std::numeric_limits<float>::infinity();
inline constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

inline KernelPlanes RandomPlanes(int width, int height, std::uint32_t seed, int opcode) {
  KernelPlanes planes(width, height);
  planes.randomize(seed);
  planes.params.colour = kFill;
  planes.params.opcode = opcode;
  return planes;
}

// Bytes 0-2 of every pixel of plane 2 against plane `from` at source(x, y), or the fill colour.
template <typename Map>
::testing::AssertionResult Plane2Is(KernelPlanes& planes, int from, Map source) {
  for (int y = 1; y <= planes.height(); ++y) {
    for (int x = 1; x <= planes.width(); ++x) {
      const Source s = source(x, y);
      for (int c = 0; c < 3; ++c) {
        const int want = s ? planes.at(from, s->first, s->second, c) : (kFill >> (16 - 8 * c)) & 255;
        if (planes.at(2, x, y, c) != want) {
          return ::testing::AssertionFailure() << "(" << x << ", " << y << ") byte " << c << " is "
                                               << int{planes.at(2, x, y, c)} << ", not " << want;
        }
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// The smallest odd and even sizes, then 60 random ones up to 70 x 50.
inline std::vector<std::pair<int, int>> SweepSizes(std::mt19937& random) {
  std::vector<std::pair<int, int>> sizes = {{1, 1}, {2, 2}, {3, 1}, {1, 3}, {2, 1}, {1, 2}};
  for (int i = 0; i < 60; ++i) sizes.emplace_back(1 + random() % 70, 1 + random() % 50);
  return sizes;
}

// A centre coordinate for a picture `extent` pixels long: mostly in and around it, sometimes huge,
// infinite, NaN or denormal.
inline float SweepCentre(std::mt19937& random, int extent) {
  if (random() % 8 == 0) return std::array{kNaN, kInf, -kInf, 1e30f, -3e9f, 1e-40f}[random() % 6];
  return std::uniform_real_distribution<float>(-2.0f, extent + 2.0f)(random);
}

// The large picture of the equivalence tests: full HD, split into bands over the worker pool. Under
// the sanitizers, whose reference runs take a minute there, the smallest odd size that is still
// split into bands.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kLargeWidth = 641, kLargeHeight = 411;
#else
inline constexpr int kLargeWidth = 1920, kLargeHeight = 1080;
#endif

// Names for suites instantiated over the entries (baseline, reference, best), in that order.
inline std::string EntryName(const ::testing::TestParamInfo<KernelEntry>& info) {
  constexpr std::array<const char*, 3> kNames = {"Baseline", "Reference", "Best"};
  return kNames.at(info.index);
}

}  // namespace asmpic::testing
