#include "app/history/comparison.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>

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

}  // namespace

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
  if (AllDigits(name)) {
    HistoryDb db(historyPath, HistoryDb::kReadOnly);
    if (!db.ok()) {
      if (error != nullptr) *error = db.error();
      return std::nullopt;
    }
    const auto document = db.Load(std::stoll(name));
    if (!document) {
      if (error != nullptr)
        *error = db.ok() ? "no stored run has the id " + name + " in " + historyPath : db.error();
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

Comparison Compare(std::vector<ResultSummary> columns) {
  Comparison comparison;
  comparison.columns = std::move(columns);
  const auto& cols = comparison.columns;
  // The tests in the order the first result that has them lists them.
  std::vector<std::string> names;
  for (const ResultSummary& c : cols) {
    for (const TestThroughput& t : c.tests) {
      if (std::find(names.begin(), names.end(), t.name) == names.end()) names.push_back(t.name);
    }
  }
  for (const std::string& name : names) {
    ComparisonRow row{name, {}};
    for (const ResultSummary& c : cols) {
      const auto found =
          std::find_if(c.tests.begin(), c.tests.end(), [&](const auto& t) { return t.name == name; });
      row.cells.push_back(found != c.tests.end() ? std::optional(found->mpix) : std::nullopt);
    }
    comparison.rows.push_back(std::move(row));
  }
  ComparisonRow score{"score", {}};
  ComparisonRow multi{"multi-core", {}};
  bool anyMulti = false;
  for (const ResultSummary& c : cols) {
    score.cells.push_back(c.score.count > 0 ? std::optional(c.score) : std::nullopt);
    multi.cells.push_back(c.multiScore);
    anyMulti |= c.multiScore.has_value();
  }
  comparison.rows.push_back(std::move(score));
  if (anyMulti) comparison.rows.push_back(std::move(multi));

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
  return comparison;
}

bool BeyondSpread(const MedianEstimate& a, const MedianEstimate& b) {
  if (!a.low || !a.high || !b.low || !b.high) return false;
  return *a.high < *b.low || *b.high < *a.low;
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
    if (!cols[i].validation.empty() && cols[i].validation != "valid")
      out << ", pictures " << cols[i].validation;
    out << '\n';
  }
  out << "Mpix/s (median ± the larger half of its 95 % interval); ratio to [1]; * beyond both runs' spread\n";
  char text[96];
  std::snprintf(text, sizeof text, "%-11s", "test");
  out << text;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    char column[24];
    std::snprintf(column, sizeof column, "[%zu]", i + 1);
    std::snprintf(text, sizeof text, i == 0 ? " %16s" : " %16s %8s  ", column, "ratio");
    out << text;
  }
  out << '\n';
  for (const ComparisonRow& row : comparison.rows) {
    std::snprintf(text, sizeof text, "%-11s", row.name.c_str());
    out << text;
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      std::snprintf(text, sizeof text, " %16s", Cell(row.cells[i]).c_str());
      out << text;
      if (i == 0) continue;
      const bool beyond = row.cells[0] && row.cells[i] && BeyondSpread(*row.cells[0], *row.cells[i]);
      std::snprintf(text, sizeof text, " %8s%s ", RatioText(row.cells[0], row.cells[i]).c_str(),
                    beyond ? " *" : "  ");
      out << text;
    }
    out << '\n';
  }
  for (const std::string& note : comparison.notes) out << "Note: " << note << ".\n";
}

std::string AgainstReferences(const ResultSummary& run, const std::vector<ResultSummary>& references) {
  if (run.score.count == 0) return {};
  std::string text;
  for (const ResultSummary& reference : references) {
    if (reference.score.count == 0 || !(reference.score.median > 0.0)) continue;
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.2f× ", run.score.median / reference.score.median);
    text += (text.empty() ? "" : ", ") + std::string(ratio) +
            (reference.description.empty() ? reference.label : reference.description) + " (" +
            reference.Provenance() + ")";
  }
  return text;
}

}  // namespace asmpic::app
