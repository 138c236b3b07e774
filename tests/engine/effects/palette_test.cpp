// ASM_PalEffects and ASM_IncrementalPalEffects on a headless engine.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "kernels/kernel_store.h"
#include "tests/support/headless_engine.h"
#include "tests/support/kernel_planes.h"

namespace asmpic {
namespace {

using testing::HeadlessEngine;


struct KernelCall {
  KernelParams block;
  std::uint32_t arg1;
  std::uint32_t arg2;
  std::intptr_t arg3;
};
std::vector<KernelCall> recordedCalls;
void RecordingKernel(KernelParams* block, std::uint32_t arg1, std::uint32_t arg2, std::intptr_t arg3) {
  recordedCalls.push_back({*block, arg1, arg2, arg3});
}

KernelStore RecordingPalette() {
  KernelStore store;
  store.palette = RecordingKernel;
  return store;
}

TEST(PalEffectsMethod, FillsTheFrameAndPassesEveryOpcode) {
  recordedCalls.clear();
  HeadlessEngine h(4, 3, /*backColor=*/0x123456, RecordingPalette());
  h.BindRandom(1);
  h.engine.ASM_PalEffects(20, -5, -1);
  h.engine.ASM_PalEffects(-1, 300, 0x00ABCDEF);
  h.engine.ASM_PalEffects(10);
  ASSERT_EQ(recordedCalls.size(), 3u);
  EXPECT_EQ(recordedCalls[0].block.opcode, 20);
  EXPECT_EQ(recordedCalls[0].block.amount, -5);
  EXPECT_EQ(recordedCalls[0].block.colour, 0x123456);  // a negative colour is the box's BackColor
  EXPECT_EQ(recordedCalls[1].block.opcode, -1);
  EXPECT_EQ(recordedCalls[1].block.amount, 300);
  EXPECT_EQ(recordedCalls[1].block.colour, 0x00ABCDEF);
  EXPECT_EQ(recordedCalls[2].block.amount, 1);
  for (const auto& call : recordedCalls) {
    EXPECT_EQ(call.arg1, 0x40000000u);
    EXPECT_EQ(call.arg2, FloatArg(3.0f));
    EXPECT_EQ(call.arg3, 4);
  }
}

TEST(PalEffectsMethod, RepeatedNoiseAddsTheSameOffsets) {
  HeadlessEngine h(9, 5);
  h.Bind(platform::Image(9, 5, 0xFF808080u));  // mid grey: offsets of -20 ... 21 never clamp twice
  h.engine.ASM_PalEffects(10, 1);
  const auto once = h.plane(2);
  h.engine.ASM_PalEffects(10, 1);
  const auto twice = h.plane(2);
  for (std::size_t i = 0; i < once.size(); ++i) {
    if (i % 4 == 3) continue;
    EXPECT_EQ(twice[i] - 128, 2 * (once[i] - 128)) << i;
  }
}

TEST(IncrementalPalEffectsMethod, ResetsTheGeneratorOnEveryCall) {
  recordedCalls.clear();
  HeadlessEngine h(4, 3, /*backColor=*/0x00FF00, RecordingPalette());
  h.BindRandom(3);
  platform::RandomNumbers expected;
  expected.Randomize(1.0);
  const float first = expected.Rnd();
  const float second = expected.Rnd();

  h.runtime.Random().Rnd();
  h.engine.ASM_IncrementalPalEffects(10, 2);
  EXPECT_EQ(h.runtime.Random().Rnd(), second);  // the call drew the first value for its seed
  h.engine.ASM_IncrementalPalEffects(10);
  h.engine.ASM_IncrementalPalEffects(1);
  EXPECT_EQ(h.runtime.Random().Rnd(), first);  // reset, and nothing drawn for opcode 1

  ASSERT_EQ(recordedCalls.size(), 3u);
  const std::uint32_t seed = FloatArg(static_cast<float>(static_cast<double>(first) * 255.0));
  EXPECT_EQ(recordedCalls[0].arg1, seed);
  EXPECT_EQ(recordedCalls[1].arg1, seed);
  EXPECT_EQ(recordedCalls[2].arg1, FloatArg(2.0f));
  EXPECT_EQ(recordedCalls[0].block.amount, 2);
  EXPECT_EQ(recordedCalls[2].block.amount, 1);
  for (const auto& call : recordedCalls) {
    EXPECT_EQ(call.block.colour, 0x00FF00);  // always the box's BackColor
    EXPECT_EQ(call.arg2, FloatArg(3.0f));
    EXPECT_EQ(call.arg3, 4);
  }
}

}  // namespace
}  // namespace asmpic
