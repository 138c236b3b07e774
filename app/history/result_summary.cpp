#include "app/history/result_summary.h"

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
    tests.push_back({t.at("name").get<std::string>(), EstimateFrom(t)});
  return tests;
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
    summary.tests.push_back({name, EstimateMedian(mpix)});
  }
  if (document.value("settings", json::object()).value("full_run", false)) {
    std::vector<double> scores;
    for (const auto& run : perRun) scores.push_back(GeometricMean(run));
    summary.score = EstimateMedian(scores);
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
      if (document.at("settings").value("full_run", false))
        summary.score = EstimateFrom(throughput.at("single_core").at("score"));
      if (const json& multi = throughput.at("multi_core"); multi.is_object()) {
        summary.multiTests = TestsFrom(multi);
        if (document.at("settings").value("full_run", false))
          summary.multiScore = EstimateFrom(multi.at("score"));
      }
    }
    if (const auto reference = document.find("reference");
        reference != document.end() && reference->is_object())
      summary.description = Text(*reference, "description");
  } catch (const json::exception& e) {
    return fail(std::string("a result document with a part missing or of the wrong kind: ") + e.what());
  }
  return summary;
}

}  // namespace asmpic::app
