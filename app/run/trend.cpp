#include "app/run/trend.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace asmpic::app {

namespace {

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  const std::size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
  const double upper = values[middle];
  if (values.size() % 2 == 1) return upper;
  return (*std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle)) + upper) / 2.0;
}

}  // namespace

Trend FindTrend(std::span<const double> scores) {
  Trend trend;
  trend.count = static_cast<int>(scores.size());
  const std::size_t n = scores.size();
  if (n < 2) return trend;
  double s = 0.0;
  std::vector<double> slopes;
  slopes.reserve(n * (n - 1) / 2);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      const double difference = scores[j] - scores[i];
      s += difference > 0.0 ? 1.0 : difference < 0.0 ? -1.0 : 0.0;
      slopes.push_back(difference / static_cast<double>(j - i));
    }
  }
  trend.statistic = s;
  // Var(S) = [n(n-1)(2n+5) - sum over tied groups t(t-1)(2t+5)] / 18
  std::map<double, int> groups;
  for (const double v : scores) ++groups[v];
  const auto dn = static_cast<double>(n);
  double variance = dn * (dn - 1.0) * (2.0 * dn + 5.0);
  for (const auto& [value, size] : groups) {
    const auto t = static_cast<double>(size);
    variance -= t * (t - 1.0) * (2.0 * t + 5.0);
  }
  variance /= 18.0;
  if (variance > 0.0) {
    const double corrected = s > 0.0 ? s - 1.0 : s < 0.0 ? s + 1.0 : 0.0;
    trend.z = corrected / std::sqrt(variance);
    trend.pValue = std::erfc(std::fabs(trend.z) / std::sqrt(2.0));
  }
  const double median = Median(std::vector<double>(scores.begin(), scores.end()));
  if (median > 0.0) trend.relativeChange = Median(std::move(slopes)) * (dn - 1.0) / median;
  trend.significant = trend.count >= kTrendMinimumPasses && trend.pValue < kTrendLevel &&
                      std::fabs(trend.relativeChange) >= kTrendSmallestChange;
  return trend;
}

}  // namespace asmpic::app
