// Neighbourhood effects: each opcode against values worked out pixel by pixel, the regions each
// one writes, the planes and bytes it must leave alone, small pictures, and the faster kernel
// against the reference.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "kernels/kernel_store.h"
#include "kernels/pixel/pixel.h"
#include "kernels/pixel/pixel_internal.h"
#include "kernels/sine_cosine.h"
#include "kernels/worker_pool.h"
#include "tests/support/fast_variants.h"
#include "tests/support/kernel_planes.h"

namespace asmpic {
namespace {

using testing::KernelPlanes;

enum class Variant { kReference, kFast, kThreeBands };

// The third argument of the neighbourhood kernels: the ripple's table (built into `table` for the
// block's size and amount), or 4.
std::intptr_t ThirdArgument(const KernelParams& params, std::vector<float>& table) {
  if (params.opcode != kPixelRipple) return 4;
  table = BuildRippleTable(params.width, params.height, params.amount);
  return reinterpret_cast<std::intptr_t>(table.data());
}

const std::uint32_t kTwo = FloatArg(2.0f), kThree = FloatArg(3.0f);

void RunKernel(KernelPlanes& planes, Variant variant, std::int32_t opcode, std::int32_t amount,
               std::int32_t colour = 0) {
  planes.params.opcode = opcode;
  planes.params.amount = amount;
  planes.params.colour = colour;
  std::vector<float> table;
  const std::intptr_t arg3 = ThirdArgument(planes.params, table);
  if (variant == Variant::kReference) PixelKernelReference(&planes.params, kTwo, kThree, arg3);
  if (variant == Variant::kFast) PixelKernelBaseline(&planes.params, kTwo, kThree, arg3);
  if (variant == Variant::kThreeBands) PixelKernelInBands(&planes.params, arg3, 3);
}

bool Inner(const KernelPlanes& planes, int x, int y) {
  return x >= 2 && x <= planes.width() - 1 && y >= 2 && y <= planes.height() - 1;
}

// colour.k of a 0x00BBGGRR colour: blue for byte 0, green for 1, red for 2.
int Component(std::int32_t colour, int k) {
  return (colour >> (16 - 8 * k)) & 0xFF;
}

class PixelKernelTest : public ::testing::TestWithParam<Variant> {
 protected:
  void Run(KernelPlanes& planes, std::int32_t opcode, std::int32_t amount, std::int32_t colour = 0) {
    RunKernel(planes, GetParam(), opcode, amount, colour);
  }
};

const char* const kVariantNames[] = {"Reference", "Fast", "ThreeBands"};

INSTANTIATE_TEST_SUITE_P(Variants, PixelKernelTest,
                         ::testing::Values(Variant::kReference, Variant::kFast, Variant::kThreeBands),
                         [](const auto& info) {
                           return std::string(kVariantNames[static_cast<int>(info.param)]);
                         });

TEST_P(PixelKernelTest, SmoothingSumsRoundedDownSharesOfEachByteOverItsPattern) {
  struct Pattern {
    int amount;
    int shift;
    std::vector<std::pair<int, int>> neighbours;
    bool needsColumns, needsRows;
    int whiteResult;
  };
  const std::vector<Pattern> patterns = {
      {1, 1, {{-1, 0}, {1, 0}}, true, false, 254},
      {2, 1, {{0, -1}, {0, 1}}, false, true, 254},
      {4, 2, {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}}, true, true, 252},
      {8, 3, {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}}, true, true, 248}};
  for (const auto& pattern : patterns) {
    SCOPED_TRACE(pattern.amount);
    KernelPlanes planes(9, 7);
    planes.randomize(pattern.amount);
    KernelPlanes before = planes;
    Run(planes, kPixelSmoothing, pattern.amount);
    for (int y = 1; y <= 7; ++y)
      for (int x = 1; x <= 9; ++x) {
        const bool written =
            (!pattern.needsColumns || (x >= 2 && x <= 8)) && (!pattern.needsRows || (y >= 2 && y <= 6));
        for (int c = 0; c < 4; ++c) {
          int expected = before.at(2, x, y, c);
          if (written) {
            expected = 0;
            for (const auto& [dx, dy] : pattern.neighbours)
              expected += before.at(3, x + dx, y + dy, c) >> pattern.shift;
          }
          ASSERT_EQ(planes.at(2, x, y, c), expected) << x << "," << y << " byte " << c;
        }
      }

    // White loses one share's rounding per neighbour; the border keeps what plane 2 held.
    planes.fillPlane(3, {255, 255, 255, 255});
    planes.fillPlane(2, {255, 255, 255, 255});
    Run(planes, kPixelSmoothing, pattern.amount);
    EXPECT_EQ(planes.at(2, 5, 4, 3), pattern.whiteResult);
    EXPECT_EQ(planes.at(2, 1, 1, 0), 255);
  }
}

TEST_P(PixelKernelTest, SmoothingWithAnotherAmountAndUnknownOpcodesWriteNothing) {
  for (const auto& [opcode, amount] : std::vector<std::pair<int, int>>{{kPixelSmoothing, 3},
                                                                       {kPixelSmoothing, 0},
                                                                       {kPixelSmoothing, -1},
                                                                       {kPixelSmoothing, 16},
                                                                       {6, 1},
                                                                       {-1, 1}}) {
    KernelPlanes planes(6, 5);
    planes.randomize(11);
    const auto bytes = planes.bytes;
    Run(planes, opcode, amount);
    EXPECT_EQ(planes.bytes, bytes) << opcode << " " << amount;
  }
}

TEST_P(PixelKernelTest, OnlyPlaneTwoChangesAndOnlySmoothingWritesByteThree) {
  for (int opcode = 1; opcode <= 5; ++opcode) {
    KernelPlanes planes(13, 11);
    planes.randomize(opcode);
    KernelPlanes before = planes;
    Run(planes, opcode, 1, 0x00FFFFFF);
    EXPECT_EQ(planes.planeCopy(1), before.planeCopy(1)) << opcode;
    EXPECT_EQ(planes.planeCopy(3), before.planeCopy(3)) << opcode;
    for (int y = 1; y <= 11; ++y)
      for (int x = 1; x <= 13; ++x) ASSERT_EQ(planes.at(2, x, y, 3), before.at(2, x, y, 3)) << opcode;

    // Plane 1 is never read: another source picture gives the same result.
    std::mt19937 random(opcode);
    for (std::size_t i = 0; i < before.planeBytes(); ++i)
      before.plane(1)[i] = static_cast<std::uint8_t>(random());
    const auto result = planes.planeCopy(2);
    Run(before, opcode, 1, 0x00FFFFFF);
    EXPECT_EQ(before.planeCopy(2), result) << opcode;
  }
}

TEST_P(PixelKernelTest, UniformPictureUnderContourEmbossAndReliefFillsTheInnerRegion) {
  const std::int32_t colour = 0x7F102030;  // the top byte plays no part
  const std::array<std::uint8_t, 4> source = {40, 90, 200, 7}, marker = {1, 2, 3, 4};
  const std::vector<std::pair<int, std::array<int, 3>>> cases = {
      {kPixelContour, {0x10, 0x20, 0x30}},  // 8b - 8b + colour
      {kPixelEmboss, {0x10, 0x20, 0x30}},   // |b - b - colour|
      {kPixelRelief, {70, 95, 150}}};       // b / 2 + 50
  for (const auto& [opcode, inner] : cases) {
    KernelPlanes planes(8, 6);
    planes.fillPlane(3, source);
    planes.fillPlane(2, marker);
    Run(planes, opcode, 1, colour);
    for (int y = 1; y <= 6; ++y)
      for (int x = 1; x <= 8; ++x) {
        const auto expected = Inner(planes, x, y)
                                  ? std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(inner[0]),
                                                                static_cast<std::uint8_t>(inner[1]),
                                                                static_cast<std::uint8_t>(inner[2]), 4}
                                  : marker;
        ASSERT_EQ(planes.pixel(2, x, y), expected) << opcode << " at " << x << "," << y;
      }
  }
}

// One bright pixel at (5, 5) in a black source shows where each filter takes its neighbours from
// and how it clamps: the impulse per channel, times the weight it gets at each destination pixel.
// Relief meets negative sums here (green -61 gives 19 and -122 gives 0; red -255 and -510 give 0,
// not the colour) and a sum above white (red 510 takes the colour).
TEST_P(PixelKernelTest, ContourEmbossAndReliefWeighTheNeighboursWhereTheyLie) {
  const std::array<int, 3> impulse = {20, 61, 255};
  const std::int32_t colour = (30 << 16) | (10 << 8) | 7;  // blue 30, green 10, red 7
  // Weight of the source pixel at (x + i, y + j) for the destination (x, y), indexed [j + 1][i + 1].
  using Weights = std::array<std::array<int, 3>, 3>;
  const Weights contour = {{{-1, -1, -1}, {-1, 8, -1}, {-1, -1, -1}}};
  const Weights emboss = {{{0, 0, 0}, {0, 1, 0}, {0, 0, -1}}};
  const Weights relief = {{{-2, -1, 0}, {-1, 1, 1}, {0, 1, 2}}};  // includes the pixel itself
  const auto finish = [](int opcode, int sum, int colourK) {
    if (opcode == kPixelContour) return std::clamp(sum + colourK, 0, 255);
    if (opcode == kPixelEmboss) return std::min(std::abs(sum - colourK), 255);
    const int v = static_cast<int>(std::floor(sum / 2.0)) + 50;  // negative sums round down too
    return v > 255 ? colourK : std::max(v, 0);
  };
  for (const auto& [opcode, weights] : std::vector<std::pair<int, Weights>>{
           {kPixelContour, contour}, {kPixelEmboss, emboss}, {kPixelRelief, relief}}) {
    KernelPlanes planes(9, 9);
    planes.fillPlane(3, {0, 0, 0, 0});
    for (int k = 0; k < 3; ++k) planes.at(3, 5, 5, k) = static_cast<std::uint8_t>(impulse[k]);
    Run(planes, opcode, 1, colour);
    for (int y = 2; y <= 8; ++y)
      for (int x = 2; x <= 8; ++x)
        for (int k = 0; k < 3; ++k) {
          const int i = 5 - x, j = 5 - y;
          const int weight = (std::abs(i) <= 1 && std::abs(j) <= 1) ? weights[j + 1][i + 1] : 0;
          ASSERT_EQ(planes.at(2, x, y, k), finish(opcode, weight * impulse[k], Component(colour, k)))
              << opcode << " at " << x << "," << y << " byte " << k;
        }
  }
}

TEST_P(PixelKernelTest, RippleTakesWholeRowsFromTheSine) {
  for (const int amount : {0, 1, -7, 30}) {
    KernelPlanes planes(5, 40);
    planes.randomize(amount + 100);
    KernelPlanes before = planes;
    Run(planes, kPixelRipple, amount);
    for (int y = 1; y <= 40; ++y) {
      float row = static_cast<float>(y + 2 * std::sin(y / 5.0) * amount);
      row = std::min(std::max(row, 1.0f), 40.0f);
      const int sy = static_cast<int>(std::nearbyint(row));
      if (amount == 0) {
        ASSERT_EQ(sy, y);
      }
      if (amount == 1 && y == 1) {
        ASSERT_EQ(sy, 1);  // 1 + 2 sin 0.2 = 1.40
      }
      for (int x = 1; x <= 5; ++x) {
        const auto s = before.pixel(3, x, sy);
        ASSERT_EQ(planes.pixel(2, x, y),
                  (std::array<std::uint8_t, 4>{s[0], s[1], s[2], before.at(2, x, y, 3)}))
            << amount << ": " << x << "," << y;
      }
    }
  }
}

TEST(RippleTable, HoldsOneEntryPerRowOrColumnWithinThePicture) {
  const auto table = BuildRippleTable(50, 20, 9);
  ASSERT_EQ(table.size(), 50u);
  for (int i = 1; i <= 50; ++i) {
    const float t = static_cast<float>(i + 2 * std::sin(i / 5.0) * 9);
    EXPECT_EQ(table[i - 1], std::min(std::max(t, 1.0f), 20.0f)) << i;
  }
  EXPECT_EQ(BuildRippleTable(3, 70, -2).size(), 70u);
}

// The twirl worked out for one pixel: plane 3 is read, plane 2 holds byte 3.
std::array<std::uint8_t, 4> TwirlPixel(KernelPlanes& planes, int x, int y, int amount, std::int32_t colour) {
  const int W = planes.width(), H = planes.height(), cx = W / 2, cy = H / 2;
  const double pi = std::numbers::pi;
  const float K = static_cast<float>(amount == 1   ? pi / 2
                                     : amount == 2 ? pi
                                     : amount == 4 ? 1.5 * pi
                                                   : 2 * pi);
  const double dx = x - cx, dy = y - cy;
  const double theta = K * std::sqrt(dx * dx + dy * dy) / std::max(W, H);
  const double c = static_cast<float>(std::cos(theta)), s = static_cast<float>(std::sin(theta));
  const double sx = std::nearbyint(dx * c - dy * s + cx);
  const double sy = std::nearbyint(dx * s + dy * c + cy);
  std::array<std::uint8_t, 4> p = {static_cast<std::uint8_t>(Component(colour, 0)),
                                   static_cast<std::uint8_t>(Component(colour, 1)),
                                   static_cast<std::uint8_t>(Component(colour, 2)), planes.at(2, x, y, 3)};
  if (sx >= 2 && sx <= W - 1 && sy >= 2 && sy <= H - 1)
    for (int k = 0; k < 3; ++k) p[k] = planes.at(3, static_cast<int>(sx), static_cast<int>(sy), k);
  return p;
}

TEST_P(PixelKernelTest, TwirlTurnsByDistanceAndFillsWhatMapsOutside) {
  const std::int32_t colour = 0x7F405060;
  for (const int amount : {1, 2, 3, 4}) {
    KernelPlanes planes(23, 17);
    planes.randomize(amount);
    KernelPlanes before = planes;
    Run(planes, kPixelTwirl, amount, colour);
    int filled = 0;
    for (int y = 1; y <= 17; ++y)
      for (int x = 1; x <= 23; ++x) {
        const auto expected = TwirlPixel(before, x, y, amount, colour);
        ASSERT_EQ(planes.pixel(2, x, y), expected) << amount << ": " << x << "," << y;
        filled += expected[0] == 0x40 && expected[1] == 0x50 && expected[2] == 0x60;
      }
    EXPECT_EQ(planes.pixel(2, 11, 8),
              (std::array<std::uint8_t, 4>{before.at(3, 11, 8, 0), before.at(3, 11, 8, 1),
                                           before.at(3, 11, 8, 2), before.at(2, 11, 8, 3)}));
    EXPECT_GT(filled, 4) << "the corners map outside";
  }
}

// Pictures below 3 x 3 under every opcode: an opcode that needs more columns or rows than the
// picture has leaves plane 2 as it was; ripple and twirl always write (twirl only its fill when
// there is no accepted source pixel). The sanitizers watch the reads.
TEST_P(PixelKernelTest, SmallPicturesStayInsideTheirPlanes) {
  for (int w = 1; w <= 4; ++w)
    for (int h = 1; h <= 4; ++h)
      for (int opcode = 0; opcode <= 5; ++opcode)
        for (const int amount : {1, 2, 4, 8, 0, -3}) {
          KernelPlanes planes(w, h);
          planes.randomize(w * 100 + h * 10 + opcode);
          KernelPlanes before = planes;
          Run(planes, opcode, amount, 0x00C0FFEE);
          EXPECT_EQ(planes.planeCopy(1), before.planeCopy(1));
          EXPECT_EQ(planes.planeCopy(3), before.planeCopy(3));
          const bool filter = opcode == kPixelContour || opcode == kPixelEmboss || opcode == kPixelRelief;
          const bool smoothing = opcode == kPixelSmoothing;
          const bool needsColumns = filter || (smoothing && amount != 2);
          const bool needsRows = filter || (smoothing && amount != 1);
          if ((needsColumns && w < 3) || (needsRows && h < 3)) {
            EXPECT_EQ(planes.planeCopy(2), before.planeCopy(2))
                << w << "x" << h << " op " << opcode << " A " << amount;
          }
          if (opcode == kPixelTwirl && (w < 3 || h < 3)) {
            for (int i = 0; i < w * h; ++i) ASSERT_EQ(planes.plane(2)[4 * i], 0xC0);
          }
        }
}

// The faster variants against the reference over many sizes and parameters: the baseline in a
// random number of bands, the best variant on every SIMD target; the first differing byte is
// reported.
class PixelFastVariant : public ::testing::TestWithParam<testing::FastTarget> {
 protected:
  // Compares the variant with the reference on `start` (its params set), the baseline in `bands`.
  void ExpectSameAsReference(const KernelPlanes& start, int bands, const std::string& what) {
    const auto inBands = [](KernelParams* block, std::uint32_t, std::uint32_t, std::intptr_t table) {
      PixelKernelInBands(block, table, bandsForBaseline);
    };
    bandsForBaseline = bands;
    std::vector<float> table;
    const std::intptr_t arg3 = ThirdArgument(start.params, table);
    ASSERT_TRUE(testing::FastMatchesReference(GetParam(), {PixelKernelReference, PixelKernelBest, inBands},
                                              start, kTwo, kThree, arg3, what));
  }
  static inline int bandsForBaseline = 1;
};

INSTANTIATE_TEST_SUITE_P(Variants, PixelFastVariant, testing::FastVariants(), testing::FastVariantName);

// Planes of the given size and random bytes, with the block's opcode, amount and colour set.
KernelPlanes Start(int width, int height, std::uint32_t seed, int opcode, int amount, std::int32_t colour) {
  KernelPlanes start(width, height);
  start.randomize(seed);
  start.params.opcode = opcode;
  start.params.amount = amount;
  start.params.colour = colour;
  return start;
}

TEST_P(PixelFastVariant, MatchesReferenceByteForByte) {
  std::mt19937 random(2024);
  std::vector<std::pair<int, int>> sizes = {{1, 1}, {2, 2}, {3, 1},  {1, 3},  {3, 3},
                                            {4, 2}, {2, 5}, {17, 3}, {70, 50}};
  for (int i = 0; i < 60; ++i) sizes.emplace_back(1 + random() % 70, 1 + random() % 50);
  const std::array<int, 9> amounts = {-1, 0, 1, 2, 3, 4, 8, 30, -32768};
  for (const auto& [w, h] : sizes)
    for (int opcode = -1; opcode <= 6; ++opcode) {
      const int amount = amounts[random() % amounts.size()];
      const auto colour = static_cast<std::int32_t>(random());
      const int bands = 1 + static_cast<int>(random() % 5);
      ExpectSameAsReference(Start(w, h, random(), opcode, amount, colour), bands,
                            std::to_string(w) + "x" + std::to_string(h) + " op " + std::to_string(opcode) +
                                " A " + std::to_string(amount) + " bands " + std::to_string(bands));
    }
}

// Full HD: the worker pool's bands, and many whole vectors per row. A row of 1920 pixels less the
// two edge pixels is no multiple of any vector, so each row ends on an overlapping vector; every
// smoothing pattern and every filter, with colours that push the filters past both clamps.
TEST_P(PixelFastVariant, MatchesReferenceOnAFullHdPicture) {
  const std::vector<std::pair<int, int>> runs = {
      {kPixelSmoothing, 1}, {kPixelSmoothing, 2}, {kPixelSmoothing, 4},
      {kPixelSmoothing, 8}, {kPixelContour, 4},   {kPixelEmboss, 4},
      {kPixelRelief, 4},    {kPixelRipple, 4},    {kPixelTwirl, 1}};
  for (const auto& [opcode, amount] : runs)
    for (const std::int32_t colour : {0x00123456, 0x7FFFFFFF}) {
      if (colour != 0x00123456 && opcode != kPixelContour && opcode != kPixelEmboss && opcode != kPixelRelief)
        continue;
      ExpectSameAsReference(Start(1920, 1080, 3, opcode, amount, colour), BandsForPixels(1920 * 1080),
                            "op " + std::to_string(opcode) + " A " + std::to_string(amount));
    }
}

// A twirl whose rows and columns reach farther from the centre than the values that a row keeps
// for the rows after it, in one band: the rows and columns beyond work their values out again.
TEST_P(PixelFastVariant, TwirlBeyondTheKeptValuesMatchesTheReference) {
  SetMaxBands(1);
  ExpectSameAsReference(Start(1601, 1601, 9, kPixelTwirl, 2, 0x00654321), 1, "twirl 1601x1601");
  SetMaxBands(0);
}

// The twirl's cosines and sines at angles whose value lies within a few ulp of a boundary between
// two floats (half way between neighbours), where a vector approximation may round the other way
// unless it falls back; and at the angles where the values are 0 or 1. The scalar SingleCosine and
// SingleSine are checked against MPFR in sine_cosine_test.
TEST(TwirlTrig, SinglePrecisionValuesEqualTheEnginesNearRoundingBoundaries) {
  std::mt19937 random(77);
  std::vector<double> angles = {0.0,
                                std::numbers::pi / 2,
                                std::numbers::pi,
                                1.5 * std::numbers::pi,
                                2 * std::numbers::pi,
                                2 * std::numbers::pi * std::numbers::sqrt2};
  for (int i = 0; i < 4000; ++i) {
    const float f = std::uniform_real_distribution<float>(-1.0f, 1.0f)(random);
    const double half = (static_cast<double>(f) + std::nextafter(f, 2.0f)) / 2;  // a rounding boundary
    angles.push_back(std::acos(half));
    angles.push_back(std::asin(half) + (i % 2 == 0 ? 0.0 : 2 * std::numbers::pi));
    angles.push_back(std::numbers::pi - std::asin(half));
  }
  const auto check = [&](const std::string& target, auto cosSin) {
    std::vector<float> cosines(angles.size()), sines(angles.size());
    cosSin(angles.data(), static_cast<std::int64_t>(angles.size()), cosines.data(), sines.data());
    for (std::size_t i = 0; i < angles.size(); ++i) {
      ASSERT_EQ(cosines[i], SingleCosine(angles[i])) << target << " cos " << angles[i];
      ASSERT_EQ(sines[i], SingleSine(angles[i])) << target << " sin " << angles[i];
    }
  };
  testing::ForEachSimdTarget([&](const std::string& target) { check(target, TwirlCosSinBest); });
  // The baseline's, from one C library call for both values.
  check("baseline", TwirlCosSinBaseline);
}

}  // namespace
}  // namespace asmpic
