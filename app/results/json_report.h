#pragma once
// The result document: one JSON object with the program and its build, the machine, the settings,
// every sample of every test on both clocks, the statistics, the scores and the validation. Its
// shape is docs/result.schema.json; kResultFormatVersion changes whenever that shape does.
#include <nlohmann/json.hpp>

#include <string>

#include "app/run/benchmark_runner.h"
#include "app/results/build_info.h"
#include "app/results/machine_info.h"

namespace asmpic::app {

// 2 added the mode, the kernel target, the classic pass and the throughput score; 3 the run
// conditions, the verdict and the fingerprint of what did the work.
inline constexpr int kResultFormatVersion = 3;

// How the intervals of the medians are made, as the documents and reports say it.
inline constexpr const char* kIntervalMethod =
    "distribution-free confidence interval of the median from order statistics (binomial, p = 1/2)";

// A median and its interval: {"median", "low", "high", "confidence", "count"}; low and high are
// null without an interval.
nlohmann::ordered_json EstimateJson(const MedianEstimate& estimate);

// `startedAt` is the run's start as UTC in ISO 8601 ("2024-05-01T12:00:00Z").
nlohmann::ordered_json ResultDocument(const BenchmarkResult& result, const BuildInfo& build,
                                      const MachineInfo& machine, const std::string& startedAt);

// The current time as UTC in ISO 8601.
std::string UtcNow();

}  // namespace asmpic::app
