#include "app/run/headless_bench.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <ostream>
#include <stdexcept>

#include "app/run/headless_commit.h"
#include "app/run/assets.h"
#include "app/run/benchmark_table.h"
#include "app/history/comparison.h"
#include "app/history/drawing.h"
#include "app/history/fleet.h"
#include "app/history/history_store.h"
#include "app/history/result_summary.h"
#include "app/run/benchmark_runner.h"
#include "app/results/build_info.h"
#include "app/results/csv_report.h"
#include "app/results/json_report.h"
#include "app/results/machine_info.h"
#include "app/results/machine_name.h"
#include "app/results/metrics_report.h"
#include "app/run/progress.h"
#include "app/results/text_report.h"
#include "app/run/pass_order.h"
#include "app/run/headless_extras.h"
#include "app/run/scaling.h"
#include "app/run/score.h"
#include "app/run/verdict_text.h"
#include "platform/command_line.h"
#include "platform/interruption.h"
#include "platform/output_files.h"
#include "platform/processors.h"

namespace asmpic::app {

namespace {

// The multi-core pass's threads: as many as asked, but no more than the processors this process
// may use (more would only queue for them, each holding its own pictures), said in one line.
int PassThreads(int asked, std::ostream& err) {
  const int usable = platform::UsableProcessors();
  if (asked < 0) return usable;
  if (asked > usable) {
    err << "asmbench: --threads " << asked << ": this process may use " << usable
        << (usable == 1 ? " processor" : " processors") << "; the multi-core pass runs " << usable
        << (usable == 1 ? " thread\n" : " threads\n");
    return usable;
  }
  return asked;
}

// The tests named on the command line as indices in table order; nothing when a name is unknown.
std::optional<std::vector<int>> SelectTests(const std::vector<std::string>& names, std::ostream& err) {
  if (names.empty()) return std::vector<int>{0, 1, 2, 3, 4, 5, 6};
  std::vector<bool> chosen(kBenchmarkTests.size(), false);
  for (const std::string& name : names) {
    const auto found = std::find_if(kBenchmarkTests.begin(), kBenchmarkTests.end(),
                                    [&](const BenchmarkTest& test) { return name == test.name; });
    if (found == kBenchmarkTests.end()) {
      err << "asmbench: --tests: no test is called '" << name << "' (asmbench --list-tests names them)\n";
      return std::nullopt;
    }
    chosen[static_cast<std::size_t>(found - kBenchmarkTests.begin())] = true;
  }
  std::vector<int> tests;
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    if (chosen[i]) tests.push_back(static_cast<int>(i));
  }
  return tests;
}

// What an interrupted run had measured: each test's median over the timed runs that finished
// (linear work, however many there were), or the window's pass when no timed run did.
void WriteMeasuredSoFar(const BenchmarkResult& measured, std::ostream& err) {
  if (!measured.runs.empty()) {
    err << "Measured before the interruption, not written or stored (median of " << measured.runs.size()
        << (measured.runs.size() == 1 ? " timed run" : " timed runs") << "):\n";
    const std::size_t tests = measured.runs.front().tests.size();
    std::vector<std::vector<double>> mpix(tests);
    for (const RunSamples& run : measured.runs) {
      const std::vector<double> perTest = RunThroughput(run.tests, measured.pixelsPerCall);
      for (std::size_t t = 0; t < tests && t < perTest.size(); ++t) mpix[t].push_back(perTest[t]);
    }
    for (std::size_t t = 0; t < tests; ++t) {
      std::vector<double>& values = mpix[t];
      if (values.empty()) continue;
      const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
      std::nth_element(values.begin(), middle, values.end());
      char line[96];
      std::snprintf(line, sizeof line, "%-12s %10.1f Mpix/s\n",
                    kBenchmarkTests[static_cast<std::size_t>(measured.runs.front().tests[t].test)].name, *middle);
      err << line;
    }
  } else if (measured.classicPass) {
    err << "Measured before the interruption, not written or stored (the window's pass):\n";
    for (const std::string& line : measured.listLines) err << line << '\n';
  }
}

}  // namespace

MachineInfo ThisMachine(const HeadlessOptions& options) {
  MachineInfo machine = ReadMachineInfo();
  if (!options.machineName.empty()) machine.name = options.machineName;
  if (options.shareHostName) {
    if (std::string host = HostName(); !host.empty()) machine.hostName = std::move(host);
  }
  return machine;
}

void PrintResult(const platform::ListBox& list, const platform::Label& label, std::ostream& out) {
  for (int i = 0; i < list.ListCount(); ++i) out << list.List(i) << '\n';
  out << "Score: " << label.Caption() << " (" << ColourName(label.ForeColor()) << ")\n";
}

std::vector<CLI::Option*> AddHeadlessOptions(CLI::App& cli, HeadlessOptions& options) {
  cli.add_option("--assets", options.assetsDirectory, "the folder with the start pictures (default: found)")
      ->type_name("DIR");
  cli.add_flag("--verbose", options.verbose,
               "say more about failures (the picture decoder's own words, what Qt said of a display it could "
               "not reach)");
  return {
      cli.add_option(
             "--repeat", options.repeat,
             "timed runs after one untimed warm-up run; statistics and the score come from their median "
             "(default: none: a first pass, as the window runs, gives the list and the score, and timed runs "
             "follow as --min-time asks)")
          ->check(platform::WholeNumber(1, 1000000))
          ->type_name("N"),
      cli.add_flag("--no-warmup", options.noWarmup, "skip the untimed warm-up run before the timed ones"),
      cli.add_option("--min-time", options.minTime,
                     "timed runs (at least five) until their time adds up to SECONDS, for the throughput "
                     "score and its interval; the multi-core passes likewise (default: 3; with --repeat: 0)")
          ->type_name("SECONDS")
          ->check(platform::DecimalNumber(0.0, 86400.0)),
      cli.add_option(
             "--threads", options.threads,
             "engines of the multi-core pass, one thread each (default: one per processor this process may use, "
             "also the most it runs; 0: no such pass)")
          ->check(platform::WholeNumber(0, 1024))
          ->type_name("N"),
      cli.add_option("--json", options.jsonPath, "write the result document to FILE (- for standard output)")
          ->type_name("FILE"),
      cli.add_option("--csv", options.csvPath,
                     "write every test's samples as CSV to FILE (- for standard output)")
          ->type_name("FILE"),
      cli.add_flag("--list-tests", options.listTests, "print the seven tests and what each does, then exit"),
      cli.add_option("--tests", options.tests,
                     "run only these tests (short names, comma-separated); no score")
          ->delimiter(',')
          ->type_name("NAME,..."),
      cli.add_flag("--quiet", options.quiet, "print only the score line"),
      cli.add_option("--precision", options.precision,
                     "more timed runs until the throughput score's 95 % interval is at most PERCENT of its "
                     "median, or --max-time runs out")
          ->type_name("PERCENT")
          ->check(platform::DecimalNumber(0.01, 100.0)),
      cli.add_option("--max-time", options.maxTime,
                     "the timed runs end within SECONDS of the start: none starts that would end later "
                     "(default with --precision: 60)")
          ->type_name("SECONDS")
          ->check(platform::DecimalNumber(0.001, 86400.0)),
      cli.add_option("--order", options.order,
                     "the tests' order in the timed runs: shuffled (default; changes from run to run) or fixed")
          ->type_name("ORDER")
          ->check(CLI::IsMember({"shuffled", "fixed"})),
      cli.add_flag("--scaling", options.scaling,
                   "after the run, the multi-core pass at 1, 2, 4, ... threads and at every processor this "
                   "process may use, in alternating rounds: throughput, speed-up and efficiency with their "
                   "intervals"),
      cli.add_option("--card", options.card,
                     "draw a picture of a run to share (.png or .svg): of this run, or of RUN (a stored run's "
                     "id, a result file or a reference's name) without running; it names no host, user or "
                     "machine id")
          ->type_name("FILE [RUN]")
          ->expected(1, 2),
      cli.add_option("--seed", options.seed, "the seed of the shuffled orders, to repeat a run's orders "
                                             "(default: a random one; the result records it)")
          ->type_name("N")
          ->check(platform::WholeNumber(0, 2147483647)),
      AddSustainedOption(cli, options.sustainedMinutes),
      cli.add_option("--machine-name", options.machineName,
                     "how the result and the history name this machine (default: a salted hash of the "
                     "machine id, which does not reveal it)")
          ->type_name("NAME")
          ->check(CLI::Validator(
              [](const std::string& name) -> std::string {
                if (name.empty() || name.size() > 200) return "a machine name has 1 to 200 characters";
                for (const char c : name) {
                  if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return "a machine name has no control characters";
                }
                return "";
              },
              "")),
      cli.add_flag("--share-host-name", options.shareHostName,
                   "keep this machine's host name in the result and the history (never kept otherwise)"),
      cli.add_option("--metrics", options.metricsPath,
                     "write the run's throughput, scores and verdict to FILE in the Prometheus text format "
                     "(for node_exporter's textfile collector; - for standard output)")
          ->type_name("FILE"),
  };
}

std::string HeadlessExitStatusHelp() {
  return "Exit status: 0 the run finished and its pictures are right (or could not be checked);\n"
         "1 a start picture could not be read, an output or the history could not be written, or\n"
         "the window was closed during --run; 2 a malformed command line; 3 a test computed a wrong picture, "
         "so\n"
         "the results are invalid; 130 (143, 129) a headless run was interrupted by SIGINT (SIGTERM,\n"
         "SIGHUP) and wrote nothing, or while its results were put in place, which were all written\n"
         "(a --sustained run reports and stores the passes that had finished).";
}

int RunHeadlessBenchmark(const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
  if (options.listTests) {
    WriteTestList(out);
    return kExitOk;
  }
  if (options.sustainedMinutes > 0.0) return RunSustainedBenchmark(options, out, err);
  if (!options.card.empty() && !IsPictureFile(options.card.front())) {
    err << "asmbench: --card: " << options.card.front() << " is neither .svg nor .png\n";
    return kExitUsage;
  }
  if (!options.history.chart.empty() && !options.scaling) {
    err << "asmbench: --chart needs --compare, --sustained or --scaling\n";
    return kExitUsage;
  }
  if (options.card.size() == 2) {
    return WriteStoredCard(options.card[0], options.card[1], options.history.path(),
                           options.assetsDirectory.empty() ? AssetsDirectory() : options.assetsDirectory, err);
  }
  const auto tests = SelectTests(options.tests, err);
  if (!tests) return kExitUsage;
  if (options.jsonPath == "-" && options.csvPath == "-") {
    err << "asmbench: --json - and --csv - cannot both use standard output\n";
    return kExitUsage;
  }
  if (!options.jsonPath.empty() && !options.csvPath.empty() &&
      platform::FindSameFile({options.jsonPath, options.csvPath})) {
    err << "asmbench: --json and --csv both name " << options.csvPath << "; each output needs its own file\n";
    return kExitUsage;
  }
  if (options.metricsPath == "-" && (options.jsonPath == "-" || options.csvPath == "-")) {
    err << "asmbench: --metrics - and --" << (options.jsonPath == "-" ? "json" : "csv")
        << " - cannot both use standard output\n";
    return kExitUsage;
  }
  for (const std::string* other : {&options.jsonPath, &options.csvPath}) {
    if (!options.metricsPath.empty() && !other->empty() && options.metricsPath != "-" &&
        platform::FindSameFile({options.metricsPath, *other})) {
      err << "asmbench: --metrics and --" << (other == &options.jsonPath ? "json" : "csv") << " both name "
          << options.metricsPath << "; each output needs its own file\n";
      return kExitUsage;
    }
  }
  const platform::InterruptionCatcher interruptions;
  const auto interrupted = [&err](int signal) {
    err << "asmbench: interrupted by " << platform::SignalName(signal) << "; nothing was written\n";
    return platform::InterruptedExitStatus(signal);
  };

  const std::string assets = options.assetsDirectory.empty() ? AssetsDirectory() : options.assetsDirectory;
  std::string error;
  std::string detail;
  const auto pictures = LoadStartPictures(assets, &error, &detail);
  if (!pictures) {
    err << "asmbench: cannot read a start picture: " << error << '\n';
    if (options.verbose && !detail.empty()) err << "asmbench: the decoder said: " << detail << '\n';
    return kExitError;
  }
  const platform::Image& picture1 = pictures->picture1;
  const platform::Image& picture2 = pictures->picture2;
  // The outputs are staged before the run, so that one that cannot be written is known at once;
  // they replace their files together once both are complete. A document for standard output
  // is written after the files and the history, so that a closed pipe cannot lose the run.
  platform::OutputFiles outputs(out);
  std::ostream* json = nullptr;
  std::ostream* csv = nullptr;
  std::ostream* metrics = nullptr;
  if ((!options.jsonPath.empty() && options.jsonPath != "-" &&
       (json = outputs.Stage(options.jsonPath, &error)) == nullptr) ||
      (!options.csvPath.empty() && options.csvPath != "-" &&
       (csv = outputs.Stage(options.csvPath, &error)) == nullptr) ||
      (!options.metricsPath.empty() && options.metricsPath != "-" &&
       (metrics = outputs.Stage(options.metricsPath, &error)) == nullptr)) {
    err << "asmbench: cannot write " << error << '\n';
    return kExitError;
  }

  BenchmarkPlan plan;
  plan.tests = *tests;
  // A plain run is first the window's single pass, which also warms up the throughput runs after
  // it; with --repeat, the timed runs come after one untimed warm-up run.
  plan.classicPass = options.repeat == 0;
  plan.repeat = options.repeat > 0 ? options.repeat : std::max(options.minRuns, 1);
  plan.warmup = options.repeat > 0 && !options.noWarmup;
  plan.minTime = options.minTime >= 0.0 ? options.minTime : options.repeat > 0 ? 0.0 : kDefaultMinTime;
  plan.threads = PassThreads(options.threads, err);
  plan.kernels = options.kernels;
  if (options.precision > 0.0) plan.precision = options.precision / 100.0;
  if (options.maxTime > 0.0) {
    plan.maxTime = options.maxTime;
  } else if (plan.precision) {
    plan.maxTime = kDefaultMaxTime;
  }
  plan.shuffle = options.order != "fixed";
  plan.seed = options.seed >= 0 ? static_cast<std::uint64_t>(options.seed) : RandomSeed();
  BenchmarkHooks hooks;
  hooks.timeOfDay = options.timeOfDay;
  hooks.monotonic = options.monotonic;
  const bool progress = options.showProgress.value_or(!options.quiet && StderrIsTerminal());
  if (progress) hooks.progress = &err;

  const std::string startedAt = UtcNow();
  BenchmarkResult result;
  try {
    result = RunBenchmark(picture1, picture2, plan, hooks);
  } catch (const RunInterrupted& e) {
    const int status = interrupted(e.signal);
    // What had been measured is shown, though not written or stored: the time was not all lost.
    if (e.measured && !options.quiet) WriteMeasuredSoFar(*e.measured, err);
    return status;
  } catch (const std::exception& e) {
    err << "asmbench: " << e.what() << '\n';
    return kExitError;
  }
  std::optional<ScalingResult> scaling;
  if (options.scaling && platform::CaughtSignal() == 0) {
    try {
      scaling = RunThreadScaling(picture1, picture2, plan, result.pixelsPerCall, hooks);
    } catch (const std::exception& e) {
      err << "asmbench: --scaling: " << e.what() << '\n';
      return kExitError;
    }
    if (scaling->verdict == Verdict::Invalid) result.verdict = Verdict::Invalid;
  }
  if (const int signal = platform::CaughtSignal()) return interrupted(signal);  // after the last yield

  const BuildInfo build = CurrentBuild(plan.kernels);
  const MachineInfo machine = ThisMachine(options);
  nlohmann::ordered_json document = ResultDocument(result, build, machine, startedAt);
  if (scaling) document["scaling"] = ScalingJson(*scaling);
  if (json != nullptr) *json << document.dump(2) << '\n';
  if (csv != nullptr) WriteCsv(result, build.kernelTarget, *csv);
  if (metrics != nullptr && !WriteMetrics(document, *metrics, &error)) {
    err << "asmbench: --metrics: " << error << '\n';  // cannot happen for a document made here
    metrics->setstate(std::ios::failbit);
  }
  const CommitOutcome committed = CommitRun(outputs, options.history, document, err, options.quiet);
  if (committed.interruptedBefore != 0) return interrupted(committed.interruptedBefore);

  // Standard output carries the classic lines (seven list lines and the score line, as scripts
  // expect them), unless a document goes there; the rest of the report goes to standard error.
  const bool textOut = options.jsonPath != "-" && options.csvPath != "-" && options.metricsPath != "-";
  bool written = committed.written;
  errno = 0;  // so that a failed write to standard output tells its own reason
  if (textOut) {
    if (options.quiet) {
      WriteScoreLine(result, out);
    } else {
      WriteClassicLines(result, out);
    }
  }
  if (!options.quiet) {
    WriteReport(result, err);
    WriteThroughput(result, KernelsText(build), err);
    WriteVerdict(result, err);
    if (const auto summary = SummarizeDocument(document, nullptr)) {
      const std::string against = AgainstReferences(*summary, LoadReferences(assets));
      if (!against.empty()) err << "Against the references (single-core score): " << against << '\n';
      // Where this run stands among the other machines of the history, when it holds others.
      const auto history = OpenHistory(options.history.path(), HistoryAccess::kRead);
      for (const std::string& line : StandingLines(*summary, machine.name, LatestTrustedRuns(*history))) {
        err << line << '\n';
      }
    }
  }
  if (scaling && !options.quiet) WriteScaling(*scaling, err);
  if (!DrawPictures(options, scaling, document, assets, err)) written = false;
  if (options.jsonPath == "-") out << document.dump(2) << '\n';
  if (options.csvPath == "-") WriteCsv(result, build.kernelTarget, out);
  if (options.metricsPath == "-") WriteMetrics(document, out, nullptr);
  if (!committed.saying.empty()) err << committed.saying;
  // A closed standard output is the failure of what went there, reported like any other output.
  if (!out.flush()) {
    err << "asmbench: cannot write standard output: " << std::strerror(errno != 0 ? errno : EIO) << '\n';
    written = false;
  }
  if (committed.interruptedDuring != 0) {
    err << "asmbench: interrupted by " << platform::SignalName(committed.interruptedDuring)
        << " while the results were being put in place; they were written and stored\n";
    return platform::InterruptedExitStatus(committed.interruptedDuring);
  }

  if (result.verdict == Verdict::Invalid) {
    ReportMismatches(result.validation, "", err);
    if (scaling && scaling->verdict == Verdict::Invalid)
      err << "asmbench: --scaling: a pass computed a wrong picture\n";
    if (result.multiCore) {
      for (std::size_t t = 0; t < result.multiCore->validation.size(); ++t) {
        ReportMismatches(result.multiCore->validation[t], " in thread " + std::to_string(t + 1), err);
      }
    }
    return kExitInvalid;
  }
  return written && !committed.historyFailed ? kExitOk : kExitError;
}

}  // namespace asmpic::app
