// The run-condition readers on prepared /proc and /sys trees, and the verdict each tree gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/run/condition_watch.h"
#include "app/run/run_verdict.h"
#include "app/run/verdict_text.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;

class PreparedTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() /
           ("asmpic-conditions-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    fs::create_directories(root);
  }
  void TearDown() override { fs::remove_all(root); }

  void Write(const std::string& path, const std::string& text) {
    const fs::path file = root / path;
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
  }

  // Two cores; `busy` and `idle` ticks of the whole machine, `own` of this process.
  void Ticks(unsigned long long busy, unsigned long long idle, unsigned long long own) {
    Write("proc/stat", "cpu  " + std::to_string(busy) + " 0 0 " + std::to_string(idle) +
                           " 0 0 0 0 0 0\ncpu0 1 0 0 1 0 0 0 0 0 0\ncpu1 1 0 0 1 0 0 0 0 0 0\nintr 1\n");
    // A command name with spaces and a parenthesis, as a process may call itself.
    Write("proc/self/stat", "4242 (asm bench) x) R 1 2 3 4 5 6 7 8 9 10 " + std::to_string(own) +
                                " 0 0 0 20 0 3 0\n");
  }

  // A quiet, well set up machine: performance governor, on mains, no throttling.
  void QuietMachine() {
    for (const char* cpu : {"cpu0", "cpu1"}) {
      Write(std::string("sys/devices/system/cpu/") + cpu + "/cpufreq/scaling_governor", "performance\n");
      Write(std::string("sys/devices/system/cpu/") + cpu + "/cpufreq/scaling_cur_freq", "3000000\n");
      Write(std::string("sys/devices/system/cpu/") + cpu + "/thermal_throttle/core_throttle_count", "3\n");
    }
    Write("sys/devices/system/cpu/intel_pstate/no_turbo", "0\n");
    Write("sys/class/power_supply/AC/type", "Mains\n");
    Write("sys/class/power_supply/AC/online", "1\n");
    Write("sys/class/hwmon/hwmon0/temp1_input", "45000\n");
    Write("proc/loadavg", "0.05 0.10 0.20 1/100 4242\n");
    Write("proc/cpuinfo", "processor\t: 0\nflags\t\t: fpu sse2 avx2\n");
    Ticks(1000, 1000, 500);
  }

  // Watches a run whose timed passes used 200 ticks of each core's time: `busy` of them busy in all,
  // `own` by this process.
  RunConditions Watch(unsigned long long busy, unsigned long long own) {
    ConditionWatch watch(root.string());
    watch.Start();
    watch.PassStarting();
    Ticks(1000 + busy, 1000 + 400 - busy, 500 + own);
    watch.PassFinished();
    return watch.Finish();
  }

  static std::string Reasons(const TrustVerdict& v) { return VerdictSummary(v); }

  fs::path root;
  MedianEstimate tight{10, 100.0, 99.5, 100.5, 0.98};
};

TEST_F(PreparedTree, AQuietMachineIsTrustedAndEveryReadingIsThere) {
  QuietMachine();
  const RunConditions c = Watch(200, 190);  // 10 ticks of 400 by others: 5 % of one core
  EXPECT_EQ(c.before.governors, (std::vector<std::string>{"performance", "performance"}));
  EXPECT_EQ(c.before.turbo, true);
  EXPECT_EQ(c.before.powerSource, "ac");
  EXPECT_EQ(c.before.virtualMachine, false);
  EXPECT_DOUBLE_EQ(c.before.loadAverage.value_or(-1), 0.05);
  EXPECT_NEAR(c.otherLoad.value_or(-1), 0.05, 1e-9);
  EXPECT_EQ(c.throttleEvents, 0);
  EXPECT_DOUBLE_EQ(c.end.meanFrequencyMHz.value_or(0), 3000.0);
  EXPECT_DOUBLE_EQ(c.end.maxTemperatureC.value_or(0), 45.0);
  const TrustVerdict v = Judge(c, {}, tight);
  EXPECT_EQ(v.state, TrustState::Trusted) << Reasons(v);
  EXPECT_TRUE(v.notes.empty());
}

TEST_F(PreparedTree, NothingExposedIsUnknownNotGuessed) {
  Ticks(1000, 1000, 500);
  const RunConditions c = Watch(200, 190);  // the two stat files alone
  fs::remove_all(root / "proc");
  const RunConditions none = ConditionWatch(root.string()).Finish();
  for (const RunConditions* r : {&none}) {
    EXPECT_TRUE(r->before.governors.empty());
    EXPECT_FALSE(r->after.turbo);
    EXPECT_FALSE(r->after.powerSource);
    EXPECT_FALSE(r->after.loadAverage);
    EXPECT_FALSE(r->after.virtualMachine);
    EXPECT_FALSE(r->otherLoad);
    EXPECT_FALSE(r->throttleEvents);
    EXPECT_FALSE(r->end.meanFrequencyMHz);
    EXPECT_FALSE(r->end.maxTemperatureC);
  }
  const std::string text = ConditionsText(none);
  EXPECT_NE(text.find("other programs unknown"), std::string::npos) << text;
  EXPECT_NE(text.find("governor unknown"), std::string::npos) << text;
  EXPECT_NE(text.find("virtual machine unknown"), std::string::npos) << text;
  EXPECT_EQ(Judge(none, {}, tight).state, TrustState::Trusted);
  EXPECT_TRUE(c.otherLoad);  // the two stat files alone give the load
}

TEST_F(PreparedTree, OtherProgramsMakeARunNoisy) {
  QuietMachine();
  const RunConditions c = Watch(300, 158);  // 142 of 200 ticks per core by others
  EXPECT_NEAR(c.otherLoad.value_or(0), 0.71, 1e-9);
  const TrustVerdict v = Judge(c, {}, tight);
  EXPECT_EQ(v.state, TrustState::Noisy);
  ASSERT_EQ(v.reasons.size(), 1u);
  EXPECT_EQ(v.reasons[0].text, "other programs used 71 % of one core during the run");
  EXPECT_EQ(v.reasons[0].advice, "close them or run again");

  // A wide interval is noisy too, whatever the load.
  const TrustVerdict wide = Judge(Watch(200, 200), {}, MedianEstimate{10, 100.0, 90.0, 108.0, 0.98});
  EXPECT_EQ(wide.state, TrustState::Noisy);
  EXPECT_NE(Reasons(wide).find("spread ± 10.0 %"), std::string::npos) << Reasons(wide);
}

TEST_F(PreparedTree, PowersaveBatteryAndHeatHoldTheProcessorBack) {
  QuietMachine();
  Write("sys/devices/system/cpu/cpu1/cpufreq/scaling_governor", "powersave\n");
  TrustVerdict v = Judge(Watch(200, 200), {}, tight);
  EXPECT_EQ(v.state, TrustState::Throttled);
  EXPECT_EQ(VerdictSummary(v),
            "throttled: governor powersave: results are lower than this machine can do "
            "(`cpupower frequency-set -g performance` as root changes it)");

  QuietMachine();
  Write("sys/class/power_supply/AC/online", "0\n");
  Write("sys/class/power_supply/BAT0/type", "Battery\n");
  Write("sys/class/power_supply/BAT0/status", "Discharging\n");
  v = Judge(Watch(200, 200), {}, tight);
  EXPECT_EQ(v.state, TrustState::Throttled);
  EXPECT_NE(VerdictSummary(v).find("ran on battery"), std::string::npos) << VerdictSummary(v);
  EXPECT_NE(VerdictSummary(v).find("plug in the power adapter"), std::string::npos);

  // The throttle counter rises during the run; it stood at 3 per core before.
  QuietMachine();
  ConditionWatch watch(root.string());
  watch.Start();
  Write("sys/devices/system/cpu/cpu0/thermal_throttle/core_throttle_count", "5\n");
  Write("sys/devices/system/cpu/cpu0/thermal_throttle/package_throttle_count", "0\n");
  const RunConditions hot = watch.Finish();
  EXPECT_EQ(hot.throttleEvents, 2);
  v = Judge(hot, {}, tight);
  EXPECT_EQ(v.state, TrustState::Throttled);
  EXPECT_EQ(v.reasons.at(0).text, "the processor throttled itself 2 times during the run because it was too hot");
}

TEST_F(PreparedTree, AVirtualMachineIsNamedButNotDoubted) {
  QuietMachine();
  Write("proc/cpuinfo", "processor\t: 0\nflags\t\t: fpu sse2 hypervisor avx2\n");
  Write("sys/class/dmi/id/sys_vendor", "QEMU\n");
  const RunConditions c = Watch(200, 200);
  EXPECT_EQ(c.before.virtualMachine, true);
  EXPECT_EQ(c.before.hypervisor, "QEMU");
  const TrustVerdict v = Judge(c, {}, tight);
  EXPECT_EQ(v.state, TrustState::Trusted);
  ASSERT_EQ(v.notes.size(), 1u);
  EXPECT_EQ(v.notes[0], "runs in a virtual machine (QEMU): the time other guests take counts as other programs' load");

  // Without the flag, a DMI vendor that names a hypervisor still tells.
  Write("proc/cpuinfo", "processor\t: 0\n");
  Write("sys/class/dmi/id/sys_vendor", "innotek GmbH\n");
  EXPECT_EQ(ReadMachineSettings(root.string()).virtualMachine, true);
}

}  // namespace
}  // namespace asmpic::app
