// The headless backend: message boxes, timers that tick when the runtime yields, the list box.
#include <gtest/gtest.h>

#include "platform/headless/headless_controls.h"
#include "platform/headless/headless_runtime.h"

namespace asmpic::platform {
namespace {

TEST(HeadlessRuntime, MessageBoxesAreLoggedAndAnsweredFromTheQueue) {
  HeadlessRuntime runtime;
  runtime.echoMessages = false;
  runtime.answers.push_back(MsgBoxResult::Yes);
  EXPECT_EQ(runtime.MsgBox("p1", MsgBoxButtons::YesNo, MsgBoxIcon::Question, "t1"), MsgBoxResult::Yes);
  EXPECT_EQ(runtime.MsgBox("p2", MsgBoxButtons::YesNo, MsgBoxIcon::Question, "t2"), MsgBoxResult::No);
  EXPECT_EQ(runtime.MsgBox("p3", MsgBoxButtons::OK, MsgBoxIcon::Critical, "t3"), MsgBoxResult::OK);
  ASSERT_EQ(runtime.messages.size(), 3u);
  EXPECT_EQ(runtime.messages[2].prompt, "p3");
  EXPECT_EQ(runtime.messages[2].title, "t3");
}

TEST(HeadlessRuntime, MessagesAreEchoedAsTitleColonMessage) {
  HeadlessRuntime runtime;
  ::testing::internal::CaptureStderr();
  runtime.MsgBox("Blit Error", MsgBoxButtons::OK, MsgBoxIcon::Critical, "clsASM");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "clsASM: Blit Error\n");
}

TEST(HeadlessTimer, TicksOnYieldOncePerIntervalAndNeverInsideItsOwnTick) {
  HeadlessRuntime runtime;
  double now = 0;
  runtime.millisecondClock = [&] { return now; };
  HeadlessTimer timer(runtime, 30, true);
  int ticks = 0;
  timer.onTick = [&] {
    ++ticks;
    now += 100;
    runtime.DoEvents();  // a tick that yields does not tick again inside itself
  };
  runtime.DoEvents();
  EXPECT_EQ(ticks, 0);
  now = 29;
  runtime.DoEvents();
  EXPECT_EQ(ticks, 0);
  now = 30;
  runtime.DoEvents();
  EXPECT_EQ(ticks, 1);
  timer.SetEnabled(false);
  now += 1000;
  runtime.DoEvents();
  EXPECT_EQ(ticks, 1);
  timer.SetEnabled(true);  // a fresh interval starts
  runtime.DoEvents();
  EXPECT_EQ(ticks, 1);
  now += 30;
  runtime.DoEvents();
  EXPECT_EQ(ticks, 2);
}

TEST(HeadlessTimer, ATickMayDestroyAnotherTimer) {
  HeadlessRuntime runtime;
  double now = 100;
  runtime.millisecondClock = [&] { return now; };
  auto second = std::make_unique<HeadlessTimer>(runtime, 10, true);
  HeadlessTimer first(runtime, 10, true);
  first.onTick = [&] { second.reset(); };
  now = 200;
  runtime.DoEvents();  // must not call the destroyed timer
  EXPECT_EQ(first.ticks, 1);
}

TEST(HeadlessListBox, ReplacesLinesByIndexAndRejectsOthers) {
  HeadlessListBox list;
  list.AddItem("a");
  list.AddItem("b");
  list.SetList(list.ListCount() - 1, "b2");
  EXPECT_EQ(list.List(1), "b2");
  EXPECT_THROW(list.SetList(2, "x"), std::out_of_range);
  list.Clear();
  EXPECT_EQ(list.ListCount(), 0);
}

}  // namespace
}  // namespace asmpic::platform
