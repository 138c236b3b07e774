#pragma once
// asmbench --sustained MINUTES: the sustained run at the command line, with its progress, its
// report, its place in the history and its chart.
#include <iosfwd>

#include "app/run/sustained_run.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace asmpic::app {

struct HeadlessOptions;

// Not on the command line: what tests script in a sustained run.
struct SustainedTestHooks {
  PassRunner pass;        // unset: the real multi-core pass
  SensorReader sensors;   // unset: the machine's sensors
  MonotonicClock clock;   // unset: steady_clock
};

// Registers --sustained MINUTES into `minutes`.
CLI::Option* AddSustainedOption(CLI::App& cli, double& minutes);

// Runs a sustained run as `options` ask (their sustainedMinutes > 0), prints its progress and
// errors on `err` and its summary on `out`, stores it and draws --chart. The exit status: 0, 1 an
// output or the history not written, 2 a malformed combination, 3 a wrong picture, 128 + the
// signal that ended it early (what it measured is still reported and stored).
int RunSustainedBenchmark(const HeadlessOptions& options, std::ostream& out, std::ostream& err);

}  // namespace asmpic::app
