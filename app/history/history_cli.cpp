#include "app/history/history_cli.h"

#include <CLI/CLI.hpp>

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <ostream>

#include "app/run/assets.h"
#include "app/history/chart.h"
#include "app/history/comparison.h"
#include "app/history/drawing.h"
#include "app/history/fleet.h"
#include "app/history/history_db.h"
#include "app/history/history_store.h"
#include "app/history/history_transfer.h"
#include "app/history/result_summary.h"

namespace asmpic::app {

namespace {

std::string ScoreCell(const std::optional<double>& median, const std::optional<double>& low,
                      const std::optional<double>& high) {
  if (!median) return "-";
  char text[48];
  if (low && high && *median > 0.0) {
    std::snprintf(text, sizeof text, "%.1f ±%.1f%%", *median,
                  100.0 * std::max(*median - *low, *high - *median) / *median);
  } else {
    std::snprintf(text, sizeof text, "%.1f", *median);
  }
  return text;
}

// The verdict the stored document gives ("-" for documents older than verdicts).
std::string StoredVerdict(HistoryStore& db, long long id) {
  const auto document = db.Load(id);
  if (!document) return "-";
  const auto verdict = document->find("verdict");
  if (verdict == document->end() || !verdict->is_object()) return "-";
  const auto state = verdict->find("state");
  return state != verdict->end() && state->is_string() ? state->get<std::string>() : "-";
}

int ListRuns(const HistoryOptions& options, std::ostream& out, std::ostream& err) {
  const auto history = OpenHistory(options.path(), HistoryAccess::kRead);
  HistoryStore& db = *history;
  const std::vector<StoredRun> runs = db.List();
  if (!db.ok()) {
    err << "asmbench: " << db.error() << '\n';
    return 1;
  }
  // The threads that ran at once: the multi-core pass's, or the one of a run without that pass
  // (the window's), as the results dialog says.
  char line[320];
  std::snprintf(line, sizeof line, "%5s  %-20s  %-8s  %-18s  %7s  %-11s  %-16s  %-16s  %-14s  %s\n", "id",
                "started (UTC)", "mode", "kernels", "threads", "classic", "Mpix/s", "multi-core", "pictures",
                "verdict");
  out << line;
  std::size_t shown = 0;
  for (const StoredRun& r : runs) {
    if (!options.machine.empty() && StoredMachine(db, r.id) != options.machine) continue;
    ++shown;
    const std::string kernels =
        r.kernelChoice +
        (r.kernelTarget.empty() || r.kernelTarget == r.kernelChoice ? "" : " (" + r.kernelTarget + ")");
    const std::string classic =
        r.classicScore ? std::to_string(*r.classicScore) + " " + r.classicColour : std::string("-");
    std::snprintf(line, sizeof line, "%5lld  %-20s  %-8s  %-18s  %7d  %-11s  %-16s  %-16s  %-14s  %s\n", r.id,
                  EscapedForTerminal(r.startedAt).c_str(), EscapedForTerminal(r.mode).c_str(),
                  EscapedForTerminal(kernels).c_str(), std::max(r.threads, 1), EscapedForTerminal(classic).c_str(),
                  ScoreCell(r.score, r.scoreLow, r.scoreHigh).c_str(),
                  ScoreCell(r.multiScore, r.multiLow, r.multiHigh).c_str(),
                  EscapedForTerminal(r.validation).c_str(), EscapedForTerminal(StoredVerdict(db, r.id)).c_str());
    out << line;
  }
  if (shown == 0) {
    out << "(no stored runs" << (options.machine.empty() ? "" : " of " + EscapedForTerminal(options.machine))
        << " in " << db.where() << ")\n";
  }
  return 0;
}

int CompareResults(const HistoryOptions& options, const std::string& assets, std::ostream& out,
                   std::ostream& err) {
  std::vector<ResultSummary> columns;
  for (const std::string& name : options.compare) {
    std::string error;
    auto summary = ResolveResult(name, options.path(), assets, &error);
    if (!summary) {
      err << "asmbench: --compare: " << error << '\n';
      return 2;
    }
    columns.push_back(std::move(*summary));
  }
  CompareSettings settings;
  settings.minEffect = options.minEffect / 100.0;
  const Comparison comparison = Compare(std::move(columns), settings);
  WriteComparison(comparison, out);
  int status = 0;
  if (options.failIfSlower) {
    bool failed = false;
    const std::string why = SlowerGate(comparison, *options.failIfSlower, &failed);
    if (failed) {
      err << "asmbench: --fail-if-slower " << *options.failIfSlower << ": " << why << '\n';
      status = 1;
    }
  }
  if (options.chart.empty()) return status;
  const auto application = PictureApplication();
  std::string error;
  if (!WriteChart(comparison, options.chart, &error)) {
    err << "asmbench: " << error << '\n';
    return 1;
  }
  return status;
}

}  // namespace

std::string HistoryOptions::path() const {
  return dbPath.empty() ? DefaultHistoryPath() : dbPath;
}

std::vector<CLI::Option*> AddHistoryOptions(CLI::App& cli, HistoryOptions& options) {
  cli.add_option("--db", options.dbPath,
                 "the history: an SQLite file, or a PostgreSQL server's connection string (postgresql://... "
                 "or key=value, with the PG* variables and service files; a password belongs in ~/.pgpass, "
                 "PGPASSFILE or a service file, and never shown) (default: asmpic-bench/history.sqlite in the "
                 "user's data folder)")
      ->type_name("FILE|URI")
      ->check(CLI::Validator(
          [](const std::string& path) -> std::string {
            return path == ":memory:" ? ":memory: would keep nothing: name a file, or use --no-save" : "";
          },
          ""));
  cli.add_flag("--no-save", options.noSave, "do not store this run in the history");
  auto* list = cli.add_flag("--history", options.list, "list the stored runs, then exit");
  auto* compare =
      cli.add_option("--compare", options.compare,
                     "compare results test by test: stored run ids, result files (JSON) or reference "
                     "names (assets/references), the first being the base; then exit")
          ->type_name("RESULT ...")
          ->expected(1, -1);
  cli.add_option("--chart", options.chart,
                 "with --compare: draw the comparison as a bar chart; with --sustained: the run's speed, clock "
                 "and temperature over time; with --scaling: the speed-up against threads (.svg or .png)")
      ->type_name("FILE")
      // Refused before the comparison is worked out, as a malformed command line.
      ->check(CLI::Validator(
          [](std::string& name) -> std::string {
            const QString file = QString::fromStdString(name);
            return file.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive) ||
                           file.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)
                       ? ""
                       : name + " is neither .svg nor .png";
          },
          ""));
  cli.add_option("--min-effect", options.minEffect,
                 "with --compare: results whose ratio's interval lies within ± PERCENT of 1 are \"same\" "
                 "(default 2)")
      ->type_name("PERCENT")
      ->check(CLI::Range(0.0, 100.0))
      ->needs(compare);
  cli.add_option(
         "--fail-if-slower", options.failIfSlower,
         "with --compare: exit with 1 when the first result's throughput score is slower than the "
         "second's by more than PERCENT (the verdict is \"slower\"), or when the two cannot be judged")
      ->type_name("PERCENT")
      ->check(CLI::Range(0.0, 100.0))
      ->needs(compare);
  list->excludes(compare);
  auto* fleet = cli.add_flag("--fleet", options.fleet,
                             "list each machine's latest trusted run in the history (its processor, kernels "
                             "and throughput score), then exit")
                    ->excludes(list)
                    ->excludes(compare);
  auto* machine = cli.add_option("--machine", options.machine,
                                 "with --history or --fleet: only the runs of the machine NAME (as --fleet names "
                                 "it); --compare takes machine:NAME for its latest trusted run")
                      ->type_name("NAME")
                      ->excludes(compare);
  auto* push = cli.add_flag("--push",
                            options.push,
                            "send the runs kept in the local history while their server could not be "
                            "reached to the --db server, each once; then exit");
  auto* import = cli.add_option("--import", options.import,
                                "store result files (JSON, any format version) in the --db history, each "
                                "once; then exit")
                     ->type_name("FILE ...")
                     ->expected(1, -1);
  list->excludes(push)->excludes(import);
  compare->excludes(push)->excludes(import);
  push->excludes(import);
  fleet->excludes(push)->excludes(import);
  return {list, compare, fleet, machine, push, import};
}

int RunHistoryCommand(const HistoryOptions& options, const std::string& assetsDirectory, std::ostream& out,
                      std::ostream& err) {
  const std::string assets = assetsDirectory.empty() ? AssetsDirectory() : assetsDirectory;
  if (options.push) return PushUnsent(DefaultHistoryPath(), options.path(), out, err);
  if (!options.import.empty()) return ImportResults(options.import, options.path(), out, err);
  if (options.fleet) return ListFleet(options.path(), options.machine, out, err);
  if (!options.machine.empty() && !options.list) {
    err << "asmbench: --machine narrows --history or --fleet\n";
    return 2;
  }
  return options.list ? ListRuns(options, out, err) : CompareResults(options, assets, out, err);
}

std::optional<long long> SaveToHistory(const HistoryOptions& options, const nlohmann::ordered_json& document,
                                       std::ostream& err, bool* failed, bool quiet) {
  if (failed != nullptr) *failed = false;
  if (options.noSave) return std::nullopt;
  const auto db = OpenHistory(options.path(), HistoryAccess::kWrite);
  const auto id = db->Save(document);
  if (!id) {
    err << "asmbench: " << db->error() << "; this run was not stored\n";
    if (failed != nullptr) *failed = true;
    return std::nullopt;
  }
  if (!db->notice().empty()) {
    err << db->notice();
    return std::nullopt;  // the id is the local history's, not the one asked for
  }
  if (!quiet) err << "History: stored as run " << *id << " in " << db->where() << '\n';
  return id;
}

}  // namespace asmpic::app
