#include "app/results/statistics.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace asmpic::app {

namespace {

// P(B = i) for B ~ binomial(n, 1/2), in logarithms so that large n cannot overflow.
double BinomialHalfTerm(int n, int i) {
  return std::exp(std::lgamma(n + 1.0) - std::lgamma(i + 1.0) - std::lgamma(n - i + 1.0) - n * std::log(2.0));
}

}  // namespace

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

std::optional<double> MedianEstimate::relativeHalfWidth() const {
  if (!low || !high || median == 0.0) return std::nullopt;
  return std::max(median - *low, *high - median) / std::abs(median);
}

MedianEstimate EstimateMedian(std::span<const double> samples, double level) {
  MedianEstimate estimate;
  const Statistics s = Summarize(samples);
  estimate.count = s.count;
  estimate.median = s.median;
  const int n = s.count;
  if (n < 2) return estimate;
  std::vector<double> sorted(samples.begin(), samples.end());
  std::sort(sorted.begin(), sorted.end());
  // [x(k), x(n-k+1)] (1-based) covers the median with probability 1 - 2 P(B <= k - 1). The widest
  // interval, k = 1, stands when even it falls short of the level.
  // One running sum of the binomial terms: `below` is P(B <= k - 1), `next` is P(B <= k).
  int k = 1;
  double below = BinomialHalfTerm(n, 0);
  double next = below + BinomialHalfTerm(n, 1);
  while (k + 1 <= n / 2 && 1.0 - 2.0 * next >= level) {
    ++k;
    below = next;
    next += BinomialHalfTerm(n, k);
  }
  estimate.low = sorted[static_cast<std::size_t>(k - 1)];
  estimate.high = sorted[static_cast<std::size_t>(n - k)];
  estimate.confidence = 1.0 - 2.0 * below;
  return estimate;
}

}  // namespace asmpic::app
