#include "app/run/headless_commit.h"

#include <memory>
#include <optional>
#include <ostream>

#include "app/history/history_db.h"
#include "platform/interruption.h"

namespace asmpic::app {

CommitOutcome CommitRun(platform::OutputFiles& outputs, const HistoryOptions& history,
                        const nlohmann::ordered_json& document, std::ostream& err, bool quiet) {
  CommitOutcome outcome;
  const auto interrupted = [&](int signal) {
    outputs.Discard();
    outcome.interruptedBefore = signal;
    return outcome;
  };
  if (const int signal = platform::CaughtSignal()) return interrupted(signal);

  std::unique_ptr<HistoryStore> db;
  std::optional<long long> id;
  if (!history.noSave) {
    const std::string path = history.path();
    const LockWait wait{
        [&err, path] {
          err << "asmbench: waiting for the history database " << ShownTarget(path)
              << ", which another program is writing (up to 10 s; Ctrl-C stops, writing nothing)" << std::endl;
        },
        [] { return platform::CaughtSignal() != 0; }};
    db = OpenHistory(path, HistoryAccess::kWrite, 10000, wait);
    id = db->Insert(document);
    if (const int signal = platform::CaughtSignal()) return interrupted(signal);  // db rolls back
    if (!id) {
      outcome.historyFailed = true;
      outcome.saying = "asmbench: " + db->error() + "; this run was not stored\n";
    }
  }

  bool stored = false;
  std::string error;
  outcome.written = outputs.Commit(&error, [&](std::string*) {
    if (id) stored = db->Commit();
    return true;  // a history that fails now keeps the files: they are the run's other copy
  });
  if (!outcome.written) {
    outcome.saying = "asmbench: cannot write " + error + "\n" + outcome.saying;
    if (id) stored = db->Commit();  // a finished run is stored even when a file could not be written
  }
  if (id) {
    if (stored && !db->notice().empty()) {
      outcome.saying += db->notice();  // kept locally until asmbench --push sends it
    } else if (stored) {
      if (!quiet) outcome.saying += "History: stored as run " + std::to_string(*id) + " in " + db->where() + "\n";
    } else {
      outcome.historyFailed = true;
      outcome.saying += "asmbench: " + db->error() + "; this run was not stored\n";
    }
  }
  outcome.interruptedDuring = platform::CaughtSignal();
  return outcome;
}

}  // namespace asmpic::app
