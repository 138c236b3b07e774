#pragma once
// A sustained run: multi-core passes back to back for a set time, every picture of every pass
// checked, with the throughput, clock frequency and hottest sensor of each pass, summed up as the
// burst speed, the sustained speed and when the machine first slowed down. The clock, the sensors
// and the pass itself are injected: the product passes the real ones, tests script them.
#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/run/multicore_throughput.h"
#include "app/results/validation.h"
#include "app/run/run_recorder.h"
#include "kernels/kernel_store.h"
#include "platform/image.h"

namespace asmpic::app {

inline constexpr double kBurstSeconds = 10.0;  // the burst score's span, from the start
inline constexpr double kSlowdownShare = 0.95;  // below this share of the burst speed is slower
inline constexpr double kSlowdownWindow = 3.0;  // seconds of passes whose median must be below it

// What the sensors say at one moment; empty where the system does not expose it.
struct SensorReading {
  std::optional<double> meanFrequencyMHz;
  std::optional<double> maxTemperatureC;
};
using SensorReader = std::function<SensorReading()>;
// The run conditions' readers on the real machine (/proc and /sys under `root`).
SensorReader MachineSensors(const std::string& root = "/");

// What one pass did.
struct PassWork {
  double mpixPerSecond = 0.0;  // the throughput score: the geometric mean of the tests' Mpix/s over the wall time
  double wallSeconds = 0.0;
  int wrongTest = -1;          // index into kBenchmarkTests of a test whose picture was wrong, or -1
  std::string wrongDetail;     // what was wrong (the hashes), for the report
  bool checked = true;         // false when the pictures could not be compared (other start pictures)
  bool interrupted = false;    // a signal stopped the pass before it finished: it counts for nothing
  PassSamples samples;         // per thread, per test
  std::vector<Validation> validation;  // per thread
};
// Runs pass `index` (from 0).
using PassRunner = std::function<PassWork(int index)>;

// The real pass: RunMultiCore's one pass of the seven tests on `threads` engines, validated.
PassRunner MultiCorePassRunner(const platform::Image& picture1, const platform::Image& picture2, int threads,
                               const KernelStore& kernels, const MonotonicClock& clock);

struct SustainedPass {
  double startSeconds = 0.0;  // from the run's start
  double endSeconds = 0.0;
  double mpixPerSecond = 0.0;
  std::optional<double> meanFrequencyMHz;  // the mean of the readings at its start and end
  std::optional<double> maxTemperatureC;   // the hottest sensor at its end
};

struct SustainedSummary {
  int passes = 0;
  double burstScore = 0.0;      // Mpix/s over the passes that started in the first kBurstSeconds
  double sustainedScore = 0.0;  // Mpix/s over the passes that started in the last third of the run
  double ratio = 0.0;           // sustained over burst
  std::optional<double> onsetSeconds;    // when the speed first stayed below kSlowdownShare of the burst
  std::optional<double> maxTemperatureC;  // the hottest reading of the run
};

struct SustainedFailure {
  int pass = 0;  // from 1
  double seconds = 0.0;
  std::optional<double> temperatureC;
  int test = 0;  // index into kBenchmarkTests
  std::string detail;
};

struct SustainedRun {
  int threads = 0;
  double askedSeconds = 0.0;
  std::vector<SustainedPass> passes;
  std::vector<PassSamples> samples;  // per finished pass
  SustainedSummary summary;
  std::optional<SustainedFailure> failure;  // the pass whose picture was wrong (not in `passes`)
  int interruptedBy = 0;                    // the signal that ended it early, or 0
  bool checked = true;                      // every pass's pictures were compared
  std::vector<Validation> validation;       // per thread, over every pass (the wrong one included)
};

struct SustainedHooks {
  MonotonicClock clock;  // unset: steady_clock
  SensorReader sensors;  // unset: this machine's (MachineSensors)
  // After every finished pass (the run so far), e.g. a progress line or a growing chart.
  std::function<void(const SustainedRun&)> passFinished;
  // Whether the run should end now (besides a caught signal), e.g. a cancel button.
  std::function<bool()> cancelled;
};

// Runs passes back to back until `seconds` have passed since the start, a picture is wrong, a
// signal is caught (platform/interruption.h) or `cancelled` says so.
SustainedRun RunSustained(double seconds, int threads, const PassRunner& pass, const SustainedHooks& hooks);

// The summary of `passes` (in order, timed from the run's start).
SustainedSummary SummarizeSustained(const std::vector<SustainedPass>& passes);

// "pass 412, 7 min 12 s, 88 °C: the twirl picture is wrong; this machine does not compute reliably
// under load" (the temperature left out when unknown).
std::string FailureText(const SustainedFailure& failure);
// "7 min 12 s", "42.0 s".
std::string DurationText(double seconds);
// The summary's lines for the report.
std::string SummaryText(const SustainedRun& run);

// The result document's "sustained" object.
nlohmann::ordered_json SustainedJson(const SustainedRun& run);

}  // namespace asmpic::app
