#include "app/results/benchmark_runner.h"

#include "app/benchmark_table.h"
#include "app/headless_form.h"
#include "app/results/multicore.h"
#include "platform/interruption.h"

namespace asmpic::app {

namespace {

std::vector<double> Column(const std::vector<RunSamples>& runs,
                           const std::function<double(const RunSamples&)>& pick) {
  std::vector<double> values;
  values.reserve(runs.size());
  for (const RunSamples& run : runs) values.push_back(pick(run));
  return values;
}

}  // namespace

BenchmarkResult RunBenchmark(const platform::Image& picture1, const platform::Image& picture2,
                             const BenchmarkPlan& plan, const BenchmarkHooks& hooks) {
  const MonotonicClock clock = hooks.monotonic ? hooks.monotonic : MonotonicClock(SteadySeconds);
  BenchmarkResult result;
  result.plan = plan;
  result.fullRun = IsFullRun(plan.tests);

  HeadlessForm1 form(picture1, picture2, plan.kernels);
  if (hooks.timeOfDay) form.runtime.clock = hooks.timeOfDay;
  PictureValidator validator;
  std::optional<ProgressObserver> progress;
  if (hooks.progress != nullptr) progress.emplace(*hooks.progress, clock);
  RunRecorder recorder(validator, clock, progress ? &*progress : nullptr);

  const int timedRuns = std::max(plan.repeat, 1);
  const int totalRuns = timedRuns + (plan.warmup ? 1 : 0);
  for (int run = 0; run < totalRuns; ++run) {
    const bool warmup = plan.warmup && run == 0;
    if (progress) {
      const int number = run + (plan.warmup ? 0 : 1);
      progress->SetLabel(warmup ? "warm-up"
                                : "run " + std::to_string(number) + " of " + std::to_string(timedRuns));
    }
    form.Run(plan.tests, &recorder);
    if (const int signal = platform::CaughtSignal()) throw RunInterrupted(signal);
    RunSamples samples;
    samples.tests = recorder.TakeSamples();
    if (warmup) continue;
    for (const TestSample& sample : samples.tests) {
      samples.totalSeconds += sample.seconds;
      samples.monotonicTotal += sample.monotonicSeconds;
    }
    result.runs.push_back(std::move(samples));
  }
  if (progress) progress->Clear();
  result.listLines = form.List1.items();
  result.validation = validator.result();

  for (std::size_t i = 0; i < plan.tests.size(); ++i) {
    TestStatistics stats;
    stats.test = plan.tests[i];
    stats.seconds =
        Summarize(Column(result.runs, [&](const RunSamples& r) { return double{r.tests.at(i).seconds}; }));
    stats.monotonicSeconds =
        Summarize(Column(result.runs, [&](const RunSamples& r) { return r.tests.at(i).monotonicSeconds; }));
    result.perTest.push_back(stats);
  }
  result.total = Summarize(Column(result.runs, [](const RunSamples& r) { return double{r.totalSeconds}; }));
  result.monotonicTotal =
      Summarize(Column(result.runs, [](const RunSamples& r) { return r.monotonicTotal; }));
  if (result.fullRun) result.score = ComputeScore(static_cast<float>(result.total.median));

  std::vector<Verdict> verdicts{result.validation.verdict};
  if (plan.threads > 0) {
    const MultiCorePasses passes = RunMultiCore(picture1, picture2, plan.tests, plan.threads, timedRuns,
                                                plan.kernels, clock, hooks.progress);
    if (const int signal = platform::CaughtSignal()) throw RunInterrupted(signal);
    MultiCoreResult multi;
    multi.threads = plan.threads;
    multi.wallSeconds = passes.wallSeconds;
    multi.wall = Summarize(multi.wallSeconds);
    multi.secondsPerCopy = multi.wall.median / plan.threads;
    if (result.fullRun) multi.score = ComputeScore(static_cast<float>(multi.secondsPerCopy));
    if (multi.wall.median > 0.0)
      multi.speedup = plan.threads * result.monotonicTotal.median / multi.wall.median;
    multi.validation = passes.threads;
    for (const Validation& v : multi.validation) verdicts.push_back(v.verdict);
    result.multiCore = std::move(multi);
  }
  result.verdict = Combine(verdicts);
  return result;
}

}  // namespace asmpic::app
