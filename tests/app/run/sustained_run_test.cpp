// The sustained run on a scripted clock and scripted sensors: the slowdown's onset and the ratio
// it reports, a wrong picture that stops it with exit 3, an interruption that keeps and stores what
// was measured, the real pass's checks, and its chart.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <QFile>
#include <QImage>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/history/history_db.h"
#include "app/history/sustained_chart.h"
#include "app/run/headless_bench.h"
#include "app/run/sustained_run.h"
#include "tests/app/results_support.h"
#include "tests/support/scratch_folder.h"

namespace asmpic::app {
namespace {

namespace fs = std::filesystem;

// Seven tests on one engine that took `seconds` from `start`, as a pass's samples.
PassSamples Samples(double start, double seconds) {
  std::vector<TestSample> tests;
  for (int t = 0; t < 7; ++t) {
    TestSample s;
    s.test = t;
    s.startSeconds = start + seconds * t / 7.0;
    s.monotonicSeconds = seconds / 7.0;
    s.seconds = static_cast<float>(s.monotonicSeconds);
    tests.push_back(s);
  }
  return {tests};
}

// A machine on a scripted clock: each pass takes a second; `speed` gives its throughput from the
// moment it starts, and the sensor warms by half a degree a second.
struct ScriptedMachine {
  double now = 0.0;
  std::function<double(double)> speed;
  int wrongPass = -1;  // a pass (from 0) whose twirl picture comes out wrong
  int interruptAt = -1;  // a pass during which SIGINT arrives

  PassRunner Pass() {
    return [this](int index) {
      PassWork work;
      if (index == interruptAt) {
        std::raise(SIGINT);
        work.interrupted = true;
        return work;
      }
      work.mpixPerSecond = speed(now);
      work.samples = Samples(now, 1.0);
      work.wallSeconds = 1.0;
      if (index == wrongPass) work.wrongTest = 6;
      now += 1.0;
      return work;
    };
  }
  SensorReader Sensors() {
    return [this] { return SensorReading{now < 40.0 ? 3000.0 : 2400.0, 50.0 + now / 2.0}; };
  }
  SustainedHooks Hooks() {
    SustainedHooks hooks;
    hooks.clock = [this] { return now; };
    hooks.sensors = Sensors();
    return hooks;
  }
};

TEST(SustainedRun, FindsWhenTheMachineSlowedDownAndByHowMuch) {
  ScriptedMachine throttling;
  throttling.speed = [](double t) { return t < 40.0 ? 100.0 : 80.0; };
  const SustainedRun run = RunSustained(90.0, 2, throttling.Pass(), throttling.Hooks());
  EXPECT_EQ(run.summary.passes, 90);
  EXPECT_DOUBLE_EQ(run.summary.burstScore, 100.0);
  EXPECT_DOUBLE_EQ(run.summary.sustainedScore, 80.0);
  EXPECT_DOUBLE_EQ(run.summary.ratio, 0.8);
  ASSERT_TRUE(run.summary.onsetSeconds);
  EXPECT_DOUBLE_EQ(*run.summary.onsetSeconds, 40.0);
  ASSERT_TRUE(run.summary.maxTemperatureC);
  EXPECT_DOUBLE_EQ(*run.summary.maxTemperatureC, 95.0);
  ASSERT_TRUE(run.passes.front().meanFrequencyMHz);
  EXPECT_DOUBLE_EQ(*run.passes.front().meanFrequencyMHz, 3000.0);
  EXPECT_DOUBLE_EQ(*run.passes.back().meanFrequencyMHz, 2400.0);
  const auto json = SustainedJson(run);
  EXPECT_EQ(json["onset_seconds"], 40.0);
  EXPECT_EQ(json["series"].size(), 90u);
  EXPECT_EQ(json["ended"], "finished");

  // One slow moment (another program), in the middle or in the last pass, is not the machine
  // slowing down; nor is a machine without sensors given a temperature.
  ScriptedMachine steady;
  steady.speed = [](double t) { return (t >= 20.0 && t < 21.0) || t >= 59.0 ? 50.0 : 100.0; };
  SustainedHooks blind = steady.Hooks();
  blind.sensors = [] { return SensorReading{}; };
  const SustainedRun held = RunSustained(60.0, 2, steady.Pass(), blind);
  EXPECT_FALSE(held.summary.onsetSeconds);
  EXPECT_FALSE(held.summary.maxTemperatureC);
  EXPECT_NEAR(held.summary.ratio, 0.975, 1e-9);  // the last third's 20 passes, one of them slow
  EXPECT_NE(SummaryText(held).find("Never below 95 %"), std::string::npos);
  EXPECT_NE(SummaryText(held).find("not exposed"), std::string::npos);
}

struct Command {
  fs::path dir = asmpic::testing::TestScratchFolder("asmbench_sustained");
  HeadlessOptions options;
  std::ostringstream out;
  std::ostringstream err;

  explicit Command(ScriptedMachine& machine, double minutes) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    options.assetsDirectory = ASMPIC_ASSETS;
    options.sustainedMinutes = minutes;
    options.threads = 1;
    options.showProgress = false;
    options.history.dbPath = (dir / "history.sqlite").string();
    options.jsonPath = (dir / "run.json").string();
    options.sustainedHooks.pass = machine.Pass();
    options.sustainedHooks.sensors = machine.Sensors();
    options.sustainedHooks.clock = [&machine] { return machine.now; };
  }
  ~Command() { fs::remove_all(dir); }
  int Run() { return RunHeadlessBenchmark(options, out, err); }
  nlohmann::json Document() const {
    std::ifstream in(dir / "run.json");
    return nlohmann::json::parse(in);
  }
  std::size_t Stored() {
    HistoryDb db(options.history.dbPath);
    return db.List().size();
  }
};

TEST(SustainedCommand, AWrongPictureStopsTheRunAtOnceWithExitThree) {
  ScriptedMachine machine;
  machine.speed = [](double) { return 100.0; };
  machine.wrongPass = 431;  // the 432nd pass, which ends at 7 min 12 s
  Command command(machine, 10.0);
  command.options.sustainedHooks.sensors = [&machine] { return SensorReading{std::nullopt, 88.0}; };
  EXPECT_EQ(command.Run(), 3);
  EXPECT_NE(command.err.str().find("pass 432, 7 min 12 s, 88 °C: the twirl picture is wrong; this machine does "
                                   "not compute reliably under load"),
            std::string::npos)
      << command.err.str();
  EXPECT_DOUBLE_EQ(machine.now, 432.0);  // no pass after the wrong one
  const nlohmann::json document = command.Document();
  EXPECT_EQ(document["sustained"]["ended"], "wrong_picture");
  EXPECT_EQ(document["sustained"]["failure"]["test"], "twirl");
  EXPECT_EQ(document["sustained"]["passes"], 431);
  EXPECT_EQ(command.Stored(), 1u);

  // Without sensors the temperature is left out.
  ScriptedMachine blind;
  blind.speed = [](double) { return 100.0; };
  blind.wrongPass = 2;
  Command again(blind, 1.0);
  again.options.sustainedHooks.sensors = [] { return SensorReading{}; };
  EXPECT_EQ(again.Run(), 3);
  EXPECT_NE(again.err.str().find("pass 3, 3.0 s: the twirl picture is wrong"), std::string::npos)
      << again.err.str();
}

TEST(SustainedCommand, AnInterruptionReportsAndStoresThePassesThatFinished) {
  ScriptedMachine machine;
  machine.speed = [](double t) { return t < 3.0 ? 100.0 : 90.0; };
  machine.interruptAt = 5;
  Command command(machine, 1.0);
  EXPECT_EQ(command.Run(), 130);
  EXPECT_NE(command.err.str().find("interrupted by SIGINT"), std::string::npos) << command.err.str();
  EXPECT_NE(command.out.str().find("Sustained run: 5 passes"), std::string::npos) << command.out.str();
  const nlohmann::json document = command.Document();
  EXPECT_EQ(document["sustained"]["ended"], "interrupted");
  EXPECT_EQ(document["sustained"]["series"].size(), 5u);
  EXPECT_EQ(document["settings"]["threads"], 1);
  EXPECT_EQ(command.Stored(), 1u);
}

TEST(SustainedRun, TheRealPassChecksEveryPicture) {
  testing::Ticking clock;
  const auto& shipped = testing::Shipped();
  const auto tick = [&clock] { return clock.Next(); };
  PassWork right = MultiCorePassRunner(shipped.picture1, shipped.picture2, 1, KernelStore{}, tick)(0);
  EXPECT_EQ(right.wrongTest, -1);
  EXPECT_TRUE(right.checked);
  EXPECT_GT(right.mpixPerSecond, 0.0);
  PassWork spoilt =
      MultiCorePassRunner(shipped.picture1, shipped.picture2, 1, testing::SpoiltRippleKernels(), tick)(0);
  EXPECT_EQ(spoilt.wrongTest, 4);
}

TEST(SustainedChart, IsWrittenAsPngAndSvg) {
  ScriptedMachine machine;
  machine.speed = [](double t) { return t < 40.0 ? 100.0 : 80.0; };
  const SustainedRun run = RunSustained(60.0, 2, machine.Pass(), machine.Hooks());
  const fs::path dir = asmpic::testing::TestScratchFolder("asmbench_sustained_chart");
  fs::create_directories(dir);
  std::string error;
  ASSERT_TRUE(WriteSustainedChart(run, (dir / "c.png").string(), &error)) << error;
  ASSERT_TRUE(WriteSustainedChart(run, (dir / "c.svg").string(), &error)) << error;
  EXPECT_FALSE(WriteSustainedChart(run, (dir / "c.gif").string(), &error));
  const QImage png(QString::fromStdString((dir / "c.png").string()));
  EXPECT_EQ(png.size(), SustainedChartSize());
  QFile svg(QString::fromStdString((dir / "c.svg").string()));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(svg.readAll());
  EXPECT_TRUE(text.contains(QStringLiteral("below 95 % from 40 s"))) << text.left(400).toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("MHz")));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace asmpic::app
