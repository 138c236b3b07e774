#include "app/history/history_db.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "app/history/result_summary.h"
#include "app/history/history_store.h"

namespace asmpic::app {

namespace {

using json = nlohmann::ordered_json;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS runs(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  started_at TEXT NOT NULL,
  mode TEXT NOT NULL,
  kernel_choice TEXT,
  kernel_target TEXT,
  threads INTEGER NOT NULL,
  cpu_model TEXT,
  machine TEXT,
  build TEXT,
  classic_score INTEGER,
  classic_colour TEXT,
  score REAL, score_low REAL, score_high REAL,
  multi_score REAL, multi_low REAL, multi_high REAL,
  validation TEXT NOT NULL,
  document TEXT NOT NULL,
  uuid TEXT,
  unsent INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS samples(
  run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,
  pass TEXT NOT NULL,
  run INTEGER NOT NULL,
  thread INTEGER NOT NULL,
  test TEXT NOT NULL,
  seconds REAL,
  monotonic_seconds REAL NOT NULL,
  hash TEXT);
CREATE INDEX IF NOT EXISTS samples_by_run ON samples(run_id);
CREATE UNIQUE INDEX IF NOT EXISTS runs_by_uuid ON runs(uuid);
)sql";

// kUpgrades[i] turns the tables of version i + 1 into those of version i + 2, in the transaction
// that sets the new version. Version 2: every run has a UUID (FillUuids gives the stored ones
// theirs before the index that keeps them unique), and a run may wait to be sent to a server.
constexpr std::array<const char*, kHistorySchemaVersion - 1> kUpgrades{
    "ALTER TABLE runs ADD COLUMN uuid TEXT;"
    " ALTER TABLE runs ADD COLUMN unsent INTEGER NOT NULL DEFAULT 0;"};
constexpr std::array<const char*, kHistorySchemaVersion - 1> kAfterUpgrades{
    "CREATE UNIQUE INDEX IF NOT EXISTS runs_by_uuid ON runs(uuid);"};

// Every SQLite database starts with these 16 bytes; an empty file is an empty database.
constexpr char kDatabaseHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                      'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};

// kUnknown: the file could not be looked at (SQLite then says why).
enum class FileKind { kMissing, kEmpty, kDatabase, kOther, kUnknown };

FileKind KindOfFile(const std::string& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (status.type() == std::filesystem::file_type::not_found) return FileKind::kMissing;
  if (ec || status.type() == std::filesystem::file_type::directory) return FileKind::kUnknown;
  // Never read a FIFO or a device: it may block, or never end.
  if (status.type() != std::filesystem::file_type::regular) return FileKind::kOther;
  if (std::filesystem::file_size(path, ec) == 0 && !ec) return FileKind::kEmpty;
  char header[sizeof kDatabaseHeader] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in) return FileKind::kUnknown;
  in.read(header, sizeof header);
  if (!in || std::memcmp(header, kDatabaseHeader, sizeof header) != 0) return FileKind::kOther;
  return FileKind::kDatabase;
}

struct StatementDeleter {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

void BindText(sqlite3_stmt* s, int i, const std::string& text) {
  if (text.empty()) {
    sqlite3_bind_null(s, i);
  } else {
    sqlite3_bind_text(s, i, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
}

void BindDouble(sqlite3_stmt* s, int i, const std::optional<double>& value) {
  if (value) {
    sqlite3_bind_double(s, i, *value);
  } else {
    sqlite3_bind_null(s, i);
  }
}

std::string ColumnText(sqlite3_stmt* s, int i) {
  const unsigned char* text = sqlite3_column_text(s, i);
  return text != nullptr ? reinterpret_cast<const char*>(text) : std::string();
}

std::optional<double> ColumnDouble(sqlite3_stmt* s, int i) {
  if (sqlite3_column_type(s, i) == SQLITE_NULL) return std::nullopt;
  return sqlite3_column_double(s, i);
}

}  // namespace

std::string DefaultHistoryPath() {
  std::filesystem::path base;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && *dataHome == '/') {
    base = dataHome;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home != nullptr && *home != '\0' ? home : ".") / ".local/share";
  }
  return (base / "asmpic-bench" / "history.sqlite").string();
}

HistoryDb::HistoryDb(const std::string& path, int busyTimeoutMs, const LockWait& wait)
    : path_(path), busyTimeoutMs_(busyTimeoutMs), wait_(wait) {
  if (!Acceptable()) return;
  std::error_code ignored;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
  if (!Check(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
             "open"))
    return;
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_handler(db_, Busy, this);
  // Write-ahead logging lets readers go on while one program writes; the busy timeout makes a
  // second writer wait for the first instead of failing.
  if (!Execute("PRAGMA journal_mode=WAL")) return;
  if (!Execute("PRAGMA foreign_keys=ON")) return;
  if (!Execute("BEGIN IMMEDIATE")) return;
  if (!Upgrade() || !Execute("COMMIT")) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
}

HistoryDb::HistoryDb(const std::string& path, ReadOnly) : path_(path), readOnly_(true) {
  if (!Acceptable()) return;
  const FileKind kind = KindOfFile(path);
  if (kind == FileKind::kMissing || kind == FileKind::kEmpty) return;  // no runs yet
  // Opened without SQLITE_OPEN_CREATE, so nothing is created, and with query_only, so nothing is
  // written. Not SQLITE_OPEN_READONLY: a read-only connection to a write-ahead-log database
  // leaves its -wal and -shm files behind, where the last connection to close removes them.
  // (SQLite opens a file that this user may not write read-only by itself.)
  if (!Check(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr), "open")) return;
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, 10000);
  if (!Execute("PRAGMA query_only = ON")) return;
  const int version = UserVersion();
  if (!error_.empty()) return;
  if (version > kHistorySchemaVersion) {
    error_ = "the history database " + path_ + " was made by a newer asmbench (its tables are of version " +
             std::to_string(version) + "; this one knows versions up to " +
             std::to_string(kHistorySchemaVersion) + ")";
  }
}

bool HistoryDb::Acceptable() {
  if (path_.empty() || path_ == ":memory:") {
    error_ = "the history needs a file: \"" + path_ +
             "\" would keep nothing (name a file with --db, or use --no-save)";
    return false;
  }
  if (KindOfFile(path_) == FileKind::kOther) {
    damaged_ = true;
    error_ = "the history database " + path_ +
             " is damaged (not an SQLite database); it is left as it is: move it away, or "
             "choose another with --db";
    return false;
  }
  return true;
}

int HistoryDb::UserVersion() {
  sqlite3_stmt* raw = nullptr;
  if (!Check(sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &raw, nullptr), "read")) return -1;
  Statement pragma(raw);
  const int status = sqlite3_step(raw);
  if (status != SQLITE_ROW) {
    Check(status, "read");
    return -1;
  }
  return sqlite3_column_int(raw, 0);
}

// Inside the opening transaction: a new database gets today's tables; one made before the version
// was kept has version 1's; each older version is upgraded one step at a time.
bool HistoryDb::Upgrade() {
  const int version = UserVersion();
  if (version < 0) return false;
  if (version == kHistorySchemaVersion) return true;
  if (version > kHistorySchemaVersion) {
    error_ = "the history database " + path_ + " was made by a newer asmbench (its tables are of version " +
             std::to_string(version) + "; this one knows versions up to " +
             std::to_string(kHistorySchemaVersion) + "); it is left as it is";
    return false;
  }
  // A new database gets today's tables at once; an older one is upgraded one step at a time.
  const int from = version == 0 && HasRunsTable() ? 1 : version;
  if (from == 0 && !Execute(kSchema)) return false;
  for (int step = from; from > 0 && step < kHistorySchemaVersion; ++step) {
    if (!Execute(kUpgrades[static_cast<std::size_t>(step - 1)])) return false;
    if (step == 1 && !FillUuids()) return false;
    if (!Execute(kAfterUpgrades[static_cast<std::size_t>(step - 1)])) return false;
  }
  const std::string stamp = "PRAGMA user_version = " + std::to_string(kHistorySchemaVersion);
  return Execute(stamp.c_str());
}

HistoryDb::~HistoryDb() {
  // A run inserted but not committed is left out.
  if (db_ != nullptr && sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close_v2(db_);
}

// Waits in steps of 20 ms: says once that it waits, after a quarter of a second, and gives up at
// the timeout or when told to stop.
int HistoryDb::Busy(void* self, int attempts) {
  auto& db = *static_cast<HistoryDb*>(self);
  constexpr int kStepMs = 20;
  if (db.wait_.stop && db.wait_.stop()) return 0;
  if (static_cast<long long>(attempts) * kStepMs >= db.busyTimeoutMs_) return 0;
  if (!db.said_ && attempts * kStepMs >= 250 && db.wait_.waiting) {
    db.said_ = true;
    db.wait_.waiting();
  }
  sqlite3_sleep(kStepMs);
  return 1;
}

bool HistoryDb::Check(int status, const char* what) {
  if (status == SQLITE_OK || status == SQLITE_DONE || status == SQLITE_ROW) return true;
  const int primary = status & 0xff;
  damaged_ = primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
  const std::string detail = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(status);
  if (damaged_) {
    error_ = "the history database " + path_ + " is damaged (" + detail +
             "); it is left as it is: move it away, or choose another with --db";
  } else {
    error_ = "cannot " + std::string(what) + " the history database " + path_ + ": " + detail;
  }
  return false;
}

bool HistoryDb::HasRuns() {
  // A database opened for reading may be an empty file's, without tables.
  return !readOnly_ || HasRunsTable();
}

bool HistoryDb::HasRunsTable() {
  sqlite3_stmt* raw = nullptr;
  if (!Check(sqlite3_prepare_v2(db_, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'runs'", -1,
                                &raw, nullptr),
             "read"))
    return false;
  Statement select(raw);
  const int status = sqlite3_step(raw);
  if (status != SQLITE_ROW) Check(status, "read");
  return status == SQLITE_ROW;
}

bool HistoryDb::Execute(const char* sql) {
  return Check(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr), "write");
}

bool HistoryDb::Commit() {
  if (!ok()) return false;
  if (!Execute("COMMIT")) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  }
  return true;
}

std::optional<long long> HistoryDb::Insert(const json& document) {
  existed_ = false;
  if (refusedDocument_) error_.clear();  // the last document's fault, not the database's
  refusedDocument_ = false;
  if (!ok()) return std::nullopt;
  if (readOnly_) {
    error_ = "the history database " + path_ + " was opened for reading only";
    return std::nullopt;
  }
  RunRow row;
  std::vector<SampleRow> samples;
  std::string why;
  if (!RowsOf(document, &row, &samples, &why)) {
    refusedDocument_ = true;
    error_ = "cannot save to the history: " + why;
    return std::nullopt;
  }
  if (!Execute("BEGIN IMMEDIATE")) return std::nullopt;
  const auto fail = [&]() -> std::optional<long long> {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return std::nullopt;
  };
  sqlite3_stmt* raw = nullptr;
  if (!Check(sqlite3_prepare_v2(db_, "SELECT id FROM runs WHERE uuid = ?", -1, &raw, nullptr), "write"))
    return fail();
  Statement find(raw);
  BindText(raw, 1, row.uuid);
  const int found = sqlite3_step(raw);
  if (found == SQLITE_ROW) {
    existed_ = true;
    return sqlite3_column_int64(raw, 0);  // already stored: Commit changes nothing
  }
  if (!Check(found, "write")) return fail();
  if (!Check(sqlite3_prepare_v2(
                 db_,
                 "INSERT INTO runs(started_at, mode, kernel_choice, kernel_target, threads, cpu_model,"
                 " machine, build, classic_score, classic_colour, score, score_low, score_high,"
                 " multi_score, multi_low, multi_high, validation, document, uuid, unsent)"
                 " VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                 -1, &raw, nullptr),
             "write"))
    return fail();
  Statement insertRun(raw);
  sqlite3_stmt* s = insertRun.get();
  BindText(s, 1, row.startedAt);
  BindText(s, 2, row.mode);
  BindText(s, 3, row.kernelChoice);
  BindText(s, 4, row.kernelTarget);
  sqlite3_bind_int(s, 5, row.threads);
  BindText(s, 6, row.cpuModel);
  BindText(s, 7, row.machine);
  BindText(s, 8, row.build);
  if (row.classicScore) {
    sqlite3_bind_int(s, 9, *row.classicScore);
  } else {
    sqlite3_bind_null(s, 9);
  }
  BindText(s, 10, row.classicColour);
  BindDouble(s, 11, row.score);
  BindDouble(s, 12, row.scoreLow);
  BindDouble(s, 13, row.scoreHigh);
  BindDouble(s, 14, row.multiScore);
  BindDouble(s, 15, row.multiLow);
  BindDouble(s, 16, row.multiHigh);
  BindText(s, 17, row.validation);
  BindText(s, 18, row.document);
  BindText(s, 19, row.uuid);
  sqlite3_bind_int(s, 20, unsent_ ? 1 : 0);
  if (!Check(sqlite3_step(s), "write")) return fail();
  const long long id = sqlite3_last_insert_rowid(db_);

  if (!Check(sqlite3_prepare_v2(
                 db_,
                 "INSERT INTO samples(run_id, pass, run, thread, test, seconds, monotonic_seconds, hash)"
                 " VALUES(?,?,?,?,?,?,?,?)",
                 -1, &raw, nullptr),
             "write"))
    return fail();
  Statement insertSample(raw);
  s = insertSample.get();
  for (const SampleRow& sample : samples) {
    sqlite3_reset(s);
    sqlite3_bind_int64(s, 1, id);
    BindText(s, 2, sample.pass);
    sqlite3_bind_int(s, 3, sample.run);
    sqlite3_bind_int(s, 4, sample.thread);
    BindText(s, 5, sample.test);
    BindDouble(s, 6, sample.seconds);
    sqlite3_bind_double(s, 7, sample.monotonic);
    BindText(s, 8, sample.hash);
    if (!Check(sqlite3_step(s), "write")) return fail();
  }
  return id;
}

// Inside the upgrade's transaction: each stored run gets the UUID of its document; a run whose
// document is stored twice gets its id mixed in, so that the two stay two runs.
bool HistoryDb::FillUuids() {
  std::vector<std::pair<long long, std::string>> uuids;
  {
    sqlite3_stmt* raw = nullptr;
    if (!Check(sqlite3_prepare_v2(db_, "SELECT id, document FROM runs ORDER BY id", -1, &raw, nullptr), "upgrade"))
      return false;
    Statement select(raw);
    std::vector<std::string> seen;
    int status;
    while ((status = sqlite3_step(raw)) == SQLITE_ROW) {
      const long long id = sqlite3_column_int64(raw, 0);
      json document = json::parse(ColumnText(raw, 1), nullptr, false);
      if (document.is_discarded()) document = json{{"stored_run", id}, {"damaged", ColumnText(raw, 1)}};
      std::string uuid = RunUuid(document);
      if (uuid.empty() || std::find(seen.begin(), seen.end(), uuid) != seen.end()) {
        document["stored_run"] = id;
        document.erase("run_uuid");
        uuid = RunUuid(document);
      }
      seen.push_back(uuid);
      uuids.emplace_back(id, uuid);
    }
    if (!Check(status, "upgrade")) return false;
  }
  sqlite3_stmt* raw = nullptr;
  if (!Check(sqlite3_prepare_v2(db_, "UPDATE runs SET uuid = ? WHERE id = ?", -1, &raw, nullptr), "upgrade"))
    return false;
  Statement update(raw);
  for (const auto& [id, uuid] : uuids) {
    sqlite3_reset(raw);
    BindText(raw, 1, uuid);
    sqlite3_bind_int64(raw, 2, id);
    if (!Check(sqlite3_step(raw), "upgrade")) return false;
  }
  return true;
}

std::vector<std::pair<long long, json>> HistoryDb::Unsent() {
  std::vector<std::pair<long long, json>> runs;
  if (!ok() || db_ == nullptr || !HasRuns() || UserVersion() < 2) return runs;
  sqlite3_stmt* raw = nullptr;
  if (!Check(sqlite3_prepare_v2(db_, "SELECT id, document FROM runs WHERE unsent = 1 ORDER BY id", -1, &raw,
                                nullptr),
             "read"))
    return runs;
  Statement select(raw);
  int status;
  while ((status = sqlite3_step(raw)) == SQLITE_ROW) {
    json document = json::parse(ColumnText(raw, 1), nullptr, false);
    if (!document.is_discarded()) runs.emplace_back(sqlite3_column_int64(raw, 0), std::move(document));
  }
  Check(status, "read");
  return runs;
}

bool HistoryDb::MarkSent(long long id) {
  if (!ok() || db_ == nullptr || readOnly_) return false;
  sqlite3_stmt* raw = nullptr;
  if (!Check(sqlite3_prepare_v2(db_, "UPDATE runs SET unsent = 0 WHERE id = ?", -1, &raw, nullptr), "write"))
    return false;
  Statement update(raw);
  sqlite3_bind_int64(raw, 1, id);
  return Check(sqlite3_step(raw), "write");
}

std::vector<StoredRun> HistoryDb::List(int limit, const std::string& mode) {
  std::vector<StoredRun> runs;
  if (!ok() || db_ == nullptr || !HasRuns()) return runs;
  // The newest `limit`, returned oldest first.
  const std::string sql =
      "SELECT * FROM (SELECT id, started_at, mode, kernel_choice, kernel_target, threads, cpu_model,"
      " classic_score, classic_colour, score, score_low, score_high, multi_score, multi_low, multi_high,"
      " validation, machine FROM runs WHERE (?1 = '' OR mode = ?1) ORDER BY id DESC LIMIT ?2) ORDER BY id";
  sqlite3_stmt* raw = nullptr;
  if (!Check(sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr), "read")) return runs;
  Statement select(raw);
  sqlite3_bind_text(raw, 1, mode.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(raw, 2, limit > 0 ? limit : -1);
  int status;
  while ((status = sqlite3_step(raw)) == SQLITE_ROW) {
    StoredRun r;
    r.id = sqlite3_column_int64(raw, 0);
    r.startedAt = ColumnText(raw, 1);
    r.mode = ColumnText(raw, 2);
    r.kernelChoice = ColumnText(raw, 3);
    r.kernelTarget = ColumnText(raw, 4);
    r.threads = sqlite3_column_int(raw, 5);
    r.cpuModel = ColumnText(raw, 6);
    if (sqlite3_column_type(raw, 7) != SQLITE_NULL) r.classicScore = sqlite3_column_int(raw, 7);
    r.classicColour = ColumnText(raw, 8);
    r.score = ColumnDouble(raw, 9);
    r.scoreLow = ColumnDouble(raw, 10);
    r.scoreHigh = ColumnDouble(raw, 11);
    r.multiScore = ColumnDouble(raw, 12);
    r.multiLow = ColumnDouble(raw, 13);
    r.multiHigh = ColumnDouble(raw, 14);
    r.validation = ColumnText(raw, 15);
    r.machine = MachineNameOfColumn(ColumnText(raw, 16));
    runs.push_back(std::move(r));
  }
  Check(status, "read");
  return runs;
}

std::optional<json> HistoryDb::Load(long long id) {
  if (!ok() || db_ == nullptr || !HasRuns()) return std::nullopt;
  sqlite3_stmt* raw = nullptr;
  if (!Check(sqlite3_prepare_v2(db_, "SELECT document FROM runs WHERE id = ?", -1, &raw, nullptr), "read"))
    return std::nullopt;
  Statement select(raw);
  sqlite3_bind_int64(raw, 1, id);
  const int status = sqlite3_step(raw);
  if (status != SQLITE_ROW) {
    Check(status, "read");
    return std::nullopt;
  }
  const json document = json::parse(ColumnText(raw, 0), nullptr, false);
  if (document.is_discarded()) {
    error_ = "the history database " + path_ + " holds a damaged document for run " + std::to_string(id);
    return std::nullopt;
  }
  return document;
}

}  // namespace asmpic::app
