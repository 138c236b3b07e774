#pragma once
// asmbench's history and comparison options: where finished runs are kept (--db, --no-save), and
// the commands that read them (--history, --compare with --chart), which run no benchmark.
#include <nlohmann/json.hpp>

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace asmpic::app {

struct HistoryOptions {
  std::string dbPath;  // empty: DefaultHistoryPath()
  bool noSave = false;
  bool list = false;                   // --history
  std::vector<std::string> compare;    // run ids, result files, reference names
  std::string chart;                   // with --compare: an .svg or .png file
  double minEffect = 2.0;              // with --compare: percent within which results are "same"
  std::optional<double> failIfSlower;  // with --compare: percent; exit 1 when [1] is slower by more
  bool fleet = false;                  // --fleet: each machine's latest trusted run
  std::string machine;                 // --machine: --history and --fleet show this machine only
  bool push = false;                   // --push: send the locally kept runs to the --db server
  std::vector<std::string> import;     // --import: result files to store

  std::string path() const;
  bool command() const { return list || !compare.empty() || fleet || !machine.empty() || push || !import.empty(); }
};

// Registers the options; returns the two commands, which exclude a benchmark run.
std::vector<CLI::Option*> AddHistoryOptions(CLI::App& cli, HistoryOptions& options);

// --history or --compare: prints the stored runs or the comparison (and writes the chart). The
// exit status: 0, 1 when the database or a file cannot be read or the chart written, or when
// --fail-if-slower finds the first result slower than the second (or cannot judge them), 2 for a
// result that cannot be found.
int RunHistoryCommand(const HistoryOptions& options, const std::string& assetsDirectory, std::ostream& out,
                      std::ostream& err);

// Stores a finished run unless --no-save, and says where on `err` (unless `quiet`). The run's id;
// nothing when it was not saved (then `failed` tells whether that was an error, reported on `err`).
std::optional<long long> SaveToHistory(const HistoryOptions& options, const nlohmann::ordered_json& document,
                                       std::ostream& err, bool* failed, bool quiet = false);

}  // namespace asmpic::app
