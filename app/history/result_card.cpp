#include "app/history/result_card.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>

#include "app/history/chart.h"
#include "app/history/comparison.h"
#include "app/history/drawing.h"
#include "app/history/history_db.h"

namespace asmpic::app {

namespace {

using json = nlohmann::ordered_json;
namespace fs = std::filesystem;

constexpr int kWidth = 900;
constexpr int kMargin = 20;
constexpr int kHeader = 64;
constexpr QRgb kInk = 0x222222;
constexpr QRgb kMuted = 0x666666;
constexpr QRgb kPanel = 0xf3f5f9;

// The member at `path` of the document, or nothing where any step is missing or not an object.
const json* Member(const json& document, std::initializer_list<const char*> path) {
  const json* at = &document;
  for (const char* key : path) {
    if (!at->is_object()) return nullptr;
    const auto found = at->find(key);
    if (found == at->end()) return nullptr;
    at = &*found;
  }
  return at;
}

QString Text(const json& document, std::initializer_list<const char*> path) {
  const json* value = Member(document, path);
  return value != nullptr && value->is_string() ? QString::fromStdString(value->get<std::string>()) : QString();
}

// A number, or the median or value of an object holding one.
std::optional<double> Number(const json* value) {
  if (value == nullptr) return std::nullopt;
  if (value->is_number()) {
    const double number = value->get<double>();
    return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
  }
  if (value->is_object()) {
    for (const char* key : {"median", "value", "score"}) {
      const auto found = value->find(key);
      if (found != value->end() && found->is_number()) return Number(&*found);
    }
  }
  return std::nullopt;
}

// The first of `keys` the object has as a number.
std::optional<double> FirstNumber(const json& object, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    if (const auto number = Number(Member(object, {key}))) return number;
  }
  return std::nullopt;
}

QString Fixed(double value, int digits) {
  return QString::number(value, 'f', digits);
}

QString Memory(const json& document) {
  const auto bytes = Number(Member(document, {"machine", "memory_bytes"}));
  if (!bytes || *bytes <= 0.0) return QStringLiteral("unknown");
  return QStringLiteral("%1 GiB").arg(Fixed(*bytes / (1024.0 * 1024.0 * 1024.0), 1));
}

QString System(const json& document) {
  QString os = Text(document, {"machine", "os"});
  const QString architecture = Text(document, {"machine", "architecture"});
  if (os.isEmpty()) os = QStringLiteral("unknown");
  return architecture.isEmpty() ? os : os + QStringLiteral(", ") + architecture;
}

QString Kernels(const ResultSummary& run) {
  QString text = run.kernelChoice.empty() ? QStringLiteral("unknown") : QString::fromStdString(run.kernelChoice);
  if (!run.kernelTarget.empty() && run.kernelTarget != run.kernelChoice)
    text += QStringLiteral(" (%1)").arg(QString::fromStdString(run.kernelTarget));
  return text;
}

QString Interval(const MedianEstimate& e) {
  if (!e.low || !e.high) return QStringLiteral("%1 run(s), no interval").arg(e.count);
  return QStringLiteral("%1 – %2, %3 % interval, %4 runs")
      .arg(Fixed(*e.low, 1), Fixed(*e.high, 1), Fixed(100.0 * e.confidence, 0))
      .arg(e.count);
}

struct VerdictLook {
  QString text;
  QColor colour;
};

VerdictLook VerdictOf(const json& document) {
  const QString pictures = Text(document, {"validation", "state"});
  const QString trust = Text(document, {"verdict", "state"});
  if (pictures == QLatin1String("invalid")) return {QStringLiteral("INVALID: a picture was computed wrong"), QColor(0xc0392b)};
  QString text = trust.isEmpty() ? QStringLiteral("no verdict") : trust;
  text += pictures == QLatin1String("valid") ? QStringLiteral(" · every picture right")
                                             : QStringLiteral(" · pictures not checked");
  const QColor colour = trust == QLatin1String("trusted") ? QColor(0x109618)
                        : trust.isEmpty()                 ? QColor(kMuted)
                                                          : QColor(0xe67e22);
  return {text, colour};
}

// The sustained run's summary line, from whatever of it the document holds.
QString SustainedText(const json& document) {
  const json* sustained = Member(document, {"sustained"});
  if (sustained == nullptr || !sustained->is_object()) return {};
  QStringList parts;
  const auto burst = FirstNumber(*sustained, {"burst_score"});
  const auto held = FirstNumber(*sustained, {"sustained_score"});
  if (burst) parts << QStringLiteral("burst %1").arg(Fixed(*burst, 1));
  if (held) parts << QStringLiteral("sustained %1").arg(Fixed(*held, 1));
  std::optional<double> ratio = FirstNumber(*sustained, {"ratio"});
  if (!ratio && burst && held && *burst > 0.0) ratio = *held / *burst;
  if (ratio) parts << QStringLiteral("%1 % kept").arg(Fixed(100.0 * *ratio, 0));
  const json* onset = Member(*sustained, {"onset_seconds"});
  if (const auto seconds = Number(onset)) {
    parts << QStringLiteral("below 95 % after %1 s").arg(Fixed(*seconds, 0));
  } else if (onset != nullptr && onset->is_null()) {
    parts << QStringLiteral("never below 95 %");
  }
  if (const auto hottest = FirstNumber(*sustained, {"max_temperature_c"})) {
    parts << QStringLiteral("hottest %1 °C").arg(Fixed(*hottest, 0));
  }
  const json* passes = Member(*sustained, {"passes"});
  if (passes != nullptr && passes->is_number_integer()) {
    const long long count = passes->get<long long>();
    parts << QStringLiteral("%1 passes").arg(count);
  }
  return parts.isEmpty() ? QString() : QStringLiteral("Sustained run: ") + parts.join(QStringLiteral(" · "));
}

// The thread scaling's summary line: speed-up and efficiency at each thread count.
QString ScalingText(const json& document) {
  const json* points = Member(document, {"scaling", "points"});
  if (points == nullptr || !points->is_array() || points->empty()) return {};
  QStringList parts;
  for (const json& point : *points) {
    const auto threads = Number(Member(point, {"threads"}));
    const auto speedup = Number(Member(point, {"speedup"}));
    const auto efficiency = Number(Member(point, {"efficiency"}));
    if (!threads || !speedup) continue;
    QString part = QStringLiteral("%1 %2 %3×")
                       .arg(Fixed(*threads, 0), *threads == 1 ? QStringLiteral("thread") : QStringLiteral("threads"),
                            Fixed(*speedup, 2));
    if (efficiency) part += QStringLiteral(" (%1 %)").arg(Fixed(100.0 * *efficiency, 0));
    parts << part;
  }
  return parts.isEmpty() ? QString() : QStringLiteral("Thread scaling: ") + parts.join(QStringLiteral(" · "));
}

// Where everything goes.
struct Layout {
  QFont font, bold, big, title;
  int line = 0;
  int machineTop = 0;
  int scoresTop = 0;
  int scoresHeight = 0;
  int verdictTop = 0;
  int testsTop = 0;
  int testRow = 0;
  int extrasTop = 0;
  int footerTop = 0;
  int height = 0;
};

Layout Arrange(const Comparison& comparison, const json& document) {
  Layout l;
  l.font = PictureFont();
  l.bold = l.font;
  l.bold.setBold(true);
  l.big = l.font;
  l.big.setPixelSize(30);
  l.big.setBold(true);
  l.title = l.font;
  l.title.setPixelSize(22);
  l.title.setBold(true);
  l.line = QFontMetrics(l.font).height();
  l.machineTop = kHeader + kMargin;
  l.scoresTop = l.machineTop + 4 * (l.line + 4) + kMargin;
  l.scoresHeight = QFontMetrics(l.big).height() + 3 * l.line + 16;
  l.verdictTop = l.scoresTop + l.scoresHeight + kMargin;
  l.testsTop = l.verdictTop + l.line + 12 + kMargin;
  const int series = static_cast<int>(std::max<std::size_t>(comparison.columns.size(), 1));
  l.testRow = l.line + 4 + (series - 1) * 6 + 10;
  const int legend = l.line + 8;
  const int rows = static_cast<int>(comparison.rows.size());
  // A run without single-core tests (a sustained run) has no test section at all.
  l.extrasTop = rows == 0 ? l.testsTop : l.testsTop + l.line + 6 + legend + rows * l.testRow + kMargin / 2;
  int extras = 0;
  if (!SustainedText(document).isEmpty()) extras += l.line + 6;
  if (!ScalingText(document).isEmpty()) extras += l.line + 6;
  l.footerTop = l.extrasTop + extras + (extras > 0 ? kMargin / 2 : 0);
  l.height = l.footerTop + l.line + kMargin;
  return l;
}

// This run and the references, test by test: the rows of the seven tests only.
Comparison CardComparison(const ResultSummary& run, const std::vector<ResultSummary>& references) {
  std::vector<ResultSummary> columns{run};
  columns.front().label = "this run";
  for (const ResultSummary& reference : references) columns.push_back(reference);
  Comparison comparison = Compare(std::move(columns));
  std::erase_if(comparison.rows, [](const ComparisonRow& row) {
    return row.name == "score" || row.name == "multi-core" || row.cells.empty() || !row.cells[0] ||
           row.cells[0]->count == 0;
  });
  return comparison;
}

void ScoreBox(QPainter& painter, const Layout& l, const QRect& box, const QString& caption,
              const std::optional<MedianEstimate>& score) {
  painter.fillRect(box, QColor(kPanel));
  painter.setPen(QColor(kMuted));
  painter.setFont(l.bold);
  painter.drawText(box.adjusted(12, 8, -12, 0), Qt::AlignLeft | Qt::AlignTop, caption);
  const int bigTop = box.top() + 8 + l.line + 4;
  const int bigHeight = QFontMetrics(l.big).height();
  if (!score || score->count == 0) {
    painter.setFont(l.font);
    painter.drawText(QRect(box.left() + 12, bigTop, box.width() - 24, bigHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("not measured"));
    return;
  }
  painter.setPen(QColor(kChartBlue));
  painter.setFont(l.big);
  const QString value = Fixed(score->median, 1);
  painter.drawText(QRect(box.left() + 12, bigTop, box.width() - 24, bigHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   value);
  const int valueWidth = QFontMetrics(l.big).horizontalAdvance(value);
  painter.setFont(l.bold);
  painter.drawText(QRect(box.left() + 12 + valueWidth + 6, bigTop, 120, bigHeight),
                   Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Mpix/s"));
  painter.setPen(QColor(kInk));
  painter.setFont(l.font);
  painter.drawText(QRect(box.left() + 12, bigTop + bigHeight + 4, box.width() - 24, l.line),
                   Qt::AlignLeft | Qt::AlignVCenter, Interval(*score));
}

// The seven tests under the verdict: a legend of the columns, then a row a test with this run's bar
// and interval over each reference's thinner bar.
void DrawTests(QPainter& painter, const Layout& l, const Comparison& comparison, int width) {
  painter.setPen(QColor(kInk));
  painter.setFont(l.bold);
  painter.drawText(QRect(kMargin, l.testsTop, width - 2 * kMargin, l.line), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("The seven tests, single core (Mpix/s), against the references"));
  const std::vector<QColor> colours = ColumnColours(comparison);
  painter.setFont(l.font);
  const QFontMetrics metrics(l.font);
  int x = kMargin;
  const int legendTop = l.testsTop + l.line + 6;
  for (std::size_t i = 0; i < comparison.columns.size(); ++i) {
    const ResultSummary& column = comparison.columns[i];
    const QString name = i == 0 ? QStringLiteral("this run")
                                : QString::fromStdString(column.description.empty() ? column.label : column.description) +
                                      (column.kernelTarget.empty()
                                           ? QString()
                                           : QStringLiteral(" (%1)").arg(QString::fromStdString(column.kernelTarget)));
    painter.fillRect(QRect(x, legendTop + l.line / 4, l.line / 2 + 2, l.line / 2 + 2), colours[i]);
    x += l.line / 2 + 8;
    painter.setPen(QColor(kInk));
    painter.drawText(QRect(x, legendTop, metrics.horizontalAdvance(name) + 4, l.line), Qt::AlignLeft | Qt::AlignVCenter,
                     name);
    x += metrics.horizontalAdvance(name) + 20;
  }
  int labelWidth = 0;
  for (const ComparisonRow& row : comparison.rows)
    labelWidth = std::max(labelWidth, metrics.horizontalAdvance(QString::fromStdString(row.name)));
  const int left = kMargin + labelWidth + 12;
  const int textWidth = metrics.horizontalAdvance(QStringLiteral("99999.9 Mpix/s")) + 12;
  const int plotWidth = width - left - kMargin - textWidth;
  double largest = 0.0;
  for (const ComparisonRow& row : comparison.rows) {
    for (const auto& cell : row.cells) {
      if (cell && cell->count > 0) largest = std::max(largest, cell->high.value_or(cell->median));
    }
  }
  if (!(largest > 0.0)) largest = 1.0;
  const auto bar = [&](double mpix) { return static_cast<int>(plotWidth * mpix / largest + 0.5); };
  int y = legendTop + l.line + 8;
  for (const ComparisonRow& row : comparison.rows) {
    painter.setPen(QColor(kInk));
    painter.drawText(QRect(kMargin, y, labelWidth, l.line + 4), Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromStdString(row.name));
    const MedianEstimate& own = *row.cells[0];
    painter.fillRect(QRect(left, y + 1, std::max(bar(own.median), 1), l.line + 2), colours[0]);
    int textLeft = left + bar(own.median);
    if (own.low && own.high) {
      painter.setPen(QPen(QColor(kInk), 1));
      const int mid = y + 2 + l.line / 2;
      painter.drawLine(left + bar(*own.low), mid, left + bar(*own.high), mid);
      painter.drawLine(left + bar(*own.low), mid - 3, left + bar(*own.low), mid + 3);
      painter.drawLine(left + bar(*own.high), mid - 3, left + bar(*own.high), mid + 3);
      textLeft = std::max(textLeft, left + bar(*own.high));
    }
    painter.setPen(QColor(kInk));
    DrawLabel(painter, QRect(textLeft + 6, y, textWidth, l.line + 4), Qt::AlignLeft | Qt::AlignVCenter,
              QStringLiteral("%1 Mpix/s").arg(Fixed(own.median, 1)));
    for (std::size_t i = 1; i < row.cells.size(); ++i) {
      const auto& cell = row.cells[i];
      if (!cell || cell->count == 0) continue;
      painter.fillRect(QRect(left, y + l.line + 4 + static_cast<int>(i - 1) * 6 + 1, std::max(bar(cell->median), 1), 4),
                       colours[i]);
    }
    y += l.testRow;
  }
  painter.setPen(QColor(kMuted));
  painter.drawLine(left, legendTop + l.line + 6, left, y - 6);

}

void Draw(QPainter& painter, const json& document, const std::optional<ResultSummary>& run,
          const Comparison& comparison, const QRect& area) {
  const Layout l = Arrange(comparison, document);
  const int width = area.width();
  painter.save();
  painter.translate(area.topLeft());
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.fillRect(QRect(QPoint(0, 0), area.size()), Qt::white);

  // The header: what this is and when it ran.
  painter.fillRect(QRect(0, 0, width, kHeader), QColor(kChartBlue));
  painter.setPen(Qt::white);
  painter.setFont(l.title);
  painter.drawText(QRect(kMargin, 0, width - 2 * kMargin, kHeader), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("ASMpic Bench result"));
  painter.setFont(l.font);
  QString when = Text(document, {"started_at"}).replace(QLatin1Char('T'), QLatin1Char(' '));
  when.replace(QLatin1Char('Z'), QStringLiteral(" UTC"));
  // A sustained run is headless too, but it is not the usual run: the header says which it was.
  const bool sustained = Member(document, {"sustained"}) != nullptr;
  const QString mode = sustained ? QStringLiteral("sustained") : Text(document, {"mode"});
  painter.drawText(QRect(kMargin, 0, width - 2 * kMargin, kHeader), Qt::AlignRight | Qt::AlignVCenter,
                   (mode.isEmpty() ? QString() : mode + QStringLiteral(" run · ")) + when);

  // The machine.
  const QString processor = Text(document, {"machine", "cpu_model"});
  const auto cores = Number(Member(document, {"machine", "logical_cores"}));
  const std::vector<std::pair<QString, QString>> machine = {
      {QStringLiteral("Processor"),
       (processor.isEmpty() ? QStringLiteral("unknown") : processor) +
           (cores && *cores > 0 ? QStringLiteral(" · %1 logical cores").arg(Fixed(*cores, 0)) : QString())},
      {QStringLiteral("Memory"), Memory(document)},
      {QStringLiteral("System"), System(document)},
      {QStringLiteral("Kernels"), run ? Kernels(*run) : QStringLiteral("unknown")},
  };
  int y = l.machineTop;
  const int keyWidth = QFontMetrics(l.bold).horizontalAdvance(QStringLiteral("Processor")) + 16;
  for (const auto& [key, value] : machine) {
    painter.setPen(QColor(kMuted));
    painter.setFont(l.bold);
    painter.drawText(QRect(kMargin, y, keyWidth, l.line), Qt::AlignLeft | Qt::AlignVCenter, key);
    painter.setPen(QColor(kInk));
    painter.setFont(l.font);
    painter.drawText(QRect(kMargin + keyWidth, y, width - 2 * kMargin - keyWidth, l.line),
                     Qt::AlignLeft | Qt::AlignVCenter, value);
    y += l.line + 4;
  }

  // The scores.
  const int half = (width - 3 * kMargin) / 2;
  ScoreBox(painter, l, QRect(kMargin, l.scoresTop, half, l.scoresHeight), QStringLiteral("Single-core score"),
           run ? std::optional<MedianEstimate>(run->score) : std::nullopt);
  ScoreBox(painter, l, QRect(2 * kMargin + half, l.scoresTop, half, l.scoresHeight),
           run && run->threads > 0 ? QStringLiteral("Multi-core score (%1 threads)").arg(run->threads)
                                   : QStringLiteral("Multi-core score"),
           run ? run->multiScore : std::nullopt);
  if (run && run->classicScore) {
    painter.setPen(QColor(kMuted));
    painter.setFont(l.font);
    painter.drawText(QRect(kMargin, l.scoresTop + l.scoresHeight - l.line - 6, half - 12, l.line),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("classic %1").arg(*run->classicScore));
  }

  // The verdict, as a badge.
  const VerdictLook verdict = VerdictOf(document);
  painter.setFont(l.bold);
  const QString verdictText = QStringLiteral("Verdict: ") + verdict.text;
  const QRect badge(kMargin, l.verdictTop, QFontMetrics(l.bold).horizontalAdvance(verdictText) + 24, l.line + 12);
  painter.setPen(Qt::NoPen);
  painter.setBrush(verdict.colour);
  painter.drawRoundedRect(badge, 6, 6);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(Qt::white);
  painter.drawText(badge, Qt::AlignCenter, verdictText);

  // The seven tests: this run's bar with its interval, each reference's thinner bar below it.
  if (!comparison.rows.empty()) DrawTests(painter, l, comparison, width);

  // What else the run measured.
  y = l.extrasTop;
  painter.setPen(QColor(kInk));
  painter.setFont(l.font);
  for (const QString& extra : {SustainedText(document), ScalingText(document)}) {
    if (extra.isEmpty()) continue;
    painter.drawText(QRect(kMargin, y, width - 2 * kMargin, l.line), Qt::AlignLeft | Qt::AlignVCenter, extra);
    y += l.line + 6;
  }

  // The program that measured it.
  painter.setPen(QColor(kMuted));
  const QString version = Text(document, {"program", "version"});
  QString footer = QStringLiteral("asmbench") + (version.isEmpty() ? QString() : QStringLiteral(" ") + version);
  const QString commit = Text(document, {"fingerprint", "source_commit"});
  if (!commit.isEmpty()) footer += QStringLiteral(" · source %1").arg(commit.left(10));
  painter.drawText(QRect(kMargin, l.footerTop, width - 2 * kMargin, l.line), Qt::AlignLeft | Qt::AlignVCenter, footer);
  painter.restore();
}

}  // namespace

std::optional<json> LoadResultDocument(const std::string& name, const std::string& historyPath,
                                       const std::string& assetsDirectory, std::string* error) {
  const auto fail = [&](const std::string& why) -> std::optional<json> {
    if (error != nullptr) *error = why;
    return std::nullopt;
  };
  std::optional<json> document;
  std::error_code ec;
  const fs::path reference = fs::path(assetsDirectory) / "references" / (name + ".json");
  const bool isReference = name.find('/') == std::string::npos && fs::is_regular_file(reference, ec);
  if (fs::is_regular_file(name, ec) || isReference) {
    std::ifstream in(fs::is_regular_file(name, ec) ? fs::path(name) : reference);
    json parsed = json::parse(in, nullptr, false);
    if (!in.is_open() || parsed.is_discarded()) return fail(name + " is not readable JSON");
    document = std::move(parsed);
  } else if (!name.empty() && name.size() < 19 && std::all_of(name.begin(), name.end(), [](char c) {
               return c >= '0' && c <= '9';
             })) {
    HistoryDb db(historyPath, HistoryDb::kReadOnly);
    if (!db.ok()) return fail(db.error());
    document = db.Load(std::stoll(name));
    if (!document) return fail(db.ok() ? "no stored run has the id " + name + " in " + historyPath : db.error());
  } else {
    return fail("'" + name + "' is neither a result file, nor a stored run's id, nor a reference");
  }
  std::string why;
  if (!SummarizeDocument(*document, &why)) return fail(name + ": " + why);
  return document;
}

QSize ResultCardSize(const json& document, const std::vector<ResultSummary>& references) {
  const auto run = SummarizeDocument(document, nullptr);
  const Comparison comparison = run ? CardComparison(*run, references) : Comparison{};
  return {kWidth, Arrange(comparison, document).height};
}

void DrawResultCard(QPainter& painter, const json& document, const std::vector<ResultSummary>& references,
                    const QRect& area) {
  const auto run = SummarizeDocument(document, nullptr);
  const Comparison comparison = run ? CardComparison(*run, references) : Comparison{};
  Draw(painter, document, run, comparison, area);
}

bool WriteResultCard(const json& document, const std::vector<ResultSummary>& references, const std::string& path,
                     std::string* error) {
  std::string why;
  if (!SummarizeDocument(document, &why)) {
    if (error != nullptr) *error = "--card: not a sound result: " + why;
    return false;
  }
  const QSize size = ResultCardSize(document, references);
  return WritePicture(
      path, size, [&](QPainter& painter) { DrawResultCard(painter, document, references, QRect(QPoint(0, 0), size)); },
      QStringLiteral("asmbench result card"), QStringLiteral("A benchmark result of one run"), error);
}

}  // namespace asmpic::app
