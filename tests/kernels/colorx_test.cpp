#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "kernels/kernel_store.h"
#include "kernels/sine_cosine.h"
#include "tests/support/fast_variants.h"
#include "tests/support/kernel_planes.h"

namespace asmpic {
namespace {

using testing::KernelPlanes;
using Pixel = std::array<std::uint8_t, 4>;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kBelowOne = 0.99999994f;  // the largest float below 1

enum : std::int32_t { kScatter, kRows, kColumns, kGrid, kGlow, kUp, kDown, kLeft, kRight, kFlare };

// A plane 2 of one colour (plane 1 and 3 random, to see that they stay as they are).
KernelPlanes Field(int width, int height, Pixel pixel) {
  KernelPlanes planes(width, height);
  planes.randomize(static_cast<std::uint32_t>(width * 1000 + height));
  planes.fillPlane(2, pixel);
  return planes;
}

void RunColorX(KernelPlanes& planes, std::int32_t opcode, std::int32_t amount, std::int32_t colour,
               float a = 0.9f, float b = 0.1f) {
  planes.params.opcode = opcode;
  planes.params.amount = amount;
  planes.params.colour = colour;
  ColorXKernelBaseline(&planes.params, FloatArg(a), FloatArg(b), 0);
}

// The pixels of plane 2 that differ from `pixel`, as (x, y).
std::set<std::pair<int, int>> Changed(KernelPlanes& planes, Pixel pixel) {
  std::set<std::pair<int, int>> changed;
  for (int y = 1; y <= planes.height(); ++y) {
    for (int x = 1; x <= planes.width(); ++x) {
      if (planes.pixel(2, x, y) != pixel) changed.insert({x, y});
    }
  }
  return changed;
}

// --- The faster kernel against the reference -------------------------------------------------

// The faster variants against the reference: the baseline, and the best variant once on every SIMD
// target this machine runs.
constexpr testing::KernelFamily kColorX{ColorXKernelReference, ColorXKernelBest, ColorXKernelBaseline};

class ColorXFastVariant : public ::testing::TestWithParam<testing::FastTarget> {
 protected:
  // Compares the fast variant with the reference on `planes`, then leaves the reference's result
  // in them.
  void ExpectSameAsReference(KernelPlanes& planes, float a, float b, const std::string& what) {
    ASSERT_TRUE(
        testing::FastMatchesReference(GetParam(), kColorX, planes, FloatArg(a), FloatArg(b), 0, what));
    ColorXKernelReference(&planes.params, FloatArg(a), FloatArg(b), 0);
  }
};

INSTANTIATE_TEST_SUITE_P(Variants, ColorXFastVariant, testing::FastVariants(), testing::FastVariantName);

TEST_P(ColorXFastVariant, MatchesReferenceOnRandomPlanes) {
  std::mt19937 random(9);
  const auto uniform = [&random](float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(random);
  };
  std::vector<std::pair<int, int>> sizes{{1, 1}, {2, 2}, {3, 1}, {1, 3}, {9, 9}, {13, 4}, {4, 13}};
  for (int i = 0; i < 45; ++i) sizes.emplace_back(1 + random() % 70, 1 + random() % 50);
  const std::vector<std::int32_t> amounts{
      -40, -3, -1, 0, 1, 2, 3, 6, 8, 9, 10, 17, 18, 25, 32767, std::numeric_limits<std::int32_t>::max()};
  const std::vector<std::int32_t> colours{0x000000, 0x00FFFFFF, 0x00336699, 0x7F336699, -1};
  for (auto [width, height] : sizes) {
    for (std::int32_t opcode = -1; opcode <= 10; ++opcode) {
      KernelPlanes reference(width, height);
      reference.randomize(random());
      const std::int32_t colour = colours[random() % colours.size()];
      // Plant pixels of the colour, and some one step away from it, so the scans find sources and
      // blends can make new ones.
      for (int y = 1; y <= height; ++y) {
        for (int x = 1; x <= width; ++x) {
          if (random() % 6 != 0) continue;
          const int nudge = static_cast<int>(random() % 3) - 1;
          reference.at(2, x, y, 0) = static_cast<std::uint8_t>((colour >> 16) + nudge);
          reference.at(2, x, y, 1) = static_cast<std::uint8_t>(colour >> 8);
          reference.at(2, x, y, 2) = static_cast<std::uint8_t>(colour);
        }
      }
      float a = 0.9f;
      float b = 0.1f;
      if (opcode == kScatter) {
        const std::array<float, 6> edges{0.0f, kBelowOne, 1.0f, -0.1f, kNaN, kInf};
        a = random() % 3 == 0 ? edges[random() % edges.size()] : uniform(0.0f, 1.0f);
        b = random() % 3 == 0 ? edges[random() % edges.size()] : uniform(0.0f, 1.0f);
      } else if (opcode == kFlare) {
        a = uniform(-20.0f, width + 20.0f);
        b = uniform(-20.0f, height + 20.0f);
        if (random() % 8 == 0) a = random() % 2 ? kNaN : 1e30f;
      } else if (random() % 3 == 0) {
        a = uniform(-0.2f, 1.2f);
        b = uniform(-0.1f, 0.4f);
      }
      reference.params.opcode = opcode;
      reference.params.amount =
          opcode == kFlare && random() % 2 ? 1 + random() % 3 : amounts[random() % amounts.size()];
      reference.params.colour = colour;
      ExpectSameAsReference(
          reference, a, b,
          std::to_string(width) + "x" + std::to_string(height) + " opcode " + std::to_string(opcode) +
              " amount " + std::to_string(reference.params.amount) + " colour " + std::to_string(colour) +
              " a " + std::to_string(a) + " b " + std::to_string(b));
    }
  }
}

// Glows and trails of long reach over pictures thick with sources: every ring's or distance's
// weight, down to the far negative ones, with exact rounding ties among them (0.9 - 24 * 0.1 is
// -1.5), blends that turn pixels into new sources, weights that are huge or not a number, and rows
// that end in part of a vector. Trails of reach 751 from weight -30 on reach weights below -64,
// which no fixed-point form follows; their sources are sparse and stay so (such blends give 0 or
// 255), so every blend shows in the result.
TEST_P(ColorXFastVariant, GlowsAndTrailsOfLongReachMatchReference) {
  struct Case {
    int width, height;
    std::int32_t amount;
    float a, b;
    int sourceEvery;  // one pixel in this many has the colour
  };
  const Case cases[] = {
      {120, 110, 100, 0.9f, 0.1f, 7},    {73, 69, 60, 0.9f, 0.1f, 1},    {61, 80, 50, 0.9f, 0.1f, 3},
      {90, 90, 40, 0.7f, 0.013f, 2},     {40, 40, 20, 1e20f, 3.0f, 2},   {40, 40, 20, kNaN, 0.1f, 2},
      {40, 40, 20, 0.9f, kInf, 2},       {35, 37, 12, -0.9f, -0.25f, 4}, {1920, 1080, 6, 0.9f, 0.1f, 500},
      {803, 9, 800, 0.9f, 0.1f, 7},      {9, 805, 800, 0.9f, 0.1f, 7},   {1503, 11, 1500, -30.0f, 0.1f, 97},
      {11, 1505, 1500, -30.0f, 0.1f, 97}};
  std::mt19937 random(17);
  for (const Case& c : cases)
    for (const std::int32_t opcode : {kGlow, kUp, kDown, kLeft, kRight}) {
      KernelPlanes planes(c.width, c.height);
      planes.randomize(random());
      const std::int32_t colour = 0x00204060;
      for (int y = 1; y <= c.height; ++y) {
        for (int x = 1; x <= c.width; ++x) {
          if (random() % c.sourceEvery == 0)
            planes.setPixel(2, x, y, {0x20, 0x40, 0x60, 9});  // blue, green, red
        }
      }
      planes.params.opcode = opcode;
      planes.params.amount = c.amount;
      planes.params.colour = colour;
      ExpectSameAsReference(planes, c.a, c.b,
                            std::to_string(c.width) + "x" + std::to_string(c.height) + " opcode " +
                                std::to_string(opcode) + " amount " + std::to_string(c.amount) + " a " +
                                std::to_string(c.a));
    }
}

// Flares on a full HD picture: about a centre inside, on an edge, outside and just inside a
// corner, from a few rings to more than the picture holds, and an odd factor per ring.
TEST_P(ColorXFastVariant, FlaresOnAFullHdPictureMatchReference) {
  KernelPlanes start(1920, 1080);
  start.randomize(23);
  const std::array<std::pair<float, float>, 4> centres{
      {{960.5f, 540.25f}, {0.0f, 1080.0f}, {-300.7f, 2000.3f}, {1919.6f, 1.4f}}};
  for (const auto& [a, b] : centres)
    for (const std::int32_t amount : {1, 13, 120}) {
      KernelPlanes planes(start);
      planes.params.opcode = kFlare;
      planes.params.amount = amount;
      planes.params.colour = 0x00A0B0C0;
      ExpectSameAsReference(
          planes, a, b,
          "centre " + std::to_string(a) + ", " + std::to_string(b) + " amount " + std::to_string(amount));
    }
}

// Every opcode, small and zero amounts, pictures smaller than the reach, pixels that all match:
// nothing outside plane 2 and no byte 3 may change (the sanitizer build also watches the memory).
TEST(ColorXKernelBaseline, StaysInsidePlaneTwoAndKeepsByteThree) {
  const std::vector<std::pair<int, int>> sizes{{1, 1}, {2, 1}, {1, 2}, {3, 3}, {5, 2}, {2, 5}, {9, 9}};
  for (auto [width, height] : sizes) {
    for (std::int32_t opcode = 0; opcode <= 9; ++opcode) {
      for (std::int32_t amount : {-32768, -5, -1, 0, 1, 2, 3, 18, 32767}) {
        for (bool reference : {false, true}) {
          KernelPlanes planes(width, height);
          planes.randomize(static_cast<std::uint32_t>(opcode * 100 + amount));
          for (int y = 1; y <= height; ++y) {
            for (int x = 1; x <= width; ++x)
              planes.setPixel(2, x, y, {0x66, 0x33, 0x11, static_cast<std::uint8_t>(x)});
          }
          const auto before = planes.bytes;
          planes.params = {width, height, planes.bytes.data(), nullptr, amount, 0x113366, opcode};
          const float a = opcode == kFlare ? width / 2.0f : 0.5f;
          const float b = opcode == kFlare ? height / 2.0f : 0.1f;
          (reference ? ColorXKernelReference : ColorXKernelBaseline)(&planes.params, FloatArg(a), FloatArg(b),
                                                                     0);
          const std::size_t plane = planes.planeBytes();
          for (std::size_t i = 0; i < before.size(); ++i) {
            if (i >= plane && i < 2 * plane && i % 4 != 3) continue;
            ASSERT_EQ(planes.bytes[i], before[i])
                << width << "x" << height << " opcode " << opcode << " amount " << amount << " byte " << i
                << (reference ? " reference" : "");
          }
          const bool paintsOrFlares = (opcode >= kRows && opcode <= kGrid) || opcode == kFlare;
          if (paintsOrFlares && amount <= 0) {
            EXPECT_EQ(planes.bytes, before) << opcode << " amount " << amount;
          }
        }
      }
    }
  }
}

// --- Painting -----------------------------------------------------------------------------------

constexpr Pixel kGrey{200, 200, 200, 9};
constexpr std::int32_t kRed = 0x0000FF;
constexpr Pixel kRedPixel{0, 0, 255, 9};

TEST(ColorXPaint, DotsLandInsideFromZeroToAlmostOne) {
  auto planes = Field(4, 3, kGrey);
  RunColorX(planes, kScatter, 1, kRed, 0.0f, 0.0f);
  RunColorX(planes, kScatter, 1, kRed, kBelowOne, kBelowOne);
  RunColorX(planes, kScatter, 1, kRed, 0.5f, 0.5f);  // 0.5 * 4 + 1 = 3, 0.5 * 3 + 1 = 2.5, to the even 2
  EXPECT_EQ(Changed(planes, kGrey), (std::set<std::pair<int, int>>{{1, 1}, {4, 3}, {3, 2}}));
  EXPECT_EQ(planes.pixel(2, 4, 3), kRedPixel);
}

TEST(ColorXPaint, LineAndGridSpacing) {
  auto rows = Field(3, 25, kGrey);
  RunColorX(rows, kRows, 10, kRed);
  EXPECT_EQ(Changed(rows, kGrey),
            (std::set<std::pair<int, int>>{
                {1, 25}, {2, 25}, {3, 25}, {1, 15}, {2, 15}, {3, 15}, {1, 5}, {2, 5}, {3, 5}}));
  auto columns = Field(7, 2, kGrey);
  RunColorX(columns, kColumns, 3, kRed);
  EXPECT_EQ(Changed(columns, kGrey),
            (std::set<std::pair<int, int>>{{7, 1}, {4, 1}, {1, 1}, {7, 2}, {4, 2}, {1, 2}}));
  auto grid = Field(7, 25, kGrey);
  RunColorX(grid, kGrid, 10, kRed);
  EXPECT_EQ(Changed(grid, kGrey), (std::set<std::pair<int, int>>{{7, 25}, {7, 15}, {7, 5}}));
  for (std::int32_t opcode : {kRows, kColumns, kGrid}) {
    auto whole = Field(5, 4, kGrey);
    RunColorX(whole, opcode, 1, kRed);
    EXPECT_EQ(Changed(whole, kRedPixel).size(), 0u) << opcode;
  }
}

TEST(ColorXPaint, TopByteColoursPaintTheirLowBytes) {
  auto planes = Field(3, 3, kGrey);
  RunColorX(planes, kRows, 1, 0x7F112233);
  EXPECT_EQ(planes.pixel(2, 2, 2), (Pixel{0x11, 0x22, 0x33, 9}));
}

// --- Glow and trails ------------------------------------------------------------------------------

constexpr std::int32_t kBlack = 0;
constexpr Pixel kBlackPixel{0, 0, 0, 9};

// The reach (Amount + 2) div 2, with 5 made 4, seen as the length of a trail.
TEST(ColorXTint, ReachTable) {
  const std::vector<std::pair<std::int32_t, int>> table{{1, 1}, {2, 2}, {3, 2}, {4, 3},  {5, 3},  {6, 4},
                                                        {7, 4}, {8, 4}, {9, 4}, {10, 6}, {11, 6}, {12, 7}};
  for (auto [amount, reach] : table) {
    auto planes = Field(20, 1, kGrey);
    planes.setPixel(2, 1, 1, kBlackPixel);
    RunColorX(planes, kRight, amount, kBlack);
    std::set<std::pair<int, int>> expected{{1, 1}};
    for (int x = 2; x <= reach + 1; ++x) expected.insert({x, 1});
    EXPECT_EQ(Changed(planes, kGrey), expected) << "amount " << amount;
  }
}

// Around a black pixel on grey 200 with r = 4: rings 4, 3, 2, 1 keep 0.9, 0.8, 0.7, 0.6 of 200.
TEST(ColorXTint, GlowWeightsByRing) {
  auto planes = Field(11, 11, kGrey);
  planes.setPixel(2, 6, 6, kBlackPixel);
  RunColorX(planes, kGlow, 6, kBlack);
  const std::array<int, 6> byRing{0, 120, 140, 160, 180, 200};
  for (int y = 1; y <= 11; ++y) {
    for (int x = 1; x <= 11; ++x) {
      const int ring = std::max(std::abs(x - 6), std::abs(y - 6));
      const auto v = static_cast<std::uint8_t>(byRing[std::min(ring, 5)]);
      EXPECT_EQ(planes.pixel(2, x, y), (Pixel{v, v, v, 9})) << x << ", " << y;
    }
  }
}

TEST(ColorXTint, GlowNeedsRoomForItsReach) {
  auto small = Field(8, 9, kGrey);  // r = 4 needs more than 8 columns
  small.setPixel(2, 5, 5, kBlackPixel);
  RunColorX(small, kGlow, 6, kBlack);
  EXPECT_EQ(Changed(small, kGrey).size(), 1u);
  auto edge = Field(9, 9, kGrey);  // a source near the edge glows only when its square fits
  edge.setPixel(2, 4, 5, kBlackPixel);
  edge.setPixel(2, 5, 5, kBlackPixel);
  RunColorX(edge, kGlow, 6, kBlack);
  EXPECT_EQ(edge.pixel(2, 9, 9)[0], 180);  // ring 4 of (5, 5)
  EXPECT_EQ(edge.pixel(2, 1, 1)[0], 180);
}

// Trails with r = 4: the nearest pixel keeps 0.5, the farthest 0.8.
TEST(ColorXTint, TrailWeightsInEachDirection) {
  struct Case {
    std::int32_t opcode;
    int dx, dy;
  };
  for (const Case c : {Case{kUp, 0, 1}, Case{kDown, 0, -1}, Case{kLeft, -1, 0}, Case{kRight, 1, 0}}) {
    auto planes = Field(11, 11, kGrey);
    planes.setPixel(2, 6, 6, kBlackPixel);
    RunColorX(planes, c.opcode, 6, kBlack);
    std::set<std::pair<int, int>> expected{{6, 6}};
    for (int n = 1; n <= 4; ++n) {
      const auto v = static_cast<std::uint8_t>(80 + 20 * n);
      EXPECT_EQ(planes.pixel(2, 6 + n * c.dx, 6 + n * c.dy), (Pixel{v, v, v, 9})) << c.opcode << " n " << n;
      expected.insert({6 + n * c.dx, 6 + n * c.dy});
    }
    EXPECT_EQ(Changed(planes, kGrey), expected) << c.opcode;
  }
}

// A source closer to the edge than the reach starts no trail; one just far enough reaches the edge.
TEST(ColorXTint, TrailsStopAtTheEdges) {
  struct Case {
    std::int32_t opcode;
    std::pair<int, int> tooClose, farEnough, edgePixel;
  };
  const std::vector<Case> cases{{kRight, {6, 2}, {5, 4}, {7, 4}},
                                {kLeft, {2, 2}, {3, 4}, {1, 4}},
                                {kUp, {2, 6}, {4, 5}, {4, 7}},
                                {kDown, {2, 2}, {4, 3}, {4, 1}}};
  for (const auto& c : cases) {
    auto planes = Field(7, 7, kGrey);
    planes.setPixel(2, c.tooClose.first, c.tooClose.second, kBlackPixel);
    planes.setPixel(2, c.farEnough.first, c.farEnough.second, kBlackPixel);
    RunColorX(planes, c.opcode, 2, kBlack);  // r = 2
    EXPECT_EQ(Changed(planes, kGrey).size(), 4u) << c.opcode;
    EXPECT_EQ(planes.pixel(2, c.edgePixel.first, c.edgePixel.second)[0], 160) << c.opcode;
  }
}

// The scans work in place: a pixel a trail turns into the colour starts a trail of its own when the
// scan reaches it later (to the right), but not when the scan has passed it (to the left).
TEST(ColorXTint, TintedPixelsBecomeSourcesAheadOfTheScan) {
  constexpr Pixel kField{0, 0, 200, 9};
  constexpr std::int32_t kRed100 = 100;
  auto right = Field(12, 1, kField);
  right.setPixel(2, 1, 1, {0, 0, 100, 9});
  right.setPixel(2, 2, 1, {0, 0, 101, 9});  // 0.3 * 101 + 0.7 * 100 rounds to 100
  RunColorX(right, kRight, 10, kRed100);    // r = 6
  EXPECT_EQ(right.pixel(2, 2, 1)[2], 100);
  EXPECT_EQ(right.pixel(2, 8, 1)[2], 180);  // reached only by the trail of pixel 2

  auto left = Field(12, 1, kField);
  left.setPixel(2, 12, 1, {0, 0, 100, 9});
  left.setPixel(2, 11, 1, {0, 0, 101, 9});
  RunColorX(left, kLeft, 10, kRed100);
  EXPECT_EQ(left.pixel(2, 11, 1)[2], 100);
  EXPECT_EQ(left.pixel(2, 5, 1)[2], 200);
}

// With r = 10 the nearest weight is about -0.1: 255 * -0.1 + 10 * 1.1 is below 0 and becomes 0.
TEST(ColorXTint, NegativeBlendsBecomeZero) {
  auto planes = Field(12, 1, {255, 255, 255, 9});
  planes.setPixel(2, 12, 1, {0, 0, 10, 9});
  RunColorX(planes, kLeft, 18, 10);
  EXPECT_EQ(planes.pixel(2, 11, 1), (Pixel{0, 0, 0, 9}));
  EXPECT_EQ(planes.pixel(2, 2, 1), (Pixel{204, 204, 206, 9}));  // the farthest: 0.8 * 255 + 0.2 * (0, 0, 10)
}

TEST(ColorXTint, NoMatchingPixelNoChange) {
  for (std::int32_t opcode = kGlow; opcode <= kRight; ++opcode) {
    auto planes = Field(9, 9, kGrey);
    planes.setPixel(2, 5, 5, {0x33, 0x22, 0x11, 9});
    const auto before = planes.bytes;
    RunColorX(planes, opcode, 1, 0x112233);    // blue 0x11 is not the pixel's blue 0x33
    RunColorX(planes, opcode, 1, 0x7F332211);  // the low bytes match, the top byte does not
    EXPECT_EQ(planes.bytes, before) << opcode;
  }
}

// --- Flare ---------------------------------------------------------------------------------------

TEST(ColorXFlare, RimFactorIsOneAndReachIsTheRadius) {
  auto planes = Field(101, 101, {100, 100, 100, 9});
  RunColorX(planes, kFlare, 1, kRed, 51.0f, 30.0f);  // R = 24 about column 51, buffer row 101 - 30 = 71
  // 23 pixels up the column, ring 23 (f = 2 - 23/24) visits at 1 and 359 degrees (0 is never
  // visited); 23 pixels down, at 179, 180 and 181 degrees. Only ring 24 (f = 1) reaches 24 away.
  EXPECT_EQ(planes.pixel(2, 51, 94), (Pixel{108, 108, 108, 9}));  // 100 -> 104 -> 108
  EXPECT_EQ(planes.pixel(2, 51, 48), (Pixel{112, 112, 112, 9}));  // 100 -> 104 -> 108 -> 112
  EXPECT_EQ(planes.pixel(2, 51, 95), (Pixel{100, 100, 100, 9}));
  EXPECT_EQ(planes.pixel(2, 51, 47), (Pixel{100, 100, 100, 9}));
  EXPECT_EQ(planes.pixel(2, 51, 71), (Pixel{100, 100, 100, 9}));  // the centre itself is never visited
  for (int y = 1; y <= 101; ++y) {
    for (int x = 1; x <= 101; ++x) {
      if (std::hypot(x - 51.0, y - 71.0) > 25.0) {
        ASSERT_EQ(planes.pixel(2, x, y)[0], 100) << x << ", " << y;
      }
    }
  }
  // Next to the centre the channels overflow and take the colour's.
  EXPECT_EQ(planes.pixel(2, 51, 72)[2], 255);
}

TEST(ColorXFlare, OverflowUsesOnlyTheColoursLowBytes) {
  auto plain = Field(40, 40, {150, 90, 200, 9});
  auto topByte = Field(40, 40, {150, 90, 200, 9});
  auto other = Field(40, 40, {150, 90, 200, 9});
  RunColorX(plain, kFlare, 1, 0x00123456, 20.0f, 20.0f);
  RunColorX(topByte, kFlare, 1, 0x7F123456, 20.0f, 20.0f);
  RunColorX(other, kFlare, 1, 0x00123457, 20.0f, 20.0f);
  EXPECT_EQ(topByte.planeCopy(2), plain.planeCopy(2));
  EXPECT_NE(other.planeCopy(2), plain.planeCopy(2));
}

// A centre column in [1, 2) whose coordinate for one ring up to `rings` and one angle lies within
// 2^-36 of a half, closer than any C library's sine can settle: the kernels must round the exact
// sine there.
float CentreOnAHalf(int rings) {
  const double degree = static_cast<float>(std::acos(-1.0) / 180.0);
  for (int t = 1; t <= 359; ++t) {
    for (int k = 1; k <= rings; ++k) {
      const double s = k * std::sin(t * degree);
      const double half = std::floor(s) + 0.5;
      const auto a = static_cast<float>(half - s + (half - s < 1.0 ? 1.0 : 0.0));
      const double c = a + s;
      if (std::abs(c - (std::floor(c) + 0.5)) < 0x1p-36) return a;
    }
  }
  return 1.0f;
}

// Every ring of a radius larger than the picture, visited one by one with the exactly rounded sines
// and cosines, gives what the kernel gives (the kernel skips the rings that lie wholly outside the
// picture), for the reference and the faster kernel.
TEST(ColorXFlare, AllRingsVisitedGiveTheSameResult) {
  constexpr int kWidth = 30, kHeight = 20, kAmount = 5;
  const int rings = 24 * kAmount;
  const std::vector<std::pair<float, float>> centres{
      {15.0f, 10.0f}, {-12.5f, 4.0f}, {40.0f, -9.0f}, {1.0f, 20.0f}, {CentreOnAHalf(rings), 10.0f}};
  const double degree = static_cast<float>(std::acos(-1.0) / 180.0);
  std::array<double, 360> sines, cosines;
  for (int t = 1; t <= 359; ++t) {
    sines[t] = ExactSine(t * degree);
    cosines[t] = ExactCosine(t * degree);
  }
  for (auto [a, b] : centres) {
    const auto check = [&](KernelEntry kernel, const std::string& which) {
      auto planes = Field(kWidth, kHeight, {90, 140, 30, 9});
      KernelPlanes expected(planes);
      planes.params.opcode = kFlare;
      planes.params.amount = kAmount;
      planes.params.colour = 0x00405060;
      kernel(&planes.params, FloatArg(a), FloatArg(b), 0);
      const std::array<std::uint8_t, 3> colour{0x40, 0x50, 0x60};
      for (int k = 1; k <= rings; ++k) {
        const auto f = static_cast<float>(2.0 - static_cast<double>(k) / rings);
        for (int t = 359; t >= 1; --t) {
          const double x = std::nearbyint(a + k * sines[t]);
          const double y = std::nearbyint((kHeight - static_cast<double>(b)) + k * cosines[t]);
          if (x < 1 || x > kWidth || y < 1 || y > kHeight) continue;
          for (int c = 0; c < 3; ++c) {
            std::uint8_t& p = expected.at(2, static_cast<int>(x), static_cast<int>(y), c);
            const double v = std::nearbyint(p * static_cast<double>(f));
            p = v > 255 ? colour[c] : static_cast<std::uint8_t>(v);
          }
        }
      }
      EXPECT_EQ(planes.bytes, expected.bytes) << which << " at " << a << ", " << b;
    };
    check(ColorXKernelReference, "reference");
    check(ColorXKernelBaseline, "baseline");
    testing::ForEachSimdTarget([&](const std::string& target) { check(ColorXKernelBest, target); });
  }
}

}  // namespace
}  // namespace asmpic
