#pragma once
// What a comparison needs of a result, read from a result document of any version: who made it
// (mode, kernel target, threads, machine), each test's throughput with its interval, and the
// throughput scores. Stored runs, result files and the bundled references all come as documents.
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "app/results/statistics.h"

namespace asmpic::app {

struct TestThroughput {
  std::string name;          // the test's short name
  MedianEstimate mpix;       // Mpix/s
  std::vector<double> runs;  // Mpix/s of each run, where the document holds them
};

// What the numbers depend on besides the machine (a document's "fingerprint"); empty fields where
// the document does not say.
struct WorkFingerprint {
  bool present = false;  // false for documents before version 3
  std::string sourceCommit;
  std::string kernelSources;
  std::string startPicture;
  int scoreScale = 0;
  long long pixelsPerCall = 0;
  std::vector<std::string> tests;  // "name calls expected-hash" of each test
};

struct ResultSummary {
  std::string label;        // how a comparison names it: "run 12", "a.json", "baseline-kernels"
  std::string description;  // a reference's own words ("the baseline kernels"); else empty
  int formatVersion = 0;
  std::string startedAt;
  std::string mode;          // "headless" or "window"
  std::string kernelChoice;  // "best", "baseline", "reference"; the variant for version 1
  std::string kernelTarget;  // empty where the document does not say
  int threads = 0;           // of the multi-core pass; 0 without one
  std::string cpuModel;
  std::optional<int> classicScore;
  std::string classicColour;
  std::vector<TestThroughput> tests;  // single core
  MedianEstimate score;               // single core; count 0 when the run had no full set of tests
  std::vector<double> scoreRuns;      // the score of each run, where the document holds them
  std::vector<TestThroughput> multiTests;
  std::optional<MedianEstimate> multiScore;
  std::vector<double> multiScoreRuns;
  std::string validation;  // "valid", "invalid", "not_applicable"
  WorkFingerprint fingerprint;

  // "headless, best (AVX2), 2 threads".
  std::string Provenance() const;
};

// Reads a result document. Version 1 documents carry no throughput: it is computed from their
// monotonic samples and the standard 297 x 217 picture, and their multi-core throughput is not
// known (they hold no per-thread times). Every part that is read is checked against the
// document's schema (kinds, ranges, Mpix/s above zero and finite, low <= median <= high, at most
// seven tests, each once, and at most two million samples of one test); the text it holds comes
// escaped for a terminal. Nothing, with `error` set to a sentence naming the field and what it
// should hold, for what is not a sound result document of a known version. Never throws.
std::optional<ResultSummary> SummarizeDocument(const nlohmann::ordered_json& document, std::string* error);

// The text with its control characters (C0, DEL and C1) written as \xNN, safe to print.
std::string EscapedForTerminal(const std::string& text);

}  // namespace asmpic::app
