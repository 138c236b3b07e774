// Many machines in one history: each machine's latest trusted run, the history and a comparison
// narrowed to a machine, where a run stands among the others, the metrics file of a real run, and
// the default machine name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/history/fleet.h"
#include "app/history/history_cli.h"
#include "app/history/history_db.h"
#include "app/results/machine_name.h"
#include "app/results/metrics_report.h"
#include "app/run/headless_bench.h"
#include "tests/support/scratch_folder.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

const char* const kNames[] = {"rotate", "smoothing", "contour", "emboss", "ripple", "relief", "twirl"};

// A document of `machine` (none: made before machines were named) whose tests all run at `mpix`
// Mpix/s, with the verdict `verdict` (none: made before verdicts).
json MachineRun(const std::string& machine, double mpix, const std::string& verdict, const std::string& startedAt,
         const std::string& cpu = "Test CPU") {
  json tests = json::array();
  const json estimate = {
      {"median", mpix}, {"low", 0.99 * mpix}, {"high", 1.01 * mpix}, {"confidence", 0.96}, {"count", 9}};
  for (const char* name : kNames) {
    json test = estimate;
    test["name"] = name;
    tests.push_back(test);
  }
  json document = {
      {"format", "asmpic-bench-result"},
      {"format_version", 2},
      {"started_at", startedAt},
      {"mode", "headless"},
      {"program", {{"build", {{"kernel_variant", "fast"}, {"kernel_choice", "best"}, {"kernel_target", "AVX2"}}}}},
      {"machine", {{"cpu_model", cpu}}},
      {"settings", {{"tests", kNames}, {"full_run", true}, {"threads", 0}}},
      {"tests", json::array()},
      {"classic_pass", nullptr},
      {"multi_core", nullptr},
      {"score", {{"value", 4990}, {"colour", "green"}}},
      {"throughput", {{"single_core", {{"score", estimate}, {"tests", tests}}}, {"multi_core", nullptr}}},
      {"validation", {{"state", "valid"}}}};
  if (!machine.empty()) document["machine"]["name"] = machine;
  if (!verdict.empty()) document["verdict"] = {{"state", verdict}, {"reasons", json::array()}};
  return document;
}

class Fleet : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = asmpic::testing::TestScratchFolder("asmbench_fleet");
    fs::create_directories(dir_);
    options_.dbPath = (dir_ / "history.sqlite").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  long long Store(const json& document) {
    const auto id = HistoryDb(options_.dbPath).Save(document);
    EXPECT_TRUE(id);
    return id.value_or(0);
  }
  // Five machines: "lab-1" three times (the newest noisy), "lab-2" once, "lab-3" never trusted,
  // one made before verdicts and one made before machines were named.
  void StoreFive() {
    Store(MachineRun("lab-1", 100, "trusted", "2026-01-01T00:00:00Z"));
    newest1_ = Store(MachineRun("lab-1", 150, "trusted", "2026-02-01T00:00:00Z"));
    Store(MachineRun("lab-1", 300, "noisy", "2026-03-01T00:00:00Z"));
    Store(MachineRun("lab-2", 80, "trusted", "2026-01-15T00:00:00Z"));
    Store(MachineRun("lab-3", 500, "throttled", "2026-01-15T00:00:00Z"));
    Store(MachineRun("lab-4", 500, "", "2026-01-15T00:00:00Z"));
    Store(MachineRun("", 60, "trusted", "2025-06-01T00:00:00Z", "Old CPU 486"));
  }
  int Command(std::string* out) {
    std::ostringstream o, e;
    const int status = RunHistoryCommand(options_, ASMPIC_ASSETS, o, e);
    *out = o.str() + e.str();
    return status;
  }

  fs::path dir_;
  HistoryOptions options_;
  long long newest1_ = 0;
};

TEST_F(Fleet, EachMachineShowsItsLatestTrustedRunOnly) {
  StoreFive();
  HistoryDb db(options_.dbPath, HistoryDb::kReadOnly);
  const std::vector<FleetRun> runs = LatestTrustedRuns(db);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].machine, "Old CPU 486");  // named by its processor
  EXPECT_EQ(runs[1].machine, "lab-1");
  EXPECT_EQ(runs[1].id, newest1_);  // not the newer noisy run
  EXPECT_DOUBLE_EQ(runs[1].summary.score.median, 150.0);
  EXPECT_EQ(runs[2].machine, "lab-2");

  options_.fleet = true;
  std::string out;
  ASSERT_EQ(Command(&out), 0) << out;
  EXPECT_NE(out.find("lab-1"), std::string::npos) << out;
  EXPECT_NE(out.find("150.0 ±1.0%"), std::string::npos) << out;
  EXPECT_EQ(out.find("lab-3"), std::string::npos) << out;
  EXPECT_EQ(out.find("lab-4"), std::string::npos) << out;
}

TEST_F(Fleet, HistoryAndCompareNarrowedToAMachine) {
  StoreFive();
  options_.list = true;
  options_.machine = "lab-1";
  std::string out;
  ASSERT_EQ(Command(&out), 0) << out;
  std::istringstream lines(out);
  int rows = 0;
  for (std::string line; std::getline(lines, line);) rows += line.find("2026-0") != std::string::npos;
  EXPECT_EQ(rows, 3) << out;

  const std::string db = options_.dbPath;
  options_ = HistoryOptions();
  options_.dbPath = db;
  options_.compare = {"machine:lab-2", "machine:lab-1"};
  ASSERT_EQ(Command(&out), 0) << out;
  EXPECT_NE(out.find("lab-1 (run " + std::to_string(newest1_) + ")"), std::string::npos) << out;
  EXPECT_NE(out.find("score      80.0 ±1.0%  150 ±1.0%    1.88x"), std::string::npos) << out;  // 150 / 80

  options_.compare = {"machine:lab-3"};  // never trusted
  EXPECT_EQ(Command(&out), 2);
  EXPECT_NE(out.find("no trusted run"), std::string::npos) << out;
}

TEST_F(Fleet, WhereARunStandsAmongTheOtherMachines) {
  StoreFive();
  HistoryDb db(options_.dbPath, HistoryDb::kReadOnly);
  const auto fleet = LatestTrustedRuns(db);
  const auto run = SummarizeDocument(MachineRun("new", 120, "trusted", "2026-04-01T00:00:00Z"), nullptr);
  ASSERT_TRUE(run);
  // Faster than 80 and 60, slower than 150: two of three.
  const auto lines = StandingLines(*run, "new", fleet);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "Fleet: faster than 67 % of the 3 other machines' latest trusted runs in the throughput score");
  EXPECT_NE(lines[1].find("rotate 67 % (of 3)"), std::string::npos) << lines[1];
  // A machine is not compared with itself, and a history of one machine says nothing.
  EXPECT_NE(StandingLines(*run, "lab-1", fleet)[0].find("100 % of the 2 other"), std::string::npos);
  EXPECT_TRUE(StandingLines(*run, "lab-2", {fleet[2]}).empty());
  // Runs made before machines were named, of this run's processor, are this machine's own.
  const auto old486 = SummarizeDocument(MachineRun("new", 120, "trusted", "2026-04-01T00:00:00Z", "Old CPU 486"), nullptr);
  EXPECT_NE(StandingLines(*old486, "new", fleet)[0].find("50 % of the 2 other"), std::string::npos);
}

TEST(MachineName, AStableSaltedHashThatDoesNotContainTheId) {
  const std::string id = "0123456789abcdef0123456789abcdef";
  const std::string name = HashedMachineId(id);
  EXPECT_EQ(name, HashedMachineId(id + "\n"));
  EXPECT_NE(name, HashedMachineId("0123456789abcdef0123456789abcdee"));
  EXPECT_EQ(name.size(), 18u);
  EXPECT_EQ(name.rfind("m-", 0), 0u);
  EXPECT_EQ(name.find(id.substr(0, 8)), std::string::npos);
  EXPECT_EQ(HashedMachineId(" \n"), "");

  const fs::path root = asmpic::testing::TestScratchFolder("asmbench_machine_id");
  fs::create_directories(root / "etc");
  std::ofstream(root / "etc/machine-id") << id << '\n';
  EXPECT_EQ(DefaultMachineName(root.string()), name);
  std::ofstream(root / "etc/machine-id") << "";  // empty: the host name's hash stands in
  const std::string fallback = DefaultMachineName(root.string());
  EXPECT_FALSE(fallback.empty());
  EXPECT_NE(fallback, name);
  EXPECT_EQ(fallback.find(HostName().empty() ? "?" : HostName()), std::string::npos);
  fs::remove_all(root);
}

TEST(Metrics, ARealRunsFileIsValidTextExposition) {
  const fs::path dir = asmpic::testing::TestScratchFolder("asmbench_metrics");
  fs::create_directories(dir);
  HeadlessOptions options;
  options.assetsDirectory = ASMPIC_ASSETS;
  options.noWarmup = true;
  options.threads = 1;
  options.showProgress = false;
  options.minRuns = 2;
  options.minTime = 0.0;
  options.history.noSave = true;
  options.machineName = "bench \"lab\" 7";
  options.metricsPath = (dir / "asmbench.prom").string();
  std::ostringstream out, err;
  ASSERT_EQ(RunHeadlessBenchmark(options, out, err), 0) << err.str();
  std::ifstream in(options.metricsPath);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("# TYPE asmbench_throughput_score gauge"), std::string::npos) << text;
  EXPECT_NE(text.find("asmbench_test_throughput_mpix_per_second{machine=\"bench \\\"lab\\\" 7\","), std::string::npos)
      << text;
  EXPECT_NE(text.find("pass=\"multi_core\",bound=\"median\"}"), std::string::npos) << text;
  EXPECT_NE(text.find("asmbench_classic_score{"), std::string::npos) << text;
  EXPECT_NE(text.find("asmbench_verdict{"), std::string::npos) << text;
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  if (std::system("command -v promtool >/dev/null 2>&1") != 0) {
    fs::remove_all(dir);
    GTEST_SKIP() << "promtool (Debian package prometheus) is not installed";
  }
  const std::string check = "promtool check metrics < '" + options.metricsPath + "' > '" +
                            (dir / "promtool.txt").string() + "' 2>&1";
  const int status = std::system(check.c_str());
  std::ifstream said(dir / "promtool.txt");
  const std::string words((std::istreambuf_iterator<char>(said)), std::istreambuf_iterator<char>());
  EXPECT_EQ(status, 0) << words << text;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace asmpic::app
