#pragma once
// Summaries of repeated timings.
#include <optional>
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

// The median of a sample and a confidence interval for the population median that assumes nothing
// about the distribution: the k-th smallest and the k-th largest sample, with k the largest order
// for which the number of samples below the median (binomial, n, 1/2) keeps the interval's coverage
// at or above the level asked for. Five samples cannot reach 95 %: their widest interval, the
// minimum to the maximum, covers 93.75 %; `confidence` says what the interval really covers.
struct MedianEstimate {
  int count = 0;
  double median = 0.0;
  std::optional<double> low;  // none for fewer than two samples
  std::optional<double> high;
  double confidence = 0.0;  // the interval's coverage; 0 without an interval
  // The larger distance from the median to an end of the interval, as a fraction of the median.
  std::optional<double> relativeHalfWidth() const;
};

MedianEstimate EstimateMedian(std::span<const double> samples, double level = 0.95);

}  // namespace asmpic::app
