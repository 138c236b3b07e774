// ASM_ColorXEffects on a headless engine: the arguments it passes by opcode and its random dots.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "kernels/kernel_store.h"
#include "tests/support/headless_engine.h"
#include "tests/support/kernel_planes.h"

namespace asmpic {
namespace {

using testing::HeadlessEngine;

constexpr float kInf = std::numeric_limits<float>::infinity();

struct KernelCall {
  KernelParams block;
  std::uint32_t arg1;
  std::uint32_t arg2;
};
std::vector<KernelCall> recordedCalls;
void RecordingKernel(KernelParams* block, std::uint32_t arg1, std::uint32_t arg2, std::intptr_t) {
  recordedCalls.push_back({*block, arg1, arg2});
}

struct RecordingEngine : HeadlessEngine {
  RecordingEngine() : HeadlessEngine(10, 7, /*backColor=*/0x0000FF, Store()) {
    recordedCalls.clear();
    runtime.clock = [this] { return now; };
    BindRandom(4);
  }
  static KernelStore Store() {
    KernelStore store;
    store.colorX = RecordingKernel;
    return store;
  }
  float now = 1234.5f;
};

TEST(ColorXEffectsMethod, ArgumentsByOpcode) {
  RecordingEngine h;
  h.engine.ASM_ColorXEffects(1, -5, 3);
  h.engine.ASM_ColorXEffects(4, 0x123456);
  h.engine.ASM_ColorXEffects(9, 0, 2);
  h.engine.ASM_ColorXEffects(9, 0, 2, 3.25, 1e40);
  ASSERT_EQ(recordedCalls.size(), 4u);
  EXPECT_EQ(recordedCalls[0].block.colour, -5);  // no BackColor for a negative colour
  EXPECT_EQ(recordedCalls[0].block.amount, 3);
  EXPECT_EQ(recordedCalls[0].block.opcode, 1);
  EXPECT_EQ(recordedCalls[0].arg1, FloatArg(2.0f));
  EXPECT_EQ(recordedCalls[0].arg2, FloatArg(3.0f));
  EXPECT_EQ(recordedCalls[1].block.amount, 1);
  EXPECT_EQ(recordedCalls[1].arg1, FloatArg(0.9f));
  EXPECT_EQ(recordedCalls[1].arg2, FloatArg(0.1f));
  EXPECT_EQ(recordedCalls[2].arg1, FloatArg(5.0f));  // W div 2, H div 2
  EXPECT_EQ(recordedCalls[2].arg2, FloatArg(3.0f));
  EXPECT_EQ(recordedCalls[3].arg1, FloatArg(3.25f));
  EXPECT_EQ(recordedCalls[3].arg2, FloatArg(kInf));
}

TEST(ColorXEffectsMethod, UnknownOpcodeCallsNothingButCopiesAndDraws) {
  RecordingEngine h;
  const int refreshes = h.box->refreshes;
  for (std::int32_t opcode : {10, -1}) h.engine.ASM_ColorXEffects(opcode, 0);
  EXPECT_TRUE(recordedCalls.empty());
  EXPECT_EQ(h.box->refreshes, refreshes + 2);
  EXPECT_EQ(h.plane(3), h.plane(2));
}

// One kernel call per dot, Amount x 20 of them in 16-bit arithmetic, each with two fresh values
// from the generator re-seeded from the clock.
TEST(ColorXEffectsMethod, ScatterDotsDrawFromTheClockSeed) {
  RecordingEngine h;
  h.engine.ASM_ColorXEffects(0, 0x00FF00);
  ASSERT_EQ(recordedCalls.size(), 20u);
  platform::RandomNumbers expected;
  expected.Randomize(h.now);
  for (const auto& call : recordedCalls) {
    EXPECT_EQ(call.arg1, FloatArg(expected.Rnd()));
    EXPECT_EQ(call.arg2, FloatArg(expected.Rnd()));
  }
  h.engine.ASM_ColorXEffects(0, 0x00FF00);  // same clock, same dots
  ASSERT_EQ(recordedCalls.size(), 40u);
  EXPECT_EQ(recordedCalls[20].arg1, recordedCalls[0].arg1);

  for (std::int16_t amount : {0, -1, 1639}) {  // 1639 * 20 = 32780 wraps to -32756
    recordedCalls.clear();
    h.engine.ASM_ColorXEffects(0, 0, amount);
    EXPECT_TRUE(recordedCalls.empty()) << amount;
  }
  h.engine.ASM_ColorXEffects(0, 0, 1638);
  EXPECT_EQ(recordedCalls.size(), 32760u);
}

TEST(ColorXEffectsMethod, ReseedsFromTheClockOnEveryCall) {
  RecordingEngine h;
  h.engine.ASM_ColorXEffects(4, 0);
  h.runtime.Random().Randomize(99.0);
  h.engine.ASM_ColorXEffects(5, 0);
  platform::RandomNumbers expected;
  expected.Randomize(h.now);
  EXPECT_EQ(h.runtime.Random().Rnd(), expected.Rnd());
}

}  // namespace
}  // namespace asmpic
