// RotateKernel on bare planes, and ASM_Rotate on a headless engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "kernels/kernel_store.h"
#include "tests/support/headless_engine.h"
#include "tests/support/kernel_planes.h"

namespace asmpic {
namespace {

using testing::HeadlessEngine;
using testing::KernelPlanes;
using Pixel = std::array<std::uint8_t, 4>;

constexpr int kNearestFromUndo = 0;
constexpr int kSmoothedFromUndo = 1;
constexpr int kNearestFromSource = 2;
constexpr int kSmoothedFromSource = 3;

constexpr std::int32_t kFill = 0x00102030;  // blue 0x10, green 0x20, red 0x30
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

bool IsFill(KernelPlanes& planes, int x, int y, std::int32_t colour = kFill) {
  const auto c = static_cast<std::uint32_t>(colour);
  return planes.at(2, x, y, 0) == ((c >> 16) & 255) && planes.at(2, x, y, 1) == ((c >> 8) & 255) &&
         planes.at(2, x, y, 2) == (c & 255);
}

// Bytes 0-2 of plane 2 at (x, y) against those of plane k at (sx, sy).
::testing::AssertionResult SameColour(KernelPlanes& planes, int x, int y, int k, int sx, int sy) {
  for (int c = 0; c < 3; ++c) {
    if (planes.at(2, x, y, c) != planes.at(k, sx, sy, c)) {
      return ::testing::AssertionFailure()
             << "destination (" << x << ", " << y << ") byte " << c << " is not that of plane " << k << " ("
             << sx << ", " << sy << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

KernelPlanes RandomPlanes(int width, int height, std::uint32_t seed, int opcode) {
  KernelPlanes planes(width, height);
  planes.randomize(seed);
  planes.params.colour = kFill;
  planes.params.opcode = opcode;
  return planes;
}

// Where two buffers first differ, for a readable failure.
std::string FirstDifference(KernelPlanes& a, KernelPlanes& b) {
  for (std::size_t i = 0; i < a.bytes.size(); ++i) {
    if (a.bytes[i] == b.bytes[i]) continue;
    const std::size_t pixel = (i % a.planeBytes()) / 4;
    std::ostringstream where;
    where << "plane " << i / a.planeBytes() + 1 << " pixel (" << pixel % a.width() + 1 << ", "
          << pixel / a.width() + 1 << ") byte " << i % 4 << ": " << int{a.bytes[i]} << " vs "
          << int{b.bytes[i]};
    return where.str();
  }
  return {};
}

// --- The kernel, both the engine's entry and the reference --------------------------------------

class RotateKernelTest : public ::testing::TestWithParam<KernelEntry> {
 protected:
  // Runs the kernel under test with the angle as ASM_Rotate passes it (degrees + 360).
  void Rotate(KernelPlanes& planes, int degrees, float centreX, float centreY) {
    GetParam()(&planes.params, FloatArg(centreX), FloatArg(centreY), degrees + 360);
  }
};

TEST_P(RotateKernelTest, FullTurnCopiesTheSelectedPlane) {
  for (const auto& [opcode, from] : {std::pair{kNearestFromUndo, 3}, std::pair{kNearestFromSource, 1}}) {
    for (const auto& [w, h] : {std::pair{7, 5}, std::pair{6, 4}, std::pair{1, 1}}) {
      KernelPlanes planes = RandomPlanes(w, h, 11, opcode);
      Rotate(planes, 360, static_cast<float>(w / 2), static_cast<float>(h / 2));
      for (int y = 1; y <= h; ++y) {
        for (int x = 1; x <= w; ++x) EXPECT_TRUE(SameColour(planes, x, y, from, x, y)) << w << "x" << h;
      }
    }
  }
}

TEST_P(RotateKernelTest, HalfTurnMirrorsThroughTheDefaultCentreAndFillsTheFarEdges) {
  const int w = 6, h = 4;
  KernelPlanes planes = RandomPlanes(w, h, 12, kNearestFromSource);
  Rotate(planes, 180, w / 2, h / 2);
  for (int y = 1; y <= h; ++y) {
    for (int x = 1; x <= w; ++x) {
      if (x == w || y == h) {
        EXPECT_TRUE(IsFill(planes, x, y)) << x << ", " << y;
      } else {
        EXPECT_TRUE(SameColour(planes, x, y, 1, w - x, h - y));
      }
    }
  }
}

TEST_P(RotateKernelTest, QuarterTurnOfFourByFour) {
  KernelPlanes planes = RandomPlanes(4, 4, 13, kNearestFromSource);
  Rotate(planes, 90, 2, 2);
  for (int x = 1; x <= 4; ++x) EXPECT_TRUE(IsFill(planes, x, 4)) << "top row on screen, x " << x;
  // Source column 3 runs along the bottom row, bottom to top as the row runs left to right.
  for (int x = 1; x <= 4; ++x) EXPECT_TRUE(SameColour(planes, x, 1, 1, 3, x));
  for (int y = 1; y <= 3; ++y) {
    for (int x = 1; x <= 4; ++x) EXPECT_TRUE(SameColour(planes, x, y, 1, 4 - y, x));
  }
}

TEST_P(RotateKernelTest, QuarterTurnsAboutTheMiddlePixelAreClockwiseAndFourGiveThePictureBack) {
  // 5 x 5 about pixel (3, 3): centre y 2 counts from the top, so buffer row 5 - 2 = 3.
  KernelPlanes planes = RandomPlanes(5, 5, 14, kNearestFromUndo);
  KernelPlanes start = planes;
  for (int turn = 1; turn <= 4; ++turn) {
    std::copy_n(planes.plane(3), planes.planeBytes(), planes.plane(2));  // keep byte 3 in step
    Rotate(planes, 90, 3, 2);
    if (turn == 1) {
      // The top-left corner on screen (1, 5) goes to the top-right one (5, 5).
      EXPECT_TRUE(SameColour(planes, 5, 5, 3, 1, 5));
    }
    std::copy_n(planes.plane(2), planes.planeBytes(), planes.plane(3));
  }
  EXPECT_EQ(planes.planeCopy(3), start.planeCopy(3));
}

TEST_P(RotateKernelTest, SmoothedSamplingReachesOneColumnAndRowLessThanNearest) {
  // A full turn maps every pixel onto itself. Nearest keeps column W and row H; smoothed takes
  // ix = round(x - 0.5), a half that goes to the even neighbour, so column 1 and row 1 always fill
  // and column W (row H) fills exactly when W (H) is even.
  for (const auto& [w, h] : {std::pair{6, 5}, std::pair{5, 6}, std::pair{2, 2}, std::pair{3, 1}}) {
    KernelPlanes nearest = RandomPlanes(w, h, 15, kNearestFromSource);
    KernelPlanes smoothed = RandomPlanes(w, h, 15, kSmoothedFromSource);
    Rotate(nearest, 360, w / 2, h / 2);
    Rotate(smoothed, 360, w / 2, h / 2);
    for (int y = 1; y <= h; ++y) {
      for (int x = 1; x <= w; ++x) {
        EXPECT_TRUE(SameColour(nearest, x, y, 1, x, y));
        const bool outside = x == 1 || y == 1 || (x == w && w % 2 == 0) || (y == h && h % 2 == 0);
        if (outside) {
          EXPECT_TRUE(IsFill(smoothed, x, y)) << w << "x" << h << " at " << x << ", " << y;
        } else {
          EXPECT_TRUE(SameColour(smoothed, x, y, 1, x, y)) << w << "x" << h;
        }
      }
    }
  }
}

TEST_P(RotateKernelTest, SmoothingKeepsAUniformPictureUniform) {
  // Blends of equal bytes must give the byte back: no overflow past 255, no stray rounding.
  std::mt19937 random(16);
  for (const std::uint8_t level : {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{128}, std::uint8_t{255}}) {
    KernelPlanes planes(23, 17);
    planes.fillPlane(1, {level, level, level, 77});
    planes.params.colour = kFill;
    planes.params.opcode = kSmoothedFromSource;
    for (int run = 0; run < 20; ++run) {
      const int degrees = static_cast<int>(random() % 720) - 360;
      Rotate(planes, degrees, static_cast<float>(random() % 30), static_cast<float>(random() % 20));
      for (int y = 1; y <= 17; ++y) {
        for (int x = 1; x <= 23; ++x) {
          const Pixel p = planes.pixel(2, x, y);
          const bool uniform = p[0] == level && p[1] == level && p[2] == level;
          ASSERT_TRUE(uniform || IsFill(planes, x, y))
              << "level " << int{level} << " angle " << degrees << " at " << x << ", " << y;
        }
      }
    }
  }
}

TEST_P(RotateKernelTest, FillTakesTheLowThreeBytesOfTheColourAndKeepsByteThree) {
  for (const std::int32_t colour : {0x7F123456, static_cast<std::int32_t>(0x80123456u), 0x00123456}) {
    for (int opcode = 0; opcode <= 3; ++opcode) {
      KernelPlanes planes = RandomPlanes(5, 4, 17, opcode);
      planes.params.colour = colour;
      KernelPlanes before = planes;
      Rotate(planes, 45, 1e6f, 2);  // everything maps far outside
      for (int y = 1; y <= 4; ++y) {
        for (int x = 1; x <= 5; ++x) {
          EXPECT_EQ(planes.pixel(2, x, y), (Pixel{0x12, 0x34, 0x56, before.at(2, x, y, 3)}));
        }
      }
    }
  }
}

TEST_P(RotateKernelTest, WritesOnlyBytesZeroToTwoOfPlaneTwo) {
  std::mt19937 random(18);
  for (int opcode = 0; opcode <= 3; ++opcode) {
    KernelPlanes planes = RandomPlanes(9, 7, 19 + opcode, opcode);
    KernelPlanes before = planes;
    Rotate(planes, static_cast<int>(random() % 360), 4.5f, 3);
    EXPECT_EQ(std::vector(planes.plane(1), planes.plane(2)), std::vector(before.plane(1), before.plane(2)));
    EXPECT_EQ(planes.planeCopy(3), before.planeCopy(3));
    for (int y = 1; y <= 7; ++y) {
      for (int x = 1; x <= 9; ++x) EXPECT_EQ(planes.at(2, x, y, 3), before.at(2, x, y, 3));
    }
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
      Rotate(across, 30, centre, 2);
      KernelPlanes down = RandomPlanes(6, 5, 21, opcode);
      Rotate(down, 30, 3, centre);
      for (int y = 1; y <= 5; ++y) {
        for (int x = 1; x <= 6; ++x) {
          EXPECT_TRUE(IsFill(across, x, y)) << "centre x " << centre << " opcode " << opcode;
          EXPECT_TRUE(IsFill(down, x, y)) << "centre y " << centre << " opcode " << opcode;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Entries, RotateKernelTest, ::testing::Values(RotateKernel, RotateKernelReference),
                         [](const auto& info) { return info.index == 0 ? "Engine" : "Reference"; });

// The engine's entry makes exactly the reference's bytes, over odd and even sizes, every opcode,
// any angle, and centres from ordinary to huge and non-finite.
TEST(RotateKernelEquivalence, EngineEntryMatchesTheReference) {
  std::mt19937 random(22);
  std::vector<std::pair<int, int>> sizes = {{1, 1}, {2, 2}, {3, 1}, {1, 3}, {2, 1}, {1, 2}};
  for (int i = 0; i < 60; ++i) sizes.emplace_back(1 + random() % 70, 1 + random() % 50);
  const auto centre = [&](int extent) -> float {
    switch (random() % 8) {
      case 0:
        return std::array{kNaN, kInf, -kInf, 1e30f, -3e9f, 1e-40f}[random() % 6];
      case 1:
        return static_cast<float>(random() % 2000) - 1000.0f;
      default:
        return std::uniform_real_distribution<float>(-1.0f, extent + 2.0f)(random);
    }
  };
  for (const auto& [w, h] : sizes) {
    for (int run = 0; run < 8; ++run) {
      KernelPlanes reference = RandomPlanes(w, h, random(), static_cast<int>(random() % 6) - 1);
      reference.params.colour = static_cast<std::int32_t>(random());
      KernelPlanes engine = reference;
      const std::int32_t angle =
          run == 0 ? static_cast<std::int32_t>(random()) : static_cast<int>(random() % 1440) - 360;
      const std::uint32_t cx = FloatArg(centre(w)), cy = FloatArg(centre(h));
      RotateKernelReference(&reference.params, cx, cy, angle);
      RotateKernel(&engine.params, cx, cy, angle);
      ASSERT_EQ(engine.bytes, reference.bytes)
          << w << "x" << h << " opcode " << reference.params.opcode << " angle " << angle << " centre "
          << ArgFloat(cx) << ", " << ArgFloat(cy) << ": " << FirstDifference(engine, reference);
    }
  }
}

// --- ASM_Rotate -----------------------------------------------------------------------------------

// A kernel that records what the engine hands it.
struct Recorded {
  int calls = 0;
  KernelParams block;
  float centreX = 0;
  float centreY = 0;
  std::intptr_t angle = 0;
};
Recorded recorded;

void RecordingRotate(KernelParams* block, std::uint32_t centreX, std::uint32_t centreY, std::intptr_t angle) {
  recorded = {recorded.calls + 1, *block, ArgFloat(centreX), ArgFloat(centreY), angle};
}

KernelStore RecordingStore() {
  KernelStore store;
  store.rotate = RecordingRotate;
  return store;
}

// The engine's buffer as bare planes, to work out what a kernel call should give.
KernelPlanes PlanesOf(const clsASMpic& engine) {
  KernelPlanes planes(engine.Width(), engine.Height());
  const auto all = engine.buffer().all();
  std::copy(all.begin(), all.end(), planes.bytes.begin());
  return planes;
}

TEST(RotateMethod, UnboundEngineOnlyReportsTheMissingBox) {
  for (const std::int16_t angle : {std::int16_t{0}, std::int16_t{90}}) {
    recorded = {};
    HeadlessEngine h(8, 6, 0, RecordingStore());
    h.engine.ASM_Rotate(angle);
    ASSERT_EQ(h.runtime.messages.size(), 1u) << "angle " << angle;
    EXPECT_EQ(h.runtime.messages[0].prompt, messages::kNoPictureBox);
    EXPECT_EQ(recorded.calls, 0);
  }
}

TEST(RotateMethod, ZeroDegreesChangesNothingNotEvenTheUndoCopy) {
  HeadlessEngine h(8, 6);
  h.BindRandom(30);
  h.engine.ASM_Rotate(30);  // plane 2 now differs from plane 3
  const std::vector<std::uint8_t> before(h.engine.buffer().all().begin(), h.engine.buffer().all().end());
  const int refreshes = h.box->refreshes;
  h.engine.ASM_Rotate(0, true, false, 0x123456, 1.0, 1.0);
  EXPECT_TRUE(std::ranges::equal(h.engine.buffer().all(), before));
  EXPECT_EQ(h.box->refreshes, refreshes);
  EXPECT_TRUE(h.runtime.messages.empty());
}

TEST(RotateMethod, UndoCopyOnlyWhenReadingTheUndoPlane) {
  HeadlessEngine h(8, 6);
  h.BindRandom(31);
  h.engine.ASM_Rotate(30);  // from the source: plane 3 keeps the binding's copy
  EXPECT_EQ(h.plane(3), h.plane(1));
  const std::vector<std::uint8_t> turned = h.plane(2);
  KernelPlanes expected = PlanesOf(h.engine);
  std::copy(turned.begin(), turned.end(), expected.plane(3));
  expected.params.colour = h.box->BackColor();
  expected.params.opcode = kNearestFromUndo;
  RotateKernelReference(&expected.params, FloatArg(4), FloatArg(3), 45 + 360);

  const int refreshes = h.box->refreshes;
  h.engine.ASM_Rotate(45, false, false);
  EXPECT_EQ(h.plane(3), turned);
  EXPECT_EQ(h.plane(2), expected.planeCopy(2));
  EXPECT_EQ(h.box->refreshes, refreshes + 1);
}

TEST(RotateMethod, ReadingTheUndoPlaneWithAutoDrawOffUsesItsLastCopy) {
  HeadlessEngine h(9, 7);
  h.BindRandom(32);
  h.engine.ASM_Rotate(90);
  h.engine.AutoDraw(false);  // copies plane 2 (the quarter turn) into plane 3
  h.engine.ASM_Rotate(45);   // shows another picture, plane 3 untouched
  const std::vector<std::uint8_t> undo = h.plane(3);
  KernelPlanes expected = PlanesOf(h.engine);
  expected.params.colour = h.box->BackColor();
  expected.params.opcode = kNearestFromUndo;
  RotateKernelReference(&expected.params, FloatArg(4), FloatArg(3), 10 + 360);

  const int refreshes = h.box->refreshes;
  h.engine.ASM_Rotate(10, false, false);
  EXPECT_EQ(h.plane(3), undo);
  EXPECT_EQ(h.plane(2), expected.planeCopy(2));
  EXPECT_EQ(h.box->refreshes, refreshes);
}

TEST(RotateMethod, FillsTheFrame) {
  HeadlessEngine h(7, 5, 0x00ABCDEF, RecordingStore());
  h.BindRandom(33);
  struct Case {
    bool antiAlias, sourcePic;
    int opcode;
  };
  for (const Case c :
       {Case{false, false, 0}, Case{true, false, 1}, Case{false, true, 2}, Case{true, true, 3}}) {
    h.engine.ASM_Rotate(10, c.antiAlias, c.sourcePic);
    EXPECT_EQ(recorded.block.opcode, c.opcode);
    EXPECT_EQ(recorded.block.colour, 0x00ABCDEF);  // -1: the box's BackColor
    EXPECT_EQ(recorded.centreX, 3.0f);             // 7 div 2
    EXPECT_EQ(recorded.centreY, 2.0f);             // 5 div 2
    EXPECT_EQ(recorded.angle, 370);
  }
  h.engine.ASM_Rotate(-5, false, true, -7, 2.5, -1e300);
  EXPECT_EQ(recorded.block.colour, 0x00ABCDEF);
  EXPECT_EQ(recorded.centreX, 2.5f);
  EXPECT_EQ(recorded.centreY, -kInf);
  EXPECT_EQ(recorded.angle, 355);
  h.engine.ASM_Rotate(1, false, true, 0x7F010203);
  EXPECT_EQ(recorded.block.colour, 0x7F010203);
  EXPECT_EQ(recorded.block.amount, 0);  // never written by rotation
  EXPECT_EQ(recorded.calls, 6);
}

TEST(RotateMethod, AngleAndThreeSixtyAreSummedInSixteenBits) {
  HeadlessEngine h(7, 5, 0, RecordingStore());
  h.BindRandom(34);
  for (const auto& [angle, passed] :
       {std::pair{32767, -32409}, std::pair{32407, 32767}, std::pair{32408, -32768},
        std::pair{-32768, -32408}, std::pair{-360, 0}}) {
    h.engine.ASM_Rotate(static_cast<std::int16_t>(angle));
    EXPECT_EQ(recorded.angle, passed) << "Angle " << angle;
  }
}

TEST(RotateMethod, WrappedAngleTurnsTheWayTheKernelSeesIt) {
  HeadlessEngine h(9, 7);
  h.BindRandom(35);
  KernelPlanes wrapped = PlanesOf(h.engine);
  wrapped.params.colour = h.box->BackColor();
  wrapped.params.opcode = kNearestFromSource;
  KernelPlanes unwrapped = wrapped;
  RotateKernelReference(&wrapped.params, FloatArg(4), FloatArg(3), -32409);
  RotateKernelReference(&unwrapped.params, FloatArg(4), FloatArg(3), 32767 + 360);
  h.engine.ASM_Rotate(32767);
  EXPECT_EQ(h.plane(2), wrapped.planeCopy(2));
  EXPECT_NE(h.plane(2), unwrapped.planeCopy(2));
}

TEST(RotateMethod, DefaultColourIsTheBoxBackColor) {
  HeadlessEngine h(6, 4, 0x00336699);
  h.BindRandom(36);
  h.engine.ASM_Rotate(45, false, true, -1, 1e6);  // everything maps outside
  for (int y = 1; y <= 4; ++y) {
    for (int x = 1; x <= 6; ++x) {
      EXPECT_EQ(h.at(2, x, y, 0), 0x33);
      EXPECT_EQ(h.at(2, x, y, 1), 0x66);
      EXPECT_EQ(h.at(2, x, y, 2), 0x99);
    }
  }
}

TEST(RotateMethod, PictureWithoutPixelsNeverReachesTheKernel) {
  for (const auto& [w, h] : {std::pair{0, 5}, std::pair{5, 0}}) {
    recorded = {};
    HeadlessEngine e(w, h, 0, RecordingStore());
    e.BindRandom(37);
    ASSERT_TRUE(e.engine.bound());
    e.engine.ASM_Rotate(30, true, false);
    EXPECT_EQ(recorded.calls, 0);
    EXPECT_TRUE(e.runtime.messages.empty());
  }
}

}  // namespace
}  // namespace asmpic
