#pragma once
// The throughput of several engines at once: the work of all engines over the wall time W from the
// first engine's start to the last one's end of the pass. Each test's is every engine's rate in
// the test weighted by the share of W that engine was running (its own span D over W), which sums
// to the engines' total work over W: engines that did not really run side by side do not add up
// to more than the machine did.
#include <vector>

#include "app/run/run_recorder.h"
#include "app/results/throughput.h"

namespace asmpic::app {

using PassSamples = std::vector<std::vector<TestSample>>;  // per thread, per test (same tests in each)

// Mpix/s of each test of one pass, in the order of the first thread's tests.
std::vector<double> PassWallThroughput(const PassSamples& pass, long long pixelsPerCall);

// The work of all engines and tests of one pass over its wall time, in Mpix/s.
double PassTotalThroughput(const PassSamples& pass, long long pixelsPerCall);

// Over the passes: each test's and the score's median with its interval.
Throughput WallThroughput(const std::vector<PassSamples>& passes, long long pixelsPerCall);

}  // namespace asmpic::app
