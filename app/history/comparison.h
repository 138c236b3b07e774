#pragma once
// Comparing results: stored runs, result files and the bundled reference results side by side,
// test by test, each against the first, with whether a difference is larger than the runs' spread.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/history/result_summary.h"

namespace asmpic::app {

class HistoryDb;

// The reference results shipped in `assetsDirectory`/references, sorted by name; each is labelled
// with its file's name without ".json". Unreadable ones are skipped.
std::vector<ResultSummary> LoadReferences(const std::string& assetsDirectory);

// One result named on the command line: a file with a result document, a stored run's id (then
// `history` is opened), or a reference's name. Nothing, with `error` set, when it is none of them.
std::optional<ResultSummary> ResolveResult(const std::string& name, const std::string& historyPath,
                                           const std::string& assetsDirectory, std::string* error);

struct ComparisonRow {
  std::string name;                                  // a test's short name, "score" or "multi-core"
  std::vector<std::optional<MedianEstimate>> cells;  // one per column; nothing where it was not measured
};

struct Comparison {
  std::vector<ResultSummary> columns;
  std::vector<ComparisonRow> rows;  // the tests, then the scores
  std::vector<std::string> notes;   // what makes the columns unlike (mode, kernels, threads)
};

Comparison Compare(std::vector<ResultSummary> columns);

// True when the two intervals of the medians do not overlap; false when either has none.
bool BeyondSpread(const MedianEstimate& a, const MedianEstimate& b);
// b / a as "2.10x"; "-" when either is missing or zero.
std::string RatioText(const std::optional<MedianEstimate>& a, const std::optional<MedianEstimate>& b);

// The table: per row each column's Mpix/s with its interval, the ratio to the first column, and
// "*" where the difference is beyond both runs' spread.
void WriteComparison(const Comparison& comparison, std::ostream& out);

// "2.10x the baseline kernels (headless, baseline (SSE2), 2 threads), ..." for the run's
// single-core score against each reference; empty without a score or references.
std::string AgainstReferences(const ResultSummary& run, const std::vector<ResultSummary>& references);

}  // namespace asmpic::app
