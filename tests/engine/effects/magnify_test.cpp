// ASM_Magnify on a headless engine: the frame it fills, the undo copy and the draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
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
using testing::kInf;
using testing::kNaN;

constexpr std::int32_t kMaxTenths = std::numeric_limits<std::int32_t>::max();

testing::ResampleCall& recorded = testing::recordedResample;

HeadlessEngine RecordingEngine(int width, int height, platform::Colour backColor = 0) {
  return testing::RecordingResampleEngine(width, height, backColor, &KernelStore::magnify);
}

TEST(MagnifyMethod, UnboundEngineOnlyReportsTheMissingBox) {
  HeadlessEngine h = RecordingEngine(8, 6);
  h.engine.ASM_Magnify(2);
  ASSERT_EQ(h.runtime.messages.size(), 1u);
  EXPECT_EQ(h.runtime.messages[0].prompt, messages::kNoPictureBox);
  EXPECT_EQ(recorded.calls, 0);
}

TEST(MagnifyMethod, TenfoldFactorIsASinglePrecisionProductRoundedHalfToEven) {
  HeadlessEngine h = RecordingEngine(7, 5);
  h.BindRandom(51);
  const std::pair<float, std::int64_t> cases[] = {
      {1.0f, 10},
      {2.0f, 20},
      {-1.0f, -10},
      {1.25f, 12},
      {0.25f, 2},
      {0.04f, 0},
      {0.0f, 0},
      // In double these would be 0.5000000075 and 3.4999999404, rounding to 1 and 3.
      {0.05f, 0},
      {0.35f, 4},
      // No 32-bit tenfold: held at the nearest 32-bit zoom; NaN has none.
      {3e9f, kMaxTenths},
      {kInf, kMaxTenths},
      {-kInf, std::numeric_limits<std::int32_t>::min()},
      {kNaN, 0}};
  for (const auto& [factor, tenths] : cases) {
    h.engine.ASM_Magnify(factor);
    EXPECT_EQ(recorded.arg3, tenths) << "Factor " << factor;
  }
}

TEST(MagnifyMethod, FillsTheFrame) {
  HeadlessEngine h = RecordingEngine(7, 5, 0x00ABCDEF);
  h.BindRandom(52);
  h.engine.ASM_Magnify(2);
  EXPECT_EQ(recorded.block.opcode, 0);  // nearest
  EXPECT_EQ(recorded.block.colour, 0x00ABCDEF);  // -1: the box's BackColor, as it is
  EXPECT_EQ(recorded.centreX, 3.0f);             // 7 div 2
  EXPECT_EQ(recorded.centreY, 2.0f);             // 5 div 2
  h.engine.ASM_Magnify(2, 1.5, 1e300, true, 0x7F010203);
  EXPECT_EQ(recorded.block.opcode, 1);  // smoothed
  EXPECT_EQ(recorded.block.colour, 0x7F010203);
  EXPECT_EQ(recorded.centreX, 1.5f);
  EXPECT_EQ(recorded.centreY, kInf);
  EXPECT_EQ(recorded.block.amount, 0);  // magnify never writes it
}

TEST(MagnifyMethod, FactorOneStillCopiesRunsAndDraws) {
  HeadlessEngine h(8, 6);
  h.BindRandom(53);
  h.engine.ASM_Rotate(30);  // plane 2 now differs from plane 3
  const std::vector<std::uint8_t> shown = h.plane(2);
  const int refreshes = h.box->refreshes;
  h.engine.ASM_Magnify(1);
  EXPECT_EQ(h.plane(3), shown);
  EXPECT_EQ(h.plane(2), shown);
  EXPECT_EQ(h.box->refreshes, refreshes + 1);
}

TEST(MagnifyMethod, WithAutoDrawOffEachZoomStartsFromTheUndoPlane) {
  HeadlessEngine h(9, 7);
  h.BindRandom(54);
  h.engine.AutoDraw(false);
  const std::vector<std::uint8_t> undo = h.plane(3);
  testing::KernelPlanes expected(9, 7);
  std::ranges::copy(h.engine.buffer().all(), expected.bytes.begin());
  expected.params.colour = h.box->BackColor();
  MagnifyKernelReference(&expected.params, FloatArg(4), FloatArg(3), 5);

  const int refreshes = h.box->refreshes;
  h.engine.ASM_Magnify(2);
  h.engine.ASM_Magnify(0.5f);  // zooms plane 3 again, not the first zoom
  EXPECT_EQ(h.plane(3), undo);
  EXPECT_EQ(h.plane(2), expected.planeCopy(2));
  EXPECT_EQ(h.box->refreshes, refreshes);
}

TEST(MagnifyMethod, PictureWithoutPixelsNeverReachesTheKernel) {
  for (const auto& [w, h] : {std::pair{0, 5}, std::pair{5, 0}}) {
    HeadlessEngine e = RecordingEngine(w, h);
    e.BindRandom(56);
    ASSERT_TRUE(e.engine.bound());
    e.engine.ASM_Magnify(2, 1.0, 1.0, true);
    EXPECT_EQ(recorded.calls, 0);
    EXPECT_TRUE(e.runtime.messages.empty());
  }
}

}  // namespace
}  // namespace asmpic
