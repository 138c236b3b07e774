#include "app/run/progress.h"

#include <unistd.h>

#include <ostream>

#include "app/run/benchmark_table.h"

namespace asmpic::app {

bool StderrIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
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
