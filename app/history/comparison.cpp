#include "app/history/comparison.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "app/history/fleet.h"
#include "app/history/history_db.h"

namespace asmpic::app {

namespace {

using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

std::optional<ResultSummary> ReadFile(const fs::path& path, std::string* error) {
  std::ifstream in(path);
  const json document = json::parse(in, nullptr, false);
  if (!in.is_open() || document.is_discarded()) {
    if (error != nullptr) *error = path.string() + " is not readable JSON";
    return std::nullopt;
  }
  std::string why;
  auto summary = SummarizeDocument(document, &why);
  if (!summary && error != nullptr) *error = path.string() + ": " + why;
  return summary;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.size() < 19 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, value >= 100 ? "%.0f" : value >= 10 ? "%.1f" : "%.2f", value);
  return text;
}

std::string Cell(const std::optional<MedianEstimate>& e) {
  if (!e || e->count == 0) return "-";
  std::string text = Number(e->median);
  if (const auto half = e->relativeHalfWidth()) {
    char spread[32];
    std::snprintf(spread, sizeof spread, " ±%.1f%%", 100.0 * *half);
    text += spread;
  }
  return text;
}

template <typename Pick>
std::vector<std::string> Distinct(const std::vector<ResultSummary>& columns, Pick pick) {
  std::vector<std::string> values;
  for (const ResultSummary& c : columns) {
    const std::string v = pick(c);
    if (std::find(values.begin(), values.end(), v) == values.end()) values.push_back(v);
  }
  return values;
}

std::string Joined(const std::vector<std::string>& values) {
  std::string text;
  for (const std::string& v : values) text += (text.empty() ? "" : ", ") + v;
  return text;
}

std::string ShortCommit(const std::string& commit) {
  if (commit.empty()) return "unknown";
  return commit.size() > 7 && commit != "unknown" ? commit.substr(0, 7) : commit;
}

std::string Percent(double fraction) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %%", 100.0 * fraction);
  return text;
}

// `text` padded with spaces to `width` display columns, on the left or the right.
std::string Padded(const std::string& text, std::size_t width, bool right) {
  const std::size_t used = DisplayWidth(text);
  const std::string fill(used < width ? width - used : 0, ' ');
  return right ? fill + text : text + fill;
}

std::string RatioCell(const std::optional<RatioEstimate>& r) {
  if (!r) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.3fx", r->ratio);
  return text;
}

std::string IntervalCell(const std::optional<RatioEstimate>& r, double headerCoverage) {
  if (!r || !r->low || !r->high) return "-";
  char text[64];
  std::snprintf(text, sizeof text, "[%.3f, %.3f]", *r->low, *r->high);
  std::string cell = text;
  if (std::abs(r->coverage - headerCoverage) > 5e-4) cell += " (" + Percent(r->coverage) + ")";
  return cell;
}

// The coverage most of the column's ratios reach: the score's where it has one.
double ColumnCoverage(const Comparison& comparison, std::size_t column) {
  double coverage = 0.0;
  for (const ComparisonRow& row : comparison.rows) {
    const auto& r = row.ratios[column];
    if (!r || !r->low) continue;
    if (row.name == "score") return r->coverage;
    if (coverage == 0.0) coverage = r->coverage;
  }
  return coverage;
}

}  // namespace

std::size_t DisplayWidth(const std::string& text) {
  // Every byte but UTF-8's continuation bytes starts a character.
  return static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::vector<ResultSummary> LoadReferences(const std::string& assetsDirectory) {
  std::vector<ResultSummary> references;
  std::error_code ec;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fs::path(assetsDirectory) / "references", ec)) {
    if (entry.path().extension() == ".json") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    if (auto summary = ReadFile(file, nullptr)) {
      summary->label = file.stem().string();
      references.push_back(std::move(*summary));
    }
  }
  return references;
}

std::optional<ResultSummary> ResolveResult(const std::string& name, const std::string& historyPath,
                                           const std::string& assetsDirectory, std::string* error) {
  std::error_code ec;
  if (fs::is_regular_file(name, ec)) {
    auto summary = ReadFile(name, error);
    if (summary) summary->label = fs::path(name).filename().string();
    return summary;
  }
  if (name.rfind("machine:", 0) == 0) return MachineResult(historyPath, name.substr(8), error);
  if (AllDigits(name)) {
    const auto history = OpenHistory(historyPath, HistoryAccess::kRead);
    HistoryStore& db = *history;
    if (!db.ok()) {
      if (error != nullptr) *error = db.error();
      return std::nullopt;
    }
    const auto document = db.Load(std::stoll(name));
    if (!document) {
      if (error != nullptr)
        *error = db.ok() ? "no stored run has the id " + name + " in " + db.where() : db.error();
      return std::nullopt;
    }
    std::string why;
    auto summary = SummarizeDocument(*document, &why);
    if (!summary && error != nullptr) *error = "run " + name + ": " + why;
    if (summary) summary->label = "run " + name;
    return summary;
  }
  for (ResultSummary& reference : LoadReferences(assetsDirectory)) {
    if (reference.label == name) return std::move(reference);
  }
  if (error != nullptr) {
    std::string names;
    for (const ResultSummary& r : LoadReferences(assetsDirectory))
      names += (names.empty() ? "" : ", ") + r.label;
    *error = "'" + name + "' is neither a result file, nor a stored run's id, nor a reference (" +
             (names.empty() ? std::string("none found") : names) + ")";
  }
  return std::nullopt;
}

std::vector<std::string> WorkDifferences(const ResultSummary& a, const ResultSummary& b) {
  std::vector<std::string> why;
  const WorkFingerprint& x = a.fingerprint;
  const WorkFingerprint& y = b.fingerprint;
  if (!x.present || !y.present) return why;
  if (x.kernelSources != y.kernelSources) {
    why.push_back(x.sourceCommit != y.sourceCommit
                      ? "different kernels (commit " + ShortCommit(x.sourceCommit) + " vs " +
                            ShortCommit(y.sourceCommit) + ")"
                      : "different kernels (sources " + x.kernelSources + " vs " + y.kernelSources + ")");
  }
  if (x.startPicture != y.startPicture) {
    why.push_back("another start picture");
  } else if (x.pixelsPerCall != y.pixelsPerCall) {
    why.push_back("pictures of another size");
  }
  if (x.scoreScale != y.scoreScale) {
    why.push_back("scores on another scale (version " + std::to_string(x.scoreScale) + " vs " +
                  std::to_string(y.scoreScale) + ")");
  }
  // A test both ran, with other calls or another expected picture, did other work.
  std::vector<std::string> tests;
  for (const std::string& t : x.tests) {
    const std::string name = t.substr(0, t.find(' '));
    const auto same = std::find_if(y.tests.begin(), y.tests.end(),
                                   [&](const std::string& u) { return u.substr(0, u.find(' ')) == name; });
    if (same != y.tests.end() && *same != t) tests.push_back(name);
  }
  if (!tests.empty()) why.push_back("other work in " + Joined(tests));
  return why;
}

Comparison Compare(std::vector<ResultSummary> columns, const CompareSettings& settings) {
  Comparison comparison;
  comparison.settings = settings;
  comparison.columns = std::move(columns);
  const auto& cols = comparison.columns;
  // The tests in the order the first result that has them lists them.
  std::vector<std::string> names;
  for (const ResultSummary& c : cols) {
    for (const TestThroughput& t : c.tests) {
      if (std::find(names.begin(), names.end(), t.name) == names.end()) names.push_back(t.name);
    }
  }
  for (std::size_t i = 0; i < cols.size(); ++i)
    comparison.differences.push_back(i == 0 ? std::vector<std::string>() : WorkDifferences(cols[0], cols[i]));
  // Each row's runs per column, for the ratios.
  std::vector<std::vector<std::vector<double>>> runs;
  for (const std::string& name : names) {
    ComparisonRow row{name, {}, {}, {}};
    std::vector<std::vector<double>> rowRuns;
    for (const ResultSummary& c : cols) {
      const auto found =
          std::find_if(c.tests.begin(), c.tests.end(), [&](const auto& t) { return t.name == name; });
      row.cells.push_back(found != c.tests.end() ? std::optional(found->mpix) : std::nullopt);
      rowRuns.push_back(found != c.tests.end() ? found->runs : std::vector<double>());
    }
    comparison.rows.push_back(std::move(row));
    runs.push_back(std::move(rowRuns));
  }
  ComparisonRow score{"score", {}, {}, {}};
  ComparisonRow multi{"multi-core", {}, {}, {}};
  std::vector<std::vector<double>> scoreRuns;
  std::vector<std::vector<double>> multiRuns;
  bool anyMulti = false;
  for (const ResultSummary& c : cols) {
    score.cells.push_back(c.score.count > 0 ? std::optional(c.score) : std::nullopt);
    scoreRuns.push_back(c.score.count > 0 ? c.scoreRuns : std::vector<double>());
    multi.cells.push_back(c.multiScore);
    multiRuns.push_back(c.multiScore ? c.multiScoreRuns : std::vector<double>());
    anyMulti |= c.multiScore.has_value();
  }
  comparison.rows.push_back(std::move(score));
  runs.push_back(std::move(scoreRuns));
  if (anyMulti) {
    comparison.rows.push_back(std::move(multi));
    runs.push_back(std::move(multiRuns));
  }
  for (std::size_t r = 0; r < comparison.rows.size(); ++r) {
    ComparisonRow& row = comparison.rows[r];
    for (std::size_t i = 0; i < cols.size(); ++i) {
      std::optional<RatioEstimate> ratio;
      if (i > 0) ratio = EstimateRatio(runs[r][0], runs[r][i], settings.level);
      std::optional<RatioVerdict> verdict;
      if (ratio && comparison.differences[i].empty())
        verdict = JudgeRatio(*ratio, settings.minEffect, settings.level);
      row.ratios.push_back(ratio);
      row.verdicts.push_back(verdict);
    }
  }

  const auto modes = Distinct(cols, [](const ResultSummary& c) { return c.mode; });
  if (modes.size() > 1) {
    comparison.notes.push_back("the results come from different modes (" + Joined(modes) +
                               "): a run in the window also times drawing on screen");
  }
  const auto targets = Distinct(
      cols, [](const ResultSummary& c) { return c.kernelTarget.empty() ? c.kernelChoice : c.kernelTarget; });
  if (targets.size() > 1)
    comparison.notes.push_back("the results ran different kernels (" + Joined(targets) + ")");
  const auto threads = Distinct(cols, [](const ResultSummary& c) { return std::to_string(c.threads); });
  if (threads.size() > 1 && anyMulti) {
    comparison.notes.push_back("the multi-core scores come from different thread counts (" + Joined(threads) +
                               ")");
  }
  const auto machines = Distinct(cols, [](const ResultSummary& c) { return c.cpuModel; });
  if (machines.size() > 1) comparison.notes.push_back("the results come from different processors");
  std::vector<std::string> unknown;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (!cols[i].fingerprint.present) unknown.push_back("[" + std::to_string(i + 1) + "]");
  }
  if (!unknown.empty()) {
    comparison.notes.push_back(Joined(unknown) + (unknown.size() == 1 ? " has" : " have") +
                               " no fingerprint (a document of an older version): whether the results did "
                               "the same work is not known");
  }
  return comparison;
}

std::string RatioText(const std::optional<MedianEstimate>& a, const std::optional<MedianEstimate>& b) {
  if (!a || !b || a->count == 0 || b->count == 0 || !(a->median > 0.0)) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2fx", b->median / a->median);
  return text;
}

void WriteComparison(const Comparison& comparison, std::ostream& out) {
  const auto& cols = comparison.columns;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    out << '[' << i + 1 << "] " << cols[i].label << ": " << cols[i].Provenance();
    if (!cols[i].cpuModel.empty()) out << ", " << cols[i].cpuModel;
    if (!cols[i].startedAt.empty()) out << ", " << cols[i].startedAt;
    if (cols[i].fingerprint.present) out << ", commit " << ShortCommit(cols[i].fingerprint.sourceCommit);
    if (!cols[i].validation.empty() && cols[i].validation != "valid")
      out << ", pictures " << cols[i].validation;
    out << '\n';
  }
  for (std::size_t i = 1; i < cols.size(); ++i) {
    if (comparison.differences[i].empty()) continue;
    out << '[' << i + 1 << "] is not comparable with [1]: " << Joined(comparison.differences[i])
        << "; its ratios are shown without a verdict\n";
  }

  // What the medians' intervals cover, where the runs are too few for the level.
  const double level = comparison.settings.level;
  std::string shortOfLevel;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    double least = 1.0;
    for (const ComparisonRow& row : comparison.rows) {
      const auto& cell = row.cells[i];
      if (cell && cell->low && cell->confidence > 0.0) least = std::min(least, cell->confidence);
    }
    if (least < level - 1e-9)
      shortOfLevel +=
          (shortOfLevel.empty() ? "" : ", ") + ("[" + std::to_string(i + 1) + "] ") + Percent(least);
  }
  out << "Mpix/s: the median ± the larger half of its " << Percent(level) << " interval"
      << (shortOfLevel.empty() ? std::string() : " (too few runs for it: " + shortOfLevel + ")") << ".\n";
  if (cols.size() > 1) {
    char effect[32];
    std::snprintf(effect, sizeof effect, "%g %%", 100.0 * comparison.settings.minEffect);
    out << "[n]/[1]: the ratio of Mpix/s over the runs (Hodges-Lehmann) and its interval (Mann-Whitney; its "
           "coverage in the header); faster or slower when the whole interval lies above or below 1, same "
           "when it lies within ±"
        << effect << ", inconclusive otherwise or when the interval does not reach " << Percent(level)
        << ".\n";
  }

  // The table as text cells, then aligned by display width.
  std::vector<std::vector<std::string>> table;
  std::vector<bool> rightAligned;
  std::vector<std::string> header = {"test"};
  rightAligned.push_back(false);
  std::vector<double> coverage(cols.size(), 0.0);
  for (std::size_t i = 0; i < cols.size(); ++i) {
    header.push_back("[" + std::to_string(i + 1) + "]");
    rightAligned.push_back(true);
    if (i == 0) continue;
    coverage[i] = ColumnCoverage(comparison, i);
    header.push_back("[" + std::to_string(i + 1) + "]/[1]");
    header.push_back(coverage[i] > 0.0 ? Percent(coverage[i]) + " interval" : std::string("interval"));
    header.push_back("verdict");
    rightAligned.insert(rightAligned.end(), {true, false, false});
  }
  table.push_back(header);
  for (const ComparisonRow& row : comparison.rows) {
    std::vector<std::string> line = {row.name};
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      line.push_back(Cell(row.cells[i]));
      if (i == 0) continue;
      line.push_back(row.ratios[i] ? RatioCell(row.ratios[i]) : RatioText(row.cells[0], row.cells[i]));
      line.push_back(IntervalCell(row.ratios[i], coverage[i]));
      line.push_back(row.verdicts[i] ? RatioVerdictName(*row.verdicts[i]) : "-");
    }
    table.push_back(line);
  }
  std::vector<std::size_t> widths(header.size(), 0);
  for (const auto& line : table) {
    for (std::size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(line[c]));
  }
  for (const auto& line : table) {
    std::string text;
    for (std::size_t c = 0; c < line.size(); ++c) {
      if (c > 0) text += "  ";
      text += Padded(line[c], widths[c], rightAligned[c]);
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out << text << '\n';
  }
  for (const std::string& note : comparison.notes) out << "Note: " << note << ".\n";
}

std::string SlowerGate(const Comparison& comparison, double percent, bool* failed) {
  *failed = true;
  const auto score = std::find_if(comparison.rows.begin(), comparison.rows.end(),
                                  [](const ComparisonRow& row) { return row.name == "score"; });
  if (comparison.columns.size() < 2 || score == comparison.rows.end() || !score->ratios[1])
    return "no verdict: [1] and [2] do not both hold the runs of a throughput score";
  if (!comparison.differences[1].empty())
    return "no verdict: [2] is not comparable with [1] (" + Joined(comparison.differences[1]) + ")";
  // The ratio is [2]/[1]: the first is slower by 1 - 1/ratio.
  const RatioEstimate& r = *score->ratios[1];
  const double slower = 1.0 - 1.0 / r.ratio;
  char text[160];
  if (score->verdicts[1] == RatioVerdict::kFaster && slower > percent / 100.0) {
    std::snprintf(text, sizeof text, "[1] is slower than [2] by %.1f %% (more than %g %%)", 100.0 * slower,
                  percent);
    return text;
  }
  *failed = false;
  return {};
}

std::string AgainstReferences(const ResultSummary& run, const std::vector<ResultSummary>& references) {
  if (run.score.count == 0) return {};
  const auto kernels = [](const ResultSummary& r) {
    return r.kernelTarget.empty() || r.kernelTarget == r.kernelChoice
               ? r.kernelChoice
               : r.kernelChoice + " (" + r.kernelTarget + ")";
  };
  std::string text;
  for (const ResultSummary& reference : references) {
    if (reference.score.count == 0 || !(reference.score.median > 0.0)) continue;
    // What differs between the reference and this run, and what does not: a ratio from another
    // processor measures the machine, one from other kernel sources measures the kernels too.
    std::vector<std::string> other;
    std::vector<std::string> same;
    const std::string processor = reference.cpuModel.empty() ? "unknown" : reference.cpuModel;
    (reference.cpuModel == run.cpuModel && !run.cpuModel.empty() ? same : other)
        .push_back("processor " + processor);
    (kernels(reference) == kernels(run) ? same : other).push_back("kernels " + kernels(reference));
    const WorkFingerprint& f = reference.fingerprint;
    if (!f.present) {
      other.push_back("kernel sources not recorded");
    } else if (run.fingerprint.present && f.kernelSources == run.fingerprint.kernelSources) {
      same.push_back("kernel sources");
    } else {
      other.push_back("kernel sources of commit " + ShortCommit(f.sourceCommit) +
                      (run.fingerprint.present
                           ? " (this build: " + ShortCommit(run.fingerprint.sourceCommit) + ")"
                           : std::string()));
    }
    (reference.mode == run.mode ? same : other).push_back("mode " + reference.mode);
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.2f× ", run.score.median / reference.score.median);
    std::string why;
    if (!other.empty()) why += "other " + Joined(other);
    if (!same.empty()) why += (why.empty() ? "" : "; ") + std::string("same ") + Joined(same);
    text += (text.empty() ? "" : ", ") + std::string(ratio) +
            (reference.description.empty() ? reference.label : reference.description) + " (" + why + ")";
  }
  return text;
}

}  // namespace asmpic::app
