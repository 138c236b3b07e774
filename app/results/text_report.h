#pragma once
// The result as a person reads it on a terminal.
#include <ostream>
#include <string>

#include "app/run/benchmark_runner.h"

namespace asmpic::app {

// The last run's list lines and the score line ("Score: N (green)", from the median total): exactly
// the lines the window's list and score show, which scripts read from standard output.
void WriteClassicLines(const BenchmarkResult& result, std::ostream& out);

// What else there is to read: for more than one run, each test's statistics on both clocks; the
// multi-core line; and the validation line.
void WriteReport(const BenchmarkResult& result, std::ostream& out);

// Each test's throughput with its interval, the single- and multi-core throughput scores, and what
// produced them: "Throughput score: 812.3 Mpix/s ± 0.7 % (headless, best (AVX2), 1 thread)".
void WriteThroughput(const BenchmarkResult& result, const std::string& kernels, std::ostream& out);

// "812.3 Mpix/s ± 0.7 %", with the interval's real coverage when it falls short of 95 %, and
// "(one run, no interval)" for a single run.
std::string ThroughputText(const MedianEstimate& estimate);

// The score line alone.
void WriteScoreLine(const BenchmarkResult& result, std::ostream& out);

// Each test's short name, caption, calls and what it does.
void WriteTestList(std::ostream& out);

}  // namespace asmpic::app
