#pragma once
// One observer per run that times each test on a monotonic clock, hashes its last picture and
// forwards to the progress line, in the order that keeps the timed span tight: the monotonic
// reading is the last thing before the time-of-day clock is read and the first thing after.
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "app/run/form1_handlers.h"
#include "app/run/progress.h"
#include "app/results/validation.h"

namespace asmpic::app {

// Seconds on a monotonic clock. Must be callable from several threads at once.
using MonotonicClock = std::function<double()>;
// std::chrono::steady_clock in seconds.
double SteadySeconds();

struct TestSample {
  int test = 0;                   // index into kBenchmarkTests
  float seconds = 0.0f;           // time of day, as the list shows it
  double monotonicSeconds = 0.0;  // the monotonic clock around the same span
  std::uint64_t hash = 0;         // plane 2 after the test's loop
  double startSeconds = 0.0;      // the monotonic clock at the test's start
};

class RunRecorder : public RunObserver {
 public:
  RunRecorder(PictureValidator& validator, MonotonicClock clock, ProgressObserver* progress = nullptr)
      : validator_(validator), clock_(std::move(clock)), progress_(progress) {}

  void TestStarting(int index) override;
  void Iteration(int index, int call) override;
  void TestFinished(int index, float elapsedSeconds, const clsASMpic& engine) override;

  // The samples since the last call, in the order the tests finished.
  std::vector<TestSample> TakeSamples() { return std::exchange(samples_, {}); }

 private:
  PictureValidator& validator_;
  MonotonicClock clock_;
  ProgressObserver* progress_;
  double start_ = 0.0;
  std::vector<TestSample> samples_;
};

}  // namespace asmpic::app
