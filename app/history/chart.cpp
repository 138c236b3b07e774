#include "app/history/chart.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "app/history/drawing.h"
#include "app/results/ratio_interval.h"
#include "app/run/translation.h"

namespace asmpic::app {

namespace {

constexpr int kFileWidth = 960;
constexpr int kMinimumPlot = 240;  // the bars' room at the least
constexpr int kMargin = 12;

// The base (the first result) is always blue; a bundled reference and a stored run keep their own
// colour whatever else the chart shows, so a series looks the same in every chart it is in.
constexpr QRgb kBase = kChartBlue;
constexpr std::array<std::pair<const char*, QRgb>, 3> kReferenceColours = {
    {{"baseline-kernels", 0xdc3912}, {"best-kernels", 0xff9900}, {"reference-kernels", 0x109618}}};
constexpr std::array<QRgb, 4> kRunColours = {0x990099, 0x0099c6, 0xdd4477, 0x66aa00};
constexpr std::array<QRgb, 4> kOtherColours = {0xb82e2e, 0x316395, 0x994499, 0x22aa99};

QRgb PreferredColour(const ResultSummary& column) {
  for (const auto& [name, colour] : kReferenceColours) {
    if (column.label == name) return colour;
  }
  long long id = 0;
  if (std::sscanf(column.label.c_str(), "run %lld", &id) == 1) {
    return kRunColours[static_cast<std::size_t>(id % static_cast<long long>(kRunColours.size()))];
  }
  return kOtherColours[qHash(QString::fromStdString(column.label)) % kOtherColours.size()];
}

}  // namespace

std::vector<QColor> ColumnColours(const Comparison& comparison) {
  std::vector<QRgb> chosen;
  for (std::size_t i = 0; i < comparison.columns.size(); ++i) {
    QRgb colour = i == 0 ? kBase : PreferredColour(comparison.columns[i]);
    // Two series of one chart never share a colour: a clash takes the next free one.
    const auto taken = [&](QRgb c) { return std::find(chosen.begin(), chosen.end(), c) != chosen.end(); };
    for (std::size_t k = 0; taken(colour) && k < kOtherColours.size() + kRunColours.size(); ++k) {
      colour = k < kOtherColours.size() ? kOtherColours[k] : kRunColours[k - kOtherColours.size()];
    }
    chosen.push_back(colour);
  }
  return {chosen.begin(), chosen.end()};
}

namespace {

// The rows the first result has: the bars are relative to it.
std::vector<const ComparisonRow*> ChartRows(const Comparison& c) {
  std::vector<const ComparisonRow*> rows;
  for (const ComparisonRow& row : c.rows) {
    if (!row.cells.empty() && row.cells[0] && row.cells[0]->count > 0 && row.cells[0]->median > 0.0)
      rows.push_back(&row);
  }
  return rows;
}

// The title, with the coverage the medians' intervals really reach where runs are too few for 95 %.
QString Title(const Comparison& comparison) {
  double least = 1.0;
  for (const ComparisonRow& row : comparison.rows) {
    for (const auto& cell : row.cells) {
      if (cell && cell->low && cell->confidence > 0.0) least = std::min(least, cell->confidence);
    }
  }
  if (least < 0.95 - 1e-9) {
    return ResultsText("Throughput relative to [1] (Mpix/s, whiskers: interval of the median, with few runs %1 %)")
        .arg(QString::number(100.0 * least, 'f', 1));
  }
  return ResultsText("Throughput relative to [1] (Mpix/s, whiskers: 95 % interval of the median)");
}

QString VerdictText(RatioVerdict verdict) {
  return ResultsText(RatioVerdictName(verdict));
}

QString LegendText(std::size_t index, const ResultSummary& c) {
  QString who = c.mode == "window" ? ResultsText("window") : ResultsText("headless");
  who += QStringLiteral(", ") + (c.kernelChoice.empty() ? ResultsText("unknown kernels")
                                                        : KernelChoiceText(c.kernelChoice));
  if (!c.kernelTarget.empty() && c.kernelTarget != c.kernelChoice)
    who += QStringLiteral(" (%1)").arg(QString::fromStdString(c.kernelTarget));
  if (c.threads > 0) who += QStringLiteral(", ") + ThreadsText(c.threads);
  QString text = QStringLiteral("[%1] %2: %3").arg(index + 1).arg(ResultLabelText(c.label), who);
  if (!c.cpuModel.empty()) text += QStringLiteral(", ") + QString::fromStdString(c.cpuModel);
  return text;
}

// A bar's value, its ratio to [1] and, where the comparison gives one, the verdict of that ratio.
QString ValueText(double mpix, double ratio, std::optional<RatioVerdict> verdict = std::nullopt) {
  QString text = ResultsText("%1 Mpix/s  %2×").arg(QString::number(mpix, 'f', 1), QString::number(ratio, 'f', 2));
  if (verdict) text += QStringLiteral("  ") + VerdictText(*verdict);
  return text;
}

// Where everything goes, from the font's size: one text line per bar, so that no two labels
// share a line, and the widest label's room beside the bars.
struct Layout {
  int line = 0;        // a text line's height
  int bar = 0;         // a bar's height: one text line
  int gap = 0;         // between the groups of bars
  int labelWidth = 0;  // the row names at the left
  int textWidth = 0;   // the value beside a bar
  int titleHeight = 0;
  int legendTop = 0;
  int rowsTop = 0;
  int bottom = 0;      // of the last group
  int height = 0;
};

Layout Arrange(const Comparison& comparison, const QFont& font, int width) {
  const QFontMetrics metrics(font);
  QFont bold = font;
  bold.setBold(true);
  const QFontMetrics boldMetrics(bold);
  Layout l;
  l.line = metrics.height();
  l.bar = l.line + 2;
  l.gap = l.line / 2 + 4;
  const std::vector<const ComparisonRow*> rows = ChartRows(comparison);
  for (const ComparisonRow* row : rows)
    l.labelWidth = std::max(l.labelWidth, boldMetrics.horizontalAdvance(RowNameText(row->name)));
  l.labelWidth += 8;
  l.textWidth = metrics.horizontalAdvance(ValueText(99999.9, 99.99, RatioVerdict::kInconclusive)) + 8;
  l.titleHeight = boldMetrics
                      .boundingRect(QRect(0, 0, std::max(width - 2 * kMargin, 1), 10000),
                                    Qt::TextWordWrap, Title(comparison))
                      .height();
  l.legendTop = kMargin + l.titleHeight + 4;
  int legend = 0;
  for (std::size_t i = 0; i < comparison.columns.size(); ++i) {
    const int textWidth = std::max(width - 2 * kMargin - l.line - 6, 1);
    legend += std::max(l.line, metrics
                                   .boundingRect(QRect(0, 0, textWidth, 10000), Qt::TextWordWrap,
                                                 LegendText(i, comparison.columns[i]))
                                   .height()) +
              2;
  }
  l.rowsTop = l.legendTop + legend + l.line / 2 + 4;
  const int group = static_cast<int>(std::max<std::size_t>(comparison.columns.size(), 1)) * l.bar + l.gap;
  l.bottom = l.rowsTop + static_cast<int>(rows.size()) * group;
  l.height = l.bottom + l.line + 4 + kMargin;
  return l;
}

void Draw(QPainter& painter, const Comparison& comparison, const QRect& area, const QFont& font) {
  const Layout l = Arrange(comparison, font, area.width());
  const std::vector<QColor> colours = ColumnColours(comparison);
  const std::vector<const ComparisonRow*> rows = ChartRows(comparison);
  QFont bold = font;
  bold.setBold(true);
  painter.save();
  painter.translate(area.topLeft());
  painter.fillRect(QRect(QPoint(0, 0), area.size()), Qt::white);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(Qt::black);

  const int width = area.width();
  painter.setFont(bold);
  painter.drawText(QRect(kMargin, kMargin, width - 2 * kMargin, l.titleHeight),
                   Qt::AlignLeft | Qt::TextWordWrap, Title(comparison));
  painter.setFont(font);
  int y = l.legendTop;
  for (std::size_t i = 0; i < comparison.columns.size(); ++i) {
    const QRect text(kMargin + l.line + 6, y, width - 2 * kMargin - l.line - 6, 10000);
    const QRect used = painter.boundingRect(text, Qt::AlignLeft | Qt::TextWordWrap,
                                            LegendText(i, comparison.columns[i]));
    painter.fillRect(QRect(kMargin, y + (l.line - l.line * 3 / 4) / 2, l.line * 3 / 4, l.line * 3 / 4),
                     colours[i]);
    painter.drawText(text, Qt::AlignLeft | Qt::TextWordWrap, LegendText(i, comparison.columns[i]));
    y += std::max(l.line, used.height()) + 2;
  }

  // The scale: ratios to the first result, up to the largest ratio (or interval end) shown.
  double largest = 1.0;
  for (const ComparisonRow* row : rows) {
    const auto& base = row->cells[0];
    for (const auto& cell : row->cells) {
      if (!cell || cell->count == 0) continue;
      largest = std::max(largest, cell->high.value_or(cell->median) / base->median);
    }
  }
  const int left = kMargin + l.labelWidth;
  const int plotWidth = std::max(width - left - l.textWidth - kMargin, kMinimumPlot);
  const auto x = [&](double ratio) { return left + static_cast<int>(plotWidth * ratio / largest + 0.5); };

  painter.setPen(QPen(QColor(0x99, 0x99, 0x99), 1, Qt::DashLine));
  painter.drawLine(x(1.0), l.rowsTop - 4, x(1.0), l.bottom);
  painter.setPen(Qt::black);
  painter.drawLine(left, l.rowsTop - 4, left, l.bottom);
  painter.drawText(QRect(x(1.0) - l.textWidth / 2, l.bottom + 2, l.textWidth, l.line + 2), Qt::AlignCenter,
                   QStringLiteral("1× [1]"));

  const int group = static_cast<int>(std::max<std::size_t>(comparison.columns.size(), 1)) * l.bar + l.gap;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const ComparisonRow& row = *rows[r];
    const int groupTop = l.rowsTop + static_cast<int>(r) * group;
    painter.setPen(Qt::black);
    painter.setFont(row.name == "score" || row.name == "multi-core" ? bold : font);
    painter.drawText(QRect(kMargin, groupTop, l.labelWidth - 6, group - l.gap), Qt::AlignRight | Qt::AlignVCenter,
                     RowNameText(row.name));
    painter.setFont(font);
    const auto& base = row.cells[0];
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      const auto& cell = row.cells[i];
      const int top = groupTop + static_cast<int>(i) * l.bar;
      if (!cell || cell->count == 0) {
        painter.setPen(QColor(0x66, 0x66, 0x66));
        DrawLabel(painter, QRect(left + 4, top, l.textWidth + plotWidth, l.bar), Qt::AlignLeft | Qt::AlignVCenter,
              ResultsText("not measured"));
        continue;
      }
      const double ratio = cell->median / base->median;
      painter.fillRect(QRect(left, top + 2, std::max(x(ratio) - left, 1), l.bar - 4), colours[i]);
      int textLeft = x(ratio);
      if (cell->low && cell->high) {
        painter.setPen(QPen(Qt::black, 1));
        const int lo = x(*cell->low / base->median);
        const int hi = x(*cell->high / base->median);
        const int mid = top + l.bar / 2;
        painter.drawLine(lo, mid, hi, mid);
        painter.drawLine(lo, mid - 3, lo, mid + 3);
        painter.drawLine(hi, mid - 3, hi, mid + 3);
        textLeft = std::max(textLeft, hi);
      }
      painter.setPen(Qt::black);
      DrawLabel(painter, QRect(textLeft + 4, top, l.textWidth, l.bar), Qt::AlignLeft | Qt::AlignVCenter,
            ValueText(cell->median, ratio, i > 0 ? row.verdicts[i] : std::nullopt));
    }
  }
  painter.restore();
}

QFont FileFont() { return PictureFont(); }

}  // namespace

QSize ChartSize(const Comparison& comparison, const QFont& font, int width) {
  return {width, Arrange(comparison, font, width).height};
}

int ChartMinimumWidth(const Comparison& comparison, const QFont& font) {
  const Layout l = Arrange(comparison, font, kFileWidth);
  return kMargin + l.labelWidth + kMinimumPlot + l.textWidth + kMargin;
}

QSize ChartSize(const Comparison& comparison) {
  return ChartSize(comparison, FileFont(), kFileWidth);
}

void DrawChart(QPainter& painter, const Comparison& comparison, const QRect& area, const QFont& font) {
  Draw(painter, comparison, area, font);
}

void DrawChart(QPainter& painter, const Comparison& comparison, const QRect& area) {
  Draw(painter, comparison, area, FileFont());
}

bool WriteChart(const Comparison& comparison, const std::string& path, std::string* error) {
  const QSize size = ChartSize(comparison);
  if (!IsPictureFile(path)) {
    if (error != nullptr) *error = "--chart: " + path + " is neither .svg nor .png";
    return false;
  }
  return WritePicture(
      path, size, [&](QPainter& painter) { DrawChart(painter, comparison, QRect(QPoint(0, 0), size)); },
      QStringLiteral("asmbench comparison"), QStringLiteral("A comparison of benchmark results"), error);
}

}  // namespace asmpic::app
