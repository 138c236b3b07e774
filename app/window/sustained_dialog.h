#pragma once
// The results dialog's sustained run: a duration to choose, a progress bar, the chart drawing
// itself as passes finish, and a cancel button that ends the run and keeps what was measured.
// The passes run on a thread of their own, so the window stays responsive; Form1 and its run are
// not touched.
#include <QDialog>
#include <QWidget>

#include <atomic>
#include <thread>

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
  // `pass` and `hooks` (clock, sensors) are the real ones unless a test scripts them.
  explicit SustainedDialog(QWidget* parent = nullptr, PassRunner pass = {}, SustainedHooks hooks = {});
  ~SustainedDialog() override;

  void Start();
  void Cancel();
  bool running() const { return worker_.joinable() && !finished_; }
  const SustainedRun& run() const { return chart_->run(); }
  QProgressBar* progress() const { return progress_; }

 protected:
  void reject() override;

 private:
  void Show(SustainedRun run, bool last);
  void Stop();

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
};

}  // namespace asmpic::app
