#pragma once
// The run conditions of one benchmark session: the machine's settings before and after it, and
// cheap samples around every timed pass, turned into what the verdict looks at.
#include <optional>
#include <string>
#include <vector>

#include "app/run/run_conditions.h"

namespace asmpic::app {

struct PassConditions {
  std::optional<double> meanFrequencyMHz;  // the mean of the readings at the pass's start and end
  std::optional<double> otherLoad;         // cores' worth of other programs during the pass
  std::optional<long long> throttleEvents;
};

struct RunConditions {
  MachineSettings before;
  MachineSettings after;
  ConditionSample start;  // before the first timed pass
  ConditionSample end;    // after the last pass, multi-core ones included
  std::optional<double> otherLoad;         // over the whole span
  std::optional<long long> throttleEvents;  // over the whole span
  std::vector<PassConditions> passes;      // the single-core timed passes, in their order
};

class ConditionWatch {
 public:
  explicit ConditionWatch(std::string root = "/") : root_(std::move(root)) {}

  void Start();
  void PassStarting();
  void PassFinished();
  // Reads the settings again and closes the span.
  RunConditions Finish();

 private:
  std::string root_;
  RunConditions conditions_;
  ConditionSample passStart_;
};

}  // namespace asmpic::app
