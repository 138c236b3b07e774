#pragma once
// What the machine was like while a run measured it, read from what Linux exposes to any user
// (/proc and /sys) and never changed. Every reader takes the root of the tree it reads, "/" on a
// real machine and a prepared folder in the tests. A value the tree does not expose stays empty
// ("unknown"); nothing is guessed.
#include <optional>
#include <string>
#include <vector>

namespace asmpic::app {

// The settings that hold for a whole run: read once before the timed passes and once after.
struct MachineSettings {
  std::vector<std::string> governors;           // per core that exposes one, cpu0 first
  std::vector<std::string> energyPreferences;   // energy_performance_preference, likewise
  std::optional<bool> turbo;                    // boost or turbo allowed
  std::optional<std::string> powerSource;       // "ac" or "battery"
  std::optional<double> loadAverage;            // /proc/loadavg, last minute
  std::optional<bool> virtualMachine;           // cpuinfo's hypervisor flag or a known DMI vendor
  std::optional<std::string> hypervisor;        // the DMI vendor or product that names it
};

// What changes during a run, cheap enough to read between two passes.
struct ConditionSample {
  std::optional<unsigned long long> cpuTotalTicks;  // /proc/stat, every core and state
  std::optional<unsigned long long> cpuBusyTicks;   // all but idle and I/O wait
  std::optional<unsigned long long> ownTicks;       // this process's user + system (/proc/self/stat)
  int cores = 0;                                    // cpuN lines of /proc/stat
  std::optional<long long> throttleEvents;          // summed thermal_throttle *_count
  std::optional<double> meanFrequencyMHz;           // scaling_cur_freq over the cores that expose it
  std::optional<double> maxTemperatureC;            // the hottest hwmon temp*_input
};

MachineSettings ReadMachineSettings(const std::string& root = "/");
ConditionSample ReadConditionSample(const std::string& root = "/");

// Cores' worth of processor time that other programs used between two samples (0.71: 71 % of one
// core): busy time of the whole machine minus this process's own, over the span's length.
std::optional<double> OtherLoad(const ConditionSample& before, const ConditionSample& after);

// Throttle events that happened between two samples.
std::optional<long long> ThrottleEventsBetween(const ConditionSample& before, const ConditionSample& after);

// The mean of two optional readings, or the one there is.
std::optional<double> MeanOf(const std::optional<double>& a, const std::optional<double>& b);

}  // namespace asmpic::app
