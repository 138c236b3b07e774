#pragma once
// Comparing results: stored runs, result files and the bundled reference results side by side,
// test by test, each against the first: the ratio with its own interval and a verdict (faster,
// slower, same or inconclusive), unless the two did not do the same work.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/history/result_summary.h"
#include "app/results/ratio_interval.h"

namespace asmpic::app {

class HistoryDb;

// The reference results shipped in `assetsDirectory`/references, sorted by name; each is labelled
// with its file's name without ".json". Unreadable ones are skipped.
std::vector<ResultSummary> LoadReferences(const std::string& assetsDirectory);

// One result named on the command line: a file with a result document, a stored run's id or
// "machine:NAME", a machine's latest trusted run (then `history` is opened), or a reference's name. Nothing, with `error` set, when it is none of them.
std::optional<ResultSummary> ResolveResult(const std::string& name, const std::string& historyPath,
                                           const std::string& assetsDirectory, std::string* error);

struct ComparisonRow {
  std::string name;                                  // a test's short name, "score" or "multi-core"
  std::vector<std::optional<MedianEstimate>> cells;  // one per column; nothing where it was not measured
  // Per column, of it against the first (nothing for the first): the ratio of the runs' Mpix/s
  // with its interval (nothing where a side holds no runs), and the verdict (nothing where the
  // columns did not do the same work or there is no ratio).
  std::vector<std::optional<RatioEstimate>> ratios;
  std::vector<std::optional<RatioVerdict>> verdicts;
};

struct CompareSettings {
  double minEffect = 0.02;  // differences within ± this fraction are "same"
  double level = 0.95;      // of the ratios' intervals
};

struct Comparison {
  std::vector<ResultSummary> columns;
  std::vector<ComparisonRow> rows;  // the tests, then the scores
  std::vector<std::string> notes;   // what makes the columns unlike (mode, kernels, threads)
  // Per column: why it did not do the same work as the first ("different kernels (commit a1b2c3d
  // vs d4e5f6a)", "another start picture"); empty when it did or where the documents do not say.
  std::vector<std::vector<std::string>> differences;
  CompareSettings settings;
};

Comparison Compare(std::vector<ResultSummary> columns, const CompareSettings& settings = {});

// Why `b` did not do the same work as `a`, from their fingerprints; empty when it did or when
// either document has no fingerprint.
std::vector<std::string> WorkDifferences(const ResultSummary& a, const ResultSummary& b);

// b / a as "2.10x"; "-" when either is missing or zero.
std::string RatioText(const std::optional<MedianEstimate>& a, const std::optional<MedianEstimate>& b);

// The number of terminal columns `text` (UTF-8) takes: one per character.
std::size_t DisplayWidth(const std::string& text);

// The table: per row each column's Mpix/s with its interval, and for every further column its
// ratio to the first with the ratio's interval and the verdict.
void WriteComparison(const Comparison& comparison, std::ostream& out);

// For --fail-if-slower: a sentence saying that the first result's score is slower than the
// second's by more than `percent` (the verdict is "slower" and the estimate beyond it), or that
// the two cannot be judged (not comparable, no score); nothing when the gate passes. `failed`
// says whether it fails.
std::string SlowerGate(const Comparison& comparison, double percent, bool* failed);

// "2.10x the baseline kernels (headless, baseline (SSE2), 2 threads), ..." for the run's
// single-core score against each reference; empty without a score or references.
std::string AgainstReferences(const ResultSummary& run, const std::vector<ResultSummary>& references);

}  // namespace asmpic::app
