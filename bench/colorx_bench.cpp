// Colour-X effects on plane 2: the line paint, the glow and trail scans over a picture with
// scattered pixels of the effect colour, and the flare; the engine's kernel beside its reference.
// Every run starts from the same picture, since the scans change what the next one would find.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>

#include "kernels/kernel_store.h"
#include "tests/support/kernel_planes.h"

namespace {

using asmpic::FloatArg;
using asmpic::KernelEntry;
using asmpic::testing::KernelPlanes;

constexpr std::int32_t kColour = 0x0040C0FF;  // bytes blue 0x40, green 0xC0, red 0xFF

// A random picture in planes 1 and 2 with about one pixel in 500 of the effect colour.
KernelPlanes Picture(int width, int height) {
  KernelPlanes planes(width, height);
  planes.randomize(2);
  std::mt19937 random(3);
  for (int y = 1; y <= height; ++y) {
    for (int x = 1; x <= width; ++x) {
      if (random() % 500 == 0) planes.setPixel(1, x, y, {0x40, 0xC0, 0xFF, 0});
    }
  }
  std::memcpy(planes.plane(2), planes.plane(1), planes.planeBytes());
  return planes;
}

void RunColorX(benchmark::State& state, KernelEntry kernel, std::int32_t opcode, std::int32_t amount, float a,
               float b) {
  const auto width = static_cast<int>(state.range(0));
  const auto height = static_cast<int>(state.range(1));
  KernelPlanes planes = Picture(width, height);
  planes.params.opcode = opcode;
  planes.params.amount = amount;
  planes.params.colour = kColour;
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(planes.plane(2), planes.plane(1), planes.planeBytes());
    state.ResumeTiming();
    kernel(&planes.params, FloatArg(a), FloatArg(b), 0);
    benchmark::DoNotOptimize(planes.bytes.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(width) * height * state.iterations());
}

void BM_ColorX_RowLines(benchmark::State& state) {
  RunColorX(state, asmpic::ColorXKernelBaseline, 1, 2, 2.0f, 3.0f);
}
void BM_ColorX_Glow(benchmark::State& state) {
  RunColorX(state, asmpic::ColorXKernelBaseline, 4, 6, 0.9f, 0.1f);
}
void BM_ColorX_GlowReference(benchmark::State& state) {
  RunColorX(state, asmpic::ColorXKernelReference, 4, 6, 0.9f, 0.1f);
}
void BM_ColorX_TrailUp(benchmark::State& state) {
  RunColorX(state, asmpic::ColorXKernelBaseline, 5, 6, 0.9f, 0.1f);
}
void BM_ColorX_TrailUpReference(benchmark::State& state) {
  RunColorX(state, asmpic::ColorXKernelReference, 5, 6, 0.9f, 0.1f);
}
void BM_ColorX_TrailRight(benchmark::State& state) {
  RunColorX(state, asmpic::ColorXKernelBaseline, 8, 6, 0.9f, 0.1f);
}

// A flare whose radius reaches half the shorter side, about the middle.
void Flare(benchmark::State& state, KernelEntry kernel) {
  const auto width = static_cast<float>(state.range(0));
  const auto height = static_cast<float>(state.range(1));
  const auto amount = static_cast<std::int32_t>(std::min(width, height) / 48);
  RunColorX(state, kernel, 9, amount, width / 2, height / 2);
}
void BM_ColorX_Flare(benchmark::State& state) {
  Flare(state, asmpic::ColorXKernelBaseline);
}
void BM_ColorX_FlareReference(benchmark::State& state) {
  Flare(state, asmpic::ColorXKernelReference);
}

#define COLORX_SIZES Args({297, 217})->Args({1920, 1080})
BENCHMARK(BM_ColorX_RowLines)->COLORX_SIZES;
BENCHMARK(BM_ColorX_Glow)->COLORX_SIZES;
BENCHMARK(BM_ColorX_GlowReference)->COLORX_SIZES;
BENCHMARK(BM_ColorX_TrailUp)->COLORX_SIZES;
BENCHMARK(BM_ColorX_TrailUpReference)->COLORX_SIZES;
BENCHMARK(BM_ColorX_TrailRight)->COLORX_SIZES;
BENCHMARK(BM_ColorX_Flare)->COLORX_SIZES;
BENCHMARK(BM_ColorX_FlareReference)->COLORX_SIZES;

}  // namespace
