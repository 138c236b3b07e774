#pragma once
// The results dialog's sustained run: a duration to choose, a progress bar, the chart drawing
// itself as passes finish, and a cancel button that ends the run and keeps what was measured.
// The passes run on a thread of their own, so the window stays responsive; Form1 and its run are
// not touched. What was measured (a finished, cancelled or failed run, or one whose dialog was
// closed) is stored in the history like the command line's sustained runs.
#include <QDialog>
#include <QWidget>

#include <QString>

#include <atomic>
#include <optional>
#include <thread>

#include "app/history/history_cli.h"
#include "app/run/sustained_run.h"

class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace asmpic::app {

// Paints a sustained run's chart in the widget's font.
class SustainedChartWidget : public QWidget {
 public:
  explicit SustainedChartWidget(QWidget* parent = nullptr);
  void SetRun(SustainedRun run);
  const SustainedRun& run() const { return run_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  SustainedRun run_;
};

class SustainedDialog : public QDialog {
 public:
  // Runs are stored in `history` (unless it says not to). `pass` and `hooks` (clock, sensors) are
  // the real ones unless a test scripts them.
  explicit SustainedDialog(QWidget* parent = nullptr, HistoryOptions history = {}, PassRunner pass = {},
                           SustainedHooks hooks = {});
  ~SustainedDialog() override;

  void Start();
  void Cancel();
  bool running() const { return worker_.joinable() && !finished_; }
  const SustainedRun& run() const { return chart_->run(); }
  // The history's id of the last run stored; nothing before one was (or when it was not).
  std::optional<long long> storedId() const { return storedId_; }
  QProgressBar* progress() const { return progress_; }

 protected:
  void reject() override;

 private:
  // What storing a finished run did: its id, or what to say instead (nothing for a run not stored
  // on purpose).
  struct Stored {
    std::optional<long long> id;
    QString problem;
  };
  void Show(SustainedRun run, bool last, const Stored& stored = {});
  void Stop();

  HistoryOptions history_;
  PassRunner pass_;
  SustainedHooks hooks_;
  QDoubleSpinBox* minutes_;
  QPushButton* start_;
  QPushButton* cancel_;
  QProgressBar* progress_;
  QLabel* summary_;
  SustainedChartWidget* chart_;
  std::thread worker_;
  std::atomic<bool> cancelled_{false};
  bool finished_ = true;
  std::optional<long long> storedId_;
};

}  // namespace asmpic::app
