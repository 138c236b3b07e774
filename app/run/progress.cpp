#include "app/run/progress.h"

#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <ostream>

#include "app/run/benchmark_table.h"

namespace asmpic::app {

bool StderrIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

std::string RunLabel(const std::string& noun, int index, int count, double filled, double minTime) {
  const std::string run = noun + ' ' + std::to_string(index + 1);
  const bool timeDecides = minTime > 0.0 && filled < minTime;
  if (!timeDecides) return run + " of " + std::to_string(std::max(count, index + 1));
  char seconds[64];
  std::snprintf(seconds, sizeof seconds, "%.1f of %.1f s", filled, minTime);
  if (index < count) return run + " of at least " + std::to_string(count) + ", " + seconds;
  return run + ", " + seconds;
}

ProgressObserver::ProgressObserver(std::ostream& out, std::function<double()> seconds, double interval)
    : out_(out), seconds_(std::move(seconds)), interval_(interval), last_(seconds_()) {}

ProgressObserver::~ProgressObserver() {
  Clear();
}

void ProgressObserver::TestStarting(int index) {
  Iteration(index, 0);
}

void ProgressObserver::Iteration(int index, int call) {
  // Called inside the timed loop: one clock reading, and a write only a few times a second.
  const double now = seconds_();
  if (now - last_ < interval_) return;
  last_ = now;
  const BenchmarkTest& test = kBenchmarkTests.at(static_cast<std::size_t>(index));
  // Carriage return and "erase to end of line": the line is rewritten in place.
  out_ << "\r\x1b[K" << label_ << (label_.empty() ? "" : ": ") << test.name << ' ' << call << '/'
       << CallCount(test) << std::flush;
  written_ = true;
}

void ProgressObserver::Clear() {
  if (!written_) return;
  out_ << "\r\x1b[K" << std::flush;
  written_ = false;
}

}  // namespace asmpic::app
