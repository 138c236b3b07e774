// The magnify kernels on bare planes.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "kernels/kernel_store.h"
#include "tests/support/fast_variants.h"
#include "tests/support/kernel_planes.h"
#include "tests/support/resample_testing.h"
#include "tests/support/simd_targets.h"

namespace asmpic {
namespace {

using namespace testing;  // the resample suites' planes, mappings and sweep

constexpr int kNearest = 0, kSmoothed = 1;
constexpr std::int32_t kMaxTenths = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMinTenths = std::numeric_limits<std::int32_t>::min();

class MagnifyKernelTest : public ::testing::TestWithParam<KernelEntry> {
 protected:
  void Magnify(KernelPlanes& planes, std::int32_t tenths, float centreX, float centreY) {
    GetParam()(&planes.params, FloatArg(centreX), FloatArg(centreY), tenths);
  }
};

TEST_P(MagnifyKernelTest, FactorOneNearestCopiesTheUndoPlane) {
  for (const auto& [w, h] : {std::pair{7, 5}, std::pair{6, 4}, std::pair{1, 1}}) {
    for (const float cx : {0.0f, 3.0f, 2.7f, -40.5f}) {
      KernelPlanes planes = RandomPlanes(w, h, 40, kNearest);
      Magnify(planes, 10, cx, 1.3f);
      EXPECT_TRUE(Plane2Is(planes, 3,
                           [](int x, int y) {
                             return Source{{x, y}};
                           }))
          << w << "x" << h << " cx " << cx;
    }
  }
}

TEST_P(MagnifyKernelTest, FactorOneSmoothedFillsWhereTheHalfRoundsOutOfRange) {
  // u = x exactly, and round(x - 0.5) goes to the even neighbour: column 1 and row 1 always
  // fill, column W (row H) when W (H) is even; every other pixel keeps its value.
  for (const auto& [w, h] :
       {std::pair{6, 5}, std::pair{5, 6}, std::pair{7, 7}, std::pair{2, 2}, std::pair{1, 1}}) {
    KernelPlanes planes = RandomPlanes(w, h, 41, kSmoothed);
    Magnify(planes, 10, w / 2, h / 2);
    EXPECT_TRUE(Plane2Is(planes, 3, testing::SmoothedIdentity(w, h))) << w << "x" << h;
  }
}

TEST_P(MagnifyKernelTest, FactorTwoAboutTheDefaultCentreOfOneHundredSquare) {
  // Destination (x, y) reads source (round(50 + (x - 50) / 2), ...), halves to even.
  const auto half = [](int x) {
    const int twice = x + 50, whole = twice / 2;
    return twice % 2 == 0 || whole % 2 == 0 ? whole : whole + 1;
  };
  KernelPlanes planes = RandomPlanes(100, 100, 42, kNearest);
  Magnify(planes, 20, 50, 50);
  EXPECT_TRUE(Plane2Is(planes, 3, [&](int x, int y) { return Source{{half(x), half(y)}}; }));
}

TEST_P(MagnifyKernelTest, FactorHalfShrinksAndFillsTheBorder) {
  // s = 2: u = 2x - 50, inside for x = 26 .. 75.
  KernelPlanes planes = RandomPlanes(100, 100, 43, kNearest);
  Magnify(planes, 5, 50, 50);
  EXPECT_TRUE(Plane2Is(planes, 3, [](int x, int y) {
    const bool inside = x >= 26 && x <= 75 && y >= 26 && y <= 75;
    return inside ? Source{{2 * x - 50, 2 * y - 50}} : Source{};
  }));
}

TEST_P(MagnifyKernelTest, FactorMinusOneMirrorsThroughTheCentre) {
  KernelPlanes planes = RandomPlanes(6, 4, 44, kNearest);
  Magnify(planes, -10, 3, 2);
  EXPECT_TRUE(Plane2Is(planes, 3, [](int x, int y) {
    return x == 6 || y == 4 ? Source{} : Source{{6 - x, 4 - y}};
  }));
}

TEST_P(MagnifyKernelTest, ZoomOfZeroFillsPlaneTwoAndKeepsEverythingElse) {
  for (const int opcode : {kNearest, kSmoothed}) {
    KernelPlanes planes = RandomPlanes(5, 3, 45, opcode);
    const std::vector<std::uint8_t> before = planes.bytes;
    Magnify(planes, 0, 2, 1);
    EXPECT_TRUE(Plane2Is(planes, 3, testing::FillOnly));
    EXPECT_TRUE(testing::OnlyPlane2ColoursChanged(planes, before)) << "opcode " << opcode;
  }
}

TEST_P(MagnifyKernelTest, HugestZoomShowsTheCentrePixel) {
  for (const std::int32_t tenths : {kMaxTenths, kMinTenths}) {
    KernelPlanes planes = RandomPlanes(9, 7, 46, kNearest);
    Magnify(planes, tenths, 4, 3);  // buffer row 7 - 3 = 4
    EXPECT_TRUE(Plane2Is(planes, 3, [](int, int) { return Source{{4, 4}}; })) << "zoom " << tenths;
  }
}

TEST_P(MagnifyKernelTest, SmoothingKeepsAUniformPictureUniform) {
  std::mt19937 random(47);
  for (const int level : {0, 254, 255}) {
    const auto byte = static_cast<std::uint8_t>(level);
    KernelPlanes planes = testing::GreyPlanes(19, 13, 3, byte, 9, kSmoothed);
    for (int run = 0; run < 20; ++run) {
      const int tenths = static_cast<int>(random() % 61) - 30;
      Magnify(planes, tenths, static_cast<float>(random() % 25) - 3, static_cast<float>(random() % 17) - 2);
      ASSERT_TRUE(testing::Plane2IsLevelOrFill(planes, byte));
    }
  }
}

TEST_P(MagnifyKernelTest, HugeOrNonFiniteCentresMapEverythingOutside) {
  for (const float centre : {kNaN, kInf, -kInf, 1e30f, -3e9f}) {
    for (const int opcode : {kNearest, kSmoothed}) {
      KernelPlanes across = RandomPlanes(6, 5, 48, opcode);
      KernelPlanes down = across;
      Magnify(across, 15, centre, 2);
      Magnify(down, 15, 3, centre);
      EXPECT_TRUE(Plane2Is(across, 3, testing::FillOnly)) << centre << " opcode " << opcode;
      EXPECT_TRUE(Plane2Is(down, 3, testing::FillOnly)) << centre << " opcode " << opcode;
    }
  }
}

TEST_P(MagnifyKernelTest, UnknownOpcodesLeaveTheBufferAlone) {
  for (const int opcode : {-1, 2, 3}) {
    for (const std::int32_t tenths : {0, 20}) {
      KernelPlanes planes = RandomPlanes(6, 5, 49, opcode);
      const std::vector<std::uint8_t> before = planes.bytes;
      Magnify(planes, tenths, 3, 2);
      EXPECT_EQ(planes.bytes, before) << "opcode " << opcode;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Entries, MagnifyKernelTest,
                         ::testing::Values(MagnifyKernelBaseline, MagnifyKernelReference, MagnifyKernelBest),
                         testing::EntryName);

// The baseline, and the best variant on each SIMD target the processor runs, give exactly the
// reference's bytes over odd and even sizes, both opcodes, zooms from ordinary to extreme, and
// centres from ordinary to huge and non-finite.
constexpr testing::KernelFamily kMagnify{MagnifyKernelReference, MagnifyKernelBest, MagnifyKernelBaseline};

class MagnifyKernelEquivalence : public ::testing::TestWithParam<testing::FastTarget> {};

INSTANTIATE_TEST_SUITE_P(Targets, MagnifyKernelEquivalence, testing::FastVariants(),
                         testing::FastVariantName);

TEST_P(MagnifyKernelEquivalence, FastVariantsMatchTheReference) {
  EXPECT_TRUE(testing::SweepMatchesReference(GetParam(), kMagnify, 50, 4, [](std::mt19937& random, int) {
    switch (random() % 6) {
      case 0:
        return std::array{0, 1, -1, kMaxTenths, kMinTenths}[random() % 5];
      case 1:
        return static_cast<std::int32_t>(random());
      default:
        return static_cast<int>(random() % 81) - 40;
    }
  }));
}

// A large picture (see kLargeWidth), zoomed in and out about an odd centre.
TEST_P(MagnifyKernelEquivalence, LargePictureMatchesTheReference) {
  for (const auto& [opcode, zoom] :
       {std::pair{kNearest, 12}, std::pair{kSmoothed, 24}, std::pair{kSmoothed, 7}}) {
    ASSERT_TRUE(testing::LargeMatchesReference(GetParam(), kMagnify, 57, opcode, zoom, 0.5217f, 0.3083f));
  }
}

}  // namespace
}  // namespace asmpic
