// Speed of the neighbourhood effects, as the benchmark run uses them: Amount 1 and a background
// colour, plane 3 into plane 2; the best variant beside the baseline.
#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

#include "bench/bench_variants.h"

#include "kernels/kernel_store.h"
#include "kernels/pixel/pixel.h"
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

const bool registered = [] {
  const std::pair<const char*, std::int32_t> ops[] = {
      {"Smoothing", asmpic::kPixelSmoothing}, {"Contour", asmpic::kPixelContour},
      {"Emboss", asmpic::kPixelEmboss},       {"Ripple", asmpic::kPixelRipple},
      {"Relief", asmpic::kPixelRelief},       {"Twirl", asmpic::kPixelTwirl}};
  for (const auto& [name, opcode] : ops) {
    asmpic::bench::RegisterVariants(
        std::string("BM_Pixel_") + name, asmpic::PixelKernelBest, asmpic::PixelKernelBaseline,
        [opcode](benchmark::State& state, KernelEntry kernel) { RunPixel(state, kernel, opcode, 1); });
  }
  benchmark::RegisterBenchmark(
      "BM_Pixel_TwirlReference",
      [](benchmark::State& state) { RunPixel(state, asmpic::PixelKernelReference, asmpic::kPixelTwirl, 1); })
      ->Args({297, 217})
      ->UseRealTime();
  return true;
}();

}  // namespace
