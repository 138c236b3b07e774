#pragma once
// A headless benchmark session: an untimed warm-up, the timed runs, their statistics and score,
// the validation of every picture, and the multi-core pass.
#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/results/run_recorder.h"
#include "app/results/statistics.h"
#include "app/results/validation.h"
#include "app/score.h"
#include "kernels/kernel_store.h"
#include "platform/image.h"

namespace asmpic::app {

struct BenchmarkPlan {
  std::vector<int> tests{0, 1, 2, 3, 4, 5, 6};  // indices into kBenchmarkTests, in table order
  int repeat = 1;                               // timed runs
  bool warmup = true;                           // one untimed run first
  int threads = 0;                              // engines of the multi-core pass; 0: no such pass
  KernelStore kernels = {};
};

struct BenchmarkHooks {
  MonotonicClock monotonic;          // unset: steady_clock
  std::function<float()> timeOfDay;  // the single-core form's clock; unset: the real time of day
  std::ostream* progress = nullptr;  // where the progress line goes (a terminal), or nowhere
};

struct RunSamples {
  std::vector<TestSample> tests;  // in plan order
  float totalSeconds = 0.0f;      // summed in single precision in test order, as the run sums T
  double monotonicTotal = 0.0;
};

struct TestStatistics {
  int test = 0;
  Statistics seconds;
  Statistics monotonicSeconds;
};

// The throughput of N engines at once: N copies of the workload in a wall time W (the monotonic
// clock, from the common start to the last thread's end). Its score is the classic formula applied
// to W / N, the wall time that one copy cost; from the median W over the passes.
struct MultiCoreResult {
  int threads = 0;
  std::vector<double> wallSeconds;  // per pass
  Statistics wall;
  double secondsPerCopy = 0.0;         // median W / N
  std::optional<Score> score;          // full runs only
  double speedup = 0.0;                // N x single-core median monotonic total / median W
  std::vector<Validation> validation;  // per thread
};

struct BenchmarkResult {
  BenchmarkPlan plan;
  bool fullRun = true;
  std::vector<RunSamples> runs;         // the timed runs, warm-up excluded
  std::vector<std::string> listLines;   // List1 after the last timed run
  std::vector<TestStatistics> perTest;  // in plan order
  Statistics total;
  Statistics monotonicTotal;
  std::optional<Score> score;  // from the median total; full runs only
  Validation validation;       // the single-core form, warm-up included
  std::optional<MultiCoreResult> multiCore;
  Verdict verdict = Verdict::NotApplicable;  // of every run, single- and multi-core
};

// A run stopped at a yield because SIGINT or SIGTERM arrived (platform/interruption.h).
struct RunInterrupted : std::runtime_error {
  explicit RunInterrupted(int caught) : std::runtime_error("interrupted"), signal(caught) {}
  int signal;
};

// Runs the plan on a headless form built from the two start pictures. Throws std::runtime_error
// when the multi-core pass cannot run, RunInterrupted when a signal stopped it.
BenchmarkResult RunBenchmark(const platform::Image& picture1, const platform::Image& picture2,
                             const BenchmarkPlan& plan, const BenchmarkHooks& hooks = {});

}  // namespace asmpic::app
