#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kernels/kernel_store.h"
#include "tests/support/fast_variants.h"
#include "tests/support/kernel_planes.h"

namespace asmpic {
namespace {

using testing::KernelPlanes;
using Pixel = std::array<std::uint8_t, 4>;

constexpr std::uint32_t kEngineSeed = 0x40000000;  // 2.0f, the seed ASM_PalEffects passes

// Runs PaletteKernelBaseline on a one-row picture of the given pixels; returns plane 2 afterwards.
std::vector<Pixel> RunOn(std::vector<Pixel> pixels, std::int32_t opcode, std::int32_t amount,
                         std::uint32_t seed = kEngineSeed) {
  KernelPlanes planes(static_cast<int>(pixels.size()), 1);
  for (std::size_t i = 0; i < pixels.size(); ++i) planes.setPixel(2, static_cast<int>(i) + 1, 1, pixels[i]);
  planes.params.opcode = opcode;
  planes.params.amount = amount;
  PaletteKernelBaseline(&planes.params, seed, 0, 4);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = planes.pixel(2, static_cast<int>(i) + 1, 1);
  return pixels;
}

Pixel RunOnPair(Pixel pixel, std::int32_t opcode, std::int32_t amount) {
  return RunOn({pixel, pixel}, opcode, amount)[0];
}

// --- The faster kernel against the reference -------------------------------------------------

// The faster variants against the reference: the baseline, and the best variant once on every SIMD
// target this machine runs.
class PaletteFastVariant : public ::testing::TestWithParam<testing::FastTarget> {
 protected:
  void ExpectSameAsReference(const KernelPlanes& start, std::uint32_t seed, const std::string& what) {
    ASSERT_TRUE(testing::FastMatchesReference(
        GetParam(), {PaletteKernelReference, PaletteKernelBest, PaletteKernelBaseline}, start, seed, 0, 4,
        what));
  }
};

INSTANTIATE_TEST_SUITE_P(Variants, PaletteFastVariant, testing::FastVariants(), testing::FastVariantName);

TEST_P(PaletteFastVariant, MatchesReferenceOnRandomPlanes) {
  std::mt19937 random(5);
  std::vector<std::pair<int, int>> sizes{{1, 1}, {2, 2}, {3, 1}, {1, 3}, {0, 4},
                                         {4, 0}, {5, 5}, {9, 1}, {33, 1}};
  for (int i = 0; i < 40; ++i) sizes.emplace_back(1 + random() % 70, 1 + random() % 50);
  const std::vector<std::int32_t> specialAmounts{0,
                                                 1,
                                                 -1,
                                                 10,
                                                 -10,
                                                 255,
                                                 256,
                                                 -256,
                                                 32767,
                                                 -32768,
                                                 0x12345678,
                                                 std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()};
  for (auto [width, height] : sizes) {
    for (std::int32_t opcode = -1; opcode <= 20; ++opcode) {
      KernelPlanes reference(width, height);
      reference.randomize(random());
      // Some uniform runs so the black/white rules find both kinds of pixel.
      if (random() % 3 == 0 && reference.planeBytes() > 0) {
        reference.fillPlane(2, random() % 2 ? Pixel{0, 0, 0, 7} : Pixel{255, 255, 255, 7});
      }
      reference.params.opcode = opcode;
      reference.params.amount = random() % 2 ? specialAmounts[random() % specialAmounts.size()]
                                             : static_cast<std::int16_t>(random());
      const std::uint32_t seed = random() % 4 == 0 ? kEngineSeed : random();
      ExpectSameAsReference(reference, seed,
                            std::to_string(width) + "x" + std::to_string(height) + " opcode " +
                                std::to_string(opcode) + " amount " +
                                std::to_string(reference.params.amount));
    }
  }
}

// A full-HD plane is split into bands on the worker pool (pair opcodes must not split a pair) and
// runs many whole vectors; pixels at the extremes of each byte test the saturation and the rules.
TEST_P(PaletteFastVariant, MatchesReferenceOnAFullHdPlane) {
  KernelPlanes start(1920, 1080);
  start.randomize(8);
  for (std::size_t i = 0; i < start.planeBytes(); i += 64)
    start.plane(2)[i] = static_cast<std::uint8_t>(i % 3 ? 0 : 255);
  // One opcode of each kind of vector code (the small sweeps above cover every opcode).
  for (const std::int32_t opcode : {1, 8, 11, 12, 13, 19}) {
    start.params.opcode = opcode;
    start.params.amount = opcode == 10 ? 3 : 0x1F0;
    ExpectSameAsReference(start, kEngineSeed, "opcode " + std::to_string(opcode));
  }
}

TEST(PaletteKernelBaseline, TouchesOnlyPlaneTwo) {
  for (std::int32_t opcode = 0; opcode <= 19; ++opcode) {
    KernelPlanes planes(7, 5);
    planes.randomize(static_cast<std::uint32_t>(opcode));
    const auto plane1 = planes.planeCopy(1);
    const auto plane3 = planes.planeCopy(3);
    planes.params.opcode = opcode;
    planes.params.amount = -3;
    PaletteKernelBaseline(&planes.params, kEngineSeed, 0, 4);
    EXPECT_EQ(planes.planeCopy(1), plane1) << opcode;
    EXPECT_EQ(planes.planeCopy(3), plane3) << opcode;
  }
}

// --- Pixel pairs --------------------------------------------------------------------------------

// A pixel each opcode changes, with an amount that changes it.
struct ChangingCase {
  std::int32_t opcode;
  Pixel pixel;
  std::int32_t amount;
};
const std::vector<ChangingCase> kChangingCases{
    {0, {100, 100, 100, 100}, 10}, {1, {100, 100, 100, 100}, 10}, {2, {100, 100, 100, 100}, 10},
    {3, {100, 100, 100, 100}, 10}, {4, {100, 100, 100, 100}, 10}, {5, {100, 100, 100, 100}, 10},
    {6, {100, 100, 100, 100}, 10}, {7, {100, 100, 100, 100}, 10}, {8, {100, 100, 100, 100}, 10},
    {9, {100, 100, 100, 100}, 10}, {10, {100, 100, 100, 100}, 5}, {11, {100, 100, 100, 100}, 1},
    {12, {10, 20, 31, 100}, 1},    {13, {1, 2, 3, 100}, 1},       {14, {250, 251, 252, 100}, 1},
    {15, {0, 0, 0, 100}, 1},       {16, {255, 255, 255, 100}, 1}, {17, {1, 2, 3, 100}, 1},
    {18, {1, 2, 3, 100}, 1},       {19, {100, 200, 100, 100}, 1},
};

bool IsPairOpcode(std::int32_t opcode) {
  return opcode <= 9 || opcode == 11;
}

TEST(PalettePairs, OddPlaneKeepsItsLastPixelUnderPairOpcodesOnly) {
  for (const auto& c : kChangingCases) {
    for (int pixels : {1, 2, 5, 6}) {
      const auto after = RunOn(std::vector<Pixel>(pixels, c.pixel), c.opcode, c.amount);
      const bool lastKept = IsPairOpcode(c.opcode) && pixels % 2 == 1;
      EXPECT_EQ(after.back() == c.pixel, lastKept) << "opcode " << c.opcode << ", " << pixels << " pixels";
      if (pixels > 1) {
        EXPECT_NE(after[pixels - 2], c.pixel) << "opcode " << c.opcode << ", " << pixels << " pixels";
      }
    }
  }
}

TEST(PalettePairs, EmptyPlaneIsLeftAlone) {
  KernelPlanes planes(0, 3);
  planes.params.opcode = 11;
  PaletteKernelBaseline(&planes.params, kEngineSeed, 0, 4);
  PaletteKernelReference(&planes.params, kEngineSeed, 0, 4);
  EXPECT_TRUE(planes.bytes.empty());
}

// --- Channel arithmetic -------------------------------------------------------------------------

TEST(PaletteChannels, RaiseAndLowerOneChannelSaturating) {
  EXPECT_EQ(RunOnPair({1, 2, 250, 9}, 0, 10), (Pixel{1, 2, 255, 9}));       // RedUp
  EXPECT_EQ(RunOnPair({1, 2, 5, 9}, 1, 10), (Pixel{1, 2, 0, 9}));           // RedDown
  EXPECT_EQ(RunOnPair({1, 250, 3, 9}, 2, 10), (Pixel{1, 255, 3, 9}));       // GreenUp
  EXPECT_EQ(RunOnPair({1, 5, 3, 9}, 3, 10), (Pixel{1, 0, 3, 9}));           // GreenDown
  EXPECT_EQ(RunOnPair({200, 2, 3, 9}, 4, 10), (Pixel{210, 2, 3, 9}));       // BlueUp
  EXPECT_EQ(RunOnPair({200, 2, 3, 9}, 5, 10), (Pixel{190, 2, 3, 9}));       // BlueDown
  EXPECT_EQ(RunOnPair({250, 2, 100, 9}, 6, 10), (Pixel{255, 12, 110, 9}));  // Brighten
  EXPECT_EQ(RunOnPair({250, 2, 100, 9}, 7, 10), (Pixel{240, 0, 90, 9}));    // Darken
  EXPECT_EQ(RunOnPair({1, 2, 3, 9}, 0, 0), (Pixel{1, 2, 3, 9}));
}

TEST(PaletteChannels, ShiftWrapsAround) {
  EXPECT_EQ(RunOnPair({250, 250, 250, 250}, 8, 10), (Pixel{4, 4, 4, 250}));
  EXPECT_EQ(RunOnPair({5, 5, 5, 5}, 9, 10), (Pixel{251, 251, 251, 5}));
}

// Amounts outside 0 ... 255 spill their higher bytes into the channels above the named one.
TEST(PaletteChannels, AmountBytesSpillIntoHigherBytes) {
  EXPECT_EQ(RunOnPair({10, 20, 30, 40}, 0, -1), (Pixel{10, 20, 255, 255}));    // RedUp -1: red and byte 3
  EXPECT_EQ(RunOnPair({10, 20, 30, 40}, 4, 0x0102), (Pixel{12, 21, 30, 40}));  // BlueUp 258
  EXPECT_EQ(RunOnPair({10, 20, 30, 40}, 3, -1), (Pixel{10, 0, 0, 0}));         // GreenDown -1
  EXPECT_EQ(RunOnPair({10, 20, 30, 40}, 8, 0x0101), (Pixel{11, 21, 31, 41}));  // ShiftUp 257
  EXPECT_EQ(RunOnPair({10, 20, 30, 40}, 5, -32768),
            (Pixel{10, 0, 0, 0}));  // BlueDown: bytes 0, 128, 255, 255
}

// --- Per-pixel rules ------------------------------------------------------------------------

TEST(PaletteRules, InvertFlipsEveryByteAndTwiceRestores) {
  const std::vector<Pixel> pixels{{0, 1, 128, 255}, {7, 200, 33, 64}};
  EXPECT_EQ(RunOn(pixels, 11, 1), (std::vector<Pixel>{{255, 254, 127, 0}, {248, 55, 222, 191}}));
  KernelPlanes planes(8, 3);
  planes.randomize(11);
  const auto before = planes.planeCopy(2);
  planes.params.opcode = 11;
  PaletteKernelBaseline(&planes.params, kEngineSeed, 0, 4);
  PaletteKernelBaseline(&planes.params, kEngineSeed, 0, 4);
  EXPECT_EQ(planes.planeCopy(2), before);
}

TEST(PaletteRules, GreyscaleIsTheTruncatedMean) {
  EXPECT_EQ(RunOn({{10, 20, 31, 77}}, 12, 1)[0], (Pixel{20, 20, 20, 77}));
  EXPECT_EQ(RunOn({{255, 255, 254, 0}}, 12, 1)[0], (Pixel{254, 254, 254, 0}));
  EXPECT_EQ(RunOn({{255, 255, 255, 0}}, 12, 1)[0], (Pixel{255, 255, 255, 0}));
}

TEST(PaletteRules, BlackAndWhiteRules) {
  const auto rule = [](std::int32_t opcode, Pixel pixel) { return RunOn({pixel}, opcode, 1)[0]; };
  EXPECT_EQ(rule(13, {24, 24, 24, 5}), (Pixel{0, 0, 0, 5}));
  EXPECT_EQ(rule(13, {25, 0, 0, 5}), (Pixel{25, 0, 0, 5}));
  EXPECT_EQ(rule(14, {249, 249, 249, 5}), (Pixel{255, 255, 255, 5}));
  EXPECT_EQ(rule(14, {248, 255, 255, 5}), (Pixel{248, 255, 255, 5}));
  EXPECT_EQ(rule(15, {0, 0, 0, 5}), (Pixel{255, 255, 255, 5}));
  EXPECT_EQ(rule(15, {0, 0, 1, 5}), (Pixel{0, 0, 1, 5}));
  EXPECT_EQ(rule(16, {255, 255, 255, 5}), (Pixel{0, 0, 0, 5}));
  EXPECT_EQ(rule(16, {255, 254, 255, 5}), (Pixel{255, 254, 255, 5}));
  EXPECT_EQ(rule(17, {255, 254, 255, 5}), (Pixel{0, 0, 0, 5}));
  EXPECT_EQ(rule(17, {255, 255, 255, 5}), (Pixel{255, 255, 255, 5}));
  EXPECT_EQ(rule(18, {0, 1, 0, 5}), (Pixel{255, 255, 255, 5}));
  EXPECT_EQ(rule(18, {0, 0, 0, 5}), (Pixel{0, 0, 0, 5}));
}

TEST(PaletteRules, ThresholdAt180) {
  const auto threshold = [](std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    return RunOn({{blue, green, red, 9}}, 19, 1)[0];
  };
  const Pixel white{255, 255, 255, 9};
  const Pixel black{0, 0, 0, 9};
  EXPECT_EQ(threshold(200, 200, 100), black);
  EXPECT_EQ(threshold(200, 100, 200), white);
  EXPECT_EQ(threshold(100, 200, 100), white);
  EXPECT_EQ(threshold(179, 179, 179), black);
  EXPECT_EQ(threshold(180, 180, 180), white);
  // The whole table: blue below the level looks at green or red, blue at or above it at red only.
  for (int bits = 0; bits < 8; ++bits) {
    const bool blueHigh = bits & 4, greenHigh = bits & 2, redHigh = bits & 1;
    const bool isWhite = blueHigh ? redHigh : (greenHigh || redHigh);
    EXPECT_EQ(threshold(blueHigh ? 180 : 179, greenHigh ? 180 : 179, redHigh ? 180 : 179),
              isWhite ? white : black)
        << bits;
  }
}

TEST(PaletteRules, UnknownOpcodesChangeNothing) {
  for (std::int32_t opcode : {20, -1, 1000, std::numeric_limits<std::int32_t>::min()}) {
    KernelPlanes planes(5, 3);
    planes.randomize(3);
    const auto before = planes.bytes;
    planes.params.opcode = opcode;
    PaletteKernelBaseline(&planes.params, kEngineSeed, 0, 4);
    EXPECT_EQ(planes.bytes, before) << opcode;
  }
}

// --- Noise --------------------------------------------------------------------------------------

// The noise generator, written out from its definition.
std::vector<int> NoiseBytes(std::uint32_t seed, int count) {
  std::vector<int> bytes;
  std::uint64_t s = seed;
  for (int i = 0; i < count; ++i) {
    const std::uint64_t m = (s * 0x11813) % (1ULL << 32);
    s = (m + 0xAB209) / 2;
    bytes.push_back(static_cast<int>(s % 256));
  }
  return bytes;
}

TEST(PaletteNoise, GeneratorFromTheEngineSeed) {
  EXPECT_EQ(NoiseBytes(kEngineSeed, 6), (std::vector<int>{4, 170, 83, 25, 242, 127}));
  // With amount 1 the offsets are round(r / 255 * 41 - 20): -19, +7, -7 for the first pixel.
  const auto after = RunOn({{100, 100, 100, 3}, {100, 100, 100, 3}}, 10, 1);
  EXPECT_EQ(after[0], (Pixel{81, 107, 93, 3}));
  EXPECT_EQ(after[1], (Pixel{84, 119, 100, 3}));
}

TEST(PaletteNoise, EveryChannelFollowsTheGenerator) {
  for (std::int32_t amount : {1, 3, -2, 12}) {
    KernelPlanes planes(13, 7);
    planes.randomize(static_cast<std::uint32_t>(amount + 100));
    const auto before = planes.planeCopy(2);
    planes.params.opcode = 10;
    planes.params.amount = amount;
    const std::uint32_t seed = 0x12345u + amount;
    PaletteKernelBaseline(&planes.params, seed, 0, 4);
    const auto r = NoiseBytes(seed, 13 * 7 * 3);
    const auto after = planes.planeCopy(2);
    for (int p = 0; p < 13 * 7; ++p) {
      for (int c = 0; c < 3; ++c) {
        const double v =
            std::nearbyint(before[4 * p + c] + r[3 * p + c] * (40.0 * amount + 1) / 255 - 20.0 * amount);
        const int expected = v >= 255 ? 255 : v <= 0 ? 0 : static_cast<int>(v);
        ASSERT_EQ(after[4 * p + c], expected) << "amount " << amount << " pixel " << p << " channel " << c;
      }
      ASSERT_EQ(after[4 * p + 3], before[4 * p + 3]);
    }
  }
}

TEST(PaletteNoise, AmountZeroRaisesByOneWhereTheByteIsHigh) {
  const auto r = NoiseBytes(kEngineSeed, 30);
  const auto after = RunOn(std::vector<Pixel>(10, {7, 7, 7, 7}), 10, 0);
  const auto top = RunOn(std::vector<Pixel>(10, {255, 255, 255, 7}), 10, 0);
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(after[i / 3][i % 3], r[i] >= 128 ? 8 : 7) << i;
    EXPECT_EQ(top[i / 3][i % 3], 255) << i;
  }
}

}  // namespace
}  // namespace asmpic
