#include "app/run/sustained_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/results/throughput.h"
#include "app/run/benchmark_table.h"
#include "app/run/headless_form.h"
#include "app/run/multicore.h"
#include "app/run/run_conditions.h"
#include "platform/interruption.h"

namespace asmpic::app {

namespace {

using json = nlohmann::ordered_json;

// The time-weighted mean throughput of the passes that `take` chooses: their work over their time.
template <typename Take>
double MeanThroughput(const std::vector<SustainedPass>& passes, Take take) {
  double work = 0.0;
  double seconds = 0.0;
  for (const SustainedPass& pass : passes) {
    if (!take(pass)) continue;
    const double span = std::max(pass.endSeconds - pass.startSeconds, 0.0);
    work += pass.mpixPerSecond * span;
    seconds += span;
  }
  return seconds > 0.0 ? work / seconds : 0.0;
}

json OrNull(const std::optional<double>& value) {
  return value ? json(*value) : json(nullptr);
}

// Adds one pass's checks of one engine to those of the passes before.
void Merge(Validation& into, const Validation& pass) {
  if (into.tests.empty() && into.reason.empty()) {
    into = pass;
    return;
  }
  for (const TestCheck& check : pass.tests) {
    const auto same = std::find_if(into.tests.begin(), into.tests.end(),
                                   [&](const TestCheck& c) { return c.test == check.test; });
    if (same == into.tests.end()) {
      into.tests.push_back(check);
      continue;
    }
    if (!check.matches() && same->matches()) same->computed = check.computed;
    same->runs += check.runs;
    same->wrongRuns += check.wrongRuns;
  }
  const Verdict both[] = {into.verdict, pass.verdict};
  into.verdict = Combine(both);
  if (into.reason.empty()) into.reason = pass.reason;
}

std::string Fixed(double value, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  return text;
}

}  // namespace

SensorReader MachineSensors(const std::string& root) {
  return [root] {
    const ConditionSample sample = ReadConditionSample(root);
    return SensorReading{sample.meanFrequencyMHz, sample.maxTemperatureC};
  };
}

PassRunner MultiCorePassRunner(const platform::Image& picture1, const platform::Image& picture2, int threads,
                               const KernelStore& kernels, const MonotonicClock& clock) {
  long long pixelsPerCall = 0;
  {
    HeadlessForm1 form(picture1, picture2, kernels);
    pixelsPerCall = static_cast<long long>(form.Engine1.Width()) * form.Engine1.Height();
  }
  return [=](int) {
    static constexpr int kAllTests[] = {0, 1, 2, 3, 4, 5, 6};
    const MultiCorePasses passes = RunMultiCore(picture1, picture2, kAllTests, threads, 1, 0.0, kernels, clock);
    PassWork work;
    // A signal stops every thread's form at its next yield: the pass is cut short.
    if (platform::CaughtSignal() != 0 || passes.samples.empty()) {
      work.interrupted = true;
      return work;
    }
    work.wallSeconds = passes.wallSeconds.front();
    work.samples = passes.samples.front();
    work.mpixPerSecond = GeometricMean(PassWallThroughput(work.samples, pixelsPerCall));
    work.validation = passes.threads;
    for (const Validation& validation : passes.threads) {
      if (validation.verdict == Verdict::NotApplicable) work.checked = false;
      for (const TestCheck& check : validation.tests) {
        if (!check.matches() && work.wrongTest < 0) {
          work.wrongTest = check.test;
          work.wrongDetail = DescribeMismatch(check);
        }
      }
    }
    return work;
  };
}

SustainedSummary SummarizeSustained(const std::vector<SustainedPass>& passes) {
  SustainedSummary summary;
  summary.passes = static_cast<int>(passes.size());
  if (passes.empty()) return summary;
  // The burst: what started in the first seconds (the first pass at least, however long).
  summary.burstScore = MeanThroughput(
      passes, [&](const SustainedPass& p) { return p.startSeconds < kBurstSeconds || &p == &passes.front(); });
  // The sustained speed: what started in the last third of the time run (the last pass at least).
  const double lastThird = passes.back().endSeconds * 2.0 / 3.0;
  summary.sustainedScore = MeanThroughput(
      passes, [&](const SustainedPass& p) { return p.startSeconds >= lastThird || &p == &passes.back(); });
  if (summary.burstScore > 0.0) summary.ratio = summary.sustainedScore / summary.burstScore;
  // The onset: once the machine has run at its burst speed, the first slow pass of the first
  // window (three passes at least, kSlowdownWindow seconds of them) whose median is below the
  // share, so that one pass slowed by another program's moment is not taken for the machine
  // slowing down, nor a slow start (a cold cache) for a fall. Near the end the run leaves too few
  // passes to fill a window, and one noisy last pass is not a fall either: there it stops looking.
  const double limit = kSlowdownShare * summary.burstScore;
  bool reached = false;
  for (std::size_t i = 0; i < passes.size() && !summary.onsetSeconds; ++i) {
    std::vector<double> window;
    std::size_t k = i;
    for (; k < passes.size() && (k < i + 3 || passes[k].startSeconds < passes[i].startSeconds + kSlowdownWindow); ++k)
      window.push_back(passes[k].mpixPerSecond);
    const bool full = k < passes.size() || (window.size() >= 3 && passes.back().endSeconds >=
                                                                      passes[i].startSeconds + kSlowdownWindow);
    if (!full) break;
    std::sort(window.begin(), window.end());
    if (window[(window.size() - 1) / 2] >= limit) {
      reached = true;
    } else if (reached) {
      for (std::size_t k = i; k < passes.size() && !summary.onsetSeconds; ++k) {
        if (passes[k].mpixPerSecond < limit) summary.onsetSeconds = passes[k].startSeconds;
      }
    }
  }
  for (const SustainedPass& pass : passes) {
    if (pass.maxTemperatureC && (!summary.maxTemperatureC || *pass.maxTemperatureC > *summary.maxTemperatureC))
      summary.maxTemperatureC = pass.maxTemperatureC;
  }
  return summary;
}

SustainedRun RunSustained(double seconds, int threads, const PassRunner& pass, const SustainedHooks& hooks) {
  const MonotonicClock clock = hooks.clock ? hooks.clock : MonotonicClock(SteadySeconds);
  const SensorReader sensors = hooks.sensors ? hooks.sensors : MachineSensors();
  SustainedRun run;
  run.threads = threads;
  run.askedSeconds = seconds;
  const double start = clock();
  for (int index = 0;; ++index) {
    if ((run.interruptedBy = platform::CaughtSignal()) != 0) break;
    if (hooks.cancelled && hooks.cancelled()) break;
    if (index > 0 && clock() - start >= seconds) break;
    const SensorReading before = sensors();
    const double passStart = clock() - start;
    PassWork work = pass(index);
    const double passEnd = clock() - start;
    const SensorReading after = sensors();
    if (work.interrupted || (run.interruptedBy = platform::CaughtSignal()) != 0) {
      run.interruptedBy = platform::CaughtSignal();
      break;
    }
    run.validation.resize(std::max(run.validation.size(), work.validation.size()));
    for (std::size_t t = 0; t < work.validation.size(); ++t) Merge(run.validation[t], work.validation[t]);
    const std::optional<double> temperature =
        after.maxTemperatureC && before.maxTemperatureC
            ? std::max(*after.maxTemperatureC, *before.maxTemperatureC)
            : (after.maxTemperatureC ? after.maxTemperatureC : before.maxTemperatureC);
    if (work.wrongTest >= 0) {
      run.failure = SustainedFailure{index + 1, passEnd, temperature, work.wrongTest, work.wrongDetail};
      break;
    }
    if (!work.checked) run.checked = false;
    run.passes.push_back({passStart, passEnd, work.mpixPerSecond,
                          MeanOf(before.meanFrequencyMHz, after.meanFrequencyMHz), temperature});
    run.samples.push_back(std::move(work.samples));
    run.summary = SummarizeSustained(run.passes);
    if (hooks.passFinished) hooks.passFinished(run);
  }
  run.summary = SummarizeSustained(run.passes);
  return run;
}

std::string DurationText(double seconds) {
  if (seconds < 60.0) return Fixed(seconds, 1) + " s";
  const auto whole = static_cast<long long>(seconds);
  return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
}

std::string FailureText(const SustainedFailure& failure) {
  std::string text = "pass " + std::to_string(failure.pass) + ", " + DurationText(failure.seconds);
  if (failure.temperatureC) text += ", " + Fixed(*failure.temperatureC, 0) + " °C";
  return text + ": the " + kBenchmarkTests.at(static_cast<std::size_t>(failure.test)).name +
         " picture is wrong; this machine does not compute reliably under load";
}

std::string SummaryText(const SustainedRun& run) {
  const SustainedSummary& s = run.summary;
  std::string text = "Sustained run: " + std::to_string(s.passes) + (s.passes == 1 ? " pass" : " passes") +
                     " on " + std::to_string(run.threads) + (run.threads == 1 ? " thread" : " threads");
  if (!run.passes.empty()) text += " in " + DurationText(run.passes.back().endSeconds);
  text += "\n";
  if (run.passes.empty()) return text;
  text += "Burst (first " + Fixed(kBurstSeconds, 0) + " s): " + Fixed(s.burstScore, 1) + " Mpix/s\n";
  text += "Sustained (last third): " + Fixed(s.sustainedScore, 1) + " Mpix/s, " + Fixed(100.0 * s.ratio, 1) +
          " % of the burst\n";
  text += s.onsetSeconds ? "Below 95 % of the burst speed from " + DurationText(*s.onsetSeconds) + "\n"
                         : std::string("Never below 95 % of the burst speed\n");
  const auto& first = run.passes.front().meanFrequencyMHz;
  const auto& last = run.passes.back().meanFrequencyMHz;
  if (first && last) {
    text += "Clock: " + Fixed(*first, 0) + " MHz in the first pass, " + Fixed(*last, 0) + " MHz in the last\n";
  }
  text += s.maxTemperatureC ? "Hottest sensor: " + Fixed(*s.maxTemperatureC, 0) + " °C\n"
                            : std::string("Hottest sensor: not exposed by this system\n");
  if (!run.checked) text += "Pictures: not checked (start pictures other than the shipped ones)\n";
  return text;
}

nlohmann::ordered_json SustainedJson(const SustainedRun& run) {
  const SustainedSummary& s = run.summary;
  json series = json::array();
  for (const SustainedPass& p : run.passes) {
    series.push_back({{"start_seconds", p.startSeconds},
                      {"end_seconds", p.endSeconds},
                      {"mpix_per_second", p.mpixPerSecond},
                      {"frequency_mhz", OrNull(p.meanFrequencyMHz)},
                      {"temperature_c", OrNull(p.maxTemperatureC)}});
  }
  json failure = nullptr;
  if (run.failure) {
    const SustainedFailure& f = *run.failure;
    failure = {{"pass", f.pass},
               {"seconds", f.seconds},
               {"temperature_c", OrNull(f.temperatureC)},
               {"test", kBenchmarkTests.at(static_cast<std::size_t>(f.test)).name},
               {"detail", f.detail}};
  }
  return {{"seconds_asked", run.askedSeconds},
          {"threads", run.threads},
          {"ended", run.failure ? "wrong_picture" : run.interruptedBy != 0 ? "interrupted" : "finished"},
          {"passes", s.passes},
          {"burst_seconds", kBurstSeconds},
          {"burst_score", s.burstScore},
          {"sustained_score", s.sustainedScore},
          {"ratio", s.ratio},
          {"onset_seconds", OrNull(s.onsetSeconds)},
          {"max_temperature_c", OrNull(s.maxTemperatureC)},
          {"pictures_checked", run.checked},
          {"failure", failure},
          {"series", series}};
}

}  // namespace asmpic::app
