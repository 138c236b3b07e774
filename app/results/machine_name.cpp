#include "app/results/machine_name.h"

#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <climits>
#include <fstream>

namespace asmpic::app {

namespace {

// Fixed for this program, so that the name of a machine never changes and is not the hash other
// programs would make of the same id.
constexpr const char* kSalt = "asmpic-bench machine name v1:";

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  return Trimmed(line);
}

}  // namespace

std::string HashedMachineId(const std::string& id) {
  const std::string trimmed = Trimmed(id);
  if (trimmed.empty()) return {};
  const QByteArray digest = QCryptographicHash::hash(QByteArray(kSalt) + QByteArray::fromStdString(trimmed),
                                                     QCryptographicHash::Sha256);
  return "m-" + digest.toHex().left(16).toStdString();
}

std::string DefaultMachineName(const std::string& root) {
  const std::string base = root.empty() || root.back() != '/' ? root + "/" : root;
  for (const char* file : {"etc/machine-id", "var/lib/dbus/machine-id"}) {
    const std::string name = HashedMachineId(FirstLine(base + file));
    if (!name.empty()) return name;
  }
  const std::string host = HashedMachineId(HostName());
  return host.empty() ? "unknown" : host;
}

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return Trimmed(name);
}

std::string DocumentMachineName(const nlohmann::ordered_json& document) {
  const auto machine = document.find("machine");
  if (machine == document.end() || !machine->is_object()) return "unknown";
  for (const char* key : {"name", "cpu_model"}) {
    const auto value = machine->find(key);
    if (value != machine->end() && value->is_string()) {
      const std::string text = Trimmed(value->get<std::string>());
      if (!text.empty()) return text;
    }
  }
  return "unknown";
}

}  // namespace asmpic::app
