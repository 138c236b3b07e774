#pragma once
// What the kernel family benchmarks share: each operation timed for the best and the baseline
// variant side by side (BM_<Family>_<Op>/<variant>/<width>/<height>), and a plain copy of one plane,
// the floor under any per-pixel operation.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "kernels/kernel_store.h"

namespace asmpic::bench {

struct Variant {
  const char* name;
  KernelEntry kernel;
};

// Registers `run(state, kernel)` as <name>/best and <name>/baseline at 297 x 217 and 1920 x 1080.
template <typename Run>
void RegisterVariants(const std::string& name, KernelEntry best, KernelEntry baseline, Run run) {
  for (const Variant variant : {Variant{"best", best}, Variant{"baseline", baseline}}) {
    benchmark::RegisterBenchmark(
        (name + "/" + variant.name).c_str(),
        [run, kernel = variant.kernel](benchmark::State& state) { run(state, kernel); })
        ->Args({297, 217})
        ->Args({1920, 1080})
        ->UseRealTime();
  }
}

// memcpy of one plane (width x height x 4 bytes) to another.
inline void PlaneCopy(benchmark::State& state) {
  const auto bytes = static_cast<std::size_t>(state.range(0) * state.range(1) * 4);
  std::vector<std::uint8_t> from(bytes, 7), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.range(0) * state.range(1) * state.iterations());
}

inline void RegisterPlaneCopy() {
  benchmark::RegisterBenchmark("BM_PlaneCopy", PlaneCopy)
      ->Args({297, 217})
      ->Args({1920, 1080})
      ->UseRealTime();
}

}  // namespace asmpic::bench
