// The machine description read from a prepared folder in place of /.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/results/machine_info.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text;
}

TEST(MachineInfo, ReadsTheCpuMemoryOsAndGovernorAndLeavesOutWhatIsMissing) {
  const fs::path root = fs::temp_directory_path() / ("asmbench_machine_" + std::to_string(::getpid()));
  Write(root / "proc/cpuinfo",
        "processor\t: 0\nvendor_id\t: SomeVendor\nmodel name\t: Example CPU @ 2.40GHz\n\nprocessor\t: 1\n"
        "model name\t: Example CPU @ 2.40GHz\n");
  Write(root / "proc/meminfo", "MemTotal:       16318432 kB\nMemFree:         1000 kB\n");
  Write(root / "etc/os-release",
        "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
  Write(root / "sys/devices/system/cpu/cpu0/cpufreq/scaling_governor", "schedutil\n");

  const MachineInfo info = ReadMachineInfo(root.string());
  EXPECT_EQ(info.cpuModel, "Example CPU @ 2.40GHz");
  EXPECT_EQ(info.memoryBytes, 16318432ull * 1024);
  EXPECT_EQ(info.os, "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(info.frequencyGovernor, "schedutil");
  EXPECT_FALSE(info.maxFrequencyMHz);  // no cpuinfo_max_freq
  EXPECT_TRUE(info.kernel);

  fs::remove_all(root);
  const MachineInfo nothing = ReadMachineInfo(root.string());
  EXPECT_FALSE(nothing.cpuModel);
  EXPECT_FALSE(nothing.memoryBytes);
  EXPECT_FALSE(nothing.os);
}

}  // namespace
}  // namespace asmpic::app
