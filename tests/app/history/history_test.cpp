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
#include <memory>
#include <sstream>
#include <thread>

#include "app/history/history_cli.h"
#include "app/run/headless_bench.h"
#include "app/history/history_db.h"
#include "app/results/build_info.h"
#include "app/results/json_report.h"
#include "app/results/machine_info.h"
#include "platform/command_line.h"
#include "tests/app/history/quick_run_document.h"
#include "tests/app/results_support.h"
#include "tests/support/scratch_folder.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

const json& Document() { return testing::QuickRunDocument(); }

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
  // A document that is no result is refused, and the next one is stored all the same.
  EXPECT_FALSE(db.Save(json{{"format", "other"}}));
  EXPECT_NE(db.error().find("cannot save to the history"), std::string::npos) << db.error();
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

// Every column of a stored run holds its own field: distinct values everywhere, an interval whose
// ends differ from each other and from the median.
TEST_F(History, EveryStoredFieldComesBackAsItWasSaved) {
  json document = Document();
  document["started_at"] = "2026-05-06T07:08:09Z";
  document["mode"] = "window";
  document["program"]["build"]["kernel_choice"] = "baseline";
  document["program"]["build"]["kernel_target"] = "SSE2";
  document["machine"]["cpu_model"] = "Test CPU 9";
  document["settings"]["threads"] = 3;
  document["multi_core"]["threads"] = 3;
  document["score"] = {{"value", 4321}, {"colour", "red"}, {"from_seconds", 12.5}};
  document["validation"]["state"] = "invalid";
  document["throughput"]["single_core"]["score"] = {
      {"median", 100.0}, {"low", 91.0}, {"high", 123.0}, {"confidence", 0.96}, {"count", 9}};
  document["throughput"]["multi_core"]["score"] = {
      {"median", 200.0}, {"low", 187.0}, {"high", 260.0}, {"confidence", 0.96}, {"count", 9}};
  HistoryDb db(file_);
  const auto id = db.Save(document);
  ASSERT_TRUE(id) << db.error();
  const auto runs = db.List();
  ASSERT_EQ(runs.size(), 1u);
  const StoredRun& r = runs[0];
  EXPECT_EQ(r.startedAt, "2026-05-06T07:08:09Z");
  EXPECT_EQ(r.mode, "window");
  EXPECT_EQ(r.kernelChoice, "baseline");
  EXPECT_EQ(r.kernelTarget, "SSE2");
  EXPECT_EQ(r.threads, 3);
  EXPECT_EQ(r.cpuModel, "Test CPU 9");
  EXPECT_EQ(r.classicScore, 4321);
  EXPECT_EQ(r.classicColour, "red");
  EXPECT_EQ(r.score, 100.0);
  EXPECT_EQ(r.scoreLow, 91.0);
  EXPECT_EQ(r.scoreHigh, 123.0);
  EXPECT_EQ(r.multiScore, 200.0);
  EXPECT_EQ(r.multiLow, 187.0);
  EXPECT_EQ(r.multiHigh, 260.0);
  EXPECT_EQ(r.validation, "invalid");
  EXPECT_EQ(db.Load(*id), document);
  EXPECT_EQ(Count("SELECT machine = '" + document["machine"].dump() + "' FROM runs"), 1);
  EXPECT_EQ(Count("SELECT build = '" + document["program"].dump() + "' FROM runs"), 1);
}

// The tables' version is kept; a database made before it was kept is of version 1 and keeps its
// runs; one of a newer version is refused and left as it is.
TEST_F(History, TheSchemaVersionIsKeptAndOlderDatabasesAreUpgraded) {
  { HistoryDb create(file_); }
  EXPECT_EQ(Count("PRAGMA user_version"), kHistorySchemaVersion);

  fs::remove(file_);
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(file_.c_str(), &raw), SQLITE_OK);
  // Version 1's tables as they were created before the version was kept, with one run.
  ASSERT_EQ(
      sqlite3_exec(raw,
                   "CREATE TABLE runs(id INTEGER PRIMARY KEY AUTOINCREMENT, started_at TEXT NOT NULL,"
                   " mode TEXT NOT NULL, kernel_choice TEXT, kernel_target TEXT, threads INTEGER NOT NULL,"
                   " cpu_model TEXT, machine TEXT, build TEXT, classic_score INTEGER, classic_colour TEXT,"
                   " score REAL, score_low REAL, score_high REAL, multi_score REAL, multi_low REAL,"
                   " multi_high REAL, validation TEXT NOT NULL, document TEXT NOT NULL);"
                   "CREATE TABLE samples(run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
                   " pass TEXT NOT NULL, run INTEGER NOT NULL, thread INTEGER NOT NULL, test TEXT NOT NULL,"
                   " seconds REAL, monotonic_seconds REAL NOT NULL, hash TEXT);"
                   "INSERT INTO runs(started_at, mode, threads, validation, document)"
                   " VALUES('2025-01-01T00:00:00Z', 'headless', 0, 'valid', '{}');",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(raw);
  {
    HistoryDb db(file_, HistoryDb::kReadOnly);
    ASSERT_TRUE(db.ok()) << db.error();
    EXPECT_EQ(db.List().size(), 1u);
  }
  EXPECT_EQ(Count("PRAGMA user_version"), 0) << "reading changes nothing";
  {
    HistoryDb db(file_);
    ASSERT_TRUE(db.ok()) << db.error();
    ASSERT_TRUE(db.Save(Document())) << db.error();
    EXPECT_EQ(db.List().size(), 2u);
  }
  EXPECT_EQ(Count("PRAGMA user_version"), kHistorySchemaVersion);
  EXPECT_EQ(Count("SELECT count(DISTINCT uuid) FROM runs"), 2) << "every run, old or new, has its own UUID";

  ASSERT_EQ(sqlite3_open(file_.c_str(), &raw), SQLITE_OK);
  sqlite3_exec(raw, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
  sqlite3_close(raw);
  for (const bool readOnly : {false, true}) {
    auto db = readOnly ? std::make_unique<HistoryDb>(file_, HistoryDb::kReadOnly)
                       : std::make_unique<HistoryDb>(file_);
    EXPECT_FALSE(db->ok());
    EXPECT_NE(db->error().find("newer"), std::string::npos) << db->error();
  }
  EXPECT_EQ(Count("PRAGMA user_version"), 99);
  EXPECT_EQ(Count("SELECT count(*) FROM runs"), 2);
}

// Commands that only read create nothing: no folder, no file, no lock.
TEST_F(History, ReadingAMissingHistoryCreatesNothing) {
  HistoryOptions options;
  options.dbPath = file_;
  options.list = true;
  std::ostringstream out, err;
  EXPECT_EQ(RunHistoryCommand(options, ASMPIC_ASSETS, out, err), 0) << err.str();
  EXPECT_NE(out.str().find("(no stored runs in " + file_ + ")"), std::string::npos) << out.str();
  options.list = false;
  options.compare = {"1"};
  EXPECT_EQ(RunHistoryCommand(options, ASMPIC_ASSETS, out, err), 2);
  EXPECT_NE(err.str().find("no stored run has the id 1"), std::string::npos) << err.str();
  EXPECT_FALSE(fs::exists(dir_));

  HistoryDb db(file_, HistoryDb::kReadOnly);
  EXPECT_TRUE(db.ok());
  EXPECT_FALSE(db.Save(Document()));
  EXPECT_FALSE(fs::exists(dir_));
}

// ":memory:" keeps nothing and is refused; so is a file of any size that is not a database.
TEST_F(History, MemoryAndFilesThatAreNoDatabaseAreRefusedAndKept) {
  EXPECT_FALSE(HistoryDb(":memory:").ok());
  HistoryOptions options;
  options.dbPath = ":memory:";
  std::ostringstream err;
  bool failed = false;
  EXPECT_FALSE(SaveToHistory(options, Document(), err, &failed));
  EXPECT_TRUE(failed);
  EXPECT_NE(err.str().find("would keep nothing"), std::string::npos) << err.str();

  CLI::App cli;
  AddHistoryOptions(cli, options);
  std::string words[] = {"asmbench", "--db", ":memory:"};
  char* argv[] = {words[0].data(), words[1].data(), words[2].data()};
  EXPECT_EQ(platform::ParseCommandLine(cli, 3, argv, "asmbench"), 2);

  fs::create_directories(dir_ / "sub");
  for (const std::size_t size : {1, 15, 16, 99, 100, 4096}) {
    const std::string content(size, 'x');
    std::ofstream(file_, std::ios::binary) << content;
    for (const bool readOnly : {false, true}) {
      auto db = readOnly ? std::make_unique<HistoryDb>(file_, HistoryDb::kReadOnly)
                         : std::make_unique<HistoryDb>(file_);
      EXPECT_FALSE(db->ok()) << size;
      EXPECT_TRUE(db->damaged()) << size;
    }
    std::ifstream in(file_, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), content) << size;
  }
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
      for (int i = 0; i < 5; ++i) {
        json run = Document();
        run["run_uuid"] = NewRunUuid();  // ten runs, not one run stored ten times
        saved[w] += db.Save(run).has_value();
      }
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
