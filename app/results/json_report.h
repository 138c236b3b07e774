#pragma once
// The result document: one JSON object with the program and its build, the machine, the settings,
// every sample of every test on both clocks, the statistics, the scores and the validation. Its
// shape is docs/result.schema.json; kResultFormatVersion changes whenever that shape does.
#include <nlohmann/json.hpp>

#include <string>

#include "app/results/benchmark_runner.h"
#include "app/results/build_info.h"
#include "app/results/machine_info.h"

namespace asmpic::app {

inline constexpr int kResultFormatVersion = 1;

// `startedAt` is the run's start as UTC in ISO 8601 ("2024-05-01T12:00:00Z").
nlohmann::ordered_json ResultDocument(const BenchmarkResult& result, const BuildInfo& build,
                                      const MachineInfo& machine, const std::string& startedAt);

// The current time as UTC in ISO 8601.
std::string UtcNow();

}  // namespace asmpic::app
