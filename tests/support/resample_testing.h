#pragma once
// What the rotation and magnify suites share: planes with a known fill colour, a check of plane 2
// against a source mapping, and their fast-against-reference sweep.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/fast_variants.h"
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

// Planes whose plane `from` is grey `level` (byte 3: `fourth`), the rest zero, with the fill
// colour and `opcode`.
inline KernelPlanes GreyPlanes(int width, int height, int from, std::uint8_t level, std::uint8_t fourth,
                               int opcode) {
  KernelPlanes planes(width, height);
  planes.fillPlane(from, {level, level, level, fourth});
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

// Mappings for Plane2Is: every pixel the fill colour; and the identity under smoothed sampling,
// where round(x - 0.5) goes to the even neighbour, so column 1 and row 1 always fill, column W
// (row H) when W (H) is even, and every other pixel keeps its value.
inline Source FillOnly(int, int) {
  return Source{};
}
inline auto SmoothedIdentity(int width, int height) {
  return [width, height](int x, int y) {
    const bool outside =
        x == 1 || y == 1 || (x == width && width % 2 == 0) || (y == height && height % 2 == 0);
    return outside ? Source{} : Source{{x, y}};
  };
}

// Whether the kernel left every byte but bytes 0 to 2 of plane 2 as `before` held them.
inline ::testing::AssertionResult OnlyPlane2ColoursChanged(const KernelPlanes& planes,
                                                           const std::vector<std::uint8_t>& before) {
  for (std::size_t i = 0; i < before.size(); ++i) {
    const bool writable = i / planes.planeBytes() == 1 && i % 4 != 3;
    if (!writable && planes.bytes[i] != before[i]) return ::testing::AssertionFailure() << "byte " << i;
  }
  return ::testing::AssertionSuccess();
}

// Whether every pixel of plane 2 is grey `level` or the fill colour.
inline ::testing::AssertionResult Plane2IsLevelOrFill(KernelPlanes& planes, std::uint8_t level) {
  for (std::size_t i = 0; i < planes.planeBytes(); i += 4) {
    const std::uint8_t* p = planes.plane(2) + i;
    const bool uniform = p[0] == level && p[1] == level && p[2] == level;
    if (!uniform && !(p[0] == 0x10 && p[1] == 0x20 && p[2] == 0x30))
      return ::testing::AssertionFailure() << "pixel " << i / 4 << " at level " << int{level};
  }
  return ::testing::AssertionSuccess();
}

// The fast variant against the reference on four random cases for each of the smallest odd and
// even sizes and 60 random ones up to 70 x 50: random planes with an opcode from -1 to
// opcodes - 2, a random colour, third(random, run) as the third argument, and centres mostly in
// and around the picture, sometimes huge, infinite, NaN or denormal.
template <typename Third>
::testing::AssertionResult SweepMatchesReference(const FastTarget& fast, const KernelFamily& family,
                                                 std::uint32_t seed, int opcodes, Third third) {
  std::mt19937 random(seed);
  const auto centre = [&random](int extent) {
    if (random() % 8 == 0) return std::array{kNaN, kInf, -kInf, 1e30f, -3e9f, 1e-40f}[random() % 6];
    return std::uniform_real_distribution<float>(-2.0f, extent + 2.0f)(random);
  };
  std::vector<std::pair<int, int>> sizes = {{1, 1}, {2, 2}, {3, 1}, {1, 3}, {2, 1}, {1, 2}};
  for (int i = 0; i < 60; ++i) sizes.emplace_back(1 + random() % 70, 1 + random() % 50);
  for (const auto& [w, h] : sizes) {
    for (int run = 0; run < 4; ++run) {
      KernelPlanes start = RandomPlanes(w, h, random(), static_cast<int>(random() % opcodes) - 1);
      start.params.colour = static_cast<std::int32_t>(random());
      const std::int32_t arg3 = third(random, run);
      const float cx = centre(w), cy = centre(h);
      auto result =
          FastMatchesReference(fast, family, start, FloatArg(cx), FloatArg(cy), arg3,
                               std::to_string(w) + "x" + std::to_string(h) + " opcode " +
                                   std::to_string(start.params.opcode) + " argument " + std::to_string(arg3) +
                                   " centre " + std::to_string(cx) + ", " + std::to_string(cy));
      if (!result) return result;
    }
  }
  return ::testing::AssertionSuccess();
}

// The large picture of the equivalence tests: full HD, split into bands over the worker pool. Under
// the sanitizers, whose reference runs take a minute there, the smallest odd size that is still
// split into bands.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kLargeWidth = 641, kLargeHeight = 411;
#else
inline constexpr int kLargeWidth = 1920, kLargeHeight = 1080;
#endif

// The fast variant against the reference on the large picture, random, with `opcode` and the third
// argument `arg3`, about the centre at the given shares of its width and height.
inline ::testing::AssertionResult LargeMatchesReference(const FastTarget& fast, const KernelFamily& family,
                                                        std::uint32_t seed, int opcode, std::int32_t arg3,
                                                        float shareX, float shareY) {
  return FastMatchesReference(fast, family, RandomPlanes(kLargeWidth, kLargeHeight, seed, opcode),
                              FloatArg(kLargeWidth * shareX), FloatArg(kLargeHeight * shareY), arg3,
                              "opcode " + std::to_string(opcode) + " argument " + std::to_string(arg3));
}

// Names for suites instantiated over the entries (baseline, reference, best), in that order.
inline std::string EntryName(const ::testing::TestParamInfo<KernelEntry>& info) {
  constexpr std::array<const char*, 3> kNames = {"Baseline", "Reference", "Best"};
  return kNames.at(info.index);
}

}  // namespace asmpic::testing
