#include "app/results/throughput.h"

#include <cmath>

namespace asmpic::app {

double MegapixelsPerSecond(int calls, long long pixelsPerCall, double seconds) {
  if (!(seconds > 0.0)) return 0.0;
  return static_cast<double>(calls) * static_cast<double>(pixelsPerCall) / seconds / 1e6;
}

double GeometricMean(std::span<const double> values) {
  if (values.empty()) return 0.0;
  double logs = 0.0;
  for (const double v : values) {
    if (!(v > 0.0)) return 0.0;
    logs += std::log(v);
  }
  return std::exp(logs / static_cast<double>(values.size()));
}

Throughput SummarizeThroughput(const std::vector<std::vector<double>>& megapixelsPerRun) {
  Throughput result;
  if (megapixelsPerRun.empty()) return result;
  const std::size_t tests = megapixelsPerRun.front().size();
  for (std::size_t t = 0; t < tests; ++t) {
    std::vector<double> column;
    for (const auto& run : megapixelsPerRun) column.push_back(run.at(t));
    result.tests.push_back(EstimateMedian(column));
  }
  for (const auto& run : megapixelsPerRun) result.runScores.push_back(GeometricMean(run));
  result.score = EstimateMedian(result.runScores);
  return result;
}

}  // namespace asmpic::app
