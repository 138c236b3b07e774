#pragma once
// The throughput score: how many megapixels per second each test processes (engine calls x the
// picture's pixels over the test's monotonic time), and the geometric mean over the tests. Higher
// is faster and it has no ceiling; doubling the speed of every test doubles it.
#include <span>
#include <vector>

#include "app/results/statistics.h"

namespace asmpic::app {

// calls x pixelsPerCall / seconds / 10^6; 0 for a time that is not positive.
double MegapixelsPerSecond(int calls, long long pixelsPerCall, double seconds);

// The geometric mean; 0 when a value is not positive or there is none.
double GeometricMean(std::span<const double> values);

struct Throughput {
  std::vector<MedianEstimate> tests;  // Mpix/s per test, over the runs, in plan order
  std::vector<double> runScores;      // the geometric mean over the tests of each run
  MedianEstimate score;               // the median run score and its interval
};

// From Mpix/s per run (outer) per test (inner). The score of a run is the geometric mean of its
// tests, so the score's spread is the spread of whole runs.
Throughput SummarizeThroughput(const std::vector<std::vector<double>>& megapixelsPerRun);

}  // namespace asmpic::app
