// Signals in a run without a window: the first is noted; a copy of it sent at the same moment (as
// `timeout` sends one to the program and one to its process group) is the same request, while a
// later or a different signal ends the program at once.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "platform/interruption.h"

namespace asmpic::platform {
namespace {

TEST(Interruption, ACopyOfTheFirstSignalSentWithItIsOneRequest) {
  const InterruptionCatcher catcher;
  std::raise(SIGTERM);
  std::raise(SIGTERM);
  EXPECT_EQ(CaughtSignal(), SIGTERM);
}

TEST(InterruptionDeathTest, ALaterOrADifferentSignalEndsTheProgram) {
  EXPECT_EXIT(
      {
        const InterruptionCatcher catcher;
        std::raise(SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        std::raise(SIGINT);
      },
      ::testing::KilledBySignal(SIGINT), "");
  EXPECT_EXIT(
      {
        const InterruptionCatcher catcher;
        std::raise(SIGINT);
        std::raise(SIGTERM);
      },
      ::testing::KilledBySignal(SIGTERM), "");
}

}  // namespace
}  // namespace asmpic::platform
