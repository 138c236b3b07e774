// The history on a PostgreSQL server, against a real one started for this suite (initdb and pg_ctl
// in a temporary folder, as an unprivileged user, on a Unix socket only): many writers at once, a
// push cut off by the server stopping, a wrong password, a database of the previous version, and
// the same listing and comparison as the SQLite history. Skipped where the server is not installed.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <optional>
#include <thread>

#include "app/history/history_cli.h"
#include "app/history/history_db.h"
#include "app/history/history_transfer.h"
#include "app/history/postgres_history.h"
#include "app/results/build_info.h"
#include "app/results/json_report.h"
#include "app/results/machine_info.h"
#include "app/run/benchmark_runner.h"
#include "tests/app/history/quick_run_document.h"
#include "tests/app/results_support.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

constexpr const char* kServerBin = "/usr/lib/postgresql/15/bin";
constexpr const char* kSecret = "Corr3ct-H0rse-Battery";

// A quick run's document with a new UUID: idle kernels, two timed runs, two threads.
json NewDocument(const std::string& startedAt = "2026-01-02T03:04:05Z") {
  json copy = testing::QuickRunDocument();
  copy["run_uuid"] = NewRunUuid();
  copy["started_at"] = startedAt;
  return copy;
}

std::size_t SamplesOf(const json& document) {
  RunRow row;
  std::vector<SampleRow> samples;
  std::string error;
  EXPECT_TRUE(RowsOf(document, &row, &samples, &error)) << error;
  return samples.size();
}

// One server for the whole suite; each case has its own database.
class Server {
 public:
  bool Start(std::string* why) {
    if (!fs::exists(std::string(kServerBin) + "/initdb")) {
      *why = "the PostgreSQL 15 server (postgresql-15) is not installed";
      return false;
    }
    if (PostgresHistory("host=/nonexistent", HistoryAccess::kRead).error().find("without PostgreSQL") !=
        std::string::npos) {
      *why = "this build has no PostgreSQL history (libpq-dev missing)";
      return false;
    }
    char folder[] = "/tmp/asmbench-pg-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
      *why = "no temporary folder";
      return false;
    }
    dir_ = folder;
    // initdb refuses to run as root: the server runs as the postgres system user (or nobody).
    if (geteuid() == 0) {
      const passwd* user = getpwnam("postgres");
      if (user == nullptr) user = getpwnam("nobody");
      if (user == nullptr || chown(folder, user->pw_uid, user->pw_gid) != 0) {
        *why = "no unprivileged user to run the server as";
        return false;
      }
      as_ = std::string("runuser -u ") + user->pw_name + " -- ";
    }
    if (!Run(std::string(kServerBin) + "/initdb -D " + dir_ + "/data -U asmbench -A trust -E UTF8 --locale=C " +
             "--no-sync >" + dir_ + "/initdb.log 2>&1")) {
      *why = "initdb failed (see " + dir_ + "/initdb.log)";
      return false;
    }
    // The owner without a password, `secret` only with one.
    std::ofstream(dir_ + "/data/pg_hba.conf") << "local all asmbench trust\nlocal all all scram-sha-256\n";
    if (!Control("start -w")) {
      *why = "the server did not start (see " + dir_ + "/server.log)";
      return false;
    }
    started_ = true;
    return Admin(std::string("CREATE ROLE secret LOGIN PASSWORD '") + kSecret + "'", why);
  }

  bool Control(const std::string& what) {
    return Run(std::string(kServerBin) + "/pg_ctl -D " + dir_ + "/data -l " + dir_ + "/server.log -o \"-c " +
               "listen_addresses='' -c unix_socket_directories='" + dir_ + "' -c fsync=off\" " + what +
               " >/dev/null 2>&1");
  }

  void Stop() {
    if (started_) Control("stop -m immediate -w");
    started_ = false;
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  std::string Conninfo(const std::string& database, const std::string& user = "asmbench") const {
    return "host=" + dir_ + " dbname=" + database + " user=" + user;
  }

  // A statement run by the owner with psql, on the database `postgres` unless named; what it printed.
  std::optional<std::string> Sql(const std::string& sql, const std::string& database = "postgres") {
    const std::string file = dir_ + "/statement.sql";
    std::ofstream(file) << sql;
    FILE* psql = popen((std::string(kServerBin) + "/psql -X -q -t -A -v ON_ERROR_STOP=1 -h " + dir_ +
                        " -U asmbench -d " + database + " -f " + file + " 2>&1")
                           .c_str(),
                       "r");
    if (psql == nullptr) return std::nullopt;
    std::string said;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, psql) != nullptr) said += buffer;
    if (pclose(psql) != 0) {
      ADD_FAILURE() << sql << ": " << said;
      return std::nullopt;
    }
    return said;
  }
  bool Admin(const std::string& sql, std::string* why = nullptr, const std::string& database = "postgres") {
    const bool ok = Sql(sql, database).has_value();
    if (!ok && why != nullptr) *why = "psql failed";
    return ok;
  }
  long long Count(const std::string& database, const std::string& sql) {
    const auto said = Sql(sql, database);
    return said && !said->empty() ? std::atoll(said->c_str()) : -1;
  }

  const std::string& dir() const { return dir_; }

 private:
  bool Run(const std::string& command) { return std::system((as_ + command).c_str()) == 0; }

  std::string dir_;
  std::string as_;
  bool started_ = false;
};

class PostgresHistoryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new Server;
    if (!server_->Start(&skip_)) {
      if (skip_.empty()) skip_ = "the server did not start";
    }
  }
  static void TearDownTestSuite() {
    server_->Stop();
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (!skip_.empty()) GTEST_SKIP() << skip_;
    database_ = "case_" + std::to_string(++cases_);
    ASSERT_TRUE(server_->Admin("CREATE DATABASE " + database_));
    local_ = (fs::path(server_->dir()) / (database_ + ".sqlite")).string();
  }
  std::string Conninfo() const { return server_->Conninfo(database_); }
  long long Count(const std::string& sql) { return server_->Count(database_, sql); }

  static Server* server_;
  static std::string skip_;
  static int cases_;
  std::string database_;
  std::string local_;
};

Server* PostgresHistoryTest::server_ = nullptr;
std::string PostgresHistoryTest::skip_;
int PostgresHistoryTest::cases_ = 0;

TEST_F(PostgresHistoryTest, EightWritersAtOnceAllStoreEverySample) {
  constexpr int kWriters = 8, kRuns = 3;
  std::vector<json> documents;
  for (int i = 0; i < kWriters * kRuns; ++i) documents.push_back(NewDocument());
  std::vector<std::string> errors(kWriters);
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      // Each opens its own connection at the same moment: the first makes the tables.
      PostgresHistory history(Conninfo(), HistoryAccess::kWrite);
      for (int r = 0; r < kRuns; ++r) {
        if (!history.Save(documents[static_cast<std::size_t>(w * kRuns + r)])) errors[w] += history.error() + "\n";
      }
    });
  }
  for (std::thread& t : writers) t.join();
  for (const std::string& e : errors) EXPECT_EQ(e, "");
  EXPECT_EQ(Count("SELECT count(*) FROM asmbench_runs"), kWriters * kRuns);
  EXPECT_EQ(Count("SELECT count(*) FROM asmbench_samples"),
            static_cast<long long>(SamplesOf(documents[0]) * kWriters * kRuns));
  EXPECT_EQ(Count("SELECT version FROM asmbench_schema"), kHistorySchemaVersion);
  EXPECT_EQ(Count("SELECT count(*) FROM asmbench_schema"), 1);

  PostgresHistory reader(Conninfo(), HistoryAccess::kRead);
  const auto runs = reader.List();
  ASSERT_EQ(runs.size(), static_cast<std::size_t>(kWriters * kRuns));
  const auto loaded = reader.Load(runs.back().id);
  ASSERT_TRUE(loaded) << reader.error();
  EXPECT_NE(std::find(documents.begin(), documents.end(), *loaded), documents.end());
}

// A run whose server cannot be reached is kept locally; the server stopping in the middle of a
// push leaves no run half-stored, and pushing again stores each run exactly once.
TEST_F(PostgresHistoryTest, APushCutOffByTheServerStoresEveryRunOnceWhenRepeated) {
  {
    HistoryDb local(local_);
    local.KeepAsUnsent();
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(local.Save(NewDocument())) << local.error();
    HistoryDb sent(local_);
    ASSERT_TRUE(sent.Save(NewDocument()));  // stored here as the history itself: never pushed
  }
  const long long perRun = static_cast<long long>(SamplesOf(NewDocument()));
  std::ostringstream out, err;
  int commits = 0;
  // The server stops while the second run's transaction is open.
  EXPECT_EQ(PushUnsent(local_, Conninfo(), out, err,
                       [&](long long) {
                         if (++commits == 2) {
                           EXPECT_TRUE(server_->Control("stop -m fast -w"));
                         }
                       }),
            1);
  EXPECT_NE(err.str().find("3 of 4 runs still wait"), std::string::npos) << err.str();
  ASSERT_TRUE(server_->Control("start -w"));
  EXPECT_EQ(Count("SELECT count(*) FROM asmbench_runs"), 1);
  EXPECT_EQ(Count("SELECT count(*) FROM asmbench_samples"), perRun);
  EXPECT_EQ(HistoryDb(local_).Unsent().size(), 3u);

  // The first run's mark is lost, as if the program had been killed after the server's commit.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(local_.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, "UPDATE runs SET unsent = 1 WHERE id = 1", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  std::ostringstream out2, err2;
  EXPECT_EQ(PushUnsent(local_, Conninfo(), out2, err2), 0) << err2.str();
  EXPECT_EQ(Count("SELECT count(*) FROM asmbench_runs"), 4);
  EXPECT_EQ(Count("SELECT count(*) FROM asmbench_samples"), 4 * perRun);
  EXPECT_TRUE(HistoryDb(local_).Unsent().empty());

  std::ostringstream out3, err3;
  EXPECT_EQ(PushUnsent(local_, Conninfo(), out3, err3), 0) << err3.str();
  EXPECT_NE(out3.str().find("No runs wait"), std::string::npos) << out3.str();
  EXPECT_EQ(Count("SELECT count(*) FROM asmbench_runs"), 4);
}

TEST_F(PostgresHistoryTest, AWrongPasswordIsSaidWithoutThePassword) {
  const std::string wrong = "Wr0ng-Passw0rd-42";
  const std::string uri = "postgresql://secret:" + wrong + "@/" + database_ + "?host=" + server_->dir();
  PostgresHistory history(uri, HistoryAccess::kWrite);
  EXPECT_FALSE(history.ok());
  EXPECT_NE(history.error().find("password authentication failed"), std::string::npos) << history.error();
  EXPECT_EQ(history.error().find(wrong), std::string::npos) << history.error();
  EXPECT_EQ(history.where().find(wrong), std::string::npos) << history.where();
  EXPECT_NE(history.where().find("user='secret'"), std::string::npos) << history.where();

  // Listing says so too, without it.
  HistoryOptions options;
  options.dbPath = uri;
  options.list = true;
  std::ostringstream out, err;
  EXPECT_EQ(RunHistoryCommand(options, ASMPIC_ASSETS, out, err), 1);
  EXPECT_NE(err.str().find("password authentication failed"), std::string::npos) << err.str();
  EXPECT_EQ((out.str() + err.str()).find(wrong), std::string::npos);

  // The right one, from a password file as libpq reads it.
  const std::string passfile = server_->dir() + "/pgpass";
  std::ofstream(passfile) << "*:*:*:secret:" << kSecret << "\n";
  chmod(passfile.c_str(), 0600);
  setenv("PGPASSFILE", passfile.c_str(), 1);
  PostgresHistory right(server_->Conninfo(database_, "secret"), HistoryAccess::kRead);
  unsetenv("PGPASSFILE");
  EXPECT_TRUE(right.ok()) << right.error();
}

// A database of version 1 (no run UUIDs) is brought up to this version, its runs kept, each given
// its document's UUID, so that importing the same document finds it.
TEST_F(PostgresHistoryTest, ADatabaseOfThePreviousVersionIsMigrated) {
  json old = NewDocument();
  old.erase("run_uuid");
  const std::string document = old.dump();
  ASSERT_TRUE(server_->Admin(
      "CREATE TABLE asmbench_schema(version INTEGER NOT NULL); INSERT INTO asmbench_schema VALUES(1);"
      "CREATE TABLE asmbench_runs(id BIGSERIAL PRIMARY KEY, started_at TEXT NOT NULL, mode TEXT NOT NULL,"
      " kernel_choice TEXT, kernel_target TEXT, threads INTEGER NOT NULL, cpu_model TEXT, machine TEXT,"
      " build TEXT, classic_score INTEGER, classic_colour TEXT, score DOUBLE PRECISION, score_low DOUBLE"
      " PRECISION, score_high DOUBLE PRECISION, multi_score DOUBLE PRECISION, multi_low DOUBLE PRECISION,"
      " multi_high DOUBLE PRECISION, validation TEXT NOT NULL, document TEXT NOT NULL);"
      "CREATE TABLE asmbench_samples(run_id BIGINT NOT NULL REFERENCES asmbench_runs(id) ON DELETE CASCADE,"
      " pass TEXT NOT NULL, run INTEGER NOT NULL, thread INTEGER NOT NULL, test TEXT NOT NULL, seconds"
      " DOUBLE PRECISION, monotonic_seconds DOUBLE PRECISION NOT NULL, hash TEXT);"
      "INSERT INTO asmbench_runs(started_at, mode, threads, validation, document) VALUES"
      " ('2026-01-02T03:04:05Z', 'headless', 2, 'valid', $$" + document + "$$);",
      nullptr, database_));
  {
    // Reading changes nothing.
    PostgresHistory reader(Conninfo(), HistoryAccess::kRead);
    EXPECT_EQ(reader.List().size(), 1u) << reader.error();
    EXPECT_EQ(Count("SELECT version FROM asmbench_schema"), 1);
  }
  PostgresHistory history(Conninfo(), HistoryAccess::kWrite);
  ASSERT_TRUE(history.ok()) << history.error();
  EXPECT_EQ(Count("SELECT version FROM asmbench_schema"), 2);
  EXPECT_EQ(Count("SELECT count(*) FROM asmbench_runs WHERE uuid IS NULL"), 0);
  const auto id = history.Save(old);
  ASSERT_TRUE(id) << history.error();
  EXPECT_TRUE(history.existed());
  EXPECT_EQ(*id, 1);
  EXPECT_EQ(Count("SELECT count(*) FROM asmbench_runs"), 1);
}

// A reading command on a database without the tables creates none.
TEST_F(PostgresHistoryTest, TheSameRunsListAndCompareAlikeOnBothBackends) {
  HistoryOptions options;
  options.dbPath = Conninfo();
  options.list = true;
  std::ostringstream empty, emptyErr;
  EXPECT_EQ(RunHistoryCommand(options, ASMPIC_ASSETS, empty, emptyErr), 0) << emptyErr.str();
  EXPECT_EQ(Count("SELECT count(*) FROM pg_tables WHERE tablename LIKE 'asmbench%'"), 0);

  std::vector<json> documents = {NewDocument("2026-01-02T03:04:05Z"), NewDocument("2026-01-03T03:04:05Z"),
                                 NewDocument("2026-01-04T03:04:05Z")};
  documents[1]["mode"] = "window";
  HistoryDb sqlite(local_);
  PostgresHistory postgres(Conninfo(), HistoryAccess::kWrite);
  for (const json& d : documents) {
    ASSERT_TRUE(sqlite.Save(d)) << sqlite.error();
    ASSERT_TRUE(postgres.Save(d)) << postgres.error();
  }
  const auto said = [&](const std::string& target, bool list) {
    HistoryOptions o;
    o.dbPath = target;
    o.list = list;
    if (!list) o.compare = {"1", "3", "2"};
    std::ostringstream out, err;
    EXPECT_EQ(RunHistoryCommand(o, ASMPIC_ASSETS, out, err), 0) << err.str();
    return out.str();
  };
  const std::string listed = said(local_, true);
  EXPECT_NE(listed.find("window"), std::string::npos) << listed;
  EXPECT_EQ(said(Conninfo(), true), listed);
  EXPECT_EQ(said(Conninfo(), false), said(local_, false));
}

}  // namespace
}  // namespace asmpic::app
