#pragma once
// What a result needs to say about the machine it came from, read from /proc, /sys and /etc where
// they are readable; anything unreadable is left empty.
#include <cstdint>
#include <optional>
#include <string>

namespace asmpic::app {

struct MachineInfo {
  std::optional<std::string> cpuModel;
  unsigned logicalCores = 0;  // 0 when unknown
  std::optional<std::uint64_t> memoryBytes;
  std::optional<std::string> os;                 // PRETTY_NAME of os-release
  std::optional<std::string> kernel;             // system name, release and version
  std::optional<std::string> architecture;       // the machine field of uname
  std::optional<std::string> frequencyGovernor;  // of CPU 0
  std::optional<double> maxFrequencyMHz;         // of CPU 0
  std::string name;                              // see machine_name.h; never empty once read
  std::optional<std::string> hostName;           // only when the user asks for it to be kept
};

// Reads the files under `root` ("/" on a real machine, a prepared folder in tests); uname and the
// core count come from the running system.
MachineInfo ReadMachineInfo(const std::string& root = "/");

}  // namespace asmpic::app
