#pragma once
// What the window keeps of its runs, without touching Form1's layout or the run: each finished run
// is recorded (monotonic times, picture checks), stored in the history, summed up in Label1's
// tooltip, and shown in the results dialog, which a double-click on the score display or Ctrl+R
// opens.
#include <QObject>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "app/window/form1.h"
#include "app/run/form1_handlers.h"
#include "app/history/history_cli.h"
#include "app/run/benchmark_runner.h"
#include "app/results/validation.h"

namespace asmpic::app {

class ResultsDialog;

class WindowResults : public QObject {
 public:
  WindowResults(Form1& form, HistoryOptions history, std::string assetsDirectory = {});
  ~WindowResults() override;

  // Runs `run` with an observer that times and checks every test; when the run finished, keeps
  // its result, stores it and sets the tooltip. Returns what `run` returned.
  bool Record(const std::function<bool(RunObserver*)>& run);

  // The pictures' check of the last run that finished.
  const Validation& validation() const { return validation_; }
  const std::optional<BenchmarkResult>& last() const { return result_; }

  // Opens the results dialog (a new one for the latest result), shown without blocking.
  ResultsDialog* ShowDialog();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Form1& form_;
  HistoryOptions history_;
  std::string assets_;
  Validation validation_;
  std::optional<BenchmarkResult> result_;
  std::optional<nlohmann::ordered_json> document_;
  std::optional<long long> storedId_;
  std::unique_ptr<ResultsDialog> dialog_;
};

}  // namespace asmpic::app
