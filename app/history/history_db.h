#pragma once
// The history of finished runs: one SQLite database in the user's data folder. Each run is one row
// of `runs` (the summary a listing needs, and the whole result document) and its samples in
// `samples`, written in one transaction, so a run that is killed while it is saved leaves nothing.
// The database is in write-ahead-log mode with a busy timeout, so two programs that save at the
// same time both succeed, one after the other. A file that is not a database, or a damaged one,
// is reported and never rewritten or removed.
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/history/history_store.h"

struct sqlite3;

namespace asmpic::app {

// $XDG_DATA_HOME/asmpic-bench/history.sqlite, or ~/.local/share/... when XDG_DATA_HOME is unset.
std::string DefaultHistoryPath();

class HistoryDb : public HistoryStore {
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
  ~HistoryDb() override;
  HistoryDb(const HistoryDb&) = delete;
  HistoryDb& operator=(const HistoryDb&) = delete;

  // A read-only history that does not exist yet is ok and empty.
  bool ok() const override { return (db_ != nullptr || readOnly_) && error_.empty(); }
  // What went wrong, as a sentence that names the file; empty when nothing did.
  const std::string& error() const override { return error_; }
  std::string where() const override { return path_; }
  // True when the file exists but is not a sound database.
  bool damaged() const { return damaged_; }

  std::optional<long long> Insert(const nlohmann::ordered_json& document) override;
  bool Commit() override;
  std::vector<StoredRun> List(int limit = 0, const std::string& mode = {}) override;
  std::optional<nlohmann::ordered_json> Load(long long id) override;

  // Runs inserted from now on wait to be sent to a history server (asmbench --push).
  void KeepAsUnsent() { unsent_ = true; }
  // The runs that wait to be sent, oldest first: their ids and documents.
  std::vector<std::pair<long long, nlohmann::ordered_json>> Unsent();
  // The run has reached the server: it no longer waits.
  bool MarkSent(long long id);

 private:
  static int Busy(void* self, int attempts);
  bool Check(int status, const char* what);
  bool Execute(const char* sql);
  // False, with error() set, for a path that cannot hold a history.
  bool Acceptable();
  int UserVersion();
  bool Upgrade();
  bool HasRuns();
  bool HasRunsTable();
  bool FillUuids();

  std::string path_;
  sqlite3* db_ = nullptr;
  std::string error_;
  bool damaged_ = false;
  bool refusedDocument_ = false;  // error_ is about the last document only
  bool readOnly_ = false;
  int busyTimeoutMs_ = 10000;
  LockWait wait_;
  bool said_ = false;
  bool unsent_ = false;
};

}  // namespace asmpic::app
