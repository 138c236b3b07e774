#pragma once
// Where finished runs are kept: a history is either an SQLite file (HistoryDb) or a PostgreSQL
// server that many machines write to (PostgresHistory). Both keep the same tables, versioned the
// same way, and give the same runs back through List and Load. Every run carries a UUID, so a run
// stored twice (an import repeated, a push cut off and repeated) is one run.
#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace asmpic::app {

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
  std::string machine;  // the machine's name as the fleet shows it (DocumentMachineName)
};

// The version of the tables that this program writes: user_version in SQLite, the one row of
// asmbench_schema in PostgreSQL. Version 1 had no run UUIDs and nothing waiting to be sent.
constexpr int kHistorySchemaVersion = 2;

// What to do while another program holds the database's write lock: `waiting` is called once
// when the wait has lasted long enough to be noticed, and the wait gives up (the write fails as
// locked) as soon as `stop` says so, e.g. when the user interrupts the program.
struct LockWait {
  std::function<void()> waiting;
  std::function<bool()> stop;
};

class HistoryStore {
 public:
  virtual ~HistoryStore() = default;

  virtual bool ok() const = 0;
  // What went wrong, as a sentence that names the history (never with a password); empty when
  // nothing did.
  virtual const std::string& error() const = 0;
  // How messages name this history: a file's path, or a connection string without its password.
  virtual std::string where() const = 0;

  // Saves a result document and its samples in one transaction. The run's id, or nothing (see
  // error()). A document whose run UUID is already stored is not stored again: the stored run's
  // id is returned and existed() says so.
  std::optional<long long> Save(const nlohmann::ordered_json& document) {
    const auto id = Insert(document);
    if (!id || !Commit()) return std::nullopt;
    return id;
  }
  // Save in two steps, so that storing a run and replacing its output files are one decision:
  // Insert takes the write lock (waiting for it) and writes the run without committing it;
  // Commit makes it part of the history. A history that ends before Commit keeps nothing.
  virtual std::optional<long long> Insert(const nlohmann::ordered_json& document) = 0;
  virtual bool Commit() = 0;
  // True when the last Insert found its run already stored.
  bool existed() const { return existed_; }
  // Every stored run, oldest first; the `limit` newest when limit > 0, and of one mode when asked.
  virtual std::vector<StoredRun> List(int limit = 0, const std::string& mode = {}) = 0;
  // The document of a stored run; nothing when there is no such run.
  virtual std::optional<nlohmann::ordered_json> Load(long long id) = 0;
  // Said after a run was stored somewhere other than asked (kept locally, not yet sent); empty.
  virtual std::string notice() const { return {}; }

 protected:
  bool existed_ = false;
};

// True for a PostgreSQL connection string: a postgresql:// or postgres:// URI, or libpq's
// key=value form.
bool IsServerTarget(const std::string& target);

// The target as messages may show it: a connection string rebuilt without its password (a file's
// path as it is).
std::string ShownTarget(const std::string& target);

enum class HistoryAccess {
  kWrite,  // created and brought up to this version when needed
  kRead,   // for commands that only read: nothing is created, changed or locked
};

// Opens the history at `target`: an SQLite file, or a PostgreSQL server for a connection string.
// Check ok() before use. For kWrite on a server that cannot be reached or fails while storing, the
// run is kept in the local history (DefaultHistoryPath) as not yet sent, and notice() says so.
std::unique_ptr<HistoryStore> OpenHistory(const std::string& target, HistoryAccess access,
                                          int busyTimeoutMs = 10000, const LockWait& wait = {});

// The run's UUID: the document's own "run_uuid", or, for a document without one (made before
// runs had them), one derived from its content, so that the same document gives the same UUID.
std::string RunUuid(const nlohmann::ordered_json& document);
// A new random UUID (version 4), for a new run's document.
std::string NewRunUuid();

// The fields a stored run's row holds besides its samples, as text, shared by both backends.
struct RunRow {
  std::string uuid;
  std::string startedAt, mode, kernelChoice, kernelTarget, cpuModel, machine, build;
  int threads = 0;
  std::optional<int> classicScore;
  std::string classicColour;
  std::optional<double> score, scoreLow, scoreHigh, multiScore, multiLow, multiHigh;
  std::string validation;
  std::string document;
};
struct SampleRow {
  std::string pass;
  int run = 0;
  int thread = 0;
  std::string test;
  std::optional<double> seconds;
  double monotonic = 0.0;
  std::string hash;
};
// The machine's name (DocumentMachineName) from a row's machine column, the document's machine
// object as text: a listing names each run's machine without reading its whole document.
std::string MachineNameOfColumn(const std::string& column);

// The row and every sample of a result document (the classic pass, the timed runs, every thread of
// every multi-core pass); false, with `error` set, for a document that cannot be stored.
bool RowsOf(const nlohmann::ordered_json& document, RunRow* run, std::vector<SampleRow>* samples,
            std::string* error);

}  // namespace asmpic::app
