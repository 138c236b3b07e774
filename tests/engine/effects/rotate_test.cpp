// ASM_Rotate on a headless engine: the frame it fills, the undo copy and the draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/messages.h"
#include "kernels/kernel_store.h"
#include "tests/support/headless_engine.h"
#include "tests/support/kernel_planes.h"
#include "tests/support/resample_testing.h"

namespace asmpic {
namespace {

using testing::HeadlessEngine;
using testing::KernelPlanes;
using testing::kInf;

constexpr int kNearestFromUndo = 0;

testing::ResampleCall& recorded = testing::recordedResample;

HeadlessEngine RecordingEngine(int width, int height, platform::Colour backColor = 0) {
  return testing::RecordingResampleEngine(width, height, backColor, &KernelStore::rotate);
}

// The engine's buffer as bare planes, for working out what a kernel call should give.
KernelPlanes PlanesOf(const HeadlessEngine& h, int opcode) {
  KernelPlanes planes(h.engine.Width(), h.engine.Height());
  std::ranges::copy(h.engine.buffer().all(), planes.bytes.begin());
  planes.params.colour = h.box->BackColor();
  planes.params.opcode = opcode;
  return planes;
}

TEST(RotateMethod, UnboundEngineOnlyReportsTheMissingBox) {
  for (const std::int16_t angle : {0, 90}) {
    HeadlessEngine h = RecordingEngine(8, 6);
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
}

TEST(RotateMethod, UndoCopyOnlyWhenReadingTheUndoPlane) {
  HeadlessEngine h(8, 6);
  h.BindRandom(31);
  h.engine.ASM_Rotate(30);
  h.engine.ASM_Rotate(60);  // from the source: plane 3 keeps the binding's copy
  EXPECT_EQ(h.plane(3), h.plane(1));
  const std::vector<std::uint8_t> turned = h.plane(2);
  KernelPlanes expected = PlanesOf(h, kNearestFromUndo);
  std::ranges::copy(turned, expected.plane(3));
  RotateKernelReference(&expected.params, FloatArg(4), FloatArg(3), 45 + 360);

  const int refreshes = h.box->refreshes;
  h.engine.ASM_Rotate(45, false, false);
  EXPECT_EQ(h.plane(3), turned);
  EXPECT_EQ(h.plane(2), expected.planeCopy(2));
  EXPECT_EQ(h.box->refreshes, refreshes + 1);
}

TEST(RotateMethod, WithAutoDrawOffReadingTheUndoPlaneUsesItsLastCopy) {
  HeadlessEngine h(9, 7);
  h.BindRandom(32);
  h.engine.ASM_Rotate(90);
  h.engine.AutoDraw(false);  // copies plane 2 (the quarter turn) into plane 3
  h.engine.ASM_Rotate(45);   // shows another picture; plane 3 untouched
  const std::vector<std::uint8_t> undo = h.plane(3);
  KernelPlanes expected = PlanesOf(h, kNearestFromUndo);
  RotateKernelReference(&expected.params, FloatArg(4), FloatArg(3), 10 + 360);

  const int refreshes = h.box->refreshes;
  h.engine.ASM_Rotate(10, false, false);
  EXPECT_EQ(h.plane(3), undo);
  EXPECT_EQ(h.plane(2), expected.planeCopy(2));
  EXPECT_EQ(h.box->refreshes, refreshes);
}

TEST(RotateMethod, FillsTheFrame) {
  HeadlessEngine h = RecordingEngine(7, 5, 0x00ABCDEF);
  h.BindRandom(33);
  for (const auto& [antiAlias, sourcePic, opcode] : {std::tuple{false, false, 0}, std::tuple{true, false, 1},
                                                     std::tuple{false, true, 2}, std::tuple{true, true, 3}}) {
    h.engine.ASM_Rotate(10, antiAlias, sourcePic);
    EXPECT_EQ(recorded.block.opcode, opcode);
    EXPECT_EQ(recorded.block.colour, 0x00ABCDEF);  // -1: the box's BackColor, as it is
    EXPECT_EQ(recorded.centreX, 3.0f);             // 7 div 2
    EXPECT_EQ(recorded.centreY, 2.0f);             // 5 div 2
  }
  h.engine.ASM_Rotate(-5, false, true, 0x7F010203, 2.5, -1e300);
  EXPECT_EQ(recorded.block.colour, 0x7F010203);
  EXPECT_EQ(recorded.centreX, 2.5f);
  EXPECT_EQ(recorded.centreY, -kInf);
  EXPECT_EQ(recorded.block.amount, 0);  // rotation never writes it
  // Angle + 360 is a 16-bit sum.
  for (const auto& [angle, passed] : {std::pair{10, 370}, std::pair{-5, 355}, std::pair{32767, -32409},
                                      std::pair{32408, -32768}, std::pair{-32768, -32408}}) {
    h.engine.ASM_Rotate(static_cast<std::int16_t>(angle));
    EXPECT_EQ(recorded.arg3, passed) << "Angle " << angle;
  }
}

TEST(RotateMethod, PictureWithoutPixelsNeverReachesTheKernel) {
  for (const auto& [w, h] : {std::pair{0, 5}, std::pair{5, 0}}) {
    HeadlessEngine e = RecordingEngine(w, h);
    e.BindRandom(37);
    ASSERT_TRUE(e.engine.bound());
    e.engine.ASM_Rotate(30, true, false);
    EXPECT_EQ(recorded.calls, 0);
    EXPECT_TRUE(e.runtime.messages.empty());
  }
}

}  // namespace
}  // namespace asmpic
