// The window's run checks its pictures too: the real Form1 shows the start picture so that the
// check applies, and a correct run is valid.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>
#include <QLabel>
#include <QMessageBox>
#include <QTableWidget>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/history/history_cli.h"
#include "app/window/form1.h"
#include "app/history/history_db.h"
#include "app/history/history_store.h"
#include "app/results/validation.h"
#include "app/window/results_dialog.h"
#include "app/window/window_results.h"
#include "platform/headless/headless_controls.h"
#include "platform/headless/headless_runtime.h"
#include "tests/support/qt_modal.h"

namespace asmpic::app {
namespace {

// The real Form1 on the headless runtime, with the controls the run uses.
class WindowForm : public ::testing::Test {
 protected:
  static Form1Options Options() {
    Form1Options options;
    options.assetsDirectory = ASMPIC_ASSETS;
    return options;
  }
  platform::HeadlessRuntime runtime;
  bool quiet = (runtime.echoMessages = false);  // before the form binds its engines
  Form1 form{runtime, Options()};
  platform::HeadlessShell shell;
  Form1Controls controls{runtime,         form.Engine1(), form.Engine2(),
                         form.Picture2(), form.List1(),   form.Label1(),
                         form.Timer1(),   form.Timer2(),  shell};
  RunState state;
};
using WindowValidation = WindowForm;
using WindowResultsDialog = WindowForm;

TEST_F(WindowValidation, ARunInTheWindowComputesTheExpectedPictures) {
  PictureValidator validator;
  ASSERT_TRUE(Command1_Click(controls, state, {.observer = &validator}));
  const Validation v = validator.result();
  EXPECT_EQ(v.verdict, Verdict::Valid) << v.reason;
  EXPECT_EQ(v.tests.size(), 7u);
}

// A run in the window is recorded in the window mode, stored, summed up in Label1's tooltip, and a
// double-click on the score opens the dialog with the table, the chart and the JSON to save.
TEST_F(WindowResultsDialog, ARunIsStoredAndTheDialogShowsItsTableAndChart) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("asmbench_window_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  HistoryOptions history;
  history.dbPath = (dir / "history.sqlite").string();
  WindowResults results(form, history, ASMPIC_ASSETS);
  ASSERT_TRUE(results.Record(
      [&](RunObserver* observer) { return Command1_Click(controls, state, {.observer = observer}); }));
  ASSERT_TRUE(results.last());
  EXPECT_EQ(results.validation().verdict, Verdict::Valid);
  EXPECT_EQ(results.last()->mode, "window");
  EXPECT_EQ(std::to_string(results.last()->score->value), form.Label1().Caption());
  EXPECT_TRUE(form.Label1().toolTip().startsWith(QStringLiteral("Throughput score: ")))
      << form.Label1().toolTip().toStdString();
  const auto stored = HistoryDb(history.dbPath).List();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].mode, "window");

  // Another machine's trusted run in the history the configuration names: the dialog says where
  // this run stands.
  auto other = HistoryDb(history.dbPath).Load(stored[0].id);
  ASSERT_TRUE(other);
  (*other)["machine"]["name"] = "another-machine";
  (*other)["run_uuid"] = NewRunUuid();  // another run, not this one stored again
  (*other)["verdict"]["state"] = "trusted";
  ASSERT_TRUE(HistoryDb(history.dbPath).Save(*other));
  fs::create_directories(dir / "config/asmpic-bench");
  std::ofstream(dir / "config/asmpic-bench/asmpic-bench.conf") << "database=" << history.dbPath << '\n';
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string earlierConfig = config != nullptr ? config : "";
  ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);

  form.show();
  QTest::mouseDClick(&form.Label1(), Qt::LeftButton);
  if (earlierConfig.empty()) {
    ::unsetenv("XDG_CONFIG_HOME");
  } else {
    ::setenv("XDG_CONFIG_HOME", earlierConfig.c_str(), 1);
  }
  auto* dialog = form.findChild<ResultsDialog*>(QStringLiteral("ResultsDialog"));
  ASSERT_NE(dialog, nullptr);
  auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("resultsTable"));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rowCount(), 8);
  EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("rotate"));
  auto* chart = dialog->findChild<ChartWidget*>(QStringLiteral("resultsChart"));
  ASSERT_NE(chart, nullptr);
  // This run, then the references.
  EXPECT_EQ(chart->comparison().columns.front().label, "this run");
  EXPECT_GE(chart->comparison().columns.size(), 2u);
  EXPECT_TRUE(dialog->ResultText().startsWith(QStringLiteral("Rotating... ")));
  // The verdict line, in the window's language (Russian here, as no translation is installed).
  auto* verdict = dialog->findChild<QLabel*>(QStringLiteral("resultsVerdict"));
  ASSERT_NE(verdict, nullptr);
  EXPECT_TRUE(verdict->text().startsWith(QStringLiteral("Вердикт: "))) << verdict->text().toStdString();
  const QString state = QString::fromUtf8(TrustName(results.last()->trust.state));
  EXPECT_FALSE(verdict->text().contains(state)) << verdict->text().toStdString();
  auto* fleet = dialog->findChild<QLabel*>(QStringLiteral("resultsFleet"));
  ASSERT_NE(fleet, nullptr);
  EXPECT_TRUE(fleet->text().endsWith(QStringLiteral("of the 1 other machines' latest trusted runs in the throughput score")))
      << fleet->text().toStdString();

  // The history listing reads the verdict from the stored document.
  HistoryOptions listing = history;
  listing.list = true;
  std::ostringstream listed, errors;
  EXPECT_EQ(RunHistoryCommand(listing, ASMPIC_ASSETS, listed, errors), 0) << errors.str();
  const std::string runs = listed.str();
  EXPECT_NE(runs.find("verdict\n"), std::string::npos) << runs;
  EXPECT_NE(runs.find(state.toStdString() + "\n"), std::string::npos) << runs;

  const std::string saved = (dir / "result.json").string();
  ASSERT_TRUE(dialog->SaveJson(QString::fromStdString(saved)));
  std::ifstream in(saved);
  const auto document = nlohmann::json::parse(in);
  EXPECT_EQ(document["mode"], "window");
  EXPECT_EQ(document["classic_pass"]["samples"].size(), 7u);
  EXPECT_EQ(document["verdict"]["state"], state.toStdString());
  // A disk that fills up keeps the saved file whole, and the message says why.
  std::ofstream(saved) << "earlier";
  QString warning;
  testing::WhenShown<QMessageBox>([&](QMessageBox& box) {
    warning = box.text();
    box.accept();
  });
  {
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    rlimit limit = before;
    limit.rlim_cur = 64;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_FALSE(dialog->SaveJson(QString::fromStdString(saved)));
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previous);
  }
  EXPECT_EQ(warning.toStdString(), "Cannot write " + saved + ": File too large");
  std::ifstream again(saved);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), "earlier");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace asmpic::app
