// What a headless run writes: the JSON document read back, the CSV table's columns, subsets of
// the tests, --quiet, the progress line, and the exit statuses, through the library and through
// the asmbench program itself.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "app/history/history_db.h"
#include "app/run/benchmark_table.h"
#include "app/run/headless_bench.h"
#include "app/run/progress.h"
#include "app/run/score.h"
#include "tests/app/results_support.h"
#include "tests/support/child_program.h"
#include "tests/support/scratch_folder.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;
using asmpic::testing::ChildProgram;
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
                                      "mpix_per_second", "mode", "kernel_target", "threads", "position",
                                      "verdict"}));
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const auto& row = rows[i];
    ASSERT_EQ(row.size(), 13u) << i;
    EXPECT_EQ(row[12], doc["verdict"]["state"]);
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

// Runs go on until they number --repeat and fill --min-time: the count is shown while it decides,
// then the seconds, so the line never reads "run 6 of 5".
TEST(Progress, RunLabelsNeverPassTheirTotal) {
  EXPECT_EQ(RunLabel("run", 4, 5, 0.0, 0.0), "run 5 of 5");
  EXPECT_EQ(RunLabel("run", 2, 5, 3.5, 3.0), "run 3 of 5");
  EXPECT_EQ(RunLabel("run", 1, 5, 0.4, 3.0), "run 2 of at least 5, 0.4 of 3.0 s");
  EXPECT_EQ(RunLabel("run", 5, 5, 2.1, 3.0), "run 6, 2.1 of 3.0 s");
}

TEST_F(HeadlessOutput, ProgressOfRunsThatFillTheMinimumTimeEndsAtItsTotal) {
  options.tests = {"contour"};
  options.showProgress = true;
  options.minTime = 1.0;
  testing::Ticking clock;
  options.monotonic = [&] { return clock.Next(); };
  ASSERT_EQ(Run(), kExitOk) << err.str();
  const std::string errors = err.str();
  EXPECT_NE(errors.find("run 2, "), std::string::npos) << errors;
  const std::regex counted(R"(run (\d+) of (\d+)[:,])");
  for (auto it = std::sregex_iterator(errors.begin(), errors.end(), counted); it != std::sregex_iterator(); ++it)
    EXPECT_LE(std::stoi((*it)[1]), std::stoi((*it)[2])) << it->str();
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

// More threads than the process may use are capped with a line saying so; --quiet keeps stderr
// free of the history's announcement, and the stored run is listed with its threads.
TEST(AsmbenchProgram, ThreadsAreCappedToTheUsableProcessorsAndQuietStaysQuiet) {
  const std::string db =
      (fs::temp_directory_path() / ("asmbench_capped_" + std::to_string(::getpid()) + ".sqlite")).string();
  const ProgramResult run =
      Asmbench("--tests contour --threads 3 --min-time 0 --quiet --json - --db " + db, "taskset -c 0");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "asmbench: --threads 3: this process may use 1 processor; the multi-core pass runs 1 thread\n");
  EXPECT_EQ(json::parse(run.out)["settings"]["threads"], 1);
  const ProgramResult listed = Asmbench("--history --db " + db);
  fs::remove(db);
  EXPECT_NE(listed.out.find("        1  "), std::string::npos) << listed.out;
}

// A chart is drawn without a display and without a word from Qt about its runtime folder; a
// chart name it cannot write is refused before the comparison is worked out.
TEST(AsmbenchProgram, ChartsNeedNoDisplayAndBadNamesAreRefusedFirst) {
  const std::string png =
      (fs::temp_directory_path() / ("asmbench_chart_" + std::to_string(::getpid()) + ".png")).string();
  const ProgramResult drawn =
      Asmbench("--compare best-kernels baseline-kernels --chart " + png, "env -u XDG_RUNTIME_DIR -u DISPLAY");
  EXPECT_EQ(drawn.status, 0) << drawn.err;
  EXPECT_EQ(drawn.err, "");
  EXPECT_TRUE(fs::exists(png));
  fs::remove(png);
  const ProgramResult refused = Asmbench("--compare best-kernels baseline-kernels --chart c.gif");
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("c.gif is neither .svg nor .png"), std::string::npos) << refused.err;
}

// Every kernel choice computes the committed pictures and says in the document which code ran.
// One pass of each is enough for the hashes; the reference kernels are slow, so they run the
// quicker tests only.
TEST(AsmbenchProgram, EveryKernelChoiceGivesTheSameHashesAndNamesItsTarget) {
  const std::string jsonPath =
      (fs::temp_directory_path() / ("asmbench_kernels_" + std::to_string(::getpid()) + ".json")).string();
  std::map<std::string, std::string> hashes;  // test name -> hash, across the choices
  for (const std::string choice : {"best", "baseline", "reference"}) {
    const std::string tests = choice == "reference" ? " --tests contour,ripple,relief" : "";
    const ProgramResult run = Asmbench("--headless --kernels " + choice + tests +
                                       " --threads 1 --no-warmup --min-time 0 --quiet --json " + jsonPath);
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
  // A SIMD target by name holds the best kernels to it, and the version names it; a name that no
  // target of this processor has is a malformed command line.
  const std::vector<std::int64_t> targets = SimdTargets();
  if (!targets.empty()) {
    std::string name = SimdTargetName(targets.back());
    const ProgramResult held = Asmbench("--kernels " + name + " --version");
    EXPECT_EQ(held.status, 0);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(held.out.ends_with(" (kernels: best, " + name + ")\n")) << held.out;
  }
  EXPECT_EQ(Asmbench("--kernels avx9 --version").status, 2);
}

// Each failure leaves an earlier result byte for byte as it was; a complete run writes both files.
TEST_F(HeadlessOutput, AnEarlierResultSurvivesEveryFailure) {
  const std::string keep = " --json " + path("keep.json");
  const std::string quick = " --tests contour --threads 0 --min-time 0 --no-save";
  // Signals the program once its outputs are staged (its signal handlers are in place by then):
  // the staged file appearing is the sign.
  const auto once = [&](const char* signal) {
    return "(until ls " + dir_.string() + "/.keep.json.tmp* >/dev/null 2>&1; do sleep 0.01; done; kill -" +
           signal + " $$) & exec";
  };
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
      {keep + " --repeat 100000 --threads 0", once("INT"), 130, "interrupted by SIGINT; nothing was written"},
      {keep + " --repeat 100000 --threads 0", once("TERM"), 143, "SIGTERM"},
      {keep + " --repeat 100000 --threads 0", once("HUP"), 129, "interrupted by SIGHUP"},
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
  if (!ASMPIC_WITH_WINDOW) GTEST_SKIP() << "asmbench was built without the window";
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
  EXPECT_NE(r.out.find("130 (143, 129)"), std::string::npos) << r.out;
}

// A finished run is never lost to a closed pipe: the files are written and the run stored before
// anything is printed, and a closed standard output is the failure of that output alone.
TEST_F(HeadlessOutput, AClosedPipeKeepsTheFinishedRun) {
  const std::string quick = " --headless --tests contour --threads 0 --min-time 0 --repeat 1 --db " +
                            path("h.sqlite");
  std::ofstream(path("r.json")) << "earlier";
  // "true" reads nothing and ends at once: every write of the program meets a closed pipe.
  Asmbench(quick + " --json " + path("r.json") + " --csv " + path("r.csv") + " 2>&1 | true");
  std::ifstream in(path("r.json"));
  EXPECT_EQ(json::parse(in, nullptr, false)["settings"]["tests"], json({"contour"}));
  EXPECT_EQ(ReadCsv(path("r.csv")).size(), 2u);  // the header and the timed run
  Asmbench(quick + " --json - | true");
  HistoryDb history(path("h.sqlite"));
  EXPECT_EQ(history.List().size(), 2u) << history.error();
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

// While another program holds the history, the run says that it waits; SIGINT then stops it with
// nothing written and nothing stored, and without one the run goes on once the lock is free.
TEST_F(HeadlessOutput, AWaitForALockedHistorySaysSoAndObeysSigint) {
  { HistoryDb create(path("h.sqlite")); }
  sqlite3* holder = nullptr;
  sqlite3_open(path("h.sqlite").c_str(), &holder);
  const std::vector<std::string> args{"--headless", "--assets", ASMPIC_ASSETS, "--tests", "contour", "--threads",
                                      "0", "--min-time", "0", "--repeat", "1", "--json", path("r.json"),
                                      "--db", path("h.sqlite")};
  for (const bool interrupt : {true, false}) {
    std::ofstream(path("r.json")) << "earlier";
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    ChildProgram run(ASMBENCH, args);
    ASSERT_TRUE(run.WaitFor("waiting for the history database", ChildProgram::Clock::now() + std::chrono::seconds(8)))
        << run.said();
    if (interrupt) run.Signal(SIGINT);
    sqlite3_exec(holder, interrupt ? "ROLLBACK" : "COMMIT", nullptr, nullptr, nullptr);
    const int status = run.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << run.said();
    EXPECT_EQ(WEXITSTATUS(status), interrupt ? 130 : 0) << run.said();
    std::ifstream in(path("r.json"));
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(text == "earlier", interrupt) << run.said();
    EXPECT_EQ(HistoryDb(path("h.sqlite")).List().size(), interrupt ? 0u : 1u) << run.said();
  }
  sqlite3_close(holder);
}

// A second signal, of another kind too, ends the program at once: the target as it was and the
// staged file removed.
TEST_F(HeadlessOutput, ASecondSignalEndsTheRunAtOnce) {
  std::ofstream(path("r.json")) << "earlier";
  ChildProgram run(ASMBENCH, {"--headless", "--assets", ASMPIC_ASSETS, "--threads", "0", "--repeat", "100000",
                              "--no-save", "--json", path("r.json")});
  const auto staged = [&] {
    for (const auto& entry : fs::directory_iterator(dir_)) {
      if (entry.path().filename().string().rfind(".r.json.tmp", 0) == 0) return true;
    }
    return false;
  };
  const auto deadline = ChildProgram::Clock::now() + std::chrono::seconds(20);
  while (!staged() && ChildProgram::Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(staged());
  run.Signal(SIGINT);
  run.Signal(SIGTERM);
  const int status = run.Wait();
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status << " " << run.said();
  std::ifstream in(path("r.json"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier");
  EXPECT_FALSE(staged());
}

}  // namespace
}  // namespace asmpic::app
