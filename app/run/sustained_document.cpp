#include "app/run/sustained_document.h"

#include <utility>
#include <vector>

#include "app/results/build_info.h"
#include "app/results/json_report.h"
#include "app/results/validation.h"
#include "app/run/benchmark_runner.h"
#include "app/run/headless_form.h"
#include "app/run/multicore_throughput.h"
#include "app/run/run_verdict.h"
#include "app/run/score.h"
#include "app/run/trend.h"

namespace asmpic::app {

long long SustainedPixelsPerCall(const platform::Image& picture1, const platform::Image& picture2,
                                 const KernelStore& kernels) {
  HeadlessForm1 form(picture1, picture2, kernels);
  return static_cast<long long>(form.Engine1.Width()) * form.Engine1.Height();
}

nlohmann::ordered_json SustainedDocument(const SustainedRun& run, long long pixelsPerCall,
                                         const RunConditions& conditions, const KernelStore& kernels,
                                         const MachineInfo& machine, const std::string& startedAt) {
  BenchmarkResult result;
  result.pixelsPerCall = pixelsPerCall;
  result.plan.classicPass = false;
  result.plan.warmup = false;
  result.plan.repeat = static_cast<int>(run.passes.size());
  result.plan.minTime = run.askedSeconds;
  result.plan.threads = run.threads;
  result.plan.kernels = kernels;
  result.fullRun = true;
  Summarize(result);
  result.score.reset();
  // No single-core run: the first engine's checks stand in, so that the fingerprint names the
  // start picture and the hashes that every engine's work is compared by.
  if (!run.validation.empty()) result.validation = run.validation.front();
  MultiCoreResult multi;
  multi.threads = run.threads;
  for (const SustainedPass& pass : run.passes)
    multi.wallSeconds.push_back(pass.endSeconds - pass.startSeconds);
  multi.samples = run.samples;
  multi.throughput = WallThroughput(run.samples, pixelsPerCall);
  multi.wall = Summarize(multi.wallSeconds);
  multi.secondsPerCopy = multi.wall.median / run.threads;
  multi.score = ComputeScore(static_cast<float>(multi.secondsPerCopy));
  multi.validation = run.validation;
  std::vector<Verdict> verdicts;
  for (const Validation& v : multi.validation) verdicts.push_back(v.verdict);
  result.verdict = verdicts.empty() ? Verdict::NotApplicable : Combine(verdicts);
  result.multiCore = std::move(multi);
  result.conditions = conditions;
  std::vector<double> scores;
  for (const SustainedPass& pass : run.passes) scores.push_back(pass.mpixPerSecond);
  result.trend = FindTrend(scores);
  result.trust = Judge(result.conditions, result.trend, result.multiCore->throughput.score);
  nlohmann::ordered_json document = ResultDocument(result, CurrentBuild(kernels), machine, startedAt);
  document["sustained"] = SustainedJson(run);
  return document;
}

bool SustainedRunMeasured(const SustainedRun& run) {
  return !run.passes.empty() || run.failure.has_value();
}

}  // namespace asmpic::app
