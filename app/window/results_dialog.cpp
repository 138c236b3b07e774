#include "app/window/results_dialog.h"
#include "app/window/sustained_dialog.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <iostream>
#include <sstream>

#include "app/run/benchmark_table.h"
#include "app/history/chart.h"
#include "app/history/fleet.h"
#include "app/history/history_store.h"
#include "app/history/result_summary.h"
#include "app/results/build_info.h"
#include "app/results/machine_name.h"
#include "app/results/text_report.h"
#include "app/run/translation.h"
#include "platform/output_files.h"

namespace asmpic::app {

namespace {

QString Text(const nlohmann::ordered_json& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end() || found->is_null()) return ResultsText("unknown");
  return found->is_string() ? QString::fromStdString(found->get<std::string>())
                            : QString::fromStdString(found->dump());
}

// The verdict line's texts: the window's own (Russian), translated like its other texts.
constexpr const char* kVerdictLine = QT_TRANSLATE_NOOP("asmpic::app::Form1", "Вердикт: %1");
constexpr const char* kVerdictNames[] = {
    QT_TRANSLATE_NOOP("asmpic::app::Form1", "можно доверять"),
    QT_TRANSLATE_NOOP("asmpic::app::Form1", "с помехами"),
    QT_TRANSLATE_NOOP("asmpic::app::Form1", "нестабилен"),
    QT_TRANSLATE_NOOP("asmpic::app::Form1", "процессор сдерживается"),
};

// "Verdict: noisy", then each reason with its advice on a line of its own.
QString VerdictText(const TrustVerdict& verdict) {
  QString text = WindowText(kVerdictLine).arg(WindowText(kVerdictNames[static_cast<int>(verdict.state)]));
  // The reasons are worded in English, as the reports and the result document give them: the
  // dialog lists them where it speaks English and points to the document where it does not, so
  // that it keeps to one language.
  const bool english = ResultsText("headless") == QStringLiteral("headless");
  if (!english && !verdict.reasons.empty()) {
    return text + QStringLiteral("\n") + ResultsText("The reasons and what to do: in the result document (Save as JSON)");
  }
  for (const VerdictReason& reason : verdict.reasons) {
    text += QStringLiteral("\n") + QString::fromStdString(reason.text + ": " + reason.advice);
  }
  return text;
}

QString MachineText(const nlohmann::ordered_json& document) {
  const auto& m = document.at("machine");
  QString memory = ResultsText("unknown");
  if (m.at("memory_bytes").is_number())
    memory = ResultsText("%1 GiB").arg(
        QString::number(m.at("memory_bytes").get<double>() / (1024.0 * 1024.0 * 1024.0), 'f', 1));
  return ResultsText("Machine: %1, %2 logical cores, %3 memory; %4, %5")
      .arg(Text(m, "cpu_model"), Text(m, "logical_cores"), memory, Text(m, "os"), Text(m, "architecture"));
}

}  // namespace

ChartWidget::ChartWidget(Comparison comparison, QWidget* parent)
    : QWidget(parent), comparison_(std::move(comparison)) {
  // Drawn at 1:1 in the dialog's own font; the dialog scrolls it where it is taller than the screen.
  const int width = std::max(ChartMinimumWidth(comparison_, font()), 560);
  setFixedSize(width, ChartSize(comparison_, font(), width).height());
}

void ChartWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  DrawChart(painter, comparison_, rect(), font());
}

ResultsDialog::ResultsDialog(const std::optional<BenchmarkResult>& result,
                             const std::optional<nlohmann::ordered_json>& document,
                             std::vector<ResultSummary> others, QWidget* parent, HistoryOptions history)
    : QDialog(parent), result_(result), document_(document), history_(std::move(history)) {
  setObjectName(QStringLiteral("ResultsDialog"));
  setWindowTitle(ResultsText("ASMpic Bench: results"));
  auto* layout = new QVBoxLayout(this);

  std::ostringstream text;
  std::vector<ResultSummary> columns;
  auto* heading = new QLabel(this);
  heading->setObjectName(QStringLiteral("resultsHeading"));
  heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
  if (result_ && document_) {
    WriteClassicLines(*result_, text);
    const std::string kernels = KernelsText(CurrentBuild());
    WriteThroughput(*result_, kernels, text);
    if (auto summary = SummarizeDocument(*document_, nullptr)) {
      summary->label = "this run";  // ResultLabelText translates it
      columns.push_back(std::move(*summary));
    }
    const BuildInfo build = CurrentBuild();
    QString headline =
        ResultsText("Score: %1 (%2)   Throughput score: %3\nMode: %4, kernels: %5, %6")
            .arg(result_->score ? QString::number(result_->score->value) : ResultsText("none"),
                 result_->score ? RowNameText(ColourName(result_->score->colour)) : QString(),
                 ThroughputDisplayText(result_->throughput.score),
                 result_->mode == "window" ? ResultsText("window") : ResultsText("headless"),
                 KernelsDisplayText(build), ThreadsText(1));
    heading->setText(headline);
  } else {
    heading->setText(ResultsText("No run yet: press the start button for a result."));
  }
  layout->addWidget(heading);
  if (result_) {
    auto* verdict = new QLabel(VerdictText(result_->trust), this);
    verdict->setObjectName(QStringLiteral("resultsVerdict"));
    verdict->setWordWrap(true);
    verdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(verdict);
    text << VerdictText(result_->trust).toStdString() << '\n';
  }
  // Where this run stands among the other machines of the history the configuration names.
  if (const std::string database = ConfiguredFleetDatabase(); document_ && !database.empty()) {
    const auto fleet = OpenHistory(database, HistoryAccess::kRead);
    const auto summary = SummarizeDocument(*document_, nullptr);
    const auto standing = summary ? ScoreStanding(*summary, DocumentMachineName(*document_), LatestTrustedRuns(*fleet))
                                  : std::nullopt;
    if (standing) {
      const QString line = ResultsText("Fleet: faster than %1 % of the %2 other machines' latest trusted runs in "
                                       "the throughput score")
                               .arg(standing->percentFaster)
                               .arg(static_cast<qulonglong>(standing->machines));
      auto* label = new QLabel(line, this);
      label->setObjectName(QStringLiteral("resultsFleet"));
      label->setWordWrap(true);
      label->setTextInteractionFlags(Qt::TextSelectableByMouse);
      layout->addWidget(label);
      text << line.toStdString() << '\n';
    }
  }
  // The table and the machine on the left, the chart on the right: the dialog stays low enough
  // for small screens.
  auto* columnsLayout = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  columnsLayout->addLayout(left);
  layout->addLayout(columnsLayout, 1);

  auto* table = new QTableWidget(this);
  table->setObjectName(QStringLiteral("resultsTable"));
  table->setColumnCount(4);
  table->setHorizontalHeaderLabels(
      {ResultsText("Test"), ResultsText("Seconds"), ResultsText("Monotonic s"), ResultsText("Mpix/s")});
  table->verticalHeader()->setVisible(false);
  table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionMode(QAbstractItemView::NoSelection);
  table->setFocusPolicy(Qt::NoFocus);
  if (result_ && !result_->runs.empty()) {
    const RunSamples& run = result_->classicPass ? *result_->classicPass : result_->runs.back();
    table->setRowCount(static_cast<int>(run.tests.size()) + 1);
    for (std::size_t i = 0; i < run.tests.size(); ++i) {
      const TestSample& s = run.tests[i];
      const int row = static_cast<int>(i);
      table->setItem(
          row, 0,
          new QTableWidgetItem(RowNameText(kBenchmarkTests.at(static_cast<std::size_t>(s.test)).name)));
      table->setItem(row, 1, new QTableWidgetItem(QString::number(s.seconds, 'g', 7)));
      table->setItem(row, 2, new QTableWidgetItem(QString::number(s.monotonicSeconds, 'f', 6)));
      const double mpix = i < result_->throughput.tests.size() ? result_->throughput.tests[i].median : 0.0;
      table->setItem(row, 3, new QTableWidgetItem(QString::number(mpix, 'f', 1)));
    }
    const int last = static_cast<int>(run.tests.size());
    table->setItem(last, 0, new QTableWidgetItem(ResultsText("total / score")));
    table->setItem(last, 1, new QTableWidgetItem(QString::number(run.totalSeconds, 'g', 7)));
    table->setItem(last, 2, new QTableWidgetItem(QString::number(run.monotonicTotal, 'f', 6)));
    table->setItem(last, 3, new QTableWidgetItem(QString::number(result_->throughput.score.median, 'f', 1)));
  }
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table->horizontalHeader()->setStretchLastSection(true);
  // Wide enough for every column, in the longer words of some languages too.
  table->horizontalHeader()->setStretchLastSection(false);
  table->resizeColumnsToContents();
  const int columnsWidth = table->horizontalHeader()->length() + 2 * table->frameWidth() + 4;
  table->horizontalHeader()->setStretchLastSection(true);
  table->setMinimumWidth(std::max(360, columnsWidth));
  table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table->setMinimumHeight(table->horizontalHeader()->sizeHint().height() +
                          9 * table->verticalHeader()->defaultSectionSize());
  left->addWidget(table);

  if (document_) {
    auto* machine = new QLabel(MachineText(*document_), this);
    machine->setObjectName(QStringLiteral("resultsMachine"));
    machine->setWordWrap(true);
    machine->setMaximumWidth(table->minimumWidth());
    left->addWidget(machine);
    text << MachineText(*document_).toStdString() << '\n';
  }

  for (ResultSummary& other : others) columns.push_back(std::move(other));
  auto* chart = new ChartWidget(Compare(std::move(columns)), this);
  chart->setObjectName(QStringLiteral("resultsChart"));
  auto* chartArea = new QScrollArea(this);
  chartArea->setObjectName(QStringLiteral("resultsChartArea"));
  chartArea->setWidget(chart);
  chartArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  chartArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  chartArea->setMinimumWidth(chart->width() + chartArea->verticalScrollBar()->sizeHint().width() +
                             2 * chartArea->frameWidth());
  chartArea->setMinimumHeight(std::min(chart->height() + 2 * chartArea->frameWidth(), 420));
  columnsLayout->addWidget(chartArea, 1);
  left->addStretch(1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setText(ResultsText("Close"));
  auto* copy = buttons->addButton(ResultsText("Copy result"), QDialogButtonBox::ActionRole);
  copy->setObjectName(QStringLiteral("copyButton"));
  auto* save = buttons->addButton(ResultsText("Save as JSON…"), QDialogButtonBox::ActionRole);
  save->setObjectName(QStringLiteral("saveButton"));
  copy->setEnabled(result_.has_value());
  save->setEnabled(document_.has_value());
  connect(copy, &QPushButton::clicked, this, [this] { Copy(); });
  connect(save, &QPushButton::clicked, this, [this] { Save(); });
  auto* sustained = buttons->addButton(ResultsText("Sustained run…"), QDialogButtonBox::ActionRole);
  sustained->setObjectName(QStringLiteral("sustainedButton"));
  connect(sustained, &QPushButton::clicked, this, [this] {
    auto* dialog = new SustainedDialog(this, history_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  text_ = QString::fromStdString(text.str());
}

QString ResultsDialog::ResultText() const {
  return text_;
}

void ResultsDialog::Copy() {
  QGuiApplication::clipboard()->setText(text_);
}

bool ResultsDialog::SaveJson(const QString& path) {
  if (!document_) return false;
  // As every output: the file is replaced whole, or kept as it was when it cannot be written.
  platform::OutputFiles outputs(std::cout);
  std::string error;
  std::ostream* out = outputs.Stage(path.toStdString(), &error);
  if (out != nullptr) *out << document_->dump(2) << '\n';
  if (out == nullptr || !outputs.Commit(&error)) {
    QMessageBox::warning(this, windowTitle(), ResultsText("Cannot write %1").arg(QString::fromStdString(error)));
    return false;
  }
  return true;
}

void ResultsDialog::Save() {
  const QString path = QFileDialog::getSaveFileName(this, ResultsText("Save the result"),
                                                    QStringLiteral("asmbench-result.json"),
                                                    ResultsText("Result documents (*.json)"));
  if (!path.isEmpty()) SaveJson(path);
}

}  // namespace asmpic::app
