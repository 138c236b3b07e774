#include "app/history/result_summary.h"

#include <algorithm>
#include <map>

#include "app/benchmark_table.h"
#include "app/results/throughput.h"

namespace asmpic::app {

namespace {

using json = nlohmann::ordered_json;

// The picture that version 1 documents were measured on (they do not say).
constexpr long long kStandardPixels = 297LL * 217LL;

std::string Text(const json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

MedianEstimate EstimateFrom(const json& e) {
  MedianEstimate estimate;
  estimate.median = e.value("median", 0.0);
  estimate.count = e.value("count", 0);
  estimate.confidence = e.value("confidence", 0.0);
  if (e.contains("low") && e["low"].is_number()) estimate.low = e["low"].get<double>();
  if (e.contains("high") && e["high"].is_number()) estimate.high = e["high"].get<double>();
  return estimate;
}

std::vector<TestThroughput> TestsFrom(const json& throughput) {
  std::vector<TestThroughput> tests;
  for (const json& t : throughput.at("tests"))
    tests.push_back({t.at("name").get<std::string>(), EstimateFrom(t), {}});
  return tests;
}

std::vector<double> Numbers(const json& object, const char* key) {
  std::vector<double> values;
  const auto found = object.find(key);
  if (found == object.end() || !found->is_array()) return values;
  for (const json& v : *found) {
    if (v.is_number()) values.push_back(v.get<double>());
  }
  return values;
}

// Each run's Mpix/s of each single-core test, from the samples' monotonic times, as the run
// computed them. A document without usable samples gives no runs (and no ratio intervals).
void RunsFromSamples(const json& document, ResultSummary& summary) {
  const json& settings = document.at("settings");
  const auto pixels = settings.find("pixels_per_call");
  const auto tests = document.find("tests");
  if (pixels == settings.end() || !pixels->is_number_integer() || tests == document.end() ||
      !tests->is_array())
    return;
  for (const json& test : *tests) {
    if (!test.is_object() || !test.contains("samples") || !test["samples"].is_array()) continue;
    const std::string name = Text(test, "name");
    const auto found = std::find_if(summary.tests.begin(), summary.tests.end(),
                                    [&](const TestThroughput& t) { return t.name == name; });
    const auto calls = test.find("calls");
    if (found == summary.tests.end() || calls == test.end() || !calls->is_number_integer()) continue;
    for (const json& sample : test["samples"]) {
      if (!sample.is_object() || !sample.contains("monotonic_seconds") ||
          !sample["monotonic_seconds"].is_number())
        continue;
      found->runs.push_back(MegapixelsPerSecond(calls->get<int>(), pixels->get<long long>(),
                                                sample["monotonic_seconds"].get<double>()));
    }
  }
}

WorkFingerprint FingerprintFrom(const json& f) {
  WorkFingerprint fingerprint;
  if (!f.is_object()) return fingerprint;
  fingerprint.present = true;
  fingerprint.sourceCommit = Text(f, "source_commit");
  fingerprint.kernelSources = Text(f, "kernel_sources");
  fingerprint.startPicture = Text(f, "start_picture");
  fingerprint.scoreScale = f.value("score_scale_version", 0);
  fingerprint.pixelsPerCall = f.value("pixels_per_call", 0LL);
  if (const auto tests = f.find("tests"); tests != f.end() && tests->is_array()) {
    for (const json& t : *tests) {
      if (!t.is_object()) continue;
      fingerprint.tests.push_back(Text(t, "name") + " " + std::to_string(t.value("calls", 0)) + " " +
                                  Text(t, "expected_hash"));
    }
  }
  return fingerprint;
}

// Version 1: Mpix/s from every sample's monotonic time, the run scores from the runs' samples.
void ThroughputFromSamples(const json& document, ResultSummary& summary) {
  std::vector<std::vector<double>> perRun;
  for (const json& test : document.at("tests")) {
    const std::string name = test.at("name").get<std::string>();
    int calls = test.value("calls", 0);
    std::vector<double> mpix;
    std::size_t run = 0;
    for (const json& sample : test.at("samples")) {
      mpix.push_back(
          MegapixelsPerSecond(calls, kStandardPixels, sample.at("monotonic_seconds").get<double>()));
      if (perRun.size() <= run) perRun.emplace_back();
      perRun[run++].push_back(mpix.back());
    }
    summary.tests.push_back({name, EstimateMedian(mpix), mpix});
  }
  if (document.value("settings", json::object()).value("full_run", false)) {
    std::vector<double> scores;
    for (const auto& run : perRun) scores.push_back(GeometricMean(run));
    summary.score = EstimateMedian(scores);
    summary.scoreRuns = scores;
  }
}

}  // namespace

std::string ResultSummary::Provenance() const {
  std::string text = mode.empty() ? "headless" : mode;
  text += ", " + (kernelChoice.empty() ? std::string("unknown kernels") : kernelChoice);
  if (!kernelTarget.empty() && kernelTarget != kernelChoice) text += " (" + kernelTarget + ")";
  if (threads > 0) text += ", " + std::to_string(threads) + (threads == 1 ? " thread" : " threads");
  return text;
}

std::optional<ResultSummary> SummarizeDocument(const json& document, std::string* error) {
  const auto fail = [&](const std::string& why) -> std::optional<ResultSummary> {
    if (error != nullptr) *error = why;
    return std::nullopt;
  };
  if (!document.is_object() || Text(document, "format") != "asmpic-bench-result")
    return fail("not an asmbench result document");
  ResultSummary summary;
  summary.formatVersion = document.value("format_version", 0);
  if (summary.formatVersion < 1 || summary.formatVersion > 3)
    return fail("result document version " + std::to_string(summary.formatVersion) + " is not known");
  try {
    summary.startedAt = Text(document, "started_at");
    const json& build = document.at("program").at("build");
    summary.kernelChoice = Text(build, "kernel_choice");
    if (summary.kernelChoice.empty()) summary.kernelChoice = Text(build, "kernel_variant");
    summary.kernelTarget = Text(build, "kernel_target");
    summary.mode = summary.formatVersion >= 2 ? Text(document, "mode") : "headless";
    summary.cpuModel = Text(document.at("machine"), "cpu_model");
    summary.threads = document.at("settings").value("threads", 0);
    if (document.contains("multi_core") && document["multi_core"].is_null()) summary.threads = 0;
    if (const auto& score = document.at("score"); score.is_object()) {
      summary.classicScore = score.at("value").get<int>();
      summary.classicColour = Text(score, "colour");
    }
    summary.validation = Text(document.at("validation"), "state");
    if (summary.formatVersion == 1) {
      ThroughputFromSamples(document, summary);
    } else {
      const json& throughput = document.at("throughput");
      summary.tests = TestsFrom(throughput.at("single_core"));
      RunsFromSamples(document, summary);
      if (document.at("settings").value("full_run", false)) {
        summary.score = EstimateFrom(throughput.at("single_core").at("score"));
        summary.scoreRuns = Numbers(throughput.at("single_core"), "run_scores");
      }
      if (const json& multi = throughput.at("multi_core"); multi.is_object()) {
        summary.multiTests = TestsFrom(multi);
        if (document.at("settings").value("full_run", false)) {
          summary.multiScore = EstimateFrom(multi.at("score"));
          summary.multiScoreRuns = Numbers(multi, "run_scores");
        }
      }
    }
    if (const auto fingerprint = document.find("fingerprint"); fingerprint != document.end())
      summary.fingerprint = FingerprintFrom(*fingerprint);
    if (const auto reference = document.find("reference");
        reference != document.end() && reference->is_object())
      summary.description = Text(*reference, "description");
  } catch (const json::exception& e) {
    return fail(std::string("a result document with a part missing or of the wrong kind: ") + e.what());
  }
  return summary;
}

}  // namespace asmpic::app
