#pragma once
// Many machines in one history: each machine's latest trusted run, a machine's run to compare,
// and where a new run stands among the other machines. Everything is read through the history's
// List and Load, so it works the same on whatever keeps the history.
#include <nlohmann/json.hpp>

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/history/result_summary.h"

namespace asmpic::app {

class HistoryStore;

struct FleetRun {
  std::string machine;  // as the document names it (DocumentMachineName), not escaped
  long long id = 0;     // in the history
  bool named = false;   // the document names its machine; else it is named by its processor
  ResultSummary summary;
};

// True for a document whose verdict is "trusted" and whose pictures were not wrong. Documents
// made before verdicts cannot be trusted.
bool TrustedDocument(const nlohmann::ordered_json& document);

// Each machine's latest trusted run (by start time, then by id), sorted by machine name; only
// the machine `only` when it is given. Runs whose documents cannot be read are left out.
std::vector<FleetRun> LatestTrustedRuns(HistoryStore& db, const std::string& only = {});

// The machine a stored run came from; empty when the run cannot be loaded.
std::string StoredMachine(HistoryStore& db, long long id);

// --fleet: one line per machine of the history at `path` (opened read-only): the machine, the
// date, the kernel target, the throughput score with its interval, the run and the processor.
// 0, or 1 when the history cannot be read.
int ListFleet(const std::string& path, const std::string& only, std::ostream& out, std::ostream& err);

// "machine:NAME" of --compare: the machine's latest trusted run in the history at `path`, labelled
// "NAME (run N)"; nothing, with `error` set, when the machine has none.
std::optional<ResultSummary> MachineResult(const std::string& path, const std::string& machine,
                                           std::string* error);

// Runs of documents made before machines were named count as `run`'s own machine when they name
// the same processor: a history of one machine never compares the machine with itself.
// How many of the other machines' latest trusted runs have a throughput score, and the share of
// them (a whole percentage) that `run` of `machine` is faster than; nothing when `run` has no
// score or no other machine's run has one.
struct Standing {
  int percentFaster = 0;
  std::size_t machines = 0;
};
std::optional<Standing> ScoreStanding(const ResultSummary& run, const std::string& machine,
                                      const std::vector<FleetRun>& fleet);

// The history the user's configuration names for many machines: the `database` key of
// $XDG_CONFIG_HOME/asmpic-bench/asmpic-bench.conf (~/.config without XDG_CONFIG_HOME); empty when
// there is none.
std::string ConfiguredFleetDatabase();

// Where `run` of `machine` stands among the other machines' latest trusted runs: a line for the
// throughput score ("Fleet: faster than 73 % of the 41 other machines' latest trusted runs in the
// throughput score") and one by test; nothing when no other machine has a trusted run.
std::vector<std::string> StandingLines(const ResultSummary& run, const std::string& machine,
                                       const std::vector<FleetRun>& fleet);

}  // namespace asmpic::app
