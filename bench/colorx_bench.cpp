// Colour-X effects on plane 2: the line paint, the glow and trail scans over a picture with
// scattered pixels of the effect colour, and the flare; the engine's kernel beside its reference.
// Every run starts from the same picture, since the scans change what the next one would find.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>

#include "bench/bench_variants.h"
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

// A picture all in the effect colour: every pixel a glow touches stays a source, the glow's worst
// case.
void FlatGlow(benchmark::State& state, KernelEntry kernel, std::int32_t amount) {
  KernelPlanes planes(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  planes.fillPlane(1, {0x40, 0xC0, 0xFF, 0});
  planes.fillPlane(2, {0x40, 0xC0, 0xFF, 0});
  planes.params.opcode = 4;
  planes.params.amount = amount;
  planes.params.colour = kColour;
  for (auto _ : state) {
    kernel(&planes.params, FloatArg(0.9f), FloatArg(0.1f), 0);
    benchmark::DoNotOptimize(planes.bytes.data());
  }
  state.SetItemsProcessed(state.range(0) * state.range(1) * state.iterations());
}

// A flare whose radius reaches half the shorter side, about the middle.
void Flare(benchmark::State& state, KernelEntry kernel) {
  const auto width = static_cast<float>(state.range(0));
  const auto height = static_cast<float>(state.range(1));
  const auto amount = static_cast<std::int32_t>(std::min(width, height) / 48);
  RunColorX(state, kernel, 9, amount, width / 2, height / 2);
}

const bool registered = [] {
  using asmpic::bench::RegisterVariants;
  const auto op = [](std::int32_t opcode, std::int32_t amount) {
    return [=](benchmark::State& state, KernelEntry kernel) {
      RunColorX(state, kernel, opcode, amount, 0.9f, 0.1f);
    };
  };
  RegisterVariants("BM_ColorX_RowLines", asmpic::ColorXKernelBest, asmpic::ColorXKernelBaseline, op(1, 2));
  RegisterVariants("BM_ColorX_Glow", asmpic::ColorXKernelBest, asmpic::ColorXKernelBaseline, op(4, 6));
  RegisterVariants("BM_ColorX_TrailUp", asmpic::ColorXKernelBest, asmpic::ColorXKernelBaseline, op(5, 6));
  RegisterVariants("BM_ColorX_TrailRight", asmpic::ColorXKernelBest, asmpic::ColorXKernelBaseline, op(8, 6));
  RegisterVariants("BM_ColorX_Flare", asmpic::ColorXKernelBest, asmpic::ColorXKernelBaseline, Flare);
  // One glow with Amount 100 over a flat picture: seconds a call at full HD for the baseline, so
  // that size runs once and for the best variant only.
  for (const asmpic::bench::Variant variant : {asmpic::bench::Variant{"best", asmpic::ColorXKernelBest},
                                               {"baseline", asmpic::ColorXKernelBaseline}}) {
    auto* bench = benchmark::RegisterBenchmark(
        (std::string("BM_ColorX_GlowFlat100/") + variant.name).c_str(),
        [kernel = variant.kernel](benchmark::State& state) { FlatGlow(state, kernel, 100); });
    bench->Args({297, 217})->Unit(benchmark::kMillisecond)->UseRealTime();
    if (std::string(variant.name) == "best") bench->Args({1920, 1080})->Iterations(1);
  }
  benchmark::RegisterBenchmark("BM_ColorX_GlowReference", [](benchmark::State& state) {
    RunColorX(state, asmpic::ColorXKernelReference, 4, 6, 0.9f, 0.1f);
  })->Args({297, 217});
  asmpic::bench::RegisterPlaneCopy();
  return true;
}();

}  // namespace
