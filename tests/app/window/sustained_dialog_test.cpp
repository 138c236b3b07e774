// The results dialog's sustained run on a scripted pass: the chart grows as passes finish, the
// progress bar moves, and cancel ends the run keeping every pass measured.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/window/sustained_dialog.h"

namespace asmpic::app {
namespace {

// Processes events until `done` or five seconds have passed.
template <typename Done>
bool WaitFor(Done done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

TEST(SustainedDialog, TheChartGrowsAndCancelKeepsThePassesMeasured) {
  std::atomic<double> now{0.0};
  const PassRunner pass = [&now](int) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a moment of real time per pass
    PassWork work;
    work.mpixPerSecond = now < 20.0 ? 100.0 : 90.0;
    now = now + 1.0;
    return work;
  };
  SustainedHooks hooks;
  hooks.clock = [&now] { return now.load(); };
  SustainedDialog dialog(nullptr, pass, hooks);
  dialog.show();
  dialog.Start();  // five minutes of scripted passes, a second each
  ASSERT_TRUE(dialog.running());
  ASSERT_TRUE(WaitFor([&] { return dialog.run().passes.size() >= 3; }));
  const std::size_t early = dialog.run().passes.size();
  ASSERT_TRUE(WaitFor([&] { return dialog.run().passes.size() >= early + 5; }));
  EXPECT_GT(dialog.progress()->value(), 0);
  dialog.Cancel();
  ASSERT_TRUE(WaitFor([&] { return !dialog.running(); }));
  const std::size_t kept = dialog.run().passes.size();
  EXPECT_GE(kept, early + 5);
  EXPECT_LT(kept, 300u);
  EXPECT_EQ(dialog.run().summary.passes, static_cast<int>(kept));
  const auto* status = dialog.findChild<QLabel*>(QStringLiteral("sustainedStatus"));
  ASSERT_NE(status, nullptr);
  EXPECT_TRUE(status->text().startsWith(QStringLiteral("Cancelled"))) << status->text().toStdString();
}

}  // namespace
}  // namespace asmpic::app
