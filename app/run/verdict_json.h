#pragma once
// The run conditions and the verdict as parts of the result document ("conditions", "verdict").
// A value the machine does not expose is null.
#include <nlohmann/json.hpp>

#include "app/run/benchmark_runner.h"

namespace asmpic::app {

nlohmann::ordered_json ConditionsJson(const BenchmarkResult& result);
nlohmann::ordered_json VerdictJson(const BenchmarkResult& result);

}  // namespace asmpic::app
