#include "app/window/window_results.h"

#include <QEvent>
#include <QKeySequence>
#include <QShortcut>
#include <iostream>

#include "app/run/assets.h"
#include "app/history/comparison.h"
#include "app/history/history_db.h"
#include "app/results/build_info.h"
#include "app/results/json_report.h"
#include "app/results/machine_info.h"
#include "app/run/run_recorder.h"
#include "app/results/text_report.h"
#include "app/run/translation.h"
#include "app/window/results_dialog.h"

namespace asmpic::app {

namespace {

// Earlier runs in the window shown beside this one in the dialog's chart.
constexpr int kEarlierRuns = 2;

}  // namespace

WindowResults::WindowResults(Form1& form, HistoryOptions history, std::string assetsDirectory)
    : form_(form),
      history_(std::move(history)),
      assets_(assetsDirectory.empty() ? AssetsDirectory() : assetsDirectory) {
  form_.Label1().installEventFilter(this);
  form_.Picture2().installEventFilter(this);
  auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), &form_);
  connect(shortcut, &QShortcut::activated, this, [this] { ShowDialog(); });
}

WindowResults::~WindowResults() = default;

bool WindowResults::Record(const std::function<bool(RunObserver*)>& run) {
  PictureValidator validator;
  RunRecorder recorder(validator, SteadySeconds);
  const std::string startedAt = UtcNow();
  if (!run(&recorder)) return false;
  validation_ = validator.result();
  const clsASMpic& engine = form_.Engine1();
  std::vector<std::string> lines;
  for (int i = 0; i < form_.List1().ListCount(); ++i) lines.push_back(form_.List1().List(i));
  result_ = WindowResult(recorder.TakeSamples(), std::move(lines), validation_,
                         static_cast<long long>(engine.Width()) * engine.Height());
  const BuildInfo build = CurrentBuild();
  document_ = ResultDocument(*result_, build, ReadMachineInfo(), startedAt);
  bool failed = false;
  storedId_ = SaveToHistory(history_, *document_, std::cerr, &failed);
  form_.Label1().setToolTip(
      ResultsText("Throughput score: %1\n(%2, %3; double-click or Ctrl+R for the results)")
          .arg(ThroughputDisplayText(result_->throughput.score), ResultsText("window"),
               KernelsDisplayText(build)));
  return true;
}

ResultsDialog* WindowResults::ShowDialog() {
  std::vector<ResultSummary> others;
  if (!history_.noSave) {
    const auto history = OpenHistory(history_.path(), HistoryAccess::kRead);
    // The newest window runs before this one.
    for (const StoredRun& run : history->List(kEarlierRuns + 1, kWindowMode)) {
      if (storedId_ && run.id == *storedId_) continue;
      if (auto document = history->Load(run.id)) {
        if (auto summary = SummarizeDocument(*document, nullptr)) {
          summary->label = "run " + std::to_string(run.id);
          others.insert(others.begin(), std::move(*summary));
        }
      }
    }
    if (others.size() > kEarlierRuns) others.resize(kEarlierRuns);
  }
  for (ResultSummary& reference : LoadReferences(assets_)) others.push_back(std::move(reference));
  dialog_ = std::make_unique<ResultsDialog>(result_, document_, std::move(others), &form_, history_);
  dialog_->setWindowFlag(Qt::Window);
  dialog_->show();
  dialog_->raise();
  dialog_->activateWindow();
  return dialog_.get();
}

bool WindowResults::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    ShowDialog();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace asmpic::app
