#include "app/window/sustained_dialog.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "app/history/history_store.h"
#include "app/history/sustained_chart.h"
#include "app/results/json_report.h"
#include "app/results/machine_info.h"
#include "app/run/assets.h"
#include "app/run/benchmark_table.h"
#include "app/run/condition_watch.h"
#include "app/run/sustained_document.h"
#include "app/run/translation.h"
#include "platform/processors.h"

namespace asmpic::app {

SustainedChartWidget::SustainedChartWidget(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("sustainedChart"));
  setMinimumSize(480, 320);
}

void SustainedChartWidget::SetRun(SustainedRun run) {
  run_ = std::move(run);
  update();
}

QSize SustainedChartWidget::sizeHint() const {
  return {720, 420};
}

void SustainedChartWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawSustainedChart(painter, run_, rect(), font());
}

SustainedDialog::SustainedDialog(QWidget* parent, HistoryOptions history, PassRunner pass,
                                 SustainedHooks hooks)
    : QDialog(parent), history_(std::move(history)), pass_(std::move(pass)), hooks_(std::move(hooks)) {
  setWindowTitle(ResultsText("Sustained run"));
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(ResultsText("Minutes:"), this));
  minutes_ = new QDoubleSpinBox(this);
  minutes_->setObjectName(QStringLiteral("sustainedMinutes"));
  minutes_->setRange(0.1, 600.0);
  minutes_->setDecimals(1);
  minutes_->setValue(5.0);
  row->addWidget(minutes_);
  start_ = new QPushButton(ResultsText("Start"), this);
  start_->setObjectName(QStringLiteral("sustainedStart"));
  cancel_ = new QPushButton(ResultsText("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("sustainedCancel"));
  cancel_->setEnabled(false);
  row->addWidget(start_);
  row->addWidget(cancel_);
  row->addStretch(1);
  layout->addLayout(row);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 1000);
  progress_->setValue(0);
  layout->addWidget(progress_);
  summary_ = new QLabel(ResultsText("Passes of every engine at once, every picture checked."), this);
  summary_->setObjectName(QStringLiteral("sustainedStatus"));
  summary_->setWordWrap(true);
  layout->addWidget(summary_);
  chart_ = new SustainedChartWidget(this);
  layout->addWidget(chart_, 1);
  connect(start_, &QPushButton::clicked, this, [this] { Start(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { Cancel(); });
}

SustainedDialog::~SustainedDialog() {
  Stop();
}

void SustainedDialog::Stop() {
  cancelled_ = true;
  if (worker_.joinable()) worker_.join();
}

void SustainedDialog::reject() {
  Stop();
  QDialog::reject();
}

void SustainedDialog::Start() {
  if (running()) return;
  Stop();
  const int threads = platform::UsableProcessors();
  const KernelStore kernels;
  // The window's start pictures, as a headless run reads them: the real pass gives each engine its
  // own copies, and the stored run counts the pixels of a test call by them.
  std::string error;
  const auto pictures = LoadStartPictures({}, &error);
  if (!pictures) {
    summary_->setText(ResultsText("Cannot read a start picture: %1").arg(QString::fromStdString(error)));
    return;
  }
  const long long pixelsPerCall = SustainedPixelsPerCall(pictures->picture1, pictures->picture2, kernels);
  const PassRunner pass =
      pass_ ? pass_ : MultiCorePassRunner(pictures->picture1, pictures->picture2, threads, kernels, SteadySeconds);
  const double seconds = minutes_->value() * 60.0;
  cancelled_ = false;
  finished_ = false;
  storedId_.reset();
  start_->setEnabled(false);
  minutes_->setEnabled(false);
  cancel_->setEnabled(true);
  progress_->setValue(0);
  summary_->setText(ResultsText("Running…"));
  SustainedRun empty;
  empty.threads = threads;
  empty.askedSeconds = seconds;
  chart_->SetRun(std::move(empty));
  SustainedHooks hooks = hooks_;
  // Each finished pass goes to the dialog's thread as a copy; a dialog already gone drops it.
  hooks.passFinished = [this](const SustainedRun& run) {
    QMetaObject::invokeMethod(this, [this, run] { Show(run, false); }, Qt::QueuedConnection);
  };
  hooks.cancelled = [this] { return cancelled_.load(); };
  // The run is stored on the worker too, so that waiting for the history's lock never freezes the
  // window, and a run whose dialog is closed midway is stored as well.
  worker_ = std::thread([this, seconds, threads, pass, hooks, pixelsPerCall, kernels, history = history_] {
    const std::string startedAt = UtcNow();
    ConditionWatch watch;
    watch.Start();
    SustainedRun run;
    Stored stored;
    try {
      run = RunSustained(seconds, threads, pass, hooks);
    } catch (const std::exception& e) {
      run = SustainedRun{};
      run.threads = threads;
      run.askedSeconds = seconds;
      stored.problem = ResultsText("The run stopped: %1").arg(QString::fromStdString(e.what()));
    }
    const RunConditions conditions = watch.Finish();
    if (SustainedRunMeasured(run) && !history.noSave) {
      try {
        const auto document =
            SustainedDocument(run, pixelsPerCall, conditions, kernels, ReadMachineInfo(), startedAt);
        const auto db = OpenHistory(history.path(), HistoryAccess::kWrite);
        stored.id = db->Save(document);
        if (!stored.id) {
          stored.problem = ResultsText("This run was not stored in the history: %1")
                               .arg(QString::fromStdString(db->error()));
        } else if (!db->notice().empty()) {
          stored.problem = QString::fromStdString(db->notice()).trimmed();  // kept locally, not yet sent
        }
      } catch (const std::exception& e) {
        stored.id.reset();
        stored.problem =
            ResultsText("This run was not stored in the history: %1").arg(QString::fromStdString(e.what()));
      }
    }
    QMetaObject::invokeMethod(this, [this, run, stored] { Show(run, true, stored); }, Qt::QueuedConnection);
  });
}

void SustainedDialog::Cancel() {
  cancelled_ = true;
  cancel_->setEnabled(false);
}

void SustainedDialog::Show(SustainedRun run, bool last, const Stored& stored) {
  if (!run.passes.empty() && run.askedSeconds > 0.0) {
    progress_->setValue(static_cast<int>(std::min(1000.0, 1000.0 * run.passes.back().endSeconds / run.askedSeconds)));
  }
  if (last) {
    finished_ = true;
    if (worker_.joinable()) worker_.join();
    start_->setEnabled(true);
    minutes_->setEnabled(true);
    cancel_->setEnabled(false);
    if (run.failure) {
      summary_->setText(
          ResultsText("Pass %1: the %2 picture is wrong; this machine does not compute reliably under load")
              .arg(run.failure->pass)
              .arg(RowNameText(kBenchmarkTests.at(static_cast<std::size_t>(run.failure->test)).name)));
    } else if (cancelled_) {
      summary_->setText(ResultsText("Cancelled: the %1 passes measured are kept.").arg(run.summary.passes));
    } else {
      progress_->setValue(1000);
      summary_->setText(ResultsText("Finished: %1 passes.").arg(run.summary.passes));
    }
    storedId_ = stored.id;
    // What became of the run in the history, under what it measured; the chart stays either way.
    if (!stored.problem.isEmpty()) {
      summary_->setText(summary_->text() + QStringLiteral("\n") + stored.problem);
    } else if (stored.id) {
      summary_->setText(summary_->text() + QStringLiteral("\n") +
                        ResultsText("Stored in the history as run %1.").arg(*stored.id));
    }
  }
  chart_->SetRun(std::move(run));
}

}  // namespace asmpic::app
