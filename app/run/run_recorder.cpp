#include "app/run/run_recorder.h"

#include <chrono>

namespace asmpic::app {

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void RunRecorder::TestStarting(int index) {
  if (progress_ != nullptr) progress_->TestStarting(index);
  start_ = clock_();
}

void RunRecorder::Iteration(int index, int call) {
  if (progress_ != nullptr) progress_->Iteration(index, call);
}

void RunRecorder::TestFinished(int index, float elapsedSeconds, const clsASMpic& engine) {
  const double monotonic = clock_() - start_;
  validator_.TestFinished(index, elapsedSeconds, engine);
  samples_.push_back({index, elapsedSeconds, monotonic, validator_.lastHash(), start_});
}

}  // namespace asmpic::app
