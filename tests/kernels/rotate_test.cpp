// The rotate kernels on bare planes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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

constexpr int kNearestFromUndo = 0, kNearestFromSource = 2, kSmoothedFromSource = 3;

class RotateKernelTest : public ::testing::TestWithParam<KernelEntry> {
 protected:
  // The angle goes in as ASM_Rotate passes it, degrees + 360.
  void Rotate(KernelPlanes& planes, int degrees, float centreX, float centreY) {
    GetParam()(&planes.params, FloatArg(centreX), FloatArg(centreY), degrees + 360);
  }
};

TEST_P(RotateKernelTest, FullTurnCopiesTheSelectedPlane) {
  for (const auto& [opcode, from] : {std::pair{kNearestFromUndo, 3}, std::pair{kNearestFromSource, 1}}) {
    for (const auto& [w, h] : {std::pair{7, 5}, std::pair{6, 4}, std::pair{1, 1}}) {
      KernelPlanes planes = RandomPlanes(w, h, 11, opcode);
      Rotate(planes, 360, w / 2, h / 2);
      EXPECT_TRUE(Plane2Is(planes, from, [](int x, int y) { return Source{{x, y}}; })) << w << "x" << h;
    }
  }
}

TEST_P(RotateKernelTest, HalfTurnMirrorsThroughTheDefaultCentreAndFillsTheFarEdges) {
  KernelPlanes planes = RandomPlanes(6, 4, 12, kNearestFromSource);
  Rotate(planes, 180, 3, 2);
  EXPECT_TRUE(Plane2Is(planes, 1, [](int x, int y) {
    return x == 6 || y == 4 ? Source{} : Source{{6 - x, 4 - y}};
  }));
}

TEST_P(RotateKernelTest, QuarterTurnOfFourByFourFillsTheTopRowAndLaysColumnThreeAlongTheBottom) {
  KernelPlanes planes = RandomPlanes(4, 4, 13, kNearestFromSource);
  Rotate(planes, 90, 2, 2);
  EXPECT_TRUE(Plane2Is(planes, 1, [](int x, int y) { return y == 4 ? Source{} : Source{{4 - y, x}}; }));
}

TEST_P(RotateKernelTest, QuarterTurnsAboutTheMiddlePixelAreClockwiseAndFourGiveThePictureBack) {
  // 5 x 5 about pixel (3, 3): centre y 2 counts from the top, so buffer row 5 - 2 = 3.
  KernelPlanes planes = RandomPlanes(5, 5, 14, kNearestFromUndo);
  const std::vector<std::uint8_t> start = planes.planeCopy(3);
  for (int turn = 1; turn <= 4; ++turn) {
    std::copy_n(planes.plane(3), planes.planeBytes(), planes.plane(2));  // byte 3 in step
    Rotate(planes, 90, 3, 2);
    // On screen the top-left pixel (1, 5) goes to the top-right (5, 5): clockwise.
    if (turn == 1) {
      EXPECT_TRUE(Plane2Is(planes, 3, [](int x, int y) { return Source{{6 - y, x}}; }));
    }
    std::copy_n(planes.plane(2), planes.planeBytes(), planes.plane(3));
  }
  EXPECT_EQ(planes.planeCopy(3), start);
}

TEST_P(RotateKernelTest, SmoothedSamplingReachesOneColumnAndRowLessThanNearest) {
  // A full turn maps every pixel onto itself. Nearest keeps column W and row H; smoothed takes
  // round(x - 0.5), a half that goes to the even neighbour: column 1 and row 1 always fill,
  // column W (row H) exactly when W (H) is even.
  for (const auto& [w, h] : {std::pair{6, 5}, std::pair{5, 6}, std::pair{2, 2}, std::pair{3, 1}}) {
    KernelPlanes nearest = RandomPlanes(w, h, 15, kNearestFromSource);
    KernelPlanes smoothed = RandomPlanes(w, h, 15, kSmoothedFromSource);
    Rotate(nearest, 360, w / 2, h / 2);
    Rotate(smoothed, 360, w / 2, h / 2);
    EXPECT_TRUE(Plane2Is(nearest, 1, [](int x, int y) { return Source{{x, y}}; }));
    EXPECT_TRUE(Plane2Is(smoothed, 1, testing::SmoothedIdentity(w, h))) << w << "x" << h;
  }
}

TEST_P(RotateKernelTest, SmoothingKeepsAUniformPictureUniform) {
  // Blends of equal bytes give the byte back: nothing wraps past 255 or strays in rounding.
  std::mt19937 random(16);
  for (const int level : {0, 1, 128, 255}) {
    const auto byte = static_cast<std::uint8_t>(level);
    KernelPlanes planes = testing::GreyPlanes(23, 17, 1, byte, 77, kSmoothedFromSource);
    for (int run = 0; run < 20; ++run) {
      Rotate(planes, static_cast<int>(random() % 720) - 360, random() % 30, random() % 20);
      ASSERT_TRUE(testing::Plane2IsLevelOrFill(planes, byte));
    }
  }
}

TEST_P(RotateKernelTest, WritesOnlyBytesZeroToTwoOfPlaneTwoAndFillsWithTheLowThreeBytesOfTheColour) {
  for (int opcode = 0; opcode <= 3; ++opcode) {
    KernelPlanes planes = RandomPlanes(9, 7, 17 + opcode, opcode);
    const std::vector<std::uint8_t> before = planes.bytes;
    Rotate(planes, 37 * opcode + 20, 4.5f, 3);
    ASSERT_TRUE(testing::OnlyPlane2ColoursChanged(planes, before)) << "opcode " << opcode;
    planes.params.colour = static_cast<std::int32_t>(0x80000000u) | kFill;
    Rotate(planes, 45, 1e6f, 2);  // everything maps far outside
    EXPECT_TRUE(Plane2Is(planes, 1, testing::FillOnly));
  }
}

TEST_P(RotateKernelTest, UnknownOpcodesLeaveTheBufferAlone) {
  for (const int opcode : {-1, 4, 1000}) {
    KernelPlanes planes = RandomPlanes(6, 5, 20, opcode);
    const std::vector<std::uint8_t> before = planes.bytes;
    Rotate(planes, 30, 3, 2);
    EXPECT_EQ(planes.bytes, before) << "opcode " << opcode;
  }
}

TEST_P(RotateKernelTest, HugeOrNonFiniteCentresMapEverythingOutside) {
  for (const float centre : {kNaN, kInf, -kInf, 1e30f, -1e30f, 3e9f}) {
    for (int opcode = 0; opcode <= 3; ++opcode) {
      KernelPlanes across = RandomPlanes(6, 5, 21, opcode);
      KernelPlanes down = across;
      Rotate(across, 30, centre, 2);
      Rotate(down, 30, 3, centre);
      EXPECT_TRUE(Plane2Is(across, 1, testing::FillOnly)) << centre << " opcode " << opcode;
      EXPECT_TRUE(Plane2Is(down, 1, testing::FillOnly)) << centre << " opcode " << opcode;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Entries, RotateKernelTest,
                         ::testing::Values(RotateKernelBaseline, RotateKernelReference, RotateKernelBest),
                         testing::EntryName);

// The baseline, and the best variant on each SIMD target the processor runs, give exactly the
// reference's bytes over odd and even sizes, every opcode, any angle, and centres from ordinary to
// huge and non-finite.
constexpr testing::KernelFamily kRotate{RotateKernelReference, RotateKernelBest, RotateKernelBaseline};

class RotateKernelEquivalence : public ::testing::TestWithParam<testing::FastTarget> {};

INSTANTIATE_TEST_SUITE_P(Targets, RotateKernelEquivalence, testing::FastVariants(), testing::FastVariantName);

TEST_P(RotateKernelEquivalence, FastVariantsMatchTheReference) {
  EXPECT_TRUE(testing::SweepMatchesReference(GetParam(), kRotate, 22, 6, [](std::mt19937& random, int run) {
    return run == 0 ? static_cast<std::int32_t>(random()) : static_cast<int>(random() % 1440) - 360;
  }));
}

// A large picture (see kLargeWidth): every opcode at an odd angle about an odd centre.
TEST_P(RotateKernelEquivalence, LargePictureMatchesTheReference) {
  for (int opcode = 0; opcode <= 3; ++opcode) {
    ASSERT_TRUE(testing::LargeMatchesReference(GetParam(), kRotate, 23 + opcode, opcode,
                                               360 + 37 + 86 * opcode, 0.4746f, 0.4787f));
  }
}

}  // namespace
}  // namespace asmpic
