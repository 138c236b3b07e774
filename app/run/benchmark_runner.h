#pragma once
// A headless benchmark session: the window's single pass or an untimed warm-up, the timed runs,
// their statistics, classic score and throughput score, the validation of every picture, and the
// multi-core pass.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/run/run_recorder.h"
#include "app/results/statistics.h"
#include "app/results/throughput.h"
#include "app/results/validation.h"
#include "app/run/condition_watch.h"
#include "app/run/pass_budget.h"
#include "app/run/run_verdict.h"
#include "app/run/score.h"
#include "app/run/trend.h"
#include "kernels/kernel_store.h"
#include "platform/image.h"

namespace asmpic::app {

struct BenchmarkPlan {
  std::vector<int> tests{0, 1, 2, 3, 4, 5, 6};  // indices into kBenchmarkTests, in table order
  // First one pass exactly as the window runs it (no warm-up before it): the list lines and the
  // classic score come from it, and it warms up the timed runs that follow.
  bool classicPass = false;
  int repeat = 1;        // timed runs at least (multi-core: passes at least)
  double minTime = 0.0;  // and more until their summed monotonic time reaches this many seconds
  bool warmup = true;    // one untimed run before the timed ones
  int threads = 0;       // engines of the multi-core pass; 0: no such pass
  KernelStore kernels = {};
  // More timed runs until the throughput score's interval is at most this share of the median.
  std::optional<double> precision;
  // Seconds from the start that the timed runs may use; no run starts that would end after it.
  std::optional<double> maxTime;
  bool shuffle = false;    // the timed runs take the tests in an order that changes from run to run
  std::uint64_t seed = 0;  // of those orders
  std::string conditionsRoot = "/";  // where the run conditions are read
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
  std::vector<int> order;  // the order the tests ran in (the samples stay in plan order)
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
  std::vector<double> wallSeconds;                            // per pass
  std::vector<std::vector<std::vector<TestSample>>> samples;  // per pass, per thread, per test
  Throughput throughput;  // per pass, each test's work of all threads over its wall time
  Statistics wall;
  double secondsPerCopy = 0.0;         // median W / N
  std::optional<Score> score;          // full runs only
  double speedup = 0.0;                // N x single-core median monotonic total / median W
  std::vector<Validation> validation;  // per thread
};

inline constexpr const char* kHeadlessMode = "headless";
inline constexpr const char* kWindowMode = "window";

struct BenchmarkResult {
  BenchmarkPlan plan;
  std::string mode = kHeadlessMode;  // a run in the window also times drawing on screen
  long long pixelsPerCall = 0;       // Picture1's pixels, which every engine call processes
  bool fullRun = true;
  std::optional<RunSamples> classicPass;  // the window's single pass, when the plan asks for it
  std::vector<RunSamples> runs;           // the timed runs, warm-up and classic pass excluded
  Throughput throughput;                  // of the timed runs
  std::vector<std::string> listLines;     // List1 after the classic pass, else after the last timed run
  std::vector<TestStatistics> perTest;    // in plan order
  Statistics total;
  Statistics monotonicTotal;
  std::optional<Score> score;  // from the classic pass, else the median total; full runs only
  Validation validation;       // the single-core form, warm-up included
  std::optional<MultiCoreResult> multiCore;
  Verdict verdict = Verdict::NotApplicable;  // of every run, single- and multi-core
  RunConditions conditions;                  // what the machine was like during the timed runs
  Trend trend;                               // of the timed runs' throughput scores
  TrustVerdict trust;                        // whether to believe the result
  std::optional<PrecisionOutcome> precision;  // with a precision asked for
};

// A run stopped at a yield because a signal arrived (platform/interruption.h), with what it had
// measured by then: the passes and timed runs that finished, as they were recorded.
struct RunInterrupted : std::runtime_error {
  explicit RunInterrupted(int caught, std::shared_ptr<const BenchmarkResult> finished = nullptr)
      : std::runtime_error("interrupted"), signal(caught), measured(std::move(finished)) {}
  int signal;
  std::shared_ptr<const BenchmarkResult> measured;
};

// Runs the plan on a headless form built from the two start pictures. Throws std::runtime_error
// when the multi-core pass cannot run, RunInterrupted when a signal stopped it.
BenchmarkResult RunBenchmark(const platform::Image& picture1, const platform::Image& picture2,
                             const BenchmarkPlan& plan, const BenchmarkHooks& hooks = {});

// Fills in the statistics, the throughput and (for a full run) the classic score from the runs.
void Summarize(BenchmarkResult& result);

// A run as the window made it: one pass, its samples, list and score, in the window mode.
BenchmarkResult WindowResult(std::vector<TestSample> samples, std::vector<std::string> listLines,
                             const Validation& validation, long long pixelsPerCall);

// Mpix/s of each test of a run, in its order.
std::vector<double> RunThroughput(const std::vector<TestSample>& samples, long long pixelsPerCall);

}  // namespace asmpic::app
