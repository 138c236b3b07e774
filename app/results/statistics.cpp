#include "app/results/statistics.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace asmpic::app {

Statistics Summarize(std::span<const double> samples) {
  Statistics s;
  if (samples.empty()) return s;
  std::vector<double> sorted(samples.begin(), samples.end());
  std::sort(sorted.begin(), sorted.end());
  const std::size_t n = sorted.size();
  s.count = static_cast<int>(n);
  s.min = sorted.front();
  s.max = sorted.back();
  s.median = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
  if (n > 1) {
    const double mean = std::accumulate(sorted.begin(), sorted.end(), 0.0) / static_cast<double>(n);
    double squares = 0.0;
    for (const double x : sorted) squares += (x - mean) * (x - mean);
    s.stddev = std::sqrt(squares / static_cast<double>(n - 1));
  }
  return s;
}

}  // namespace asmpic::app
