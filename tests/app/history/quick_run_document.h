#pragma once
// The document of a quick run for the history suites: idle kernels, two timed runs, two threads,
// computed once.
#include <nlohmann/json.hpp>

#include "app/results/build_info.h"
#include "app/results/json_report.h"
#include "app/results/machine_info.h"
#include "app/run/benchmark_runner.h"
#include "tests/app/results_support.h"

namespace asmpic::app::testing {

inline const nlohmann::ordered_json& QuickRunDocument() {
  static const nlohmann::ordered_json document = [] {
    BenchmarkPlan plan;
    plan.repeat = 2;
    plan.warmup = false;
    plan.threads = 2;
    plan.kernels = IdleKernels();
    Ticking clock;
    BenchmarkHooks hooks;
    hooks.monotonic = [&] { return clock.Next(); };
    const BenchmarkResult result = RunBenchmark(Shipped().picture1, Shipped().picture2, plan, hooks);
    return ResultDocument(result, CurrentBuild(plan.kernels), ReadMachineInfo(), "2026-01-02T03:04:05Z");
  }();
  return document;
}

}  // namespace asmpic::app::testing
