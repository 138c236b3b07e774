// A run that writes a JSON document, a CSV table and the history, stopped at two hundred moments
// (eighty under the sanitizers) of a seeded schedule by SIGINT, SIGTERM, SIGHUP, SIGPIPE or a closed pipe: every target is
// either as it was or complete and new, the history opens and lists every earlier run, the
// files and the history are replaced together, and no temporary file is left.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "app/history/history_db.h"
#include "tests/support/child_program.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;
using asmpic::testing::ChildProgram;

#ifndef INTERRUPTED_TRIALS
#define INTERRUPTED_TRIALS 200
#endif

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(InterruptedRuns, LeaveEveryTargetOldOrCompleteAndTheHistoryWhole) {
  const fs::path dir = fs::temp_directory_path() / ("asmbench_interrupted_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path json = dir / "r.json";
  const fs::path csv = dir / "r.csv";
  const std::string db = (dir / "history.sqlite").string();
  const std::vector<std::string> args{"--headless", "--assets", ASMPIC_ASSETS, "--tests", "contour",
                                      "--repeat", "1", "--no-warmup", "--threads", "0", "--min-time", "0",
                                      "--json", json.string(), "--csv", csv.string(), "--db", db};
  const auto runOnce = [&] {
    ChildProgram run(ASMBENCH, args);
    return run.Wait();
  };
  // The schedule spans a whole run, measured here, and a little more.
  const auto started = ChildProgram::Clock::now();
  ASSERT_EQ(runOnce(), 0);
  const auto span = (ChildProgram::Clock::now() - started) * 5 / 4;
  const std::string completeCsv = Read(csv);
  ASSERT_FALSE(completeCsv.empty());

  std::mt19937 random(20261208);
  constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, 0};  // 0: the pipe is closed
  std::size_t storedRuns = 1;
  std::set<std::string> outcomes;
  for (int trial = 0; trial < INTERRUPTED_TRIALS; ++trial) {
    std::ofstream(json) << "earlier";
    std::ofstream(csv) << "earlier";
    const int signal = kSignals[random() % std::size(kSignals)];
    const auto moment = std::uniform_int_distribution<long long>(0, span.count())(random);
    ChildProgram run(ASMBENCH, args);
    run.ReadFor(ChildProgram::Clock::duration(moment));
    if (signal != 0) {
      run.Signal(signal);
    } else {
      run.CloseOutput();
    }
    const int status = run.Wait();
    const std::string context = "trial " + std::to_string(trial) + ", signal " + std::to_string(signal) +
                                ", status " + std::to_string(status) + ": " + run.said();

    const std::string jsonText = Read(json);
    const std::string csvText = Read(csv);
    const bool replaced = jsonText != "earlier";
    EXPECT_EQ(csvText != "earlier", replaced) << context;
    if (replaced) {
      const auto document = nlohmann::json::parse(jsonText, nullptr, false);
      EXPECT_FALSE(document.is_discarded()) << context;
      if (!document.is_discarded()) {
        EXPECT_EQ(document["settings"]["tests"], nlohmann::json({"contour"}));
      }
      // The same rows as a complete table; the times differ.
      EXPECT_EQ(std::count(csvText.begin(), csvText.end(), '\n'),
                std::count(completeCsv.begin(), completeCsv.end(), '\n'))
          << context;
    }
    HistoryDb history(db, 10000);
    ASSERT_TRUE(history.ok()) << history.error();
    const auto runs = history.List();
    // Every earlier run is there, and this one exactly when its files were replaced.
    EXPECT_EQ(runs.size(), storedRuns + (replaced ? 1 : 0)) << context;
    storedRuns = runs.size();
    for (const auto& entry : fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == "r.json" || name == "r.csv" || name.rfind("history.sqlite", 0) == 0)
          << name << " is left after " << context;
    }
    outcomes.insert(std::to_string(signal) + (replaced ? " replaced" : " kept"));
  }
  // The schedule reaches both sides of the commit.
  EXPECT_TRUE(outcomes.count(std::to_string(SIGINT) + " kept"));
  EXPECT_TRUE(outcomes.count(std::to_string(SIGINT) + " replaced") || outcomes.count("0 replaced"));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace asmpic::app
