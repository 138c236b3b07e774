#include "app/run/sustained_command.h"

#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>
#include <optional>
#include <ostream>

#include "app/history/sustained_chart.h"
#include "app/results/build_info.h"
#include "app/results/json_report.h"
#include "app/results/machine_info.h"
#include "app/run/assets.h"
#include "app/run/benchmark_table.h"
#include "app/run/headless_bench.h"
#include "app/run/headless_commit.h"
#include "app/run/progress.h"
#include "app/run/sustained_document.h"
#include "platform/command_line.h"
#include "platform/interruption.h"
#include "platform/output_files.h"
#include "platform/processors.h"
#include "platform/qt/qt_messages.h"

namespace asmpic::app {

namespace {

// The progress of the run: one line written over itself on a terminal; elsewhere a plain line at
// most every ten seconds of the run, so that a log of a long run stays readable.
class SustainedProgress {
 public:
  SustainedProgress(std::ostream& err, bool terminal) : err_(err), terminal_(terminal) {}
  ~SustainedProgress() { Clear(); }

  void Clear() {
    if (terminal_ && written_) err_ << "\r\x1b[K" << std::flush;
    written_ = false;
  }

  void Show(const SustainedRun& run) {
    const SustainedPass& pass = run.passes.back();
    if (!terminal_ && written_ && pass.endSeconds - lastShown_ < 10.0) return;
    lastShown_ = pass.endSeconds;
    char line[192];
    std::snprintf(line, sizeof line, "pass %zu, %s of %s: %.1f Mpix/s", run.passes.size(),
                  DurationText(pass.endSeconds).c_str(), DurationText(run.askedSeconds).c_str(), pass.mpixPerSecond);
    std::string text = line;
    if (pass.meanFrequencyMHz) text += ", " + std::to_string(static_cast<long>(*pass.meanFrequencyMHz)) + " MHz";
    if (pass.maxTemperatureC) text += ", " + std::to_string(static_cast<long>(*pass.maxTemperatureC)) + " °C";
    if (terminal_) {
      err_ << "\r\x1b[K" << text << std::flush;
    } else {
      err_ << text << '\n' << std::flush;
    }
    written_ = true;
  }

 private:
  std::ostream& err_;
  bool terminal_;
  bool written_ = false;
  double lastShown_ = 0.0;
};

// Charts need fonts, and fonts a QGuiApplication: without a display, the offscreen platform.
bool DrawChartFile(const SustainedRun& run, const std::string& path, std::ostream& err) {
  std::unique_ptr<QGuiApplication> application;
  int argc = 3;
  char name[] = "asmbench";
  char platformOption[] = "-platform";
  char offscreen[] = "offscreen";
  char* argv[] = {name, platformOption, offscreen, nullptr};
  platform::FilterQtNoise();
  if (QCoreApplication::instance() == nullptr) application = std::make_unique<QGuiApplication>(argc, argv);
  std::string error;
  if (WriteSustainedChart(run, path, &error)) return true;
  err << "asmbench: " << error << '\n';
  return false;
}

}  // namespace

CLI::Option* AddSustainedOption(CLI::App& cli, double& minutes) {
  return cli
      .add_option("--sustained", minutes,
                  "run the multi-core pass back to back for MINUTES, checking every picture, and report the "
                  "burst and sustained speed, when it first slowed down and the hottest sensor (--chart FILE "
                  "draws them)")
      ->type_name("MINUTES")
      ->check(platform::DecimalNumber(0.01, 10080.0));
}

int RunSustainedBenchmark(const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
  const auto refuse = [&err](const char* option) {
    err << "asmbench: --sustained runs the seven tests on every engine until its time is up; it cannot be "
           "combined with "
        << option << '\n';
    return kExitUsage;
  };
  if (!options.tests.empty()) return refuse("--tests");
  if (options.repeat > 0) return refuse("--repeat");
  if (options.precision > 0.0) return refuse("--precision");
  if (options.maxTime > 0.0) return refuse("--max-time");
  if (!options.csvPath.empty()) return refuse("--csv");
  const int usable = platform::UsableProcessors();
  int threads = options.threads < 0 ? usable : std::min(options.threads, usable);
  if (options.threads == 0) {
    err << "asmbench: --sustained needs at least one thread (--threads 0 runs none)\n";
    return kExitUsage;
  }
  if (options.threads > usable) {
    err << "asmbench: --threads " << options.threads << ": this process may use " << usable
        << (usable == 1 ? " processor" : " processors") << "; the sustained run uses " << threads << '\n';
  }

  std::optional<platform::InterruptionCatcher> interruptions(std::in_place);
  std::string error;
  std::string detail;
  const auto pictures = LoadStartPictures(options.assetsDirectory, &error, &detail);
  if (!pictures) {
    err << "asmbench: cannot read a start picture: " << error << '\n';
    if (options.verbose && !detail.empty()) err << "asmbench: the decoder said: " << detail << '\n';
    return kExitError;
  }
  const platform::Image& picture1 = pictures->picture1;
  const platform::Image& picture2 = pictures->picture2;
  platform::OutputFiles outputs(out);
  std::ostream* json = nullptr;
  if (!options.jsonPath.empty() && options.jsonPath != "-" &&
      (json = outputs.Stage(options.jsonPath, &error)) == nullptr) {
    err << "asmbench: cannot write " << error << '\n';
    return kExitError;
  }

  const SustainedTestHooks& scripted = options.sustainedHooks;
  const MonotonicClock clock = scripted.clock ? scripted.clock : MonotonicClock(SteadySeconds);
  const long long pixelsPerCall = SustainedPixelsPerCall(picture1, picture2, options.kernels);
  const PassRunner pass =
      scripted.pass ? scripted.pass : MultiCorePassRunner(picture1, picture2, threads, options.kernels, clock);
  SustainedProgress progress(err, options.showProgress.value_or(StderrIsTerminal()));
  SustainedHooks hooks;
  hooks.clock = clock;
  hooks.sensors = scripted.sensors;
  if (!options.quiet) hooks.passFinished = [&progress](const SustainedRun& run) { progress.Show(run); };

  const std::string startedAt = UtcNow();
  ConditionWatch watch;
  watch.Start();
  SustainedRun run;
  try {
    run = RunSustained(options.sustainedMinutes * 60.0, threads, pass, hooks);
  } catch (const std::exception& e) {
    err << "asmbench: " << e.what() << '\n';
    return kExitError;
  }
  const RunConditions conditions = watch.Finish();
  progress.Clear();
  if (run.failure) {
    err << "asmbench: " << FailureText(*run.failure) << '\n' << "asmbench: " << run.failure->detail << '\n';
  }
  if (run.interruptedBy != 0) {
    err << "\nasmbench: interrupted by " << platform::SignalName(run.interruptedBy);
    if (run.passes.empty()) {
      err << " before the first pass ended; nothing was measured\n";
      return platform::InterruptedExitStatus(run.interruptedBy);
    }
    err << "; the passes that finished are reported and stored\n";
    // The signal that ended the run is dealt with: a new catcher lets another stop the storing.
    interruptions.reset();
    interruptions.emplace();
  }

  const nlohmann::ordered_json document =
      SustainedDocument(run, pixelsPerCall, conditions, options.kernels, ThisMachine(options), startedAt);
  if (json != nullptr) *json << document.dump(2) << '\n';
  const CommitOutcome committed = CommitRun(outputs, options.history, document, err, options.quiet);
  if (committed.interruptedBefore != 0) {
    err << "asmbench: interrupted by " << platform::SignalName(committed.interruptedBefore)
        << "; nothing was written\n";
    return platform::InterruptedExitStatus(committed.interruptedBefore);
  }
  if (options.jsonPath == "-") {
    out << document.dump(2) << '\n';
  } else {
    out << SummaryText(run);
    // Another program's work slows the passes as much as heat does: say how much there was.
    if (conditions.otherLoad && *conditions.otherLoad >= 0.1) {
      char line[160];
      std::snprintf(line, sizeof line,
                    "Other programs: %.2f processors' worth on average; a slowdown may be theirs\n",
                    *conditions.otherLoad);
      out << line;
    }
  }
  bool written = committed.written && !committed.historyFailed;
  if (!committed.saying.empty()) err << committed.saying;
  if (!options.history.chart.empty() && !run.passes.empty()) written = DrawChartFile(run, options.history.chart, err) && written;
  out.flush();
  if (run.failure) return kExitInvalid;
  if (run.interruptedBy != 0) return platform::InterruptedExitStatus(run.interruptedBy);
  return written ? kExitOk : kExitError;
}

}  // namespace asmpic::app
