#include "app/results/ratio_interval.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace asmpic::app {

namespace {

// Up to this many values on each side, U's distribution is counted exactly (about m·n·m·n/2
// steps); beyond it the normal approximation is within a fraction of a percent.
constexpr int kExactLimit = 50;
// At most this many pairwise differences are formed; larger samples are thinned to evenly spaced
// order statistics, which widens the interval a little and keeps its coverage.
constexpr std::size_t kMaxPairs = 4'000'000;

std::vector<double> SortedLogs(std::span<const double> values) {
  std::vector<double> logs;
  for (const double v : values) {
    if (v > 0.0 && std::isfinite(v)) logs.push_back(std::log(v));
  }
  std::sort(logs.begin(), logs.end());
  return logs;
}

std::vector<double> Thinned(const std::vector<double>& sorted, std::size_t keep) {
  if (sorted.size() <= keep) return sorted;
  std::vector<double> kept;
  for (std::size_t i = 0; i < keep; ++i) {
    kept.push_back(sorted[(2 * i + 1) * sorted.size() / (2 * keep)]);
  }
  return kept;
}

// P(U <= u) from the normal approximation with a continuity correction.
double NormalCdf(int m, int n, long long u) {
  const double mean = static_cast<double>(m) * n / 2.0;
  const double sd = std::sqrt(static_cast<double>(m) * n * (m + n + 1.0) / 12.0);
  return 0.5 * std::erfc(-((static_cast<double>(u) + 0.5 - mean) / sd) / std::sqrt(2.0));
}

// P(U <= v) for v = 0 .. top, counted: p(v; i, j) = i/(i+j) p(v - j; i-1, j) + j/(i+j) p(v; i, j-1),
// from whether the largest of all i + j values belongs to the first sample. Only the lower tail up
// to `top` is kept.
std::vector<double> ExactLowerTail(int m, int n, std::size_t top) {
  // previous[j] and current[j]: the distribution for (i - 1, j) and (i, j), truncated at top.
  std::vector<std::vector<double>> previous(static_cast<std::size_t>(n) + 1,
                                            std::vector<double>(top + 1, 0.0));
  for (auto& d : previous) d[0] = 1.0;  // i = 0: U is 0
  std::vector<std::vector<double>> current = previous;
  for (int i = 1; i <= m; ++i) {
    for (int j = 1; j <= n; ++j) {
      const double first = static_cast<double>(i) / (i + j);
      const auto shift = static_cast<std::size_t>(j);
      for (std::size_t v = 0; v <= top; ++v) {
        const double fromFirst = v >= shift ? previous[shift][v - shift] : 0.0;
        current[shift][v] = first * fromFirst + (1.0 - first) * current[shift - 1][v];
      }
    }
    std::swap(previous, current);
  }
  std::vector<double> cdf = previous[static_cast<std::size_t>(n)];
  for (std::size_t v = 1; v <= top; ++v) cdf[v] = std::min(cdf[v] + cdf[v - 1], 1.0);
  return cdf;
}

// P(U <= v) for v = 0 .. top. The last counts are kept: a comparison asks for the same sample
// sizes once per test.
std::vector<double> LowerTail(int m, int n, std::size_t top) {
  struct Counted {
    int m = 0;
    int n = 0;
    std::vector<double> cdf;
  };
  thread_local Counted last;
  if (last.m != m || last.n != n || last.cdf.size() <= top) {
    const std::size_t upTo = std::max(top, static_cast<std::size_t>(m) * static_cast<std::size_t>(n) / 2);
    std::vector<double> cdf;
    if (m <= kExactLimit && n <= kExactLimit) {
      cdf = ExactLowerTail(m, n, upTo);
    } else {
      for (std::size_t v = 0; v <= upTo; ++v) cdf.push_back(NormalCdf(m, n, static_cast<long long>(v)));
    }
    last = {m, n, std::move(cdf)};
  }
  return {last.cdf.begin(), last.cdf.begin() + static_cast<std::ptrdiff_t>(top) + 1};
}

}  // namespace

double MannWhitneyCdf(int m, int n, long long u) {
  if (m <= 0 || n <= 0) return u >= 0 ? 1.0 : 0.0;
  if (u >= static_cast<long long>(m) * n) return 1.0;
  if (u < 0) return 0.0;
  return LowerTail(m, n, static_cast<std::size_t>(u)).back();
}

std::optional<RatioEstimate> EstimateRatio(std::span<const double> base, std::span<const double> other,
                                           double level) {
  std::vector<double> a = SortedLogs(base);
  std::vector<double> b = SortedLogs(other);
  if (a.empty() || b.empty()) return std::nullopt;
  RatioEstimate estimate;
  estimate.baseCount = static_cast<int>(a.size());
  estimate.otherCount = static_cast<int>(b.size());
  const auto keep = static_cast<std::size_t>(std::sqrt(static_cast<double>(kMaxPairs)));
  if (a.size() * b.size() > kMaxPairs) {
    a = Thinned(a, keep);
    b = Thinned(b, keep);
  }
  std::vector<double> differences;
  differences.reserve(a.size() * b.size());
  for (const double x : a) {
    for (const double y : b) differences.push_back(y - x);
  }
  const std::size_t pairs = differences.size();
  // The i-th smallest difference, without sorting them all.
  const auto nth = [&](std::size_t i) {
    std::nth_element(differences.begin(), differences.begin() + static_cast<std::ptrdiff_t>(i),
                     differences.end());
    return differences[i];
  };
  const double middle = pairs % 2 == 1 ? nth(pairs / 2) : (nth(pairs / 2 - 1) + nth(pairs / 2)) / 2.0;
  estimate.ratio = std::exp(middle);

  // The interval runs from the k-th smallest to the k-th largest difference; P(U <= k - 1) is the
  // chance that the true shift lies below it, and as much above. The largest k whose two tails
  // leave `level` is taken; when even k = 1 cannot, the widest interval and its own coverage.
  const int m = static_cast<int>(a.size());
  const int n = static_cast<int>(b.size());
  const double tail = (1.0 - level) / 2.0;
  const std::vector<double> cdf = LowerTail(m, n, pairs / 2);
  std::size_t k = 1;
  while (k < cdf.size() && cdf[k] <= tail) ++k;  // cdf[k - 1] = P(U <= k - 1)
  const double below = cdf[k - 1];
  const double coverage = 1.0 - 2.0 * below;
  if (coverage > 0.0 && k <= pairs - k + 1) {
    estimate.low = std::exp(nth(k - 1));
    estimate.high = std::exp(nth(pairs - k));
    estimate.coverage = coverage;
  }
  return estimate;
}

const char* RatioVerdictName(RatioVerdict verdict) {
  switch (verdict) {
    case RatioVerdict::kFaster:
      return "faster";
    case RatioVerdict::kSlower:
      return "slower";
    case RatioVerdict::kSame:
      return "same";
    case RatioVerdict::kInconclusive:
      break;
  }
  return "inconclusive";
}

RatioVerdict JudgeRatio(const RatioEstimate& estimate, double minEffect, double level) {
  // A little slack: an exact coverage of 0.95 must count as reaching 95 %.
  if (!estimate.low || !estimate.high || estimate.coverage < level - 1e-9) return RatioVerdict::kInconclusive;
  if (*estimate.low >= 1.0 - minEffect && *estimate.high <= 1.0 + minEffect) return RatioVerdict::kSame;
  if (*estimate.low > 1.0) return RatioVerdict::kFaster;
  if (*estimate.high < 1.0) return RatioVerdict::kSlower;
  return RatioVerdict::kInconclusive;
}

}  // namespace asmpic::app
