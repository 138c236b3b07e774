// The benchmark run behind Command1, the score, and the two timers' handlers, on the headless
// backend with a scripted clock and recording kernels.
#include <gtest/gtest.h>

#include <vector>

#include "app/run/benchmark_table.h"
#include "app/run/headless_form.h"
#include "app/run/score.h"

namespace asmpic::app {
namespace {

// What the kernels were asked to do, in order: the rotation's angle, or the pixel opcode + 1000.
std::vector<int> g_calls;

void RecordRotate(KernelParams*, std::uint32_t, std::uint32_t, std::intptr_t angle) {
  g_calls.push_back(static_cast<int>(angle) - 360);
}
void RecordPixel(KernelParams* block, std::uint32_t, std::uint32_t, std::intptr_t) {
  g_calls.push_back(1000 + block->opcode);
}

KernelStore Recording() {
  KernelStore store;
  store.rotate = RecordRotate;
  store.pixel = RecordPixel;
  return store;
}

platform::Image Picture(int w, int h, std::uint32_t fill) {
  return platform::Image(w, h, fill);
}

class BenchmarkRun : public ::testing::Test {
 protected:
  BenchmarkRun() : form(Picture(300, 222, 0xFF808080u), Picture(305, 98, 0xFFC0C0C0u), Recording()) {
    g_calls.clear();
    form.runtime.echoMessages = false;
    form.runtime.clock = [this] { return NextReading(); };
    form.runtime.millisecondClock = [this] { return monotonicMs; };
  }

  // Each reading of the clock advances it, and the monotonic clock, by `step` seconds.
  float NextReading() {
    const float reading = now;
    now += step;
    monotonicMs += 1000.0 * step;
    if (now >= 86400.0f) now -= 86400.0f;
    return reading;
  }

  bool Run(const RunOptions& options = {}) {
    auto controls = form.controls();
    return Command1_Click(controls, form.state, options);
  }

  HeadlessForm1 form;
  float now = 1000.0f;
  float step = 2.5f;
  double monotonicMs = 0.0;
};

TEST_F(BenchmarkRun, MakesEveryTestsCallsInOrder) {
  Run();
  std::vector<int> expected;
  for (int i = 1; i <= 360; ++i) expected.push_back(i);
  for (int i = 360; i >= 1; --i) expected.push_back(i);
  const int counts[] = {360, 36, 360, 36, 36, 72};
  for (int opcode = 0; opcode < 6; ++opcode) expected.insert(expected.end(), counts[opcode], 1000 + opcode);
  EXPECT_EQ(g_calls, expected);
  for (const BenchmarkTest& test : kBenchmarkTests) {
    EXPECT_EQ(CallCount(test), test.rotates ? 720 : counts[test.opcode]) << test.name;
  }
}

TEST_F(BenchmarkRun, ListsSevenLinesAndShowsTheScore) {
  Run();
  const std::vector<std::string> expected = {"Rotating... 2.5", "Smoothing... 2.5", "Contour... 2.5",
                                             "Emboss... 2.5",   "Ripple... 2.5",    "Relief... 2.5",
                                             "Twirl... 2.5"};
  EXPECT_EQ(form.List1.items(), expected);
  // T = 17.5 s: P = 1750, S = 4125, green.
  EXPECT_EQ(form.Label1.Caption(), "4125");
  EXPECT_EQ(form.Label1.ForeColor(), kGreen);
  EXPECT_TRUE(form.Picture2.Visible());
  EXPECT_TRUE(form.Timer1.Enabled());
  EXPECT_FALSE(form.Timer2.Enabled());
}

TEST_F(BenchmarkRun, YieldsBeforeEveryCallAndResetsOnceAfterEachTest) {
  struct Counter : RunObserver {
    HeadlessForm1& form;
    explicit Counter(HeadlessForm1& f) : form(f) {}
    void TestStarting(int index) override {
      if (index == 0) refreshesAtStart = form.Picture1.refreshes;
    }
    int refreshesAtStart = -1;
  } counter(form);
  const int yields = form.runtime.yields;
  Run({.observer = &counter});
  EXPECT_EQ(form.runtime.yields - yields, 1620);
  // Every effect call draws once, and so does each reset: 1620 calls and 7 resets, none before.
  EXPECT_EQ(form.Picture1.refreshes - counter.refreshesAtStart, 1620 + 7);
}

TEST_F(BenchmarkRun, ARunPastMidnightCountsTheDayThatTheClockLost) {
  now = 86398.0f;  // the rotation test starts 2 s before midnight and ends 2 s after it
  step = 4.0f;
  double monotonic = 0.0;  // in step with the time of day, read just after it
  form.runtime.clock = [&] {
    monotonic += 4000.0;
    return NextReading();
  };
  form.runtime.millisecondClock = [&] { return monotonic; };
  Run();
  EXPECT_EQ(form.List1.List(0), "Rotating... 4");
  EXPECT_EQ(form.List1.List(1), "Smoothing... 4");
  EXPECT_EQ(form.Label1.Caption(), std::to_string(ComputeScore(28.0f).value));
}

TEST_F(BenchmarkRun, APressDuringARunRunsAWholeNestedRunThenTheOuterOneGoesOn) {
  bool pressed = false;
  form.runtime.onYield = [&] {
    if (pressed) return;
    pressed = true;
    Run();
    EXPECT_EQ(form.List1.ListCount(), 7);
    EXPECT_TRUE(form.Picture2.Visible());
  };
  Run();
  EXPECT_EQ(g_calls.size(), 2u * 1620);
  // The outer run replaced the nested run's last line with its own first test, then added six.
  // Its rotation test kept its own start time, so it also counts the nested run's 14 readings.
  EXPECT_EQ(form.List1.ListCount(), 13);
  EXPECT_EQ(form.List1.List(6), "Rotating... 37.5");
  EXPECT_TRUE(form.Picture2.Visible());
}

TEST_F(BenchmarkRun, ClosingTheWindowStopsTheRunAtItsNextYield) {
  form.runtime.onYield = [&] {
    if (g_calls.size() == 100) form.state.closing = true;
  };
  EXPECT_FALSE(Run());
  EXPECT_EQ(g_calls.size(), 100u);
  EXPECT_FALSE(form.Picture2.Visible());
  EXPECT_EQ(form.state.depth, 0);
}

TEST_F(BenchmarkRun, TheEndOfARunInTheWindowStartsTheQuestionTimer) {
  Run({.startTimer2 = true});
  EXPECT_TRUE(form.Timer2.Enabled());
}

TEST(Score, FollowsTheGreenAndRedFormulasWithHalvesToEven) {
  struct Case {
    float seconds;
    int value;
    platform::Colour colour;
  } cases[] = {
      {99.98f, 1, kGreen},    // P = 9998
      {99.97f, 2, kGreen},    // P = 9997: 1.5 rounds to 2
      {99.99f, 45000, kRed},  // P = 9999: 0.5 rounds to 0, red (100000 - 9999) / 2 = 45000.5 -> 45000
      {20.0f, 4000, kGreen},  // P = 2000
      {100.0f, 45000, kRed},  // P = 10000
      {1000.01f, 0, kRed},    // P = 100001: -0.5 rounds to 0
      {1000.02f, -1, kRed},   // P = 100002
      {5000.0f, -200000, kRed}, {0.0f, 5000, kGreen},
  };
  for (const Case& c : cases) {
    const Score s = ComputeScore(c.seconds);
    EXPECT_EQ(s.value, c.value) << c.seconds;
    EXPECT_EQ(s.colour, c.colour) << c.seconds;
  }
}

TEST(Score, AnAbsurdTotalStillGivesAScore) {
  EXPECT_EQ(ComputeScore(1e30f).colour, kRed);
  EXPECT_EQ(ComputeScore(std::numeric_limits<float>::quiet_NaN()).colour, kRed);
}

TEST(FormatSeconds, SevenSignificantDigitsWithoutTrailingZeros) {
  EXPECT_EQ(FormatSeconds(12.5f, "."), "12.5");
  EXPECT_EQ(FormatSeconds(12.5f, ","), "12,5");
  EXPECT_EQ(FormatSeconds(0.25f, "."), "0.25");
  EXPECT_EQ(FormatSeconds(0.1f, "."), "0.1");
  EXPECT_EQ(FormatSeconds(100.0f, "."), "100");
  EXPECT_EQ(FormatSeconds(3.0f, "."), "3");
  EXPECT_EQ(FormatSeconds(1.0f / 3.0f, "."), "0.3333333");
  EXPECT_EQ(FormatSeconds(123.456789f, "."), "123.4568");
  EXPECT_EQ(FormatSeconds(1234567.8f, "."), "1234568");
  EXPECT_EQ(FormatSeconds(98765432.0f, "."), "98765430");
  EXPECT_EQ(FormatSeconds(0.00001f, "."), "0.00001");
  EXPECT_EQ(FormatSeconds(-2.5f, "."), "-2.5");
  EXPECT_EQ(FormatSeconds(0.0f, "."), "0");
  EXPECT_EQ(FormatSeconds(9.9999999f, "."), "10");
}

TEST(ElapsedSeconds, OnlyAClockThatPassedMidnightGainsADay) {
  EXPECT_FLOAT_EQ(ElapsedSeconds(100.0f, 102.5f, 2.5), 2.5f);
  EXPECT_FLOAT_EQ(ElapsedSeconds(86399.5f, 0.5f, 1.0), 1.0f);
  EXPECT_FLOAT_EQ(ElapsedSeconds(86399.5f, 0.5f, 1.3), 1.0f) << "the clocks' readings need not agree exactly";
  // The time of day set back by an hour, or by a second, during a 2.5 s test: the monotonic time.
  EXPECT_FLOAT_EQ(ElapsedSeconds(50000.0f, 46402.5f, 2.5), 2.5f);
  EXPECT_FLOAT_EQ(ElapsedSeconds(50000.0f, 49999.5f, 0.5), 0.5f);
  EXPECT_FLOAT_EQ(ElapsedSeconds(86399.5f, 86000.0f, 0.5), 0.5f) << "set back just before midnight";
  // Set forward by an hour, or back by less than the test took: still the monotonic time.
  EXPECT_FLOAT_EQ(ElapsedSeconds(50000.0f, 53602.5f, 2.5), 2.5f);
  EXPECT_FLOAT_EQ(ElapsedSeconds(50000.0f, 50001.0f, 2.5), 2.5f);
  // Readings that differ by no more than the time of day's resolution: the time of day.
  EXPECT_FLOAT_EQ(ElapsedSeconds(86000.0f, 86002.5f, 2.5 + 1.0 / 128), 2.5f);
  EXPECT_FLOAT_EQ(ElapsedSeconds(100.0f, 102.5f, 2.501), 2.5f) << "a clock of whole milliseconds";
}

// The time of day jumps back an hour in the middle of the rotation test; the monotonic clock goes
// on at 2.5 s a reading.
TEST_F(BenchmarkRun, AClockSetBackListsTheMonotonicTime) {
  now = 50000.0f;
  int readings = 0;
  form.runtime.clock = [&] {
    if (++readings != 2) return NextReading();
    monotonicMs += 2500.0;
    return now - 3600.0f;
  };
  Run();
  ASSERT_EQ(form.List1.items().size(), 7u);
  EXPECT_EQ(form.List1.List(0), "Rotating... 2.5");
  EXPECT_EQ(form.List1.List(1), "Smoothing... 2.5");
  EXPECT_EQ(form.Label1.ForeColor(), kGreen);
}

// The time of day jumps forward an hour, then back by a second, during the first two tests.
TEST_F(BenchmarkRun, AClockSetForwardOrSlightlyBackListsTheMonotonicTime) {
  int readings = 0;
  form.runtime.clock = [&] {
    const float reading = NextReading();
    ++readings;
    return reading + (readings >= 2 ? 3600.0f : 0.0f) - (readings >= 4 ? 1.0f : 0.0f);
  };
  Run();
  EXPECT_EQ(form.List1.List(0), "Rotating... 2.5");
  EXPECT_EQ(form.List1.List(1), "Smoothing... 2.5");
  EXPECT_EQ(form.List1.List(2), "Contour... 2.5");
}

class Timers : public BenchmarkRun {};

TEST_F(Timers, AnimationDoesNothingWhilePicture2IsHidden) {
  const auto before = std::vector<std::uint8_t>(form.Engine2.plane(2).begin(), form.Engine2.plane(2).end());
  auto controls = form.controls();
  Timer1_Timer(controls);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), form.Engine2.plane(2).begin()));
  EXPECT_EQ(form.Picture2.refreshes, 1);  // only the binding drew
}

TEST_F(Timers, QuestionAnsweredNoOpensNothingAndStopsBothTimers) {
  Run({.startTimer2 = true});
  form.runtime.answers.push_back(platform::MsgBoxResult::No);
  auto controls = form.controls();
  Timer2_Timer(controls);
  ASSERT_EQ(form.runtime.messages.size(), 1u);
  EXPECT_EQ(form.runtime.messages[0].prompt, "Хотите послать результаты автору программы?");
  EXPECT_EQ(form.runtime.messages[0].title, "ТЕСТ ЗАВЕРШЕН УСПЕШНО");
  EXPECT_EQ(form.runtime.messages[0].buttons, platform::MsgBoxButtons::YesNo);
  EXPECT_EQ(form.runtime.messages[0].icon, platform::MsgBoxIcon::Question);
  EXPECT_TRUE(form.shell.opened.empty());
  EXPECT_FALSE(form.Timer1.Enabled());
  EXPECT_FALSE(form.Timer2.Enabled());
}

TEST_F(Timers, QuestionAnsweredYesMailsTheScoreWithItsColourSuffix) {
  struct Case {
    const char* text;
    platform::Colour colour;
    const char* link;
  } cases[] = {
      {"4000", kGreen, "mailto:?subject=My%20score%20is%204000A"},
      {"45000", kRed, "mailto:?subject=My%20score%20is%2045000B"},
      {"-200000", kRed, "mailto:?subject=My%20score%20is%20-200000B"},
      {"1212", 0x123456, nullptr},  // neither green nor red: no link
  };
  for (const Case& c : cases) {
    form.shell.opened.clear();
    form.Label1.SetCaption(c.text);
    form.Label1.SetForeColor(c.colour);
    form.runtime.answers.push_back(platform::MsgBoxResult::Yes);
    auto controls = form.controls();
    Timer2_Timer(controls);
    if (c.link == nullptr) {
      EXPECT_TRUE(form.shell.opened.empty());
    } else {
      EXPECT_EQ(form.shell.opened, std::vector<std::string>{c.link});
    }
  }
}

TEST_F(Timers, AMailLinkNoProgramCanOpenShowsItsSubjectInstead) {
  form.Label1.SetCaption("-200000");
  form.Label1.SetForeColor(kRed);
  form.runtime.answers.push_back(platform::MsgBoxResult::Yes);
  auto controls = form.controls();
  form.shell.canOpen = false;
  Timer2_Timer(controls);
  EXPECT_EQ(form.shell.opened, std::vector<std::string>{"mailto:?subject=My%20score%20is%20-200000B"});
  ASSERT_EQ(form.runtime.messages.size(), 2u);
  const auto& shown = form.runtime.messages[1];
  EXPECT_EQ(shown.title, "Письмо не отправлено");
  EXPECT_NE(shown.prompt.find("\n\nMy score is -200000B"), std::string::npos) << shown.prompt;
  EXPECT_EQ(shown.buttons, platform::MsgBoxButtons::OK);
  EXPECT_FALSE(form.Timer1.Enabled());

  // Where the link opens, the question stays the only message.
  form.runtime.messages.clear();
  form.shell.canOpen = true;
  form.runtime.answers.push_back(platform::MsgBoxResult::Yes);
  Timer2_Timer(controls);
  EXPECT_EQ(form.runtime.messages.size(), 1u);
}

// A run started soon after the previous one must not be interrupted by that run's question: its
// timer would otherwise fire during the new run's yields, with the test's clock running.
TEST_F(Timers, StartingARunCancelsThePendingQuestion) {
  double milliseconds = 0.0;
  form.runtime.millisecondClock = [&] { return milliseconds += 50.0; };
  Run({.startTimer2 = true});
  ASSERT_TRUE(form.Timer2.Enabled());
  form.runtime.messages.clear();
  Run({.startTimer2 = true});
  EXPECT_TRUE(form.runtime.messages.empty()) << "asked: " << form.runtime.messages.front().prompt;
  EXPECT_TRUE(form.Timer2.Enabled()) << "the question follows the run that just ended";
}

TEST_F(Timers, TheQuestionIsNotAskedAgainWhileItIsOpen) {
  auto controls = form.controls();
  form.runtime.duringMessage = [&] { Timer2_Timer(controls); };  // the timer ticks while the box is open
  Timer2_Timer(controls);
  EXPECT_EQ(form.runtime.messages.size(), 1u);
}

}  // namespace
}  // namespace asmpic::app
