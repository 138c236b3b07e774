#pragma once
// Whether a result can be trusted, from the conditions it was measured under and the spread and
// drift of its passes: one word, the reasons in plain words and what a user can do about each.
// The program only advises; it changes no setting of the machine.
#include <optional>
#include <string>
#include <vector>

#include "app/results/statistics.h"
#include "app/run/condition_watch.h"
#include "app/run/trend.h"

namespace asmpic::app {

// From the best to the worst: a result takes the worst state any of its reasons gives.
enum class TrustState { Trusted, Noisy, Unstable, Throttled };

struct VerdictReason {
  TrustState state = TrustState::Noisy;
  std::string text;    // what was seen: "other programs used 71 % of one core during the run"
  std::string advice;  // "close them or run again"
};

struct TrustVerdict {
  TrustState state = TrustState::Trusted;
  std::vector<VerdictReason> reasons;
  std::vector<std::string> notes;  // worth knowing, no reason to doubt the result
};

// Other programs' load from this share of one core makes a run noisy.
inline constexpr double kNoisyOtherLoad = 0.10;
// So does a throughput score interval wider than this share of the median.
inline constexpr double kNoisySpread = 0.05;
// A mean clock that falls by this share between the first and the last passes is throttling.
inline constexpr double kClockDrop = 0.15;

const char* TrustName(TrustState state);

TrustVerdict Judge(const RunConditions& conditions, const Trend& trend, const MedianEstimate& score);

// "noisy: other programs used 71 % of one core during the run (close them or run again)".
std::string VerdictSummary(const TrustVerdict& verdict);

}  // namespace asmpic::app
