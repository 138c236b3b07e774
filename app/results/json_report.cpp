#include "app/results/json_report.h"

#include <ctime>

#include "app/history/history_store.h"
#include "app/results/fingerprint.h"
#include "app/run/benchmark_table.h"
#include "app/run/multicore_throughput.h"
#include "app/run/verdict_json.h"

namespace asmpic::app {

namespace {

using json = nlohmann::ordered_json;

json StatisticsJson(const Statistics& s) {
  return {{"count", s.count}, {"median", s.median}, {"min", s.min}, {"max", s.max}, {"stddev", s.stddev}};
}

json ScoreJson(const std::optional<Score>& score, double fromSeconds) {
  if (!score) return nullptr;
  return {{"value", score->value}, {"colour", ColourName(score->colour)}, {"from_seconds", fromSeconds}};
}

json ChecksJson(const Validation& v) {
  json tests = json::array();
  for (const TestCheck& c : v.tests) {
    tests.push_back({{"name", kBenchmarkTests.at(static_cast<std::size_t>(c.test)).name},
                     {"expected", HashText(c.expected)},
                     {"computed", HashText(c.computed)},
                     {"runs", c.runs},
                     {"wrong_runs", c.wrongRuns},
                     {"match", c.matches()}});
  }
  return tests;
}

json ValidationJson(const Validation& v) {
  return {{"state", VerdictName(v.verdict)},
          {"reason", v.reason.empty() ? json(nullptr) : json(v.reason)},
          {"tests", ChecksJson(v)}};
}

json SampleJson(const TestSample& s) {
  return {{"name", kBenchmarkTests.at(static_cast<std::size_t>(s.test)).name},
          {"seconds", s.seconds},
          {"monotonic_seconds", s.monotonicSeconds},
          {"hash", HashText(s.hash)}};
}

json ThroughputJson(const Throughput& t, const std::vector<int>& tests) {
  json perTest = json::array();
  for (std::size_t i = 0; i < t.tests.size() && i < tests.size(); ++i) {
    json entry = EstimateJson(t.tests[i]);
    entry["name"] = kBenchmarkTests.at(static_cast<std::size_t>(tests[i])).name;
    perTest.push_back(entry);
  }
  return {{"score", EstimateJson(t.score)}, {"run_scores", t.runScores}, {"tests", perTest}};
}

}  // namespace

json EstimateJson(const MedianEstimate& e) {
  return {{"median", e.median},
          {"low", OrNull(e.low)},
          {"high", OrNull(e.high)},
          {"confidence", e.confidence},
          {"count", e.count}};
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

json ResultDocument(const BenchmarkResult& result, const BuildInfo& build, const MachineInfo& machine,
                    const std::string& startedAt) {
  json document;
  document["format"] = "asmpic-bench-result";
  document["format_version"] = kResultFormatVersion;
  document["started_at"] = startedAt;
  document["run_uuid"] = NewRunUuid();
  document["mode"] = result.mode;
  document["program"] = {{"name", "asmbench"},
                         {"version", build.version},
                         {"build",
                          {{"compiler", build.compiler},
                           {"build_type", build.buildType},
                           {"flags", build.flags},
                           {"qt_version", build.qtVersion},
                           {"qt_runtime_version", build.qtRuntime},
                           {"kernel_variant", build.kernelVariant},
                           {"kernel_choice", build.kernelChoice},
                           {"kernel_target", build.kernelTarget}}}};
  document["fingerprint"] = FingerprintJson(result, build);
  document["machine"] = {{"cpu_model", OrNull(machine.cpuModel)},
                         {"logical_cores", machine.logicalCores},
                         {"memory_bytes", OrNull(machine.memoryBytes)},
                         {"os", OrNull(machine.os)},
                         {"kernel", OrNull(machine.kernel)},
                         {"architecture", OrNull(machine.architecture)},
                         {"frequency_governor", OrNull(machine.frequencyGovernor)},
                         {"max_frequency_mhz", OrNull(machine.maxFrequencyMHz)}};
  if (!machine.name.empty()) document["machine"]["name"] = machine.name;
  if (machine.hostName) document["machine"]["host_name"] = *machine.hostName;

  json names = json::array();
  for (const int t : result.plan.tests) names.push_back(kBenchmarkTests.at(static_cast<std::size_t>(t)).name);
  document["settings"] = {{"tests", names},
                          {"full_run", result.fullRun},
                          {"repeat", static_cast<int>(result.runs.size())},
                          {"warmup", result.plan.warmup},
                          {"classic_pass", result.classicPass.has_value()},
                          {"min_time", result.plan.minTime},
                          {"threads", result.plan.threads},
                          {"pixels_per_call", result.pixelsPerCall}};

  json tests = json::array();
  for (std::size_t i = 0; i < result.perTest.size(); ++i) {
    const TestStatistics& stats = result.perTest[i];
    const BenchmarkTest& test = kBenchmarkTests.at(static_cast<std::size_t>(stats.test));
    json samples = json::array();
    for (const RunSamples& run : result.runs) {
      const TestSample& s = run.tests.at(i);
      samples.push_back(
          {{"seconds", s.seconds}, {"monotonic_seconds", s.monotonicSeconds}, {"hash", HashText(s.hash)}});
    }
    tests.push_back({{"name", test.name},
                     {"caption", test.caption},
                     {"description", test.what},
                     {"calls", CallCount(test)},
                     {"samples", samples},
                     {"statistics",
                      {{"seconds", StatisticsJson(stats.seconds)},
                       {"monotonic_seconds", StatisticsJson(stats.monotonicSeconds)}}}});
  }
  document["tests"] = tests;

  json totals = json::array();
  for (const RunSamples& run : result.runs) {
    totals.push_back({{"seconds", run.totalSeconds}, {"monotonic_seconds", run.monotonicTotal}});
  }
  document["total"] = {{"samples", totals},
                       {"statistics",
                        {{"seconds", StatisticsJson(result.total)},
                         {"monotonic_seconds", StatisticsJson(result.monotonicTotal)}}}};
  if (result.classicPass) {
    json samples = json::array();
    for (const TestSample& s : result.classicPass->tests) samples.push_back(SampleJson(s));
    document["classic_pass"] = {{"samples", samples},
                                {"seconds", result.classicPass->totalSeconds},
                                {"monotonic_seconds", result.classicPass->monotonicTotal}};
  } else {
    document["classic_pass"] = nullptr;
  }
  document["list"] = result.listLines;
  document["score"] = ScoreJson(
      result.score, result.classicPass ? double{result.classicPass->totalSeconds} : result.total.median);
  document["throughput"] = {
      {"unit", "Mpix/s"},
      {"interval", kIntervalMethod},
      {"level", 0.95},
      {"single_core", ThroughputJson(result.throughput, result.plan.tests)},
      {"multi_core",
       result.multiCore ? ThroughputJson(result.multiCore->throughput, result.plan.tests) : json(nullptr)}};

  if (result.multiCore) {
    const MultiCoreResult& m = *result.multiCore;
    json threads = json::array();
    for (std::size_t t = 0; t < m.validation.size(); ++t) {
      json entry = ValidationJson(m.validation[t]);
      entry["thread"] = static_cast<int>(t + 1);
      threads.push_back(entry);
    }
    json passes = json::array();
    for (std::size_t p = 0; p < m.samples.size(); ++p) {
      json threadTimes = json::array();
      json threadRates = json::array();
      for (const auto& samples : m.samples[p]) {
        json times = json::array();
        for (const TestSample& s : samples) times.push_back(s.monotonicSeconds);
        threadTimes.push_back(times);
        threadRates.push_back(RunThroughput(samples, result.pixelsPerCall));
      }
      passes.push_back({{"wall_seconds", p < m.wallSeconds.size() ? m.wallSeconds[p] : 0.0},
                        {"monotonic_seconds", threadTimes},
                        {"thread_mpix_per_second", threadRates},
                        {"mpix_per_second", PassWallThroughput(m.samples[p], result.pixelsPerCall)},
                        {"total_mpix_per_second", PassTotalThroughput(m.samples[p], result.pixelsPerCall)}});
    }
    document["multi_core"] = {{"threads", m.threads},
                              {"wall_seconds", m.wallSeconds},
                              {"passes", passes},
                              {"statistics", StatisticsJson(m.wall)},
                              {"seconds_per_copy", m.secondsPerCopy},
                              {"speedup", m.speedup},
                              {"score", ScoreJson(m.score, m.secondsPerCopy)}};
    document["validation"]["threads"] = threads;
  } else {
    document["multi_core"] = nullptr;
    document["validation"]["threads"] = json::array();
  }
  document["validation"]["state"] = VerdictName(result.verdict);
  document["validation"]["hash"] = "XXH3-64 of plane 2 after each test";
  document["validation"]["single_core"] = ValidationJson(result.validation);
  document["conditions"] = ConditionsJson(result);
  document["verdict"] = VerdictJson(result);
  return document;
}

}  // namespace asmpic::app
