// The history database: every sample of a run in one transaction, a run killed while it is saved,
// two writers at once, and a damaged file that is reported and left alone while the run prints.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/headless_bench.h"
#include "app/history/history_db.h"
#include "app/results/build_info.h"
#include "app/results/json_report.h"
#include "app/results/machine_info.h"
#include "results_support.h"
#include "tests/support/scratch_folder.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

// A quick run's document: idle kernels, two timed runs, two threads.
const json& Document() {
  static const json document = [] {
    BenchmarkPlan plan;
    plan.repeat = 2;
    plan.warmup = false;
    plan.threads = 2;
    plan.kernels = testing::IdleKernels();
    testing::Ticking clock;
    BenchmarkHooks hooks;
    hooks.monotonic = [&] { return clock.Next(); };
    const BenchmarkResult result =
        RunBenchmark(testing::Shipped().picture1, testing::Shipped().picture2, plan, hooks);
    return ResultDocument(result, CurrentBuild(plan.kernels), ReadMachineInfo(), "2026-01-02T03:04:05Z");
  }();
  return document;
}

class History : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = asmpic::testing::TestScratchFolder("asmbench_history");
    fs::remove_all(dir_);
    file_ = (dir_ / "sub" / "history.sqlite").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  // One number from the database, read with SQLite alone.
  long long Count(const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    long long value = -1;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
      value = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return value;
  }

  fs::path dir_;
  std::string file_;
};

TEST_F(History, ARunIsStoredWithEverySampleAndReadBack) {
  HistoryDb db(file_);  // the folder is made
  ASSERT_TRUE(db.ok()) << db.error();
  const auto id = db.Save(Document());
  ASSERT_TRUE(id) << db.error();
  // 7 tests x 2 runs, and 2 passes x 2 threads x 7 tests.
  EXPECT_EQ(Count("SELECT count(*) FROM samples WHERE pass = 'single'"), 14);
  EXPECT_EQ(Count("SELECT count(*) FROM samples WHERE pass = 'multi'"), 28);
  const auto runs = db.List();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].id, *id);
  EXPECT_EQ(runs[0].mode, "headless");
  EXPECT_EQ(runs[0].threads, 2);
  EXPECT_TRUE(runs[0].score && runs[0].multiScore);
  EXPECT_EQ(db.Load(*id), Document());
  EXPECT_FALSE(db.Load(*id + 1));
  EXPECT_TRUE(db.ok());
}

TEST_F(History, ARunKilledWhileItIsSavedLeavesNoPartOfItself) {
  { HistoryDb create(file_); }
  Document();  // made before the fork: the child only saves
  int saves[2];
  ASSERT_EQ(::pipe(saves), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(saves[0]);
    HistoryDb db(file_);
    for (;;) {
      db.Save(Document());
      if (::write(saves[1], "s", 1) != 1) ::_exit(1);
    }
  }
  ::close(saves[1]);
  // A few saves are done, so the kill finds the child saving the next one.
  char done[3];
  std::size_t got = 0;
  while (got < sizeof done) {
    const ssize_t n = ::read(saves[0], done + got, sizeof done - got);
    ASSERT_GT(n, 0);
    got += static_cast<std::size_t>(n);
  }
  ::kill(child, SIGKILL);
  ::close(saves[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  HistoryDb db(file_);
  ASSERT_TRUE(db.ok()) << db.error();
  EXPECT_GT(Count("SELECT count(*) FROM runs"), 0);
  // Every run that is there has all of its 42 samples.
  EXPECT_EQ(
      Count("SELECT count(*) FROM runs WHERE (SELECT count(*) FROM samples WHERE run_id = runs.id) != 42"),
      0);
  EXPECT_EQ(Count("SELECT count(*) FROM samples WHERE run_id NOT IN (SELECT id FROM runs)"), 0);
}

TEST_F(History, TwoWritersAtOnceBothSucceed) {
  { HistoryDb create(file_); }
  // A third program holds the write lock for a moment while the two start.
  sqlite3* holder = nullptr;
  sqlite3_open(file_.c_str(), &holder);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  int saved[2] = {0, 0};
  std::atomic<int> waiting{0};
  std::vector<std::thread> writers;
  for (int w = 0; w < 2; ++w) {
    writers.emplace_back([&, w] {
      HistoryDb db(file_, 10000, {.waiting = [&] { ++waiting; }, .stop = {}});
      for (int i = 0; i < 5; ++i) saved[w] += db.Save(Document()).has_value();
    });
  }
  // Both writers are waiting for the lock before it is let go.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
  while (waiting < 2 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(waiting, 2);
  sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(saved[0], 5);
  EXPECT_EQ(saved[1], 5);
  EXPECT_EQ(Count("SELECT count(*) FROM runs"), 10);
}

TEST_F(History, ADamagedFileIsReportedAndLeftAsItIsWhileTheRunStillPrints) {
  fs::create_directories(fs::path(file_).parent_path());
  const std::string garbage(5000, 'x');
  std::ofstream(file_, std::ios::binary) << garbage;
  {
    HistoryDb db(file_);
    EXPECT_FALSE(db.ok());
    EXPECT_TRUE(db.damaged());
    EXPECT_NE(db.error().find(file_), std::string::npos) << db.error();
    EXPECT_FALSE(db.Save(Document()));
    EXPECT_TRUE(db.List().empty());
  }

  HeadlessOptions options;
  options.assetsDirectory = ASMPIC_ASSETS;
  options.tests = {"contour"};  // one quick test: the run's own printing is what matters here
  options.threads = 0;
  options.minRuns = 1;
  options.minTime = 0.0;
  options.showProgress = false;
  options.history.dbPath = file_;
  std::ostringstream out, err;
  EXPECT_EQ(RunHeadlessBenchmark(options, out, err), kExitError);
  const std::string printed = out.str();
  EXPECT_EQ(printed.rfind("Contour... ", 0), 0u) << printed;
  EXPECT_NE(printed.find("\nScore: none"), std::string::npos) << printed;
  EXPECT_NE(err.str().find("is damaged"), std::string::npos) << err.str();
  EXPECT_NE(err.str().find("this run was not stored"), std::string::npos) << err.str();
  std::ifstream in(file_, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), garbage);

  options.history.noSave = true;  // --no-save does not go near it
  EXPECT_EQ(RunHeadlessBenchmark(options, out, err), kExitOk);
}

}  // namespace
}  // namespace asmpic::app
