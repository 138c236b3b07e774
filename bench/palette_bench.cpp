// Palette effects on plane 2: the pair opcodes (packed byte arithmetic), the per-pixel rules and
// the noise; the best variant beside the baseline, and a plain copy of the plane.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "bench/bench_variants.h"

#include "kernels/kernel_store.h"
#include "tests/support/kernel_planes.h"

namespace {

using asmpic::KernelEntry;
using asmpic::testing::KernelPlanes;

constexpr std::uint32_t kSeed = 0x40000000;  // the noise seed ASM_PalEffects passes

void RunPalette(benchmark::State& state, KernelEntry kernel, std::int32_t opcode, std::int32_t amount) {
  const auto width = static_cast<int>(state.range(0));
  const auto height = static_cast<int>(state.range(1));
  KernelPlanes planes(width, height);
  planes.randomize(1);
  planes.params.opcode = opcode;
  planes.params.amount = amount;
  for (auto _ : state) {
    kernel(&planes.params, kSeed, 0, 4);
    benchmark::DoNotOptimize(planes.bytes.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(width) * height * state.iterations());
}

const bool registered = [] {
  const struct {
    const char* name;
    std::int32_t opcode;
    std::int32_t amount;
  } ops[] = {{"ShiftUp", 8, 3},    {"Brighten", 6, 3},     {"Invert", 11, 1}, {"Greyscale", 12, 1},
             {"Threshold", 19, 1}, {"DarkToBlack", 13, 1}, {"Noise", 10, 1}};
  for (const auto& op : ops) {
    asmpic::bench::RegisterVariants(
        std::string("BM_Palette_") + op.name, asmpic::PaletteKernelBest, asmpic::PaletteKernelBaseline,
        [opcode = op.opcode, amount = op.amount](benchmark::State& state, KernelEntry kernel) {
          RunPalette(state, kernel, opcode, amount);
        });
  }
  asmpic::bench::RegisterPlaneCopy();
  return true;
}();

}  // namespace
