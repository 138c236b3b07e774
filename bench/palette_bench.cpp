// Palette effects on plane 2: the pair opcodes (packed byte arithmetic), the per-pixel rules and
// the noise, the engine's kernel beside its reference.
#include <benchmark/benchmark.h>

#include <cstdint>

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

// Opcodes that keep changing the picture on every run, so repeated runs do the same work.
void BM_Palette_ShiftUp(benchmark::State& state) {
  RunPalette(state, asmpic::PaletteKernelBaseline, 8, 3);
}
void BM_Palette_ShiftUpReference(benchmark::State& state) {
  RunPalette(state, asmpic::PaletteKernelReference, 8, 3);
}
void BM_Palette_Invert(benchmark::State& state) {
  RunPalette(state, asmpic::PaletteKernelBaseline, 11, 1);
}
void BM_Palette_Greyscale(benchmark::State& state) {
  RunPalette(state, asmpic::PaletteKernelBaseline, 12, 1);
}
void BM_Palette_GreyscaleReference(benchmark::State& state) {
  RunPalette(state, asmpic::PaletteKernelReference, 12, 1);
}
void BM_Palette_Threshold(benchmark::State& state) {
  RunPalette(state, asmpic::PaletteKernelBaseline, 19, 1);
}
void BM_Palette_ThresholdReference(benchmark::State& state) {
  RunPalette(state, asmpic::PaletteKernelReference, 19, 1);
}
void BM_Palette_Noise(benchmark::State& state) {
  RunPalette(state, asmpic::PaletteKernelBaseline, 10, 1);
}
void BM_Palette_NoiseReference(benchmark::State& state) {
  RunPalette(state, asmpic::PaletteKernelReference, 10, 1);
}

#define PALETTE_SIZES Args({297, 217})->Args({1920, 1080})
BENCHMARK(BM_Palette_ShiftUp)->PALETTE_SIZES;
BENCHMARK(BM_Palette_ShiftUpReference)->PALETTE_SIZES;
BENCHMARK(BM_Palette_Invert)->PALETTE_SIZES;
BENCHMARK(BM_Palette_Greyscale)->PALETTE_SIZES;
BENCHMARK(BM_Palette_GreyscaleReference)->PALETTE_SIZES;
BENCHMARK(BM_Palette_Threshold)->PALETTE_SIZES;
BENCHMARK(BM_Palette_ThresholdReference)->PALETTE_SIZES;
BENCHMARK(BM_Palette_Noise)->PALETTE_SIZES;
BENCHMARK(BM_Palette_NoiseReference)->PALETTE_SIZES;

}  // namespace
