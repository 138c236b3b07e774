#pragma once
// How many timed passes a run makes: at least a number of them and a summed time, and with a
// precision asked for, more until the throughput score's interval is narrow enough, within a time
// budget that no pass may overrun.
#include <optional>
#include <span>
#include <string>

namespace asmpic::app {

// A pass may take longer than the longest one so far: the budget keeps this much more room for it.
inline constexpr double kPassMargin = 1.25;

struct PassBudgetPlan {
  int minPasses = 1;
  double minTime = 0.0;              // summed timed seconds, at least
  std::optional<double> precision;   // largest half-width of the score's interval, share of the median
  std::optional<double> maxTime;     // seconds from the run's start that the passes may use
};

struct PrecisionOutcome {
  double target = 0.0;              // share of the median
  std::optional<double> reached;    // the half-width at the end; none without a 95 % interval
  bool met = false;
  int passes = 0;
  double seconds = 0.0;             // from the run's start to the end of the last pass
  bool budgetEnded = false;         // the time budget ended the passes

  // "precision 0.8 % reached after 14 passes" / "precision not reached: 2.9 % after 60 s".
  std::string Text() const;
};

class PassBudget {
 public:
  PassBudget(PassBudgetPlan plan, double startedAt) : plan_(plan), startedAt_(startedAt) {}

  // Whether to start another pass at `now`, after passes that took `passSeconds` (their timed
  // sum) and `passWall` (the longest wall time of one pass) with these throughput scores. The
  // first pass always runs; with a budget, no pass starts unless the longest pass so far, with a
  // quarter more, would still end within it.
  bool Another(double now, std::span<const double> passSeconds, double passWall, std::span<const double> scores);

  // The outcome of a run with a precision, once Another said no.
  const std::optional<PrecisionOutcome>& outcome() const { return outcome_; }

 private:
  PassBudgetPlan plan_;
  double startedAt_;
  std::optional<PrecisionOutcome> outcome_;
};

}  // namespace asmpic::app
