#include "app/results/machine_info.h"

#include "app/results/machine_name.h"

#include <sys/utsname.h>

#include <fstream>
#include <sstream>
#include <thread>

namespace asmpic::app {

namespace {

std::optional<std::string> FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line) || line.empty()) return std::nullopt;
  return line;
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\"");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\"");
  return text.substr(first, last - first + 1);
}

// The value of the first "key<sep>value" line whose key is `key`.
std::optional<std::string> Field(const std::string& path, const std::string& key, char separator) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const auto at = line.find(separator);
    if (at == std::string::npos || Trim(line.substr(0, at)) != key) continue;
    std::string value = Trim(line.substr(at + 1));
    if (!value.empty()) return value;
  }
  return std::nullopt;
}

}  // namespace

MachineInfo ReadMachineInfo(const std::string& root) {
  const std::string base = root.empty() || root.back() != '/' ? root + "/" : root;
  MachineInfo info;
  info.cpuModel = Field(base + "proc/cpuinfo", "model name", ':');
  info.name = DefaultMachineName(base);
  info.logicalCores = std::thread::hardware_concurrency();

  if (const auto total = Field(base + "proc/meminfo", "MemTotal", ':')) {
    std::istringstream in(*total);
    std::uint64_t amount = 0;
    std::string unit;
    if (in >> amount) {
      in >> unit;
      info.memoryBytes = unit == "kB" ? amount * 1024 : amount;
    }
  }

  info.os = Field(base + "etc/os-release", "PRETTY_NAME", '=');
  if (!info.os) info.os = Field(base + "usr/lib/os-release", "PRETTY_NAME", '=');

  utsname names{};
  if (uname(&names) == 0) {
    info.kernel = std::string(names.sysname) + " " + names.release + " " + names.version;
    info.architecture = names.machine;
  }

  const std::string cpu0 = base + "sys/devices/system/cpu/cpu0/cpufreq/";
  info.frequencyGovernor = FirstLine(cpu0 + "scaling_governor");
  if (const auto khz = FirstLine(cpu0 + "cpuinfo_max_freq")) {
    try {
      info.maxFrequencyMHz = std::stod(*khz) / 1000.0;
    } catch (const std::exception&) {
      // not a number: left out
    }
  }
  return info;
}

}  // namespace asmpic::app
