// Runs that move between histories without a server: result files imported exactly once (damaged
// and foreign ones refused by name, the others stored), and a run whose server cannot be reached
// kept in the local history as not yet sent, with no password in what is said.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/history/history_cli.h"
#include "app/history/history_db.h"
#include "app/history/history_transfer.h"
#include "tests/support/scratch_folder.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

// A version 1 document (no UUID, no time-of-day seconds): its throughput comes from its samples.
json Version1() {
  json v1 = {{"format", "asmpic-bench-result"},
             {"format_version", 1},
             {"started_at", "2025-05-06T07:08:09Z"},
             {"program", {{"build", {{"kernel_variant", "fast"}}}}},
             {"machine", {{"cpu_model", "Old CPU"}}},
             {"settings", {{"full_run", true}, {"threads", 0}}},
             {"score", nullptr},
             {"multi_core", nullptr},
             {"validation", {{"state", "valid"}}},
             {"tests", json::array()}};
  for (const char* name : {"rotate", "smoothing", "contour", "emboss", "ripple", "relief", "twirl"}) {
    v1["tests"].push_back({{"name", name},
                           {"calls", 100},
                           {"samples", {{{"monotonic_seconds", 0.1}}, {{"monotonic_seconds", 0.2}}}}});
  }
  return v1;
}

class Transfer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = asmpic::testing::TestScratchFolder("asmbench_transfer");
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const char* old = std::getenv("XDG_DATA_HOME");
    if (old != nullptr) oldDataHome_ = old;
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
  }
  void TearDown() override {
    if (oldDataHome_) {
      setenv("XDG_DATA_HOME", oldDataHome_->c_str(), 1);
    } else {
      unsetenv("XDG_DATA_HOME");
    }
    fs::remove_all(dir_);
  }
  std::string Write(const std::string& name, const std::string& text) {
    const fs::path file = dir_ / name;
    std::ofstream(file) << text;
    return file.string();
  }

  fs::path dir_;
  std::optional<std::string> oldDataHome_;
};

TEST_F(Transfer, EachResultFileIsImportedOnceAndABadOneIsRefusedByName) {
  const std::string db = (dir_ / "history.sqlite").string();
  json withUuid = Version1();
  withUuid["started_at"] = "2025-05-07T07:08:09Z";
  withUuid["run_uuid"] = "0F8FAD5B-D9CB-469F-A165-70867728950E";
  const std::vector<std::string> files = {
      Write("v1.json", Version1().dump()), Write("damaged.json", Version1().dump().substr(0, 200)),
      Write("foreign.json", R"({"format": "something-else", "format_version": 1})"),
      Write("uuid.json", withUuid.dump(2)), (dir_ / "missing.json").string()};
  std::ostringstream out, err;
  EXPECT_EQ(ImportResults(files, db, out, err), 1);
  for (const char* refused : {"damaged.json is refused: not readable JSON", "foreign.json is refused",
                              "missing.json is refused: no such file"})
    EXPECT_NE(err.str().find(refused), std::string::npos) << refused << " in " << err.str();
  EXPECT_NE(out.str().find("v1.json: stored as run 1"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("uuid.json: stored as run 2"), std::string::npos) << out.str();

  // Again, with the file's text laid out otherwise: the same runs, already there.
  Write("v1.json", Version1().dump(4));
  std::ostringstream again, againErr;
  EXPECT_EQ(ImportResults({files[0], files[3]}, db, again, againErr), 0) << againErr.str();
  EXPECT_NE(again.str().find("v1.json: already stored as run 1"), std::string::npos) << again.str();
  EXPECT_NE(again.str().find("uuid.json: already stored as run 2"), std::string::npos) << again.str();
  HistoryDb history(db, HistoryDb::kReadOnly);
  ASSERT_EQ(history.List().size(), 2u);
  EXPECT_EQ(history.List()[0].cpuModel, "Old CPU");
}

TEST_F(Transfer, ARunWhoseServerCannotBeReachedIsKeptLocallyAsNotYetSent) {
  const std::string password = "Sekr1t-Passphrase";
  HistoryOptions options;
  options.dbPath = "host=" + (dir_ / "no-server").string() + " dbname=lab password=" + password;
  json document = Version1();
  document["run_uuid"] = NewRunUuid();
  std::ostringstream err;
  bool failed = true;
  EXPECT_FALSE(SaveToHistory(options, document, err, &failed));
  EXPECT_FALSE(failed) << err.str();
  EXPECT_NE(err.str().find("not yet sent"), std::string::npos) << err.str();
  // The server as messages show it: without the password (in a build without PostgreSQL, by
  // what it is).
  EXPECT_NE(err.str().find(ShownTarget(options.dbPath)), std::string::npos) << err.str();
  EXPECT_EQ(err.str().find(password), std::string::npos) << err.str();
  EXPECT_EQ(HistoryDb(DefaultHistoryPath()).Unsent().size(), 1u);

  // A push while the server is still away sends nothing and keeps the run waiting.
  std::ostringstream out, pushErr;
  EXPECT_EQ(PushUnsent(DefaultHistoryPath(), options.dbPath, out, pushErr), 1);
  EXPECT_NE(pushErr.str().find("1 of 1 runs still wait"), std::string::npos) << pushErr.str();
  EXPECT_EQ(pushErr.str().find(password), std::string::npos) << pushErr.str();
  EXPECT_EQ(HistoryDb(DefaultHistoryPath()).Unsent().size(), 1u);
}

}  // namespace
}  // namespace asmpic::app
