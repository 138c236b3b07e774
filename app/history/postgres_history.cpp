#include "app/history/postgres_history.h"

#if ASMPIC_WITH_POSTGRES
#include <libpq-fe.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace asmpic::app {

#if !ASMPIC_WITH_POSTGRES

std::string ConninfoWithoutPassword(const std::string&) { return "(a PostgreSQL connection string)"; }

PostgresHistory::PostgresHistory(const std::string& conninfo, HistoryAccess)
    : shown_(ConninfoWithoutPassword(conninfo)),
      error_("this asmbench was built without PostgreSQL: it keeps its history in SQLite files only") {}
PostgresHistory::~PostgresHistory() = default;
std::optional<long long> PostgresHistory::Insert(const nlohmann::ordered_json&) { return std::nullopt; }
bool PostgresHistory::Commit() { return false; }
std::vector<StoredRun> PostgresHistory::List(int, const std::string&) { return {}; }
std::optional<nlohmann::ordered_json> PostgresHistory::Load(long long) { return std::nullopt; }

#else

namespace {

using json = nlohmann::ordered_json;

// The tables of this version. asmbench_schema holds one row: the version of the others.
constexpr const char* kSchema = R"sql(
CREATE TABLE asmbench_runs(
  id BIGSERIAL PRIMARY KEY,
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
  score DOUBLE PRECISION, score_low DOUBLE PRECISION, score_high DOUBLE PRECISION,
  multi_score DOUBLE PRECISION, multi_low DOUBLE PRECISION, multi_high DOUBLE PRECISION,
  validation TEXT NOT NULL,
  document TEXT NOT NULL,
  uuid UUID NOT NULL UNIQUE);
CREATE TABLE asmbench_samples(
  run_id BIGINT NOT NULL REFERENCES asmbench_runs(id) ON DELETE CASCADE,
  pass TEXT NOT NULL,
  run INTEGER NOT NULL,
  thread INTEGER NOT NULL,
  test TEXT NOT NULL,
  seconds DOUBLE PRECISION,
  monotonic_seconds DOUBLE PRECISION NOT NULL,
  hash TEXT);
CREATE INDEX asmbench_samples_by_run ON asmbench_samples(run_id);
)sql";

// Any number, the same in every asmbench: the lock that lets one program at a time make or
// upgrade the tables.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7301946251)";

struct ResultDeleter {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

struct OptionsDeleter {
  void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::optional<double> DoubleAt(PGresult* r, int row, int column) {
  if (PQgetisnull(r, row, column) != 0) return std::nullopt;
  return std::strtod(PQgetvalue(r, row, column), nullptr);
}

std::string TextAt(PGresult* r, int row, int column) {
  return PQgetisnull(r, row, column) != 0 ? std::string() : std::string(PQgetvalue(r, row, column));
}

// A value of COPY's text format: backslash, tab and line ends escaped; \N for nothing.
void AppendCopyField(std::string& line, const std::optional<std::string>& value) {
  if (!value) {
    line += "\\N";
    return;
  }
  for (const char c : *value) {
    if (c == '\\') line += "\\\\";
    else if (c == '\t') line += "\\t";
    else if (c == '\n') line += "\\n";
    else if (c == '\r') line += "\\r";
    else line += c;
  }
}

void IgnoreNotice(void*, const char*) {}

}  // namespace

std::string ConninfoWithoutPassword(const std::string& conninfo) {
  char* message = nullptr;
  std::unique_ptr<PQconninfoOption, OptionsDeleter> options(PQconninfoParse(conninfo.c_str(), &message));
  PQfreemem(message);  // it may quote the string, password included
  if (!options) return "(a connection string that cannot be read)";
  std::string shown;
  for (const PQconninfoOption* o = options.get(); o->keyword != nullptr; ++o) {
    if (o->val == nullptr || std::string(o->keyword) == "password") continue;
    std::string value;
    for (const char c : std::string(o->val)) {
      if (c == '\\' || c == '\'') value += '\\';
      value += c;
    }
    shown += (shown.empty() ? "" : " ") + std::string(o->keyword) + "='" + value + "'";
  }
  return shown;
}

PostgresHistory::PostgresHistory(const std::string& conninfo, HistoryAccess access)
    : shown_(ConninfoWithoutPassword(conninfo)), readOnly_(access == HistoryAccess::kRead) {
  char* message = nullptr;
  std::unique_ptr<PQconninfoOption, OptionsDeleter> options(PQconninfoParse(conninfo.c_str(), &message));
  PQfreemem(message);
  if (!options) {
    error_ = "the history server's connection string cannot be read (it is not shown: it may hold a password)";
    return;
  }
  for (const PQconninfoOption* o = options.get(); o->keyword != nullptr; ++o) {
    if (o->val != nullptr && std::string(o->keyword) == "password") password_ = o->val;
  }
  // A server that does not answer is given up after 10 s (unless the connection string or
  // PGCONNECT_TIMEOUT says otherwise), so a finished run is kept locally instead of waiting for
  // the system's own timeout. The connection string comes after the default, so that its own
  // connect_timeout wins.
  const char* timeout = std::getenv("PGCONNECT_TIMEOUT");
  const char* keywords[] = {"connect_timeout", "dbname", nullptr};
  const char* values[] = {timeout != nullptr && *timeout != '\0' ? timeout : "10", conninfo.c_str(), nullptr};
  connection_ = PQconnectdbParams(keywords, values, 1);
  if (connection_ == nullptr) {
    error_ = "cannot reach the history server " + shown_ + ": out of memory";
    return;
  }
  if (PQstatus(connection_) != CONNECTION_OK) {
    Fail("reach", PQerrorMessage(connection_));
    return;
  }
  PQsetNoticeProcessor(connection_, IgnoreNotice, nullptr);
  if (readOnly_) {
    // Nothing this connection does can write.
    if (!Execute("SET default_transaction_read_only = on")) return;
    if (!HasTables()) return;
    Result r(PQexec(connection_, "SELECT max(version) FROM asmbench_schema"));
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
      Fail("read", PQresultErrorMessage(r.get()));
      return;
    }
    const int version = PQgetisnull(r.get(), 0, 0) != 0 ? 0 : std::atoi(PQgetvalue(r.get(), 0, 0));
    if (version > kHistorySchemaVersion) {
      error_ = "the history server " + shown_ + " was set up by a newer asmbench (its tables are of version " +
               std::to_string(version) + "; this one knows versions up to " +
               std::to_string(kHistorySchemaVersion) + ")";
    }
    return;
  }
  Prepare();
}

PostgresHistory::~PostgresHistory() {
  // A run inserted but not committed is left out: ending the connection rolls it back.
  PQfinish(connection_);
}

void PostgresHistory::Fail(const std::string& what, const std::string& detail) {
  std::string text = detail;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  for (std::size_t at; (at = text.find('\n')) != std::string::npos;) {
    std::size_t end = at + 1;
    while (end < text.size() && (text[end] == '\t' || text[end] == ' ')) ++end;
    text.replace(at, end - at, "; ");
  }
  // libpq's messages do not quote the password; should one ever, it is cut out all the same.
  if (password_.size() >= 3) {
    for (std::size_t at; (at = text.find(password_)) != std::string::npos;) text.replace(at, password_.size(), "***");
  }
  error_ = "cannot " + what + " the history server " + shown_ + ": " + text;
}

bool PostgresHistory::Execute(const char* sql) {
  Result r(PQexec(connection_, sql));
  const ExecStatusType status = PQresultStatus(r.get());
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return true;
  Fail(readOnly_ ? "read" : "write to", PQresultErrorMessage(r.get()));
  return false;
}

bool PostgresHistory::HasTables() {
  Result r(PQexec(connection_, "SELECT to_regclass('asmbench_schema') IS NOT NULL"));
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
    Fail("read", PQresultErrorMessage(r.get()));
    return false;
  }
  return std::string(PQgetvalue(r.get(), 0, 0)) == "t";
}

// Makes the tables, or brings older ones up to this version, in one transaction that holds the
// schema lock, so that programs starting at once do it once.
bool PostgresHistory::Prepare() {
  if (!Execute("BEGIN") || !Execute(kSchemaLock) ||
      !Execute("CREATE TABLE IF NOT EXISTS asmbench_schema(version INTEGER NOT NULL)")) {
    PQclear(PQexec(connection_, "ROLLBACK"));
    return false;
  }
  Result r(PQexec(connection_, "SELECT max(version) FROM asmbench_schema"));
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
    Fail("read", PQresultErrorMessage(r.get()));
    PQclear(PQexec(connection_, "ROLLBACK"));
    return false;
  }
  const int version = PQgetisnull(r.get(), 0, 0) != 0 ? 0 : std::atoi(PQgetvalue(r.get(), 0, 0));
  bool done = true;
  if (version > kHistorySchemaVersion) {
    error_ = "the history server " + shown_ + " was set up by a newer asmbench (its tables are of version " +
             std::to_string(version) + "; this one knows versions up to " + std::to_string(kHistorySchemaVersion) +
             "); it is left as it is";
    done = false;
  } else if (version == 0) {
    done = Execute(kSchema) && Execute("INSERT INTO asmbench_schema(version) VALUES(2)");
  } else if (version == 1) {
    // Version 2: every run has a UUID, the one of its document (a document stored twice gets its
    // run's id mixed in, so that the two stay two runs).
    done = Execute("ALTER TABLE asmbench_runs ADD COLUMN uuid UUID");
    Result runs(done ? PQexec(connection_, "SELECT id, document FROM asmbench_runs ORDER BY id") : nullptr);
    if (done && PQresultStatus(runs.get()) != PGRES_TUPLES_OK) {
      Fail("upgrade", PQresultErrorMessage(runs.get()));
      done = false;
    }
    std::vector<std::string> seen;
    for (int row = 0; done && row < PQntuples(runs.get()); ++row) {
      const std::string id = PQgetvalue(runs.get(), row, 0);
      json document = json::parse(TextAt(runs.get(), row, 1), nullptr, false);
      if (document.is_discarded()) document = json{{"damaged", TextAt(runs.get(), row, 1)}};
      std::string uuid = RunUuid(document);
      if (uuid.empty() || std::find(seen.begin(), seen.end(), uuid) != seen.end()) {
        document["stored_run"] = std::stoll(id);
        document.erase("run_uuid");
        uuid = RunUuid(document);
      }
      seen.push_back(uuid);
      const char* values[] = {uuid.c_str(), id.c_str()};
      Result set(PQexecParams(connection_, "UPDATE asmbench_runs SET uuid = $1 WHERE id = $2", 2, nullptr, values,
                              nullptr, nullptr, 0));
      if (PQresultStatus(set.get()) != PGRES_COMMAND_OK) {
        Fail("upgrade", PQresultErrorMessage(set.get()));
        done = false;
      }
    }
    done = done && Execute("ALTER TABLE asmbench_runs ALTER COLUMN uuid SET NOT NULL") &&
           Execute("ALTER TABLE asmbench_runs ADD UNIQUE (uuid)") &&
           Execute("UPDATE asmbench_schema SET version = 2");
  }
  if (!done || !Execute("COMMIT")) {
    PQclear(PQexec(connection_, "ROLLBACK"));
    return false;
  }
  return true;
}

std::optional<long long> PostgresHistory::Insert(const json& document) {
  existed_ = false;
  if (refusedDocument_) error_.clear();  // the last document's fault, not the server's
  refusedDocument_ = false;
  if (!ok()) return std::nullopt;
  if (readOnly_) {
    error_ = "the history server " + shown_ + " was opened for reading only";
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
  const auto fail = [&]() -> std::optional<long long> {
    PQclear(PQexec(connection_, "ROLLBACK"));
    inTransaction_ = false;
    return std::nullopt;
  };
  if (!Execute("BEGIN")) return fail();
  inTransaction_ = true;
  const std::string threads = std::to_string(row.threads);
  const std::string classic = row.classicScore ? std::to_string(*row.classicScore) : std::string();
  const std::optional<double>* numbers[] = {&row.score,      &row.scoreLow, &row.scoreHigh,
                                            &row.multiScore, &row.multiLow, &row.multiHigh};
  std::string numberText[6];
  for (int i = 0; i < 6; ++i) numberText[i] = *numbers[i] ? Number(**numbers[i]) : std::string();
  const auto orNull = [](const std::string& text) { return text.empty() ? nullptr : text.c_str(); };
  const char* values[] = {row.uuid.c_str(),         row.startedAt.c_str(),     row.mode.c_str(),
                          orNull(row.kernelChoice), orNull(row.kernelTarget),  threads.c_str(),
                          orNull(row.cpuModel),     orNull(row.machine),       orNull(row.build),
                          orNull(classic),          orNull(row.classicColour), orNull(numberText[0]),
                          orNull(numberText[1]),    orNull(numberText[2]),     orNull(numberText[3]),
                          orNull(numberText[4]),    orNull(numberText[5]),     row.validation.c_str(),
                          row.document.c_str()};
  Result inserted(PQexecParams(
      connection_,
      "INSERT INTO asmbench_runs(uuid, started_at, mode, kernel_choice, kernel_target, threads, cpu_model,"
      " machine, build, classic_score, classic_colour, score, score_low, score_high, multi_score, multi_low,"
      " multi_high, validation, document)"
      " VALUES($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,$12,$13,$14,$15,$16,$17,$18,$19)"
      " ON CONFLICT (uuid) DO NOTHING RETURNING id",
      19, nullptr, values, nullptr, nullptr, 0));
  if (PQresultStatus(inserted.get()) != PGRES_TUPLES_OK) {
    Fail("write to", PQresultErrorMessage(inserted.get()));
    return fail();
  }
  if (PQntuples(inserted.get()) == 0) {
    // Stored before (by an earlier push or import): this run is that one.
    const char* uuid[] = {row.uuid.c_str()};
    Result found(PQexecParams(connection_, "SELECT id FROM asmbench_runs WHERE uuid = $1", 1, nullptr, uuid,
                              nullptr, nullptr, 0));
    if (PQresultStatus(found.get()) != PGRES_TUPLES_OK || PQntuples(found.get()) != 1) {
      Fail("read", PQresultErrorMessage(found.get()));
      return fail();
    }
    existed_ = true;
    return std::atoll(PQgetvalue(found.get(), 0, 0));
  }
  const std::string id = PQgetvalue(inserted.get(), 0, 0);

  // The samples, all in one COPY.
  Result copy(PQexec(connection_,
                     "COPY asmbench_samples(run_id, pass, run, thread, test, seconds, monotonic_seconds, hash)"
                     " FROM STDIN"));
  if (PQresultStatus(copy.get()) != PGRES_COPY_IN) {
    Fail("write to", PQresultErrorMessage(copy.get()));
    return fail();
  }
  std::string data;
  for (const SampleRow& s : samples) {
    data += id;
    data += '\t';
    AppendCopyField(data, s.pass);
    data += '\t' + std::to_string(s.run) + '\t' + std::to_string(s.thread) + '\t';
    AppendCopyField(data, s.test);
    data += '\t';
    AppendCopyField(data, s.seconds ? std::optional<std::string>(Number(*s.seconds)) : std::nullopt);
    data += '\t' + Number(s.monotonic) + '\t';
    AppendCopyField(data, s.hash.empty() ? std::nullopt : std::optional<std::string>(s.hash));
    data += '\n';
  }
  if (PQputCopyData(connection_, data.data(), static_cast<int>(data.size())) != 1 ||
      PQputCopyEnd(connection_, nullptr) != 1) {
    Fail("write to", PQerrorMessage(connection_));
    return fail();
  }
  bool copied = true;
  while (PGresult* end = PQgetResult(connection_)) {
    if (PQresultStatus(end) != PGRES_COMMAND_OK) {
      if (copied) Fail("write to", PQresultErrorMessage(end));
      copied = false;
    }
    PQclear(end);
  }
  if (!copied) return fail();
  return std::atoll(id.c_str());
}

bool PostgresHistory::Commit() {
  if (!ok() || !inTransaction_) return false;
  inTransaction_ = false;
  Result r(PQexec(connection_, "COMMIT"));
  if (PQresultStatus(r.get()) != PGRES_COMMAND_OK) {
    Fail("write to", PQresultErrorMessage(r.get()));
    return false;
  }
  return true;
}

std::vector<StoredRun> PostgresHistory::List(int limit, const std::string& mode) {
  std::vector<StoredRun> runs;
  if (!ok() || (readOnly_ && !HasTables())) return runs;
  const std::string limitText = std::to_string(limit);
  const char* values[] = {mode.c_str(), limit > 0 ? limitText.c_str() : nullptr};
  // The newest `limit`, returned oldest first.
  Result r(PQexecParams(
      connection_,
      "SELECT * FROM (SELECT id, started_at, mode, kernel_choice, kernel_target, threads, cpu_model,"
      " classic_score, classic_colour, score, score_low, score_high, multi_score, multi_low, multi_high,"
      " validation, machine FROM asmbench_runs WHERE ($1 = '' OR mode = $1) ORDER BY id DESC LIMIT $2::bigint) AS newest"
      " ORDER BY id",
      2, nullptr, values, nullptr, nullptr, 0));
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
    Fail("read", PQresultErrorMessage(r.get()));
    return runs;
  }
  PGresult* p = r.get();
  for (int i = 0; i < PQntuples(p); ++i) {
    StoredRun run;
    run.id = std::atoll(PQgetvalue(p, i, 0));
    run.startedAt = TextAt(p, i, 1);
    run.mode = TextAt(p, i, 2);
    run.kernelChoice = TextAt(p, i, 3);
    run.kernelTarget = TextAt(p, i, 4);
    run.threads = std::atoi(PQgetvalue(p, i, 5));
    run.cpuModel = TextAt(p, i, 6);
    if (PQgetisnull(p, i, 7) == 0) run.classicScore = std::atoi(PQgetvalue(p, i, 7));
    run.classicColour = TextAt(p, i, 8);
    run.score = DoubleAt(p, i, 9);
    run.scoreLow = DoubleAt(p, i, 10);
    run.scoreHigh = DoubleAt(p, i, 11);
    run.multiScore = DoubleAt(p, i, 12);
    run.multiLow = DoubleAt(p, i, 13);
    run.multiHigh = DoubleAt(p, i, 14);
    run.validation = TextAt(p, i, 15);
    run.machine = MachineNameOfColumn(TextAt(p, i, 16));
    runs.push_back(std::move(run));
  }
  return runs;
}

std::optional<json> PostgresHistory::Load(long long id) {
  if (!ok() || (readOnly_ && !HasTables())) return std::nullopt;
  const std::string idText = std::to_string(id);
  const char* values[] = {idText.c_str()};
  Result r(PQexecParams(connection_, "SELECT document FROM asmbench_runs WHERE id = $1::bigint", 1, nullptr, values,
                        nullptr, nullptr, 0));
  if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
    Fail("read", PQresultErrorMessage(r.get()));
    return std::nullopt;
  }
  if (PQntuples(r.get()) == 0) return std::nullopt;
  json document = json::parse(TextAt(r.get(), 0, 0), nullptr, false);
  if (document.is_discarded()) {
    error_ = "the history server " + shown_ + " holds a damaged document for run " + idText;
    return std::nullopt;
  }
  return document;
}

#endif

}  // namespace asmpic::app
