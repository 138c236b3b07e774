#include "app/run/pass_budget.h"

#include <cmath>
#include <cstdio>
#include <numeric>

#include "app/results/statistics.h"

namespace asmpic::app {

std::string PrecisionOutcome::Text() const {
  char text[128];
  if (met) {
    std::snprintf(text, sizeof text, "precision %.1f %% reached after %d %s", 100.0 * reached.value_or(0.0), passes,
                  passes == 1 ? "pass" : "passes");
  } else if (reached) {
    std::snprintf(text, sizeof text, "precision not reached: %.1f %% after %.0f s (%d passes; %.1f %% asked)",
                  100.0 * *reached, seconds, passes, 100.0 * target);
  } else {
    std::snprintf(text, sizeof text, "precision not reached: %d %s in %.0f s are too few for a 95 %% interval",
                  passes, passes == 1 ? "pass" : "passes", seconds);
  }
  return text;
}

bool PassBudget::Another(double now, std::span<const double> passSeconds, double passWall,
                         std::span<const double> scores) {
  const int passes = static_cast<int>(passSeconds.size());
  if (passes == 0) return true;
  const double filled = std::accumulate(passSeconds.begin(), passSeconds.end(), 0.0);
  const double elapsed = now - startedAt_;
  const bool fits = !plan_.maxTime || elapsed + kPassMargin * passWall <= *plan_.maxTime;

  bool wanted = passes < plan_.minPasses || filled < plan_.minTime;
  if (plan_.precision) {
    const MedianEstimate estimate = EstimateMedian(scores);
    PrecisionOutcome outcome;
    outcome.target = *plan_.precision;
    outcome.passes = passes;
    outcome.seconds = elapsed;
    if (const auto half = estimate.relativeHalfWidth(); half && estimate.confidence >= 0.95) outcome.reached = half;
    outcome.met = outcome.reached && *outcome.reached <= *plan_.precision;
    wanted = wanted || !outcome.met;
    outcome.budgetEnded = wanted && !fits;
    outcome_ = outcome;
  }
  return wanted && fits;
}

}  // namespace asmpic::app
