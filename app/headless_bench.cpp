#include "app/headless_bench.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <thread>

#include "app/assets.h"
#include "app/benchmark_table.h"
#include "app/history/comparison.h"
#include "app/history/result_summary.h"
#include "app/results/benchmark_runner.h"
#include "app/results/build_info.h"
#include "app/results/csv_report.h"
#include "app/results/json_report.h"
#include "app/results/machine_info.h"
#include "app/results/progress.h"
#include "app/results/text_report.h"
#include "app/score.h"
#include "platform/picture_io.h"

namespace asmpic::app {

namespace {

int DefaultThreads() {
  return static_cast<int>(std::max(std::thread::hardware_concurrency(), 1u));
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

// An output named on the command line: standard output for "-", else a file opened (and so
// checked) before the run, written after it.
class Output {
 public:
  bool Open(const std::string& path, std::ostream& standardOutput, std::ostream& err) {
    path_ = path;
    if (path == "-") {
      stream_ = &standardOutput;
      return true;
    }
    file_ = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
    if (!*file_) {
      err << "asmbench: cannot write " << path << ": " << std::strerror(errno) << '\n';
      return false;
    }
    stream_ = file_.get();
    return true;
  }
  bool requested() const { return stream_ != nullptr; }
  std::ostream& stream() { return *stream_; }
  // Flushes and closes; false (with a message) when anything could not be written.
  bool Finish(std::ostream& err) {
    if (stream_ == nullptr) return true;
    stream_->flush();
    if (file_) file_->close();
    if (stream_->fail() || (file_ && file_->fail())) {
      err << "asmbench: cannot write " << (path_ == "-" ? std::string("to standard output") : path_) << '\n';
      return false;
    }
    return true;
  }

 private:
  std::string path_;
  std::unique_ptr<std::ofstream> file_;
  std::ostream* stream_ = nullptr;
};

}  // namespace

void PrintResult(const platform::ListBox& list, const platform::Label& label, std::ostream& out) {
  for (int i = 0; i < list.ListCount(); ++i) out << list.List(i) << '\n';
  out << "Score: " << label.Caption() << " (" << ColourName(label.ForeColor()) << ")\n";
}

std::vector<CLI::Option*> AddHeadlessOptions(CLI::App& cli, HeadlessOptions& options) {
  cli.add_option("--assets", options.assetsDirectory, "the folder with the start pictures (default: found)");
  return {
      cli.add_option(
             "--repeat", options.repeat,
             "timed runs after one untimed warm-up run; statistics and the score come from their median "
             "(default: one run, no warm-up)")
          ->check(CLI::Range(1, 1000000)),
      cli.add_flag("--no-warmup", options.noWarmup, "skip the untimed warm-up run before the timed ones"),
      cli.add_option("--min-time", options.minTime,
                     "timed runs (at least five) until their time adds up to SECONDS, for the throughput "
                     "score and its interval; the multi-core passes likewise (default: 3; with --repeat: 0)")
          ->type_name("SECONDS")
          ->check(CLI::Range(0.0, 86400.0)),
      cli.add_option(
             "--threads", options.threads,
             "engines of the multi-core pass, one thread each (default: one per core; 0: no such pass)")
          ->check(CLI::Range(0, 1024)),
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
  };
}

std::string HeadlessExitStatusHelp() {
  return "Exit status: 0 the run finished and its pictures are right (or could not be checked);\n"
         "1 a start picture could not be read, an output or the history could not be written, or\n"
         "the window was closed during --run; 2 a malformed command line; 3 a test computed a wrong picture, "
         "so\n"
         "the results are invalid.";
}

int RunHeadlessBenchmark(const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
  if (options.listTests) {
    WriteTestList(out);
    return kExitOk;
  }
  const auto tests = SelectTests(options.tests, err);
  if (!tests) return kExitUsage;
  if (options.jsonPath == "-" && options.csvPath == "-") {
    err << "asmbench: --json - and --csv - cannot both use standard output\n";
    return kExitUsage;
  }

  const std::string assets = options.assetsDirectory.empty() ? AssetsDirectory() : options.assetsDirectory;
  std::string error;
  const auto picture1 = platform::LoadPictureFile(assets + "/picture1.jpg", &error);
  const auto picture2 = picture1 ? platform::LoadPictureFile(assets + "/picture2.bmp", &error) : std::nullopt;
  if (!picture1 || !picture2) {
    err << "asmbench: cannot read a start picture: " << error << '\n';
    return kExitError;
  }
  Output json;
  Output csv;
  if (!options.jsonPath.empty() && !json.Open(options.jsonPath, out, err)) return kExitError;
  if (!options.csvPath.empty() && !csv.Open(options.csvPath, out, err)) return kExitError;

  BenchmarkPlan plan;
  plan.tests = *tests;
  // A plain run is first the window's single pass, which also warms up the throughput runs after
  // it; with --repeat, the timed runs come after one untimed warm-up run.
  plan.classicPass = options.repeat == 0;
  plan.repeat = options.repeat > 0 ? options.repeat : std::max(options.minRuns, 1);
  plan.warmup = options.repeat > 0 && !options.noWarmup;
  plan.minTime = options.minTime >= 0.0 ? options.minTime : options.repeat > 0 ? 0.0 : kDefaultMinTime;
  plan.threads = options.threads < 0 ? DefaultThreads() : options.threads;
  plan.kernels = options.kernels;
  BenchmarkHooks hooks;
  hooks.timeOfDay = options.timeOfDay;
  hooks.monotonic = options.monotonic;
  const bool progress = options.showProgress.value_or(!options.quiet && StderrIsTerminal());
  if (progress) hooks.progress = &err;

  const std::string startedAt = UtcNow();
  BenchmarkResult result;
  try {
    result = RunBenchmark(*picture1, *picture2, plan, hooks);
  } catch (const std::exception& e) {
    err << "asmbench: " << e.what() << '\n';
    return kExitError;
  }

  // Standard output carries the classic lines (seven list lines and the score line, as scripts
  // expect them), unless a document goes there; the rest of the report goes to standard error.
  const bool textOut = options.jsonPath != "-" && options.csvPath != "-";
  if (textOut) {
    if (options.quiet) {
      WriteScoreLine(result, out);
    } else {
      WriteClassicLines(result, out);
    }
  }
  const BuildInfo build = CurrentBuild(plan.kernels);
  const nlohmann::ordered_json document = ResultDocument(result, build, ReadMachineInfo(), startedAt);
  if (!options.quiet) {
    WriteReport(result, err);
    WriteThroughput(result, KernelsText(build), err);
    if (const auto summary = SummarizeDocument(document, nullptr)) {
      const std::string against = AgainstReferences(*summary, LoadReferences(assets));
      if (!against.empty()) err << "Against the references: " << against << '\n';
    }
  }
  if (json.requested()) json.stream() << document.dump(2) << '\n';
  if (csv.requested()) WriteCsv(result, build.kernelTarget, csv.stream());
  const bool written = json.Finish(err) && csv.Finish(err);
  bool historyFailed = false;
  SaveToHistory(options.history, document, err, &historyFailed);

  if (result.verdict == Verdict::Invalid) {
    ReportMismatches(result.validation, "", err);
    if (result.multiCore) {
      for (std::size_t t = 0; t < result.multiCore->validation.size(); ++t) {
        ReportMismatches(result.multiCore->validation[t], " in thread " + std::to_string(t + 1), err);
      }
    }
    return kExitInvalid;
  }
  return written && !historyFailed ? kExitOk : kExitError;
}

}  // namespace asmpic::app
