#pragma once
// The window's results dialog: the last run's tests with their times and throughput, its scores
// and what produced them, the machine, and a chart that compares it with earlier runs in the
// window and the bundled references; buttons copy the result as text and save it as JSON.
#include <QDialog>
#include <QWidget>
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

#include "app/history/comparison.h"
#include "app/history/history_cli.h"
#include "app/run/benchmark_runner.h"

class QTableWidget;

namespace asmpic::app {

// Paints a comparison chart at 1:1 in the widget's font, at the size that needs.
class ChartWidget : public QWidget {
 public:
  explicit ChartWidget(Comparison comparison, QWidget* parent = nullptr);
  const Comparison& comparison() const { return comparison_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Comparison comparison_;
};

class ResultsDialog : public QDialog {
 public:
  // `result` and `document` are the last run's (nothing before the first run); `others` are the
  // columns after it in the chart (earlier runs, then the references). The sustained runs it
  // starts are stored in `history`.
  ResultsDialog(const std::optional<BenchmarkResult>& result,
                const std::optional<nlohmann::ordered_json>& document, std::vector<ResultSummary> others,
                QWidget* parent = nullptr, HistoryOptions history = {});

  // The result as text, as the copy button puts it on the clipboard.
  QString ResultText() const;
  // Writes the result document; false (and a message box) when it cannot be written.
  bool SaveJson(const QString& path);

 private:
  void Copy();
  void Save();

  std::optional<BenchmarkResult> result_;
  std::optional<nlohmann::ordered_json> document_;
  HistoryOptions history_;
  QString text_;
};

}  // namespace asmpic::app
