// The results dialog's sustained run on a scripted pass: the chart grows as passes finish, the
// progress bar moves, and cancel ends the run keeping every pass measured, in the chart and in
// the history.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/history/history_store.h"
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

// Passes of a scripted second each (seven tests on one engine), slower after 20 s, on a clock of
// their own.
struct ScriptedPasses {
  std::atomic<double> now{0.0};
  PassRunner pass = [this](int) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // a moment of real time per pass
    PassWork work;
    work.mpixPerSecond = now < 20.0 ? 100.0 : 90.0;
    work.wallSeconds = 1.0;
    std::vector<TestSample> tests;
    for (int t = 0; t < 7; ++t) {
      TestSample sample;
      sample.test = t;
      sample.startSeconds = now + t / 7.0;
      sample.monotonicSeconds = 1.0 / 7.0;
      sample.seconds = static_cast<float>(sample.monotonicSeconds);
      tests.push_back(sample);
    }
    work.samples = {tests};
    now = now + 1.0;
    return work;
  };
  SustainedHooks hooks() {
    SustainedHooks h;
    h.clock = [this] { return now.load(); };
    return h;
  }
};

QString StatusOf(const SustainedDialog& dialog) {
  const auto* status = dialog.findChild<QLabel*>(QStringLiteral("sustainedStatus"));
  return status == nullptr ? QString() : status->text();
}

TEST(SustainedDialog, TheChartGrowsAndCancelKeepsThePassesMeasured) {
  QTemporaryDir folder;
  HistoryOptions history;
  history.dbPath = folder.filePath(QStringLiteral("history.sqlite")).toStdString();
  ScriptedPasses scripted;
  SustainedDialog dialog(nullptr, history, scripted.pass, scripted.hooks());
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
  const QString status = StatusOf(dialog);
  EXPECT_TRUE(status.startsWith(QStringLiteral("Cancelled"))) << status.toStdString();

  // Stored once, with the passes the dialog shows.
  ASSERT_TRUE(dialog.storedId().has_value()) << status.toStdString();
  EXPECT_TRUE(status.contains(QStringLiteral("run %1").arg(*dialog.storedId()))) << status.toStdString();
  const auto db = OpenHistory(history.dbPath, HistoryAccess::kRead);
  ASSERT_TRUE(db->ok()) << db->error();
  ASSERT_EQ(db->List().size(), 1u);
  const auto document = db->Load(*dialog.storedId());
  ASSERT_TRUE(document.has_value());
  EXPECT_EQ(document->at("sustained").at("passes"), static_cast<int>(kept));
  EXPECT_EQ(document->at("sustained").at("series").size(), kept);
}

TEST(SustainedDialog, AHistoryThatCannotBeWrittenIsSaidAndTheChartKept) {
  QTemporaryDir folder;
  HistoryOptions history;
  // A folder where a file already is cannot be made.
  QFile blocker(folder.filePath(QStringLiteral("a file")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  history.dbPath = folder.filePath(QStringLiteral("a file/history.sqlite")).toStdString();
  ScriptedPasses scripted;
  SustainedDialog dialog(nullptr, history, scripted.pass, scripted.hooks());
  dialog.Start();
  ASSERT_TRUE(WaitFor([&] { return dialog.run().passes.size() >= 2; }));
  dialog.Cancel();
  ASSERT_TRUE(WaitFor([&] { return !dialog.running(); }));
  EXPECT_FALSE(dialog.storedId().has_value());
  EXPECT_GE(dialog.run().passes.size(), 2u);
  EXPECT_TRUE(StatusOf(dialog).contains(QStringLiteral("not stored"))) << StatusOf(dialog).toStdString();
}

TEST(SustainedDialog, ARunCancelledBeforeItsFirstPassStoresNothing) {
  QTemporaryDir folder;
  HistoryOptions history;
  history.dbPath = folder.filePath(QStringLiteral("history.sqlite")).toStdString();
  std::atomic<bool> release{false};
  const PassRunner pass = [&release](int) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    PassWork work;
    work.interrupted = true;  // the pass the cancel cut short counts for nothing
    return work;
  };
  SustainedDialog dialog(nullptr, history, pass);
  dialog.Start();
  dialog.Cancel();
  release = true;
  ASSERT_TRUE(WaitFor([&] { return !dialog.running(); }));
  EXPECT_TRUE(dialog.run().passes.empty());
  EXPECT_FALSE(dialog.storedId().has_value());
  EXPECT_FALSE(QFile::exists(QString::fromStdString(history.dbPath)));
}

}  // namespace
}  // namespace asmpic::app
