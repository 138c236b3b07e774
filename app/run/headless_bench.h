#pragma once
// The benchmark without a window: Form1's run on the headless backend, printed as the list shows
// it, with repeats and their statistics, the multi-core pass, validation of every picture, and
// JSON and CSV results.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/history/history_cli.h"
#include "app/results/machine_info.h"
#include "app/run/run_recorder.h"
#include "app/run/sustained_command.h"
#include "kernels/kernel_store.h"
#include "platform/controls.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace asmpic::app {

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;    // a start picture unreadable, an output unwritable
inline constexpr int kExitUsage = 2;    // a malformed command line
inline constexpr int kExitInvalid = 3;  // a test computed a wrong picture

inline constexpr double kDefaultMinTime = 3.0;
inline constexpr int kMinimumRuns = 5;
inline constexpr double kDefaultMaxTime = 60.0;  // with --precision

struct HeadlessOptions {
  std::string assetsDirectory;  // empty: AssetsDirectory()
  // 0: not asked for: the window's single pass gives the list and the score, and the throughput
  // runs follow it (at least five, filling minTime). N: a warm-up, then N timed runs, whose median
  // total gives the score.
  int repeat = 0;
  bool noWarmup = false;  // with --repeat: no untimed warm-up run before the timed ones
  double minTime = -1.0;  // seconds the timed runs fill; < 0: kDefaultMinTime, or 0 with --repeat
  int threads = -1;       // -1: one per core
  std::string jsonPath;   // "-": standard output
  std::string csvPath;    // "-": standard output
  bool listTests = false;
  std::vector<std::string> tests;  // short names; empty: all
  bool quiet = false;
  bool verbose = false;  // the decoder's own account of a start picture it cannot read
  double precision = 0.0;      // percent; > 0: timed runs until the score's interval is this narrow
  double maxTime = 0.0;        // seconds; > 0: the timed runs end within it (with --precision: default 60)
  std::string order = "shuffled";  // or "fixed": the tests' order in the timed runs
  long long seed = -1;             // of the shuffled orders; < 0: a random one
  double sustainedMinutes = 0.0;   // > 0: a sustained run instead (app/run/sustained_command.h)
  bool scaling = false;            // then the multi-core pass at 1, 2, 4, ... threads
  std::vector<std::string> card;   // a picture file of the result card, and the run to draw (none: this run)
  std::string machineName;         // empty: DefaultMachineName()
  bool shareHostName = false;      // keep the host name in the result
  std::string metricsPath;         // the run in the Prometheus text format

  HistoryOptions history;  // registered by AddHistoryOptions

  // Not on the command line; tests set these.
  int minRuns = kMinimumRuns;  // timed runs at least when --repeat is not given
  KernelStore kernels = {};
  std::function<float()> timeOfDay;  // unset: the real time of day
  MonotonicClock monotonic;          // unset: steady_clock
  std::optional<bool> showProgress;  // unset: when stderr is a terminal
  SustainedTestHooks sustainedHooks;
};

// Registers the headless run's command-line options. Returns those that only a headless run
// takes, so that the caller can let them imply it.
std::vector<CLI::Option*> AddHeadlessOptions(CLI::App& cli, HeadlessOptions& options);
// The exit statuses, for --help.
std::string HeadlessExitStatusHelp();

// Runs the benchmark as `options` ask and prints the list lines and the score line to `out`
// (followed by statistics, the multi-core score and the validation); errors go to `err`.
// Returns the exit status.
int RunHeadlessBenchmark(const HeadlessOptions& options, std::ostream& out, std::ostream& err);

// This machine as the result document names it: --machine-name, and the host name only with
// --share-host-name.
MachineInfo ThisMachine(const HeadlessOptions& options);

// The list's lines, one per line, then "Score: N (green)" or "Score: N (red)".
void PrintResult(const platform::ListBox& list, const platform::Label& label, std::ostream& out);

}  // namespace asmpic::app
