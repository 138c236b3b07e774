// Speed of the neighbourhood effects, as the benchmark run uses them: Amount 1 and a background
// colour, plane 3 into plane 2. The *Reference runs show what the faster kernel gains.
#include <benchmark/benchmark.h>

#include <vector>

#include "kernels/kernel_store.h"
#include "kernels/pixel.h"
#include "tests/support/kernel_planes.h"

namespace {

using asmpic::KernelEntry;
using asmpic::testing::KernelPlanes;

void RunPixel(benchmark::State& state, KernelEntry kernel, std::int32_t opcode, std::int32_t amount) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  KernelPlanes planes(width, height);
  planes.randomize(7);
  planes.params.opcode = opcode;
  planes.params.amount = amount;
  planes.params.colour = 0x00C08040;
  for (auto _ : state) {
    std::vector<float> rippleTable;  // built for every call, as ASM_PixelEffects does
    std::intptr_t arg3 = 4;
    if (opcode == asmpic::kPixelRipple) {
      rippleTable = asmpic::BuildRippleTable(width, height, amount);
      arg3 = reinterpret_cast<std::intptr_t>(rippleTable.data());
    }
    kernel(&planes.params, asmpic::FloatArg(2.0f), asmpic::FloatArg(3.0f), arg3);
    benchmark::DoNotOptimize(planes.bytes.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(width) * height * state.iterations());
}

#define PIXEL_BENCH(Name, opcode)                                                  \
  void BM_Pixel_##Name(benchmark::State& state) {                                  \
    RunPixel(state, asmpic::PixelKernelBaseline, opcode, 1);                               \
  }                                                                                \
  void BM_Pixel_##Name##Reference(benchmark::State& state) {                       \
    RunPixel(state, asmpic::PixelKernelReference, opcode, 1);                      \
  }                                                                                \
  BENCHMARK(BM_Pixel_##Name)->Args({297, 217})->Args({1920, 1080})->UseRealTime(); \
  BENCHMARK(BM_Pixel_##Name##Reference)->Args({297, 217})->Args({1920, 1080})->UseRealTime();

PIXEL_BENCH(Smoothing, asmpic::kPixelSmoothing)
PIXEL_BENCH(Contour, asmpic::kPixelContour)
PIXEL_BENCH(Emboss, asmpic::kPixelEmboss)
PIXEL_BENCH(Ripple, asmpic::kPixelRipple)
PIXEL_BENCH(Relief, asmpic::kPixelRelief)
PIXEL_BENCH(Twirl, asmpic::kPixelTwirl)

}  // namespace
