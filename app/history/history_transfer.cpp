#include "app/history/history_transfer.h"

#include <filesystem>
#include <fstream>
#include <ostream>

#include "app/history/history_db.h"
#include "app/history/history_store.h"
#include "app/history/postgres_history.h"
#include "app/history/result_summary.h"

namespace asmpic::app {

namespace {

using json = nlohmann::ordered_json;

// The file's result document; nothing, with `why` set, for what is not one.
std::optional<json> ReadDocument(const std::string& file, std::string* why) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    *why = std::filesystem::exists(file, ec) ? "not a regular file" : "no such file";
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *why = "cannot be read";
    return std::nullopt;
  }
  json document = json::parse(in, nullptr, false);
  if (document.is_discarded()) {
    *why = "not readable JSON (damaged or cut short)";
    return std::nullopt;
  }
  if (!SummarizeDocument(document, why)) return std::nullopt;
  if (RunUuid(document).empty()) {
    *why = "run_uuid should be a UUID";
    return std::nullopt;
  }
  return document;
}

}  // namespace

int ImportResults(const std::vector<std::string>& files, const std::string& target, std::ostream& out,
                  std::ostream& err) {
  std::unique_ptr<HistoryStore> history;
  bool refused = false;
  for (const std::string& file : files) {
    const std::string name = EscapedForTerminal(file);
    std::string why;
    const auto document = ReadDocument(file, &why);
    if (!document) {
      err << "asmbench: --import: " << name << " is refused: " << EscapedForTerminal(why) << "; nothing of it was stored\n";
      refused = true;
      continue;
    }
    if (!history) {
      // The server's own history, never the local one: an import that cannot reach it fails.
      history = IsServerTarget(target)
                    ? std::unique_ptr<HistoryStore>(std::make_unique<PostgresHistory>(target, HistoryAccess::kWrite))
                    : OpenHistory(target, HistoryAccess::kWrite);
      if (!history->ok()) {
        err << "asmbench: --import: " << history->error() << "; nothing was stored\n";
        return 1;
      }
    }
    const auto id = history->Save(*document);
    if (!id) {
      err << "asmbench: --import: " << name << " is refused: " << history->error() << "; nothing of it was stored\n";
      refused = true;
      if (!history->ok()) return 1;
      continue;
    }
    out << name << (history->existed() ? ": already stored as run " : ": stored as run ") << *id << " in "
        << history->where() << '\n';
  }
  return refused ? 1 : 0;
}

int PushUnsent(const std::string& localPath, const std::string& target, std::ostream& out, std::ostream& err,
               const std::function<void(long long)>& beforeCommit) {
  if (!IsServerTarget(target)) {
    err << "asmbench: --push sends the runs kept in " << localPath
        << " to a history server: name it with --db postgresql://...\n";
    return 2;
  }
  std::error_code ec;
  if (!std::filesystem::exists(localPath, ec)) {
    out << "No runs wait to be sent (" << localPath << " does not exist).\n";
    return 0;
  }
  HistoryDb local(localPath);
  const auto unsent = local.Unsent();
  if (!local.ok()) {
    err << "asmbench: --push: " << local.error() << '\n';
    return 1;
  }
  if (unsent.empty()) {
    out << "No runs wait to be sent in " << localPath << ".\n";
    return 0;
  }
  PostgresHistory server(target, HistoryAccess::kWrite);
  if (!server.ok()) err << "asmbench: --push: " << server.error() << '\n';
  std::size_t sent = 0;
  for (const auto& [localId, document] : unsent) {
    if (!server.ok()) break;
    const auto id = server.Insert(document);
    if (id && beforeCommit) beforeCommit(localId);
    if (!id || !server.Commit()) {
      err << "asmbench: --push: run " << localId << ": " << server.error() << '\n';
      if (server.refusedDocument()) continue;
      break;
    }
    if (!local.MarkSent(localId)) {
      // The server has it: a push that repeats it finds it there.
      err << "asmbench: --push: " << local.error() << '\n';
      break;
    }
    ++sent;
    out << "Run " << localId << (server.existed() ? " was already on " : " sent to ") << server.where() << " as run "
        << *id << '\n';
  }
  if (sent == unsent.size()) return 0;
  err << "asmbench: --push: " << unsent.size() - sent << " of " << unsent.size()
      << " runs still wait to be sent; asmbench --push sends them later\n";
  return 1;
}

}  // namespace asmpic::app
