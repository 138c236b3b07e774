// What a headless run writes: the JSON document read back, the CSV table's columns, subsets of
// the tests, --quiet, the progress line, and the exit statuses, through the library and through
// the asmbench program itself.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "app/benchmark_table.h"
#include "app/headless_bench.h"
#include "app/results/progress.h"
#include "app/score.h"
#include "results_support.h"
#include "tests/support/scratch_folder.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class HeadlessOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = asmpic::testing::TestScratchFolder("asmbench_output");
    fs::create_directories(dir_);
    options.assetsDirectory = ASMPIC_ASSETS;
    options.noWarmup = true;
    options.threads = 0;
    options.showProgress = false;
    options.minRuns = 1;  // one throughput run after the window's pass: these tests look at outputs
    options.minTime = 0.0;
    options.history.dbPath = path("history.sqlite");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  int Run() { return RunHeadlessBenchmark(options, out, err); }

  HeadlessOptions options;
  std::ostringstream out;
  std::ostringstream err;
  fs::path dir_;
};

std::vector<std::vector<std::string>> ReadCsv(const std::string& file) {
  std::ifstream in(file);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream cellsIn(line);
    std::string cell;
    while (std::getline(cellsIn, cell, ',')) cells.push_back(cell);
    if (!line.empty() && line.back() == ',') cells.emplace_back();
    rows.push_back(cells);
  }
  return rows;
}

TEST_F(HeadlessOutput, TheJsonDocumentReadsBackWithEverySampleAndTheCsvHoldsTheSame) {
  options.repeat = 2;
  options.threads = 2;
  options.jsonPath = path("result.json");
  options.csvPath = path("samples.csv");
  ASSERT_EQ(Run(), kExitOk) << err.str();

  std::ifstream in(options.jsonPath);
  const json doc = json::parse(in);
  EXPECT_EQ(doc["format"], "asmpic-bench-result");
  EXPECT_EQ(doc["format_version"], 3);
  EXPECT_EQ(doc["mode"], "headless");
  EXPECT_EQ(doc["throughput"]["single_core"]["tests"].size(), 7u);
  EXPECT_EQ(doc["throughput"]["multi_core"]["score"]["count"], 2);
  EXPECT_EQ(doc["program"]["build"]["kernel_variant"], "fast");
  EXPECT_EQ(doc["machine"]["logical_cores"], std::thread::hardware_concurrency());
  EXPECT_EQ(doc["settings"]["repeat"], 2);
  EXPECT_EQ(doc["settings"]["full_run"], true);

  ASSERT_EQ(doc["tests"].size(), 7u);
  for (std::size_t t = 0; t < 7; ++t) {
    const json& test = doc["tests"][t];
    EXPECT_EQ(test["name"], kBenchmarkTests[t].name);
    EXPECT_EQ(test["calls"], CallCount(kBenchmarkTests[t]));
    ASSERT_EQ(test["samples"].size(), 2u);
    EXPECT_EQ(test["statistics"]["seconds"]["count"], 2);
    for (const json& sample : test["samples"]) EXPECT_GT(sample["monotonic_seconds"].get<double>(), 0.0);
  }
  const double median = doc["total"]["statistics"]["seconds"]["median"];
  EXPECT_EQ(doc["score"]["value"], ComputeScore(static_cast<float>(median)).value);
  EXPECT_EQ(doc["list"].size(), 7u);

  EXPECT_EQ(doc["validation"]["state"], "valid");
  EXPECT_EQ(doc["validation"]["single_core"]["tests"].size(), 7u);
  ASSERT_EQ(doc["validation"]["threads"].size(), 2u);
  for (const json& thread : doc["validation"]["threads"]) EXPECT_EQ(thread["state"], "valid");
  EXPECT_EQ(doc["multi_core"]["threads"], 2);
  EXPECT_EQ(doc["multi_core"]["wall_seconds"].size(), 2u);
  EXPECT_TRUE(doc["multi_core"]["score"].is_object());

  const auto rows = ReadCsv(options.csvPath);
  ASSERT_EQ(rows.size(), 1u + 2 * 7);
  EXPECT_EQ(rows[0],
            (std::vector<std::string>{"run", "test", "calls", "seconds", "monotonic_seconds", "hash", "match",
                                      "mpix_per_second", "mode", "kernel_target", "threads"}));
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const auto& row = rows[i];
    ASSERT_EQ(row.size(), 11u) << i;
    const std::size_t run = (i - 1) / 7;
    const std::size_t test = (i - 1) % 7;
    EXPECT_EQ(row[0], std::to_string(run + 1));
    EXPECT_EQ(row[1], kBenchmarkTests[test].name);
    EXPECT_EQ(row[2], std::to_string(CallCount(kBenchmarkTests[test])));
    const json& sample = doc["tests"][test]["samples"][run];
    EXPECT_EQ(std::stod(row[3]), sample["seconds"].get<double>());
    EXPECT_EQ(std::stod(row[4]), sample["monotonic_seconds"].get<double>());
    EXPECT_EQ(row[5], sample["hash"]);
    EXPECT_EQ(row[6], "1");
    EXPECT_NEAR(std::stod(row[7]), CallCount(kBenchmarkTests[test]) * 297.0 * 217.0 / std::stod(row[4]) / 1e6,
                1e-6);
    EXPECT_EQ(row[8], "headless");
    EXPECT_EQ(row[10], "1");
  }
}

TEST_F(HeadlessOutput, ASubsetRunsInTableOrderFromTheStartPictureWithoutAScore) {
  options.tests = {"twirl", "contour", "twirl"};
  options.jsonPath = "-";
  ASSERT_EQ(Run(), kExitOk) << err.str();
  const json doc = json::parse(out.str());  // nothing else shares standard output with the document
  EXPECT_EQ(doc["settings"]["tests"], json({"contour", "twirl"}));
  EXPECT_EQ(doc["settings"]["full_run"], false);
  EXPECT_TRUE(doc["score"].is_null());
  ASSERT_EQ(doc["list"].size(), 2u);
  EXPECT_EQ(doc["list"][0].get<std::string>().rfind("Contour... ", 0), 0u);
  EXPECT_EQ(doc["list"][1].get<std::string>().rfind("Twirl... ", 0), 0u);
  // Each test starts from the start picture, so its picture is the one of the whole run.
  EXPECT_EQ(doc["validation"]["state"], "valid");
}

TEST_F(HeadlessOutput, QuietPrintsTheScoreLineAloneAndASubsetSaysThereIsNone) {
  options.quiet = true;
  ASSERT_EQ(Run(), kExitOk) << err.str();
  const std::string text = out.str();
  EXPECT_EQ(text.rfind("Score: ", 0), 0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);

  out.str("");
  options.tests = {"ripple"};
  ASSERT_EQ(Run(), kExitOk) << err.str();
  EXPECT_EQ(out.str(), "Score: none (only some of the tests ran)\n");
}

// A plain headless run is first the window's single pass (seven tests, two clock readings each, no
// warm-up before it), which gives the list and the score; the throughput runs follow. --repeat
// brings the warm-up in instead.
TEST_F(HeadlessOutput, APlainRunIsOnePassAndRepeatsComeAfterAWarmUp) {
  options.noWarmup = false;
  options.jsonPath = path("plain.json");
  int readings = 0;
  // The first pass's tests take 1 s each on the time of day, every later one 2 s.
  options.timeOfDay = [&] { return static_cast<float>(readings < 14 ? readings++ : 2 * readings++); };
  ASSERT_EQ(Run(), kExitOk) << err.str();
  EXPECT_EQ(readings, 14 * 2);
  EXPECT_EQ(out.str().rfind("Rotating... 1\n", 0), 0u) << out.str();
  EXPECT_NE(out.str().find("Score: 4650 (green)\n"), std::string::npos) << out.str();  // T = 7 s
  std::ifstream in(options.jsonPath);
  const json doc = json::parse(in);
  EXPECT_EQ(doc["classic_pass"]["seconds"], 7.0);
  EXPECT_EQ(doc["tests"][0]["samples"].size(), 1u);
  options.jsonPath.clear();
  readings = 0;
  options.repeat = 2;
  ASSERT_EQ(Run(), kExitOk) << err.str();
  EXPECT_EQ(readings, 14 * 3);
}

TEST_F(HeadlessOutput, ProgressGoesToStderrOnlyAndNeverIntoTheDocument) {
  options.tests = {"rotate", "contour"};
  options.showProgress = true;
  options.jsonPath = "-";
  testing::Ticking clock;  // a millisecond per reading: the run seems long enough to show progress
  options.monotonic = [&] { return clock.Next(); };
  ASSERT_EQ(Run(), kExitOk);
  EXPECT_TRUE(json::accept(out.str()));
  EXPECT_NE(err.str().find("\r\x1b[Krun 1 of 1: rotate "), std::string::npos);
  EXPECT_NE(err.str().find("/720"), std::string::npos);
  // The line is cleared at the end, so what follows on the terminal (the report) starts clean.
  const std::string errors = err.str();
  const auto cleared = errors.rfind("\r\x1b[K");
  ASSERT_NE(cleared, std::string::npos);
  EXPECT_EQ(errors.find("run 1 of 1", cleared), std::string::npos) << errors;
  EXPECT_EQ(errors.find('\r', cleared + 1), std::string::npos) << errors;
}

TEST(Progress, ShowsNothingForARunShorterThanAMoment) {
  std::ostringstream line;
  double now = 0.0;
  {
    ProgressObserver progress(
        line, [&] { return now; }, 0.1);
    progress.TestStarting(0);
    now = 0.05;
    progress.Iteration(0, 300);
  }
  EXPECT_EQ(line.str(), "");
}

TEST_F(HeadlessOutput, ErrorsGiveTheirExitStatusBeforeAnythingRuns) {
  options.jsonPath = "-";
  options.csvPath = "-";
  EXPECT_EQ(Run(), kExitUsage);

  options.csvPath.clear();
  options.tests = {"rotate", "spin"};
  EXPECT_EQ(Run(), kExitUsage);
  EXPECT_NE(err.str().find("no test is called 'spin'"), std::string::npos) << err.str();

  options.tests.clear();
  options.jsonPath = path("missing/folder/result.json");
  err.str("");
  EXPECT_EQ(Run(), kExitError);
  EXPECT_NE(err.str().find("cannot write " + options.jsonPath), std::string::npos) << err.str();
  EXPECT_EQ(out.str(), "");

  options.jsonPath.clear();
  options.assetsDirectory = path("no-assets");
  EXPECT_EQ(Run(), kExitError);
  EXPECT_NE(err.str().find("cannot read a start picture"), std::string::npos) << err.str();
}

struct ProgramResult {
  int status;
  std::string out;
  std::string err;
};

// Runs asmbench with `args` after the shell commands in `before` (limits, a timeout, the
// environment).
ProgramResult Asmbench(const std::string& args, const std::string& before = "") {
  const std::string stem =
      (fs::temp_directory_path() / ("asmbench_program_" + std::to_string(::getpid()))).string();
  const int raw = std::system(
      (before + " " + std::string(ASMBENCH) + " " + args + " >" + stem + ".out 2>" + stem + ".err").c_str());
  const auto read = [](const std::string& file) {
    std::ifstream in(file);
    std::string text{std::istreambuf_iterator<char>(in), {}};
    fs::remove(file);
    return text;
  };
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read(stem + ".out"), read(stem + ".err")};
}

TEST(AsmbenchProgram, MalformedCommandLinesExitWithStatus2) {
  for (const char* args :
       {"--repeat 0", "--repeat x", "--threads -1", "--threads 5000", "--tests spin", "--run --json out.json",
        "--json - --csv -", "--no-such-option", "--kernels fastest"}) {
    EXPECT_EQ(Asmbench(std::string("--headless ") + args).status, 2) << args;
  }
}

TEST(AsmbenchProgram, ListsTheSevenTestsAndRunsWithoutAWindowWhenAskedForResults) {
  const ProgramResult list = Asmbench("--list-tests");
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 7);
  EXPECT_EQ(list.out.rfind("rotate ", 0), 0u);

  // A display is there for the GUI tests; a headless option alone still runs without a window.
  const ProgramResult run = Asmbench("--tests contour --threads 1 --min-time 0 --no-save --quiet");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "Score: none (only some of the tests ran)\n");
}

// Every kernel choice computes the committed pictures and says in the document which code ran.
// The reference kernels are slow, so they run the quicker tests only.
TEST(AsmbenchProgram, EveryKernelChoiceGivesTheSameHashesAndNamesItsTarget) {
  const std::string jsonPath =
      (fs::temp_directory_path() / ("asmbench_kernels_" + std::to_string(::getpid()) + ".json")).string();
  std::map<std::string, std::string> hashes;  // test name -> hash, across the choices
  for (const std::string choice : {"best", "baseline", "reference"}) {
    const std::string tests = choice == "reference" ? " --tests contour,ripple,relief" : "";
    const ProgramResult run = Asmbench("--headless --kernels " + choice + tests +
                                       " --threads 1 --no-warmup --quiet --json " + jsonPath);
    ASSERT_EQ(run.status, 0) << choice;
    std::ifstream in(jsonPath);
    const json doc = json::parse(in);
    const json& build = doc["program"]["build"];
    EXPECT_EQ(build["kernel_choice"], choice);
    EXPECT_EQ(build["kernel_target"], KernelTargetName(*ParseKernelChoice(choice)));
    EXPECT_EQ(doc["validation"]["state"], "valid") << choice;
    for (const json& test : doc["validation"]["single_core"]["tests"]) {
      const auto [it, inserted] = hashes.emplace(test["name"].get<std::string>(), test["computed"].dump());
      EXPECT_EQ(it->second, test["computed"].dump()) << choice << " " << it->first;
    }
  }
  fs::remove(jsonPath);
  EXPECT_EQ(hashes.size(), 7u);

  const ProgramResult version = Asmbench("--kernels baseline --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("asmbench ", 0), 0u) << version.out;
  EXPECT_TRUE(
      version.out.ends_with(" (kernels: baseline, " + KernelTargetName(KernelChoice::kBaseline) + ")\n"))
      << version.out;
}

// Each failure leaves an earlier result byte for byte as it was; a complete run writes both files.
TEST_F(HeadlessOutput, AnEarlierResultSurvivesEveryFailure) {
  const std::string keep = " --json " + path("keep.json");
  const std::string quick = " --tests contour --threads 0 --min-time 0 --no-save";
  const struct {
    std::string args;
    std::string before;
    int status;
    std::string says;
  } cases[] = {
      {keep + " --csv " + path("nodir/x.csv") + quick, "", 1, "nodir/x.csv: No such file or directory"},
      {keep + " --csv " + path("keep.json") + quick, "", 2, "both name"},
      // --quiet: the limit holds for standard error's file too, and the report would fill it.
      {keep + quick + " --quiet", "ulimit -f 1; trap '' XFSZ;", 1, "keep.json: File too large"},
      {keep + " --repeat 100000 --threads 0", "timeout --preserve-status -s INT 1", 130,
       "interrupted by SIGINT; nothing was written"},
      {keep + " --repeat 100000 --threads 0", "timeout --preserve-status -s TERM 1", 143, "SIGTERM"},
      {keep + " --repeat 0x10" + quick, "", 2, "--repeat: 0x10 is not a whole number from 1 to 1000000"},
      {keep + " --threads 99999999999", "", 2, "--threads"},
      {keep + " --repet 3", "", 2, "did you mean --repeat?"},
  };
  for (const auto& c : cases) {
    std::ofstream(path("keep.json")) << "earlier";
    const ProgramResult r = Asmbench(c.args, c.before);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << "\n" << r.err;
    std::ifstream in(path("keep.json"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier") << c.args;
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1) << c.args;
  }
  const ProgramResult r = Asmbench(keep + " --csv " + path("keep.csv") + quick);
  ASSERT_EQ(r.status, 0) << r.err;
  std::ifstream in(path("keep.json"));
  EXPECT_EQ(json::parse(in)["settings"]["tests"], json({"contour"}));
  EXPECT_EQ(ReadCsv(path("keep.csv")).size(), 1u + 1 + kMinimumRuns);  // the window's pass and the timed runs
}

TEST(AsmbenchProgram, AnUnreachableDisplayRunsWithoutAWindowAndSaysSo) {
  const std::string noServer = "env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:4093";
  // Without start pictures the headless run ends at once: enough to see which way it went.
  ProgramResult r = Asmbench("--assets /nonexistent", noServer);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err.rfind("asmbench: cannot open the display :4093; running the benchmark without a window\n"
                        "asmbench: cannot read a start picture",
                        0),
            0u)
      << r.err;

  r = Asmbench("--run", noServer);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "asmbench: --run: cannot open the display :4093\n");
}

TEST(AsmbenchProgram, HelpListsOptionsWithoutClutter) {
  const ProgramResult r = Asmbench("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.find("Excludes"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Needs"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("--repeat N "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("130 (143)"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace asmpic::app
