#pragma once
// Thread scaling: the multi-core pass at 1, 2, 4, ... threads and at every processor this process
// may use, each point's throughput (the work of all threads over the wall time), its speed-up over
// one thread and its efficiency (speed-up per thread). The points are measured in rounds, each
// round running every thread count once, so that a machine that speeds up or slows down over the
// run (other programs, heat) moves all points alike; a round's speed-up divides its own points,
// and the medians of those ratios with their intervals are what is reported.
#include <nlohmann/json.hpp>
#include <sched.h>

#include <iosfwd>
#include <span>
#include <string>
#include <vector>

#include "app/results/statistics.h"
#include "app/results/validation.h"
#include "app/run/run_recorder.h"
#include "kernels/kernel_store.h"
#include "platform/image.h"

namespace asmpic::app {

// 1, 2, 4, ... below `usable`, then `usable` itself; {1} for fewer than two.
std::vector<int> ScalingThreadCounts(int usable);
// The same for the processors set in an affinity mask.
std::vector<int> ScalingThreadCounts(const cpu_set_t& mask);

struct ScalingPoint {
  int threads = 0;
  std::vector<double> mpix;      // per round: all threads' work over the pass's wall time, Mpix/s
  std::vector<double> speedups;  // per round: its mpix over the same round's one-thread mpix
  MedianEstimate throughput;
  MedianEstimate speedup;
  // speedup / threads, median and interval alike.
  MedianEstimate efficiency() const;
};

struct ScalingResult {
  int usableProcessors = 0;
  int rounds = 0;
  std::vector<ScalingPoint> points;  // by thread count; the first is one thread
  Verdict verdict = Verdict::NotApplicable;  // of every picture of every pass
};

// The points' estimates from their per-round throughputs (point 0 is the one-thread point): each
// round's speed-up is its throughput over the same round's one-thread throughput.
void SummarizeScaling(ScalingResult& result);

struct ScalingPlan {
  std::vector<int> threadCounts;  // starting with 1
  std::vector<int> tests{0, 1, 2, 3, 4, 5, 6};
  int minRounds = 11;      // enough for a 95 % interval of each median
  double minTime = 5.0;    // more rounds until the timed passes add up to this many seconds
  int maxRounds = 200;
  KernelStore kernels = {};
  long long pixelsPerCall = 0;  // what every engine call processes; 0: Picture1's pixels
};

// Runs one untimed round, then the timed rounds; in every round the thread counts take turns,
// in alternate order from round to round. Throws std::runtime_error when a pass cannot run;
// stops after the round a signal (platform/interruption.h) interrupted.
ScalingResult RunScaling(const platform::Image& picture1, const platform::Image& picture2, const ScalingPlan& plan,
                         const MonotonicClock& clock, std::ostream* progress = nullptr);

// The result document's "scaling" object.
nlohmann::ordered_json ScalingJson(const ScalingResult& result);

// The table: threads, Mpix/s, speed-up and efficiency, each with its interval.
void WriteScaling(const ScalingResult& result, std::ostream& out);

}  // namespace asmpic::app
