#pragma once
// The verdict and the run conditions as a person reads them on a terminal.
#include <optional>
#include <ostream>
#include <string>

#include "app/run/benchmark_runner.h"

namespace asmpic::app {

// "Verdict: noisy", a line per reason with its advice and per note; then the conditions and how
// the passes went (their order, the precision reached, the trend).
void WriteVerdict(const BenchmarkResult& result, std::ostream& out);

// "other programs 0.71 cores, governor performance, ...": every condition, "unknown" where the
// machine does not say.
std::string ConditionsText(const RunConditions& conditions);

}  // namespace asmpic::app
