#include "app/history/history_store.h"

#include <xxhash.h>

#include <cctype>
#include <cstdio>
#include <random>

#include "app/history/history_db.h"
#include "app/history/postgres_history.h"
#include "app/history/result_summary.h"
#include "app/results/machine_name.h"

namespace asmpic::app {

namespace {

using json = nlohmann::ordered_json;

std::string UuidText(unsigned char bytes[16]) {
  char text[37];
  std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

bool IsUuid(const std::string& text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? text[i] != '-' : std::isxdigit(static_cast<unsigned char>(text[i])) == 0) return false;
  }
  return true;
}

// A sample's time-of-day seconds and hash, which not every document version holds.
std::optional<double> Seconds(const json& sample) {
  const auto seconds = sample.find("seconds");
  if (seconds == sample.end() || !seconds->is_number()) return std::nullopt;
  return seconds->get<double>();
}
std::string Hash(const json& sample) {
  const auto hash = sample.find("hash");
  return hash != sample.end() && hash->is_string() ? hash->get<std::string>() : std::string();
}

// A server history that keeps the run in the local history, as not yet sent, when the server
// cannot be reached or fails before the run is committed: a finished run is never lost to it.
class ServerOrLocal : public HistoryStore {
 public:
  ServerOrLocal(const std::string& target, int busyTimeoutMs, const LockWait& wait)
      : target_(target), busyTimeoutMs_(busyTimeoutMs), wait_(wait),
        server_(std::make_unique<PostgresHistory>(target, HistoryAccess::kWrite)) {
    if (!server_->ok()) Abandon();
  }

  // Until the run is stored, a server that cannot be reached still leaves the local history.
  bool ok() const override { return local_ ? local_->ok() : true; }
  const std::string& error() const override {
    return local_ ? localError_ : server_ ? server_->error() : why_;
  }
  std::string where() const override {
    return local_ ? local_->where() : server_ ? server_->where() : DefaultHistoryPath();
  }

  std::optional<long long> Insert(const json& document) override {
    document_ = document;
    if (server_) {
      const auto id = server_->Insert(document);
      existed_ = server_->existed();
      if (id || server_->refusedDocument()) return id;
      Abandon();
    }
    return InsertLocally();
  }

  bool Commit() override {
    if (local_) return Committed(local_->Commit());
    if (server_->Commit()) return true;
    Abandon();
    return InsertLocally().has_value() && Committed(local_->Commit());
  }

  std::vector<StoredRun> List(int limit, const std::string& mode) override {
    return server_ ? server_->List(limit, mode) : std::vector<StoredRun>{};
  }
  std::optional<json> Load(long long id) override { return server_ ? server_->Load(id) : std::nullopt; }

  std::string notice() const override {
    if (!local_ || !local_->ok()) return {};
    return "asmbench: " + why_ + "; this run is kept in " + local_->where() + " as run " + std::to_string(localId_) +
           ", not yet sent: asmbench --push --db \"" + ShownTarget(target_) + "\" sends it\n";
  }

 private:
  void Abandon() {
    why_ = server_->error();
    server_.reset();
  }
  std::optional<long long> InsertLocally() {
    if (!local_) {
      local_ = std::make_unique<HistoryDb>(DefaultHistoryPath(), busyTimeoutMs_, wait_);
      local_->KeepAsUnsent();
    }
    const auto id = local_->Insert(document_);
    if (id) localId_ = *id;
    if (!id) localError_ = why_ + "; nor could it be kept locally: " + local_->error();
    return id;
  }
  bool Committed(bool committed) {
    if (!committed) localError_ = why_ + "; nor could it be kept locally: " + local_->error();
    return committed;
  }

  std::string target_;
  int busyTimeoutMs_;
  LockWait wait_;
  std::unique_ptr<PostgresHistory> server_;
  std::unique_ptr<HistoryDb> local_;
  json document_;
  std::string why_, localError_;
  long long localId_ = 0;
};

}  // namespace

bool IsServerTarget(const std::string& target) {
  if (target.rfind("postgresql://", 0) == 0 || target.rfind("postgres://", 0) == 0) return true;
  // libpq's key=value form: a key made of letters and underscores, then "=".
  std::size_t i = 0;
  while (i < target.size() && (std::isalpha(static_cast<unsigned char>(target[i])) != 0 || target[i] == '_')) ++i;
  std::size_t j = i;
  while (j < target.size() && target[j] == ' ') ++j;
  return i > 0 && j < target.size() && target[j] == '=';
}

std::string ShownTarget(const std::string& target) {
  return IsServerTarget(target) ? ConninfoWithoutPassword(target) : target;
}

std::unique_ptr<HistoryStore> OpenHistory(const std::string& target, HistoryAccess access, int busyTimeoutMs,
                                          const LockWait& wait) {
  if (IsServerTarget(target)) {
    if (access == HistoryAccess::kRead) return std::make_unique<PostgresHistory>(target, access);
    return std::make_unique<ServerOrLocal>(target, busyTimeoutMs, wait);
  }
  if (access == HistoryAccess::kRead) return std::make_unique<HistoryDb>(target, HistoryDb::kReadOnly);
  return std::make_unique<HistoryDb>(target, busyTimeoutMs, wait);
}

std::string RunUuid(const json& document) {
  if (const auto own = document.find("run_uuid"); own != document.end()) {
    if (!own->is_string() || !IsUuid(own->get<std::string>())) return {};
    std::string text = own->get<std::string>();
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }
  const std::string text = document.dump();
  const XXH128_hash_t hash = XXH3_128bits(text.data(), text.size());
  unsigned char bytes[16];
  for (int i = 0; i < 8; ++i) {
    bytes[i] = static_cast<unsigned char>(hash.high64 >> (56 - 8 * i));
    bytes[8 + i] = static_cast<unsigned char>(hash.low64 >> (56 - 8 * i));
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x80);  // version 8: made by this program's rule
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);
  return UuidText(bytes);
}

std::string NewRunUuid() {
  std::random_device random;
  unsigned char bytes[16];
  for (int i = 0; i < 16; i += 4) {
    const unsigned int word = random();
    for (int k = 0; k < 4; ++k) bytes[i + k] = static_cast<unsigned char>(word >> (8 * k));
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80);
  return UuidText(bytes);
}

std::string MachineNameOfColumn(const std::string& column) {
  json machine = json::parse(column, nullptr, false);
  if (machine.is_discarded()) machine = nullptr;
  return DocumentMachineName(json{{"machine", std::move(machine)}});
}

bool RowsOf(const json& document, RunRow* run, std::vector<SampleRow>* samples, std::string* error) {
  std::string why;
  const auto summary = SummarizeDocument(document, &why);
  if (!summary) {
    *error = why;
    return false;
  }
  run->uuid = RunUuid(document);
  if (run->uuid.empty()) {
    *error = "run_uuid should be a UUID";
    return false;
  }
  try {
    run->startedAt = summary->startedAt;
    run->mode = summary->mode;
    run->kernelChoice = summary->kernelChoice;
    run->kernelTarget = summary->kernelTarget;
    run->threads = summary->threads;
    run->cpuModel = summary->cpuModel;
    run->machine = document.contains("machine") ? document["machine"].dump() : std::string();
    run->build = document.contains("program") ? document["program"].dump() : std::string();
    run->classicScore = summary->classicScore;
    run->classicColour = summary->classicColour;
    const bool scored = summary->score.count > 0;
    run->score = scored ? std::optional<double>(summary->score.median) : std::nullopt;
    run->scoreLow = scored ? summary->score.low : std::nullopt;
    run->scoreHigh = scored ? summary->score.high : std::nullopt;
    const bool multiScored = summary->multiScore && summary->multiScore->count > 0;
    run->multiScore = multiScored ? std::optional<double>(summary->multiScore->median) : std::nullopt;
    run->multiLow = multiScored ? summary->multiScore->low : std::nullopt;
    run->multiHigh = multiScored ? summary->multiScore->high : std::nullopt;
    run->validation = summary->validation;
    run->document = document.dump();

    samples->clear();
    if (const auto classic = document.find("classic_pass"); classic != document.end() && classic->is_object()) {
      for (const json& s : classic->at("samples")) {
        samples->push_back({"classic", 1, 0, s.at("name").get<std::string>(), Seconds(s),
                            s.at("monotonic_seconds").get<double>(), Hash(s)});
      }
    }
    for (const json& test : document.at("tests")) {
      int index = 0;
      for (const json& s : test.at("samples")) {
        samples->push_back({"single", ++index, 0, test.at("name").get<std::string>(), Seconds(s),
                            s.at("monotonic_seconds").get<double>(), Hash(s)});
      }
    }
    const auto multi = document.find("multi_core");
    if (multi != document.end() && multi->is_object() && multi->contains("passes")) {
      const json& names = document.at("settings").at("tests");
      int pass = 0;
      for (const json& p : multi->at("passes")) {
        ++pass;
        int thread = 0;
        for (const json& times : p.at("monotonic_seconds")) {
          ++thread;
          for (std::size_t t = 0; t < times.size() && t < names.size(); ++t) {
            samples->push_back(
                {"multi", pass, thread, names[t].get<std::string>(), std::nullopt, times[t].get<double>(), ""});
          }
        }
      }
    }
  } catch (const json::exception& e) {
    *error = e.what();
    return false;
  }
  return true;
}

}  // namespace asmpic::app
