#pragma once
// Whether a series of pass scores drifts over a run: the Mann-Kendall rank test, which assumes no
// distribution and sees any steady rise or fall, and the Theil-Sen slope, which says how large it is.
#include <span>

namespace asmpic::app {

struct Trend {
  int count = 0;
  double statistic = 0.0;  // Mann-Kendall S: concordant minus discordant pairs
  double z = 0.0;          // S against its spread under "no trend" (ties and continuity corrected)
  double pValue = 1.0;     // two-sided
  // Theil-Sen slope x (count - 1) over the median: the change from the first pass to the last as a
  // share of the typical score; negative when the passes slowed down.
  double relativeChange = 0.0;
  bool significant = false;  // pValue below the level and the change at least the smallest that matters
};

inline constexpr int kTrendMinimumPasses = 6;
inline constexpr double kTrendLevel = 0.01;
inline constexpr double kTrendSmallestChange = 0.02;

// Nothing significant for fewer than kTrendMinimumPasses scores.
Trend FindTrend(std::span<const double> scores);

}  // namespace asmpic::app
