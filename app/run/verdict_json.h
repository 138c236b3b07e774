#pragma once
// The run conditions and the verdict as parts of the result document ("conditions", "verdict").
// A value the machine does not expose is null.
#include <nlohmann/json.hpp>

#include <optional>

#include "app/run/benchmark_runner.h"

namespace asmpic::app {

// A value, or null where there is none: how every document writes what a machine may not expose.
template <typename T>
nlohmann::ordered_json OrNull(const std::optional<T>& value) {
  return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json ConditionsJson(const BenchmarkResult& result);
nlohmann::ordered_json VerdictJson(const BenchmarkResult& result);

}  // namespace asmpic::app
