#include "app/run/benchmark_runner.h"

#include <memory>
#include <numeric>
#include <optional>

#include "app/run/benchmark_table.h"
#include "app/run/headless_form.h"
#include "app/run/multicore.h"
#include "app/run/multicore_throughput.h"
#include "app/run/pass_order.h"
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

RunSamples Totalled(std::vector<TestSample> tests) {
  RunSamples samples;
  samples.tests = std::move(tests);
  for (const TestSample& sample : samples.tests) {
    samples.totalSeconds += sample.seconds;
    samples.monotonicTotal += sample.monotonicSeconds;
  }
  return samples;
}

// The samples of a run in the order of the plan's tests.
std::vector<TestSample> InPlanOrder(std::vector<TestSample> samples, const std::vector<int>& tests) {
  std::vector<TestSample> ordered;
  ordered.reserve(samples.size());
  for (const int test : tests) {
    for (const TestSample& sample : samples) {
      if (sample.test == test) ordered.push_back(sample);
    }
  }
  return ordered;
}

}  // namespace

std::vector<double> RunThroughput(const std::vector<TestSample>& samples, long long pixelsPerCall) {
  std::vector<double> mpix;
  mpix.reserve(samples.size());
  for (const TestSample& s : samples) {
    mpix.push_back(MegapixelsPerSecond(CallCount(kBenchmarkTests.at(static_cast<std::size_t>(s.test))),
                                       pixelsPerCall, s.monotonicSeconds));
  }
  return mpix;
}

void Summarize(BenchmarkResult& result) {
  const std::size_t tests = result.runs.empty() ? 0 : result.runs.front().tests.size();
  result.perTest.clear();
  for (std::size_t i = 0; i < tests; ++i) {
    TestStatistics stats;
    stats.test = result.runs.front().tests[i].test;
    stats.seconds =
        Summarize(Column(result.runs, [&](const RunSamples& r) { return double{r.tests.at(i).seconds}; }));
    stats.monotonicSeconds =
        Summarize(Column(result.runs, [&](const RunSamples& r) { return r.tests.at(i).monotonicSeconds; }));
    result.perTest.push_back(stats);
  }
  result.total = Summarize(Column(result.runs, [](const RunSamples& r) { return double{r.totalSeconds}; }));
  result.monotonicTotal =
      Summarize(Column(result.runs, [](const RunSamples& r) { return r.monotonicTotal; }));
  std::vector<std::vector<double>> perRun;
  for (const RunSamples& run : result.runs) perRun.push_back(RunThroughput(run.tests, result.pixelsPerCall));
  result.throughput = SummarizeThroughput(perRun);
  if (result.fullRun) {
    result.score = ComputeScore(result.classicPass ? result.classicPass->totalSeconds
                                                   : static_cast<float>(result.total.median));
  }
}

BenchmarkResult RunBenchmark(const platform::Image& picture1, const platform::Image& picture2,
                             const BenchmarkPlan& plan, const BenchmarkHooks& hooks) {
  const MonotonicClock clock = hooks.monotonic ? hooks.monotonic : MonotonicClock(SteadySeconds);
  // The clock is read for the budget only when there is one, so that a scripted clock's readings
  // stay two per test.
  const bool budgeted = plan.maxTime.has_value();
  const double startedAt = budgeted ? clock() : 0.0;
  BenchmarkResult result;
  result.plan = plan;
  result.fullRun = IsFullRun(plan.tests);

  HeadlessForm1 form(picture1, picture2, plan.kernels);
  if (hooks.timeOfDay) {
    // A scripted time of day drives the form's monotonic clock too, so that the two agree as real
    // clocks do (a test's time is the monotonic one where they disagree); going back is midnight.
    struct Readings {
      std::optional<float> last;
      double monotonic = 0.0;
    };
    auto readings = std::make_shared<Readings>();
    form.runtime.clock = [timeOfDay = hooks.timeOfDay, readings] {
      const float now = timeOfDay();
      if (readings->last) {
        const double step = static_cast<double>(now) - *readings->last;
        readings->monotonic += step >= 0.0 ? step : step + 86400.0;
      }
      readings->last = now;
      return now;
    };
    form.runtime.millisecondClock = [readings] { return 1000.0 * readings->monotonic; };
  }
  result.pixelsPerCall = static_cast<long long>(form.Engine1.Width()) * form.Engine1.Height();
  PictureValidator validator;
  std::optional<ProgressObserver> progress;
  if (hooks.progress != nullptr) progress.emplace(*hooks.progress, clock);
  RunRecorder recorder(validator, clock, progress ? &*progress : nullptr);
  // What was measured until a signal stopped the run, as it stands: the passes that finished.
  const auto interrupted = [&](int signal) {
    return RunInterrupted(signal, std::make_shared<const BenchmarkResult>(result));
  };

  if (plan.classicPass) {
    if (progress) progress->SetLabel("first pass");
    form.Run(plan.tests, &recorder);
    if (const int signal = platform::CaughtSignal()) throw interrupted(signal);
    result.classicPass = Totalled(recorder.TakeSamples());
    result.listLines = form.List1.items();
  }
  if (plan.warmup) {
    if (progress) progress->SetLabel("warm-up");
    form.Run(plan.tests, &recorder);
    if (const int signal = platform::CaughtSignal()) throw interrupted(signal);
    recorder.TakeSamples();
  }
  const int timedRuns = std::max(plan.repeat, 1);
  ConditionWatch watch(plan.conditionsRoot);
  watch.Start();
  PassOrder orders(plan.seed, plan.shuffle);
  PassBudget budget({timedRuns, plan.minTime, plan.precision, plan.maxTime}, startedAt);
  std::vector<double> passSeconds;
  std::vector<double> passScores;
  double longestPass = 0.0;
  for (int run = 0; budget.Another(budgeted ? clock() : 0.0, passSeconds, longestPass, passScores); ++run) {
    if (progress) {
      // Before the minimum time decides, the runs have a total; with --precision they have none.
      const double filled = std::accumulate(passSeconds.begin(), passSeconds.end(), 0.0);
      progress->SetLabel(plan.precision ? "run " + std::to_string(run + 1)
                                        : RunLabel("run", run, timedRuns, filled, plan.minTime));
    }
    std::vector<int> order = orders.Next(plan.tests);
    watch.PassStarting();
    const double passStart = budgeted ? clock() : 0.0;
    if (plan.shuffle) {
      RunInOrder(form, order, plan.tests, &recorder);
    } else {
      form.Run(plan.tests, &recorder);
    }
    if (budgeted) longestPass = std::max(longestPass, clock() - passStart);
    if (const int signal = platform::CaughtSignal()) throw interrupted(signal);
    watch.PassFinished();
    RunSamples samples = Totalled(InPlanOrder(recorder.TakeSamples(), plan.tests));
    samples.order = std::move(order);
    passSeconds.push_back(samples.monotonicTotal);
    passScores.push_back(GeometricMean(RunThroughput(samples.tests, result.pixelsPerCall)));
    result.runs.push_back(std::move(samples));
  }
  result.precision = budget.outcome();
  if (progress) progress->Clear();
  if (!plan.classicPass) result.listLines = form.List1.items();
  result.validation = validator.result();
  Summarize(result);

  std::vector<Verdict> verdicts{result.validation.verdict};
  if (plan.threads > 0) {
    const MultiCorePasses passes = RunMultiCore(picture1, picture2, plan.tests, plan.threads, timedRuns,
                                                plan.minTime, plan.kernels, clock, hooks.progress);
    if (const int signal = platform::CaughtSignal()) throw interrupted(signal);
    MultiCoreResult multi;
    multi.threads = plan.threads;
    multi.wallSeconds = passes.wallSeconds;
    multi.samples = passes.samples;
    multi.throughput = WallThroughput(passes.samples, result.pixelsPerCall);
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
  result.conditions = watch.Finish();
  result.trend = FindTrend(result.throughput.runScores);
  result.trust = Judge(result.conditions, result.trend, result.throughput.score);
  return result;
}

BenchmarkResult WindowResult(std::vector<TestSample> samples, std::vector<std::string> listLines,
                             const Validation& validation, long long pixelsPerCall) {
  BenchmarkResult result;
  result.mode = kWindowMode;
  result.pixelsPerCall = pixelsPerCall;
  result.plan.classicPass = true;
  result.plan.warmup = false;
  result.plan.threads = 0;
  result.plan.tests.clear();
  for (const TestSample& s : samples) result.plan.tests.push_back(s.test);
  result.fullRun = IsFullRun(result.plan.tests);
  result.classicPass = Totalled(std::move(samples));
  // The one pass is both the classic result and the only sample of the throughput.
  result.runs.push_back(*result.classicPass);
  result.listLines = std::move(listLines);
  result.validation = validation;
  result.verdict = validation.verdict;
  Summarize(result);
  // One pass in the window: its spread, drift and the other programs' load are not measured; the
  // machine's settings are.
  result.conditions.before = ReadMachineSettings();
  result.conditions.after = result.conditions.before;
  result.conditions.end = ReadConditionSample();
  result.trust = Judge(result.conditions, result.trend, result.throughput.score);
  return result;
}

}  // namespace asmpic::app
