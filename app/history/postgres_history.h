#pragma once
// The history on a PostgreSQL server, shared by many machines: the same runs and samples as the
// SQLite history, in asmbench_runs and asmbench_samples, their version in asmbench_schema. The
// connection is libpq's: a postgresql:// URI or key=value string, the PG* environment variables
// and service files, passwords from ~/.pgpass or PGPASSFILE. Every message names the server by its
// connection string without the password. Each run is stored in its own transaction, keyed by its
// UUID, so that many programs store at once and a run stored twice is one run.
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "app/history/history_store.h"

typedef struct pg_conn PGconn;

namespace asmpic::app {

// The connection string rebuilt without its password (and without anything libpq cannot parse,
// which is then shown as "(a connection string that cannot be read)").
std::string ConninfoWithoutPassword(const std::string& conninfo);

class PostgresHistory : public HistoryStore {
 public:
  // Connects; for kWrite creates the tables or brings older ones up to this version (one program
  // at a time); for kRead changes nothing, and a database without the tables is an empty history.
  PostgresHistory(const std::string& conninfo, HistoryAccess access);
  ~PostgresHistory() override;
  PostgresHistory(const PostgresHistory&) = delete;
  PostgresHistory& operator=(const PostgresHistory&) = delete;

  bool ok() const override { return connection_ != nullptr && error_.empty(); }
  const std::string& error() const override { return error_; }
  std::string where() const override { return shown_; }
  std::optional<long long> Insert(const nlohmann::ordered_json& document) override;
  bool Commit() override;
  std::vector<StoredRun> List(int limit = 0, const std::string& mode = {}) override;
  std::optional<nlohmann::ordered_json> Load(long long id) override;

  // True when the last Insert refused the document itself (the server was not at fault).
  bool refusedDocument() const { return refusedDocument_; }

 private:
  bool Execute(const char* sql);
  void Fail(const std::string& what, const std::string& detail);
  bool Prepare();
  bool HasTables();

  PGconn* connection_ = nullptr;
  std::string shown_;
  std::string password_;
  std::string error_;
  bool readOnly_ = false;
  bool inTransaction_ = false;
  bool refusedDocument_ = false;
};

}  // namespace asmpic::app
