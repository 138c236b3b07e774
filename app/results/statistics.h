#pragma once
// Summaries of repeated timings.
#include <span>

namespace asmpic::app {

struct Statistics {
  int count = 0;
  double median = 0.0;  // of an even count: the mean of the two middle samples
  double min = 0.0;
  double max = 0.0;
  double stddev = 0.0;  // sample standard deviation (n - 1 in the denominator); 0 for one sample
};

// All zero for no samples.
Statistics Summarize(std::span<const double> samples);

}  // namespace asmpic::app
