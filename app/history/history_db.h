#pragma once
// The history of finished runs: one SQLite database in the user's data folder. Each run is one row
// of `runs` (the summary a listing needs, and the whole result document) and its samples in
// `samples`, written in one transaction, so a run that is killed while it is saved leaves nothing.
// The database is in write-ahead-log mode with a busy timeout, so two programs that save at the
// same time both succeed, one after the other. A file that is not a database, or a damaged one,
// is reported and never rewritten or removed.
#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace asmpic::app {

// $XDG_DATA_HOME/asmpic-bench/history.sqlite, or ~/.local/share/... when XDG_DATA_HOME is unset.
std::string DefaultHistoryPath();

struct StoredRun {
  long long id = 0;
  std::string startedAt;
  std::string mode;
  std::string kernelChoice;
  std::string kernelTarget;
  int threads = 0;
  std::string cpuModel;
  std::optional<int> classicScore;
  std::string classicColour;
  std::optional<double> score, scoreLow, scoreHigh;
  std::optional<double> multiScore, multiLow, multiHigh;
  std::string validation;
};

// The version of the tables that this program writes, kept in the database's user_version.
// Databases made before it was kept are of version 1.
constexpr int kHistorySchemaVersion = 1;

// What to do while another program holds the database's write lock: `waiting` is called once
// when the wait has lasted long enough to be noticed, and the wait gives up (the write fails as
// locked) as soon as `stop` says so, e.g. when the user interrupts the program.
struct LockWait {
  std::function<void()> waiting;
  std::function<bool()> stop;
};

class HistoryDb {
 public:
  struct ReadOnly {};
  static constexpr ReadOnly kReadOnly{};

  // Opens (and creates, with its folder) the database, and brings an older one's tables up to
  // this version. Check ok() and error() before use. ":memory:" (which keeps nothing) and a file
  // that is not a database, whatever its size, are refused and left as they are. A locked
  // database is waited for up to `busyTimeoutMs`, as `wait` says.
  explicit HistoryDb(const std::string& path, int busyTimeoutMs = 10000, const LockWait& wait = {});
  // Opens the database for reading only, for commands that only read: nothing is created or
  // changed, and a database that does not exist yet is an empty history.
  HistoryDb(const std::string& path, ReadOnly);
  ~HistoryDb();
  HistoryDb(const HistoryDb&) = delete;
  HistoryDb& operator=(const HistoryDb&) = delete;

  // A read-only history that does not exist yet is ok and empty.
  bool ok() const { return (db_ != nullptr || readOnly_) && error_.empty(); }
  // What went wrong, as a sentence that names the file; empty when nothing did.
  const std::string& error() const { return error_; }
  // True when the file exists but is not a sound database.
  bool damaged() const { return damaged_; }

  // Saves a result document and its samples in one transaction. The new run's id, or nothing
  // (see error()).
  std::optional<long long> Save(const nlohmann::ordered_json& document);
  // Save in two steps, so that storing a run and replacing its output files are one decision:
  // Insert takes the write lock (waiting for it) and writes the run without committing it;
  // Commit makes it part of the history. A HistoryDb that ends before Commit keeps nothing.
  std::optional<long long> Insert(const nlohmann::ordered_json& document);
  bool Commit();
  // Every stored run, oldest first; the `limit` newest when limit > 0, and of one mode when asked.
  std::vector<StoredRun> List(int limit = 0, const std::string& mode = {});
  // The document of a stored run; nothing when there is no such run.
  std::optional<nlohmann::ordered_json> Load(long long id);

 private:
  static int Busy(void* self, int attempts);
  bool Check(int status, const char* what);
  bool Execute(const char* sql);
  // False, with error() set, for a path that cannot hold a history.
  bool Acceptable();
  int UserVersion();
  bool Upgrade();
  bool HasRuns();

  std::string path_;
  sqlite3* db_ = nullptr;
  std::string error_;
  bool damaged_ = false;
  bool readOnly_ = false;
  int busyTimeoutMs_ = 10000;
  LockWait wait_;
  bool said_ = false;
};

}  // namespace asmpic::app
