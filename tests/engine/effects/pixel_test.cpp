// ASM_PixelEffects' frame around the neighbourhood kernel, on a headless engine.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "kernels/kernel_store.h"
#include "kernels/pixel/pixel.h"
#include "tests/support/headless_engine.h"
#include "tests/support/kernel_planes.h"

namespace asmpic {
namespace {

using testing::HeadlessEngine;


// What the engine hands the kernel, recorded during the call (the ripple table is gone after it).
struct Recorded {
  int calls = 0;
  KernelParams block;
  std::uint32_t arg1 = 0, arg2 = 0;
  std::intptr_t arg3 = 0;
  std::vector<float> table;
};
Recorded recorded;

void RecordingKernel(KernelParams* block, std::uint32_t arg1, std::uint32_t arg2, std::intptr_t arg3) {
  ++recorded.calls;
  recorded.block = *block;
  recorded.arg1 = arg1;
  recorded.arg2 = arg2;
  recorded.arg3 = arg3;
  if (block->opcode == kPixelRipple) {
    const auto* table = reinterpret_cast<const float*>(arg3);
    recorded.table.assign(table, table + std::max(block->width, block->height));
  }
}

TEST(PixelEffectsMethod, FillsTheFrameAndCallsTheKernelOnlyForOpcodesZeroToFive) {
  KernelStore store;
  store.pixel = RecordingKernel;
  HeadlessEngine engine(7, 12, 0x00332211, store);
  engine.BindRandom(1);
  for (const std::int32_t opcode : {0, 1, 2, 3, 4, 5, 6, -1, std::numeric_limits<std::int32_t>::min()}) {
    recorded = {};
    // A colour is passed whole (the kernel ignores its top byte); any negative one is BackColor.
    const std::int32_t colorX = opcode == 2 ? 0x7F445566 : opcode == 4 ? -5 : -1;
    engine.engine.ASM_PixelEffects(opcode, -300, colorX);
    EXPECT_EQ(engine.engine.params().opcode, opcode);
    EXPECT_EQ(engine.engine.params().amount, -300);
    EXPECT_EQ(engine.engine.params().colour, opcode == 2 ? 0x7F445566 : 0x00332211);
    if (opcode < 0 || opcode > 5) {
      EXPECT_EQ(recorded.calls, 0) << opcode;
      continue;
    }
    ASSERT_EQ(recorded.calls, 1) << opcode;
    EXPECT_EQ(ArgFloat(recorded.arg1), 2.0f);
    EXPECT_EQ(ArgFloat(recorded.arg2), 3.0f);
    if (opcode == kPixelRipple) {
      EXPECT_EQ(recorded.table, BuildRippleTable(7, 12, -300));
      EXPECT_EQ(recorded.table[0], 1.0f);
    } else {
      EXPECT_EQ(recorded.arg3, 4);
    }
  }
}

TEST(PixelEffectsMethod, UnknownOpcodeStillCopiesForUndoAndDraws) {
  for (const std::int32_t opcode : {6, -1}) {
    HeadlessEngine engine(9, 8);
    engine.BindRandom(3);
    engine.engine.AutoDraw(false);
    engine.engine.ASM_PixelEffects(kPixelContour, 1, 0x00808080);
    engine.engine.AutoDraw(true);
    const auto working = engine.plane(2);
    ASSERT_NE(engine.plane(3), working);
    const int refreshes = engine.box->refreshes;
    engine.engine.ASM_PixelEffects(opcode);
    EXPECT_EQ(engine.plane(2), working);
    EXPECT_EQ(engine.plane(3), working);
    EXPECT_EQ(engine.box->refreshes, refreshes + 1);
  }
}

TEST(PixelEffectsMethod, WithAutoDrawOffEveryCallStartsFromTheSameUndoCopy) {
  HeadlessEngine engine(12, 10);
  engine.BindRandom(5);
  engine.engine.AutoDraw(false);
  engine.engine.ASM_PixelEffects(kPixelContour);
  const auto once = engine.plane(2);
  engine.engine.ASM_PixelEffects(kPixelContour);
  EXPECT_EQ(engine.plane(2), once);
  EXPECT_NE(once, engine.plane(3));
}

TEST(PixelEffectsMethod, SmallPicturesUnderEveryOpcodeAndAmount) {
  for (int w = 1; w <= 3; ++w)
    for (int h = 1; h <= 3; ++h) {
      HeadlessEngine engine(w, h);
      engine.BindRandom(w * h);
      for (int opcode = -1; opcode <= 6; ++opcode)
        for (const std::int16_t amount : {1, 2, 4, 8, 0, 32767, -32768})
          engine.engine.ASM_PixelEffects(opcode, amount);
      EXPECT_TRUE(engine.engine.bound());
      EXPECT_TRUE(engine.runtime.messages.empty());
    }
}

}  // namespace
}  // namespace asmpic
