#include "app/run/run_conditions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace asmpic::app {

namespace {

namespace fs = std::filesystem;

std::string Base(const std::string& root) {
  return root.empty() || root.back() != '/' ? root + "/" : root;
}

std::optional<std::string> FirstLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  if (line.empty()) return std::nullopt;
  return line;
}

std::optional<long long> Integer(const fs::path& path) {
  const auto line = FirstLine(path);
  if (!line) return std::nullopt;
  try {
    std::size_t used = 0;
    const long long value = std::stoll(*line, &used);
    if (used != line->size()) return std::nullopt;
    return value;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// The entries of a folder whose names start with `prefix`, sorted by name; none when it cannot be read.
std::vector<fs::path> Entries(const fs::path& folder, const std::string& prefix) {
  std::vector<fs::path> found;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) == 0) found.push_back(it->path());
  }
  std::sort(found.begin(), found.end());
  return found;
}

// cpu0, cpu1, ...: the folders of the cores, in their numeric order.
std::vector<fs::path> CoreFolders(const std::string& base) {
  std::vector<std::pair<int, fs::path>> cores;
  for (const fs::path& path : Entries(base + "sys/devices/system/cpu", "cpu")) {
    const std::string digits = path.filename().string().substr(3);
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    cores.emplace_back(std::stoi(digits), path);
  }
  std::sort(cores.begin(), cores.end());
  std::vector<fs::path> folders;
  for (auto& core : cores) folders.push_back(std::move(core.second));
  return folders;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::optional<std::string> PowerSource(const std::string& base) {
  bool mainsSeen = false;
  bool mainsOnline = false;
  bool discharging = false;
  for (const fs::path& supply : Entries(base + "sys/class/power_supply", "")) {
    const auto type = FirstLine(supply / "type");
    if (!type) continue;
    if (*type == "Mains") {
      mainsSeen = true;
      if (Integer(supply / "online").value_or(0) == 1) mainsOnline = true;
    } else if (*type == "Battery") {
      if (FirstLine(supply / "status").value_or("") == "Discharging") discharging = true;
    }
  }
  if (mainsOnline) return "ac";
  if (discharging) return "battery";
  if (mainsSeen) return "battery";  // an adapter that is not connected
  return std::nullopt;
}

// The virtual machine's maker as DMI names it, when it names one.
std::optional<std::string> HypervisorVendor(const std::string& base) {
  static constexpr std::array kKnown{"qemu", "kvm", "vmware", "virtualbox", "innotek", "xen", "bochs",
                                     "parallels", "virtual machine", "cloud hypervisor", "bhyve"};
  for (const char* file : {"sys/class/dmi/id/sys_vendor", "sys/class/dmi/id/product_name"}) {
    const auto text = FirstLine(base + file);
    if (!text) continue;
    const std::string lower = Lower(*text);
    for (const char* known : kKnown) {
      if (lower.find(known) != std::string::npos) return *text;
    }
  }
  return std::nullopt;
}

// The cpuinfo flags line holds "hypervisor" inside a virtual machine; nothing when there is no
// flags line (other architectures).
std::optional<bool> HypervisorFlag(const std::string& base) {
  std::ifstream in(base + "proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("flags", 0) != 0) continue;
    std::istringstream words(line.substr(line.find(':') == std::string::npos ? line.size() : line.find(':') + 1));
    std::string word;
    while (words >> word) {
      if (word == "hypervisor") return true;
    }
    return false;
  }
  return std::nullopt;
}

}  // namespace

MachineSettings ReadMachineSettings(const std::string& root) {
  const std::string base = Base(root);
  MachineSettings settings;
  for (const fs::path& core : CoreFolders(base)) {
    if (const auto governor = FirstLine(core / "cpufreq/scaling_governor")) settings.governors.push_back(*governor);
    if (const auto preference = FirstLine(core / "cpufreq/energy_performance_preference"))
      settings.energyPreferences.push_back(*preference);
  }
  if (const auto noTurbo = Integer(base + "sys/devices/system/cpu/intel_pstate/no_turbo")) {
    settings.turbo = *noTurbo == 0;
  } else if (const auto boost = Integer(base + "sys/devices/system/cpu/cpufreq/boost")) {
    settings.turbo = *boost != 0;
  }
  settings.powerSource = PowerSource(base);
  if (const auto load = FirstLine(base + "proc/loadavg")) {
    try {
      settings.loadAverage = std::stod(*load);
    } catch (const std::exception&) {
      // not a number: unknown
    }
  }
  const auto flag = HypervisorFlag(base);
  settings.hypervisor = HypervisorVendor(base);
  if (settings.hypervisor || flag.value_or(false)) {
    settings.virtualMachine = true;
  } else if (flag) {
    settings.virtualMachine = false;
  }
  return settings;
}

ConditionSample ReadConditionSample(const std::string& root) {
  const std::string base = Base(root);
  ConditionSample sample;
  {
    std::ifstream in(base + "proc/stat");
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("cpu", 0) != 0) break;  // the cpu lines come first
      std::istringstream fields(line);
      std::string name;
      fields >> name;
      if (name != "cpu") {
        ++sample.cores;
        continue;
      }
      // user nice system idle iowait irq softirq steal (guest time is inside user already)
      std::array<unsigned long long, 8> ticks{};
      std::size_t read = 0;
      while (read < ticks.size() && fields >> ticks[read]) ++read;
      if (read < 5) continue;
      unsigned long long total = 0;
      for (std::size_t i = 0; i < read; ++i) total += ticks[i];
      sample.cpuTotalTicks = total;
      sample.cpuBusyTicks = total - ticks[3] - ticks[4];
    }
  }
  if (const auto self = FirstLine(base + "proc/self/stat")) {
    // The command name (field 2) may hold spaces and parentheses: count the fields after its last ')'.
    const auto close = self->rfind(')');
    if (close != std::string::npos) {
      std::istringstream fields(self->substr(close + 1));
      std::string field;
      unsigned long long utime = 0;
      unsigned long long stime = 0;
      int index = 3;  // the state is field 3
      bool ok = false;
      while (fields >> field) {
        if (index == 14 || index == 15) {
          try {
            (index == 14 ? utime : stime) = std::stoull(field);
          } catch (const std::exception&) {
            break;
          }
          if (index == 15) {
            ok = true;
            break;
          }
        }
        ++index;
      }
      if (ok) sample.ownTicks = utime + stime;
    }
  }
  double mhz = 0.0;
  int frequencies = 0;
  for (const fs::path& core : CoreFolders(base)) {
    for (const fs::path& counter : Entries(core / "thermal_throttle", "")) {
      const std::string name = counter.filename().string();
      if (name.size() < 6 || name.compare(name.size() - 6, 6, "_count") != 0) continue;
      if (const auto count = Integer(counter)) sample.throttleEvents = sample.throttleEvents.value_or(0) + *count;
    }
    if (const auto khz = Integer(core / "cpufreq/scaling_cur_freq"); khz && *khz > 0) {
      mhz += static_cast<double>(*khz) / 1000.0;
      ++frequencies;
    }
  }
  if (frequencies == 0) {  // no cpufreq: the kernel's own figure in cpuinfo, where it gives one
    std::ifstream in(base + "proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("cpu MHz", 0) != 0 || line.find(':') == std::string::npos) continue;
      try {
        mhz += std::stod(line.substr(line.find(':') + 1));
        ++frequencies;
      } catch (const std::exception&) {
        // not a number: not counted
      }
    }
  }
  if (frequencies > 0) sample.meanFrequencyMHz = mhz / frequencies;
  for (const fs::path& monitor : Entries(base + "sys/class/hwmon", "hwmon")) {
    for (const fs::path& input : Entries(monitor, "temp")) {
      const std::string name = input.filename().string();
      if (name.size() < 6 || name.compare(name.size() - 6, 6, "_input") != 0) continue;
      if (const auto milli = Integer(input)) {
        const double celsius = static_cast<double>(*milli) / 1000.0;
        sample.maxTemperatureC = std::max(sample.maxTemperatureC.value_or(celsius), celsius);
      }
    }
  }
  return sample;
}

std::optional<double> OtherLoad(const ConditionSample& before, const ConditionSample& after) {
  if (!before.cpuTotalTicks || !after.cpuTotalTicks || !before.cpuBusyTicks || !after.cpuBusyTicks ||
      !before.ownTicks || !after.ownTicks || after.cores <= 0)
    return std::nullopt;
  if (*after.cpuTotalTicks <= *before.cpuTotalTicks || *after.cpuBusyTicks < *before.cpuBusyTicks ||
      *after.ownTicks < *before.ownTicks)
    return std::nullopt;
  const double span = static_cast<double>(*after.cpuTotalTicks - *before.cpuTotalTicks) / after.cores;
  const double busy = static_cast<double>(*after.cpuBusyTicks - *before.cpuBusyTicks);
  const double own = static_cast<double>(*after.ownTicks - *before.ownTicks);
  return std::max(busy - own, 0.0) / span;
}

std::optional<long long> ThrottleEventsBetween(const ConditionSample& before, const ConditionSample& after) {
  if (!before.throttleEvents || !after.throttleEvents) return std::nullopt;
  return std::max(*after.throttleEvents - *before.throttleEvents, 0LL);
}

std::optional<double> MeanOf(const std::optional<double>& a, const std::optional<double>& b) {
  if (a && b) return (*a + *b) / 2.0;
  return a ? a : b;
}

}  // namespace asmpic::app
