#include "app/history/fleet.h"

#include <QDir>
#include <QSettings>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <ostream>
#include <tuple>

#include "app/history/comparison.h"
#include "app/history/history_store.h"
#include "app/results/machine_name.h"

namespace asmpic::app {

namespace {

using json = nlohmann::ordered_json;

std::string ScoreText(const MedianEstimate& score) {
  if (score.count == 0) return "-";
  char text[48];
  if (const auto half = score.relativeHalfWidth()) {
    std::snprintf(text, sizeof text, "%.1f ±%.1f%%", score.median, 100.0 * *half);
  } else {
    std::snprintf(text, sizeof text, "%.1f", score.median);
  }
  return text;
}

// The share of `others` below `value`, as a whole percentage.
// Whether `f` is of the machine that made `run`: the same name, or a document made before names
// of the same processor.
bool SameMachine(const FleetRun& f, const ResultSummary& run, const std::string& machine) {
  return f.machine == machine || (!f.named && f.summary.cpuModel == run.cpuModel);
}

int PercentBelow(double value, const std::vector<double>& others) {
  const auto below = std::count_if(others.begin(), others.end(), [value](double o) { return o < value; });
  return static_cast<int>(std::lround(100.0 * static_cast<double>(below) / static_cast<double>(others.size())));
}

}  // namespace

bool TrustedDocument(const json& document) {
  const auto verdict = document.find("verdict");
  if (verdict == document.end() || !verdict->is_object()) return false;
  const auto state = verdict->find("state");
  if (state == verdict->end() || *state != "trusted") return false;
  const auto validation = document.find("validation");
  return validation == document.end() || !validation->is_object() || validation->value("state", "") != "invalid";
}

std::vector<FleetRun> LatestTrustedRuns(HistoryStore& db, const std::string& only) {
  // Newest first, so that each machine's document is read only until its latest trusted run is
  // found: the listing's columns name the machine and the validation without the document.
  std::vector<StoredRun> stored = db.List();
  std::sort(stored.begin(), stored.end(), [](const StoredRun& a, const StoredRun& b) {
    return std::tie(a.startedAt, a.id) > std::tie(b.startedAt, b.id);
  });
  std::map<std::string, FleetRun> latest;
  for (const StoredRun& run : stored) {
    if (run.validation == "invalid" || latest.contains(run.machine)) continue;
    if (!only.empty() && run.machine != only) continue;
    const auto document = db.Load(run.id);
    if (!document || !TrustedDocument(*document)) continue;
    auto summary = SummarizeDocument(*document, nullptr);
    if (!summary) continue;
    summary->label = "run " + std::to_string(run.id);
    const json machine = document->value("machine", json::object());
    const json name = machine.is_object() ? machine.value("name", json()) : json();
    const bool named = name.is_string() && name.get<std::string>().find_first_not_of(" \t\r\n") != std::string::npos;
    latest[run.machine] = FleetRun{run.machine, run.id, named, std::move(*summary)};
  }
  std::vector<FleetRun> runs;
  for (auto& [machine, run] : latest) runs.push_back(std::move(run));
  return runs;
}

std::string StoredMachine(HistoryStore& db, long long id) {
  const auto document = db.Load(id);
  return document ? DocumentMachineName(*document) : std::string();
}

int ListFleet(const std::string& path, const std::string& only, std::ostream& out, std::ostream& err) {
  const auto history = OpenHistory(path, HistoryAccess::kRead);
  HistoryStore& db = *history;
  const std::vector<FleetRun> runs = LatestTrustedRuns(db, only);
  if (!db.ok()) {
    err << "asmbench: " << db.error() << '\n';
    return 1;
  }
  std::size_t width = 7;
  for (const FleetRun& run : runs) width = std::max(width, DisplayWidth(EscapedForTerminal(run.machine)));
  const auto padded = [](const std::string& text, std::size_t to) {
    const std::size_t used = DisplayWidth(text);
    return text + std::string(used < to ? to - used : 0, ' ');
  };
  char line[256];
  std::snprintf(line, sizeof line, "  %-20s  %-12s  %-16s  %5s  %s\n", "started (UTC)", "kernels", "Mpix/s score",
                "run", "processor");
  out << padded("machine", width) << line;
  for (const FleetRun& run : runs) {
    const ResultSummary& s = run.summary;
    std::snprintf(line, sizeof line, "  %-20s  %-12s  %-16s  %5lld  ", s.startedAt.c_str(),
                  (s.kernelTarget.empty() ? s.kernelChoice : s.kernelTarget).c_str(), ScoreText(s.score).c_str(),
                  run.id);
    out << padded(EscapedForTerminal(run.machine), width) << line << (s.cpuModel.empty() ? "-" : s.cpuModel)
        << '\n';
  }
  if (runs.empty()) {
    out << "(no trusted runs" << (only.empty() ? "" : " of " + EscapedForTerminal(only)) << " in " << db.where() << ")\n";
  }
  return 0;
}

std::optional<ResultSummary> MachineResult(const std::string& path, const std::string& machine,
                                           std::string* error) {
  const auto history = OpenHistory(path, HistoryAccess::kRead);
  HistoryStore& db = *history;
  std::vector<FleetRun> runs = machine.empty() ? std::vector<FleetRun>{} : LatestTrustedRuns(db, machine);
  if (!db.ok()) {
    if (error != nullptr) *error = db.error();
    return std::nullopt;
  }
  if (runs.empty()) {
    if (error != nullptr) {
      *error = "machine:" + EscapedForTerminal(machine) + ": no trusted run of a machine of that name in " + db.where() +
               " (asmbench --fleet lists them)";
    }
    return std::nullopt;
  }
  ResultSummary summary = std::move(runs.front().summary);
  summary.label = EscapedForTerminal(machine) + " (run " + std::to_string(runs.front().id) + ")";
  return summary;
}

std::string ConfiguredFleetDatabase() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const QString folder = xdg != nullptr && *xdg == '/' ? QString::fromLocal8Bit(xdg) : QDir::homePath() + "/.config";
  const QSettings settings(folder + "/asmpic-bench/asmpic-bench.conf", QSettings::IniFormat);
  return settings.value(QStringLiteral("database")).toString().trimmed().toStdString();
}

std::optional<Standing> ScoreStanding(const ResultSummary& run, const std::string& machine,
                                      const std::vector<FleetRun>& fleet) {
  std::vector<double> scores;
  for (const FleetRun& f : fleet) {
    if (!SameMachine(f, run, machine) && f.summary.score.count > 0) scores.push_back(f.summary.score.median);
  }
  if (run.score.count == 0 || scores.empty()) return std::nullopt;
  return Standing{PercentBelow(run.score.median, scores), scores.size()};
}

std::vector<std::string> StandingLines(const ResultSummary& run, const std::string& machine,
                                       const std::vector<FleetRun>& fleet) {
  std::vector<const ResultSummary*> others;
  for (const FleetRun& f : fleet) {
    if (!SameMachine(f, run, machine)) others.push_back(&f.summary);
  }
  std::vector<std::string> lines;
  if (others.empty()) return lines;
  char text[256];
  if (const auto standing = ScoreStanding(run, machine, fleet)) {
    std::snprintf(text, sizeof text,
                  "Fleet: faster than %d %% of the %zu other machines' latest trusted runs in the throughput score",
                  standing->percentFaster, standing->machines);
    lines.emplace_back(text);
  }
  std::string byTest;
  for (const TestThroughput& test : run.tests) {
    std::vector<double> values;
    for (const ResultSummary* o : others) {
      for (const TestThroughput& t : o->tests) {
        if (t.name == test.name) values.push_back(t.mpix.median);
      }
    }
    if (values.empty()) continue;
    std::snprintf(text, sizeof text, "%s %d %% (of %zu)", test.name.c_str(), PercentBelow(test.mpix.median, values),
                  values.size());
    byTest += (byTest.empty() ? "" : ", ") + std::string(text);
  }
  if (!byTest.empty()) lines.push_back("Fleet, faster than this share by test: " + byTest);
  return lines;
}

}  // namespace asmpic::app
