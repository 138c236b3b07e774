// Rotation and magnify over a random picture, nearest and smoothed, at the benchmark's picture
// size (297 x 217) and at full HD. Items are destination pixels.
#include <benchmark/benchmark.h>

#include "kernels/kernel_store.h"
#include "tests/support/kernel_planes.h"

namespace {

using asmpic::FloatArg;
using asmpic::testing::KernelPlanes;

KernelPlanes RandomPlanes(const benchmark::State& state) {
  KernelPlanes planes(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  planes.randomize(1);
  planes.params.colour = 0x00336699;
  return planes;
}

// Turns the source picture by one more degree each call, as the benchmark's rotation test does.
void RotateBench(benchmark::State& state, asmpic::KernelEntry rotate, int opcode) {
  KernelPlanes planes = RandomPlanes(state);
  planes.params.opcode = opcode;
  const float cx = static_cast<float>(planes.width() / 2);
  const float cy = static_cast<float>(planes.height() / 2);
  int angle = 1;
  for (auto _ : state) {
    rotate(&planes.params, FloatArg(cx), FloatArg(cy), angle + 360);
    benchmark::DoNotOptimize(planes.bytes.data());
    angle = angle % 359 + 1;
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
}

// Zooms between 0.5 and 3 in steps of a tenth.
void MagnifyBench(benchmark::State& state, asmpic::KernelEntry magnify, int opcode) {
  KernelPlanes planes = RandomPlanes(state);
  planes.params.opcode = opcode;
  const float cx = static_cast<float>(planes.width() / 2);
  const float cy = static_cast<float>(planes.height() / 2);
  int tenths = 5;
  for (auto _ : state) {
    magnify(&planes.params, FloatArg(cx), FloatArg(cy), tenths);
    benchmark::DoNotOptimize(planes.bytes.data());
    tenths = tenths == 30 ? 5 : tenths + 1;
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(1));
}

// Each with the baseline and the best variant.
BENCHMARK_CAPTURE(RotateBench, Nearest_Baseline, asmpic::RotateKernelBaseline, 2)
    ->Args({297, 217})
    ->Args({1920, 1080});
BENCHMARK_CAPTURE(RotateBench, Nearest_Best, asmpic::RotateKernelBest, 2)
    ->Args({297, 217})
    ->Args({1920, 1080});
BENCHMARK_CAPTURE(RotateBench, Smoothed_Baseline, asmpic::RotateKernelBaseline, 3)
    ->Args({297, 217})
    ->Args({1920, 1080});
BENCHMARK_CAPTURE(RotateBench, Smoothed_Best, asmpic::RotateKernelBest, 3)
    ->Args({297, 217})
    ->Args({1920, 1080});
BENCHMARK_CAPTURE(MagnifyBench, Nearest_Baseline, asmpic::MagnifyKernelBaseline, 0)
    ->Args({297, 217})
    ->Args({1920, 1080});
BENCHMARK_CAPTURE(MagnifyBench, Nearest_Best, asmpic::MagnifyKernelBest, 0)
    ->Args({297, 217})
    ->Args({1920, 1080});
BENCHMARK_CAPTURE(MagnifyBench, Smoothed_Baseline, asmpic::MagnifyKernelBaseline, 1)
    ->Args({297, 217})
    ->Args({1920, 1080});
BENCHMARK_CAPTURE(MagnifyBench, Smoothed_Best, asmpic::MagnifyKernelBest, 1)
    ->Args({297, 217})
    ->Args({1920, 1080});

}  // namespace
