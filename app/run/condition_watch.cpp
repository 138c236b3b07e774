#include "app/run/condition_watch.h"

namespace asmpic::app {

void ConditionWatch::Start() {
  conditions_ = {};
  conditions_.before = ReadMachineSettings(root_);
  conditions_.start = ReadConditionSample(root_);
}

void ConditionWatch::PassStarting() { passStart_ = ReadConditionSample(root_); }

void ConditionWatch::PassFinished() {
  const ConditionSample end = ReadConditionSample(root_);
  conditions_.passes.push_back({MeanOf(passStart_.meanFrequencyMHz, end.meanFrequencyMHz),
                                OtherLoad(passStart_, end), ThrottleEventsBetween(passStart_, end)});
}

RunConditions ConditionWatch::Finish() {
  conditions_.after = ReadMachineSettings(root_);
  conditions_.end = ReadConditionSample(root_);
  conditions_.otherLoad = OtherLoad(conditions_.start, conditions_.end);
  conditions_.throttleEvents = ThrottleEventsBetween(conditions_.start, conditions_.end);
  return conditions_;
}

}  // namespace asmpic::app
