#include "app/history/chart.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

namespace asmpic::app {

namespace {

constexpr int kWidth = 960;
constexpr int kLabelWidth = 100;  // the row names at the left
constexpr int kTextWidth = 190;   // Mpix/s and ratio beside the longest bar
constexpr int kBarHeight = 12;
constexpr int kGroupGap = 10;
constexpr int kLegendLine = 18;
constexpr int kMargin = 12;

constexpr std::array<QRgb, 6> kColours = {0x3366cc, 0xdc3912, 0xff9900, 0x109618, 0x990099, 0x0099c6};

QColor ColumnColour(std::size_t i) {
  return QColor::fromRgb(kColours[i % kColours.size()]);
}

// The rows the first result has: the bars are relative to it.
std::vector<const ComparisonRow*> ChartRows(const Comparison& c) {
  std::vector<const ComparisonRow*> rows;
  for (const ComparisonRow& row : c.rows) {
    if (!row.cells.empty() && row.cells[0] && row.cells[0]->count > 0 && row.cells[0]->median > 0.0)
      rows.push_back(&row);
  }
  return rows;
}

int TopOfRows(const Comparison& c) {
  return kMargin + 22 + static_cast<int>(c.columns.size()) * kLegendLine + 10;
}

int GroupHeight(const Comparison& c) {
  return static_cast<int>(std::max<std::size_t>(c.columns.size(), 1)) * kBarHeight + kGroupGap;
}

QFont ChartFont(int pixels, bool bold = false) {
  QFont font;
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

// The title, with the coverage the medians' intervals really reach where runs are too few for 95 %.
std::string ChartTitle(const Comparison& comparison) {
  double least = 1.0;
  for (const ComparisonRow& row : comparison.rows) {
    for (const auto& cell : row.cells) {
      if (cell && cell->low && cell->confidence > 0.0) least = std::min(least, cell->confidence);
    }
  }
  char level[48];
  std::snprintf(level, sizeof level,
                least < 0.95 - 1e-9 ? "95 %% or, with few runs, down to %.1f %%" : "95 %%", 100.0 * least);
  return std::string("Throughput relative to [1] (Mpix/s, whiskers: the median's ") + level +
         " interval; verdicts from the ratio's interval)";
}

}  // namespace

QSize ChartSize(const Comparison& comparison) {
  return {kWidth, TopOfRows(comparison) +
                      static_cast<int>(ChartRows(comparison).size()) * GroupHeight(comparison) + 24 +
                      kMargin};
}

void DrawChart(QPainter& painter, const Comparison& comparison, const QRect& area) {
  const QSize natural = ChartSize(comparison);
  painter.save();
  painter.translate(area.topLeft());
  painter.scale(static_cast<double>(area.width()) / natural.width(),
                static_cast<double>(area.height()) / natural.height());
  painter.fillRect(QRect(QPoint(0, 0), natural), Qt::white);
  painter.setRenderHint(QPainter::Antialiasing, false);

  painter.setPen(Qt::black);
  painter.setFont(ChartFont(15, true));
  painter.drawText(QRect(kMargin, kMargin, natural.width() - 2 * kMargin, 20),
                   Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(ChartTitle(comparison)));
  painter.setFont(ChartFont(12));
  for (std::size_t i = 0; i < comparison.columns.size(); ++i) {
    const ResultSummary& c = comparison.columns[i];
    const int y = kMargin + 24 + static_cast<int>(i) * kLegendLine;
    painter.fillRect(QRect(kMargin, y + 3, 12, 12), ColumnColour(i));
    painter.setPen(Qt::black);
    const QString text =
        QStringLiteral("[%1] %2: %3%4")
            .arg(i + 1)
            .arg(QString::fromStdString(c.label), QString::fromStdString(c.Provenance()),
                 c.cpuModel.empty() ? QString() : QStringLiteral(", ") + QString::fromStdString(c.cpuModel));
    painter.drawText(QRect(kMargin + 18, y, natural.width() - 2 * kMargin - 18, kLegendLine),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
  }

  // The scale: ratios to the first result, up to the largest ratio (or interval end) shown.
  const std::vector<const ComparisonRow*> rows = ChartRows(comparison);
  double largest = 1.0;
  for (const ComparisonRow* row : rows) {
    const auto& base = row->cells[0];
    for (const auto& cell : row->cells) {
      if (!cell || cell->count == 0) continue;
      largest = std::max(largest, cell->high.value_or(cell->median) / base->median);
    }
  }
  const int top = TopOfRows(comparison);
  const int left = kMargin + kLabelWidth;
  const int plotWidth = natural.width() - left - kTextWidth - kMargin;
  const auto x = [&](double ratio) { return left + static_cast<int>(plotWidth * ratio / largest + 0.5); };
  const int bottom = top + static_cast<int>(rows.size()) * GroupHeight(comparison);

  painter.setPen(QPen(QColor(0x99, 0x99, 0x99), 1, Qt::DashLine));
  painter.drawLine(x(1.0), top - 4, x(1.0), bottom);
  painter.setPen(Qt::black);
  painter.drawLine(left, top - 4, left, bottom);
  painter.drawText(QRect(x(1.0) - 40, bottom + 2, 80, 18), Qt::AlignCenter, QStringLiteral("1× [1]"));

  for (std::size_t r = 0; r < rows.size(); ++r) {
    const ComparisonRow& row = *rows[r];
    const int groupTop = top + static_cast<int>(r) * GroupHeight(comparison);
    painter.setPen(Qt::black);
    painter.setFont(ChartFont(12, row.name == "score" || row.name == "multi-core"));
    painter.drawText(QRect(kMargin, groupTop, kLabelWidth - 6, GroupHeight(comparison) - kGroupGap),
                     Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(row.name));
    painter.setFont(ChartFont(11));
    const auto& base = row.cells.empty() ? std::nullopt : row.cells[0];
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      const auto& cell = row.cells[i];
      const int y = groupTop + static_cast<int>(i) * kBarHeight;
      if (!cell || cell->count == 0) {
        painter.setPen(QColor(0x77, 0x77, 0x77));
        painter.drawText(QRect(left + 4, y, 200, kBarHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("not measured"));
        continue;
      }
      const double ratio = cell->median / base->median;
      painter.fillRect(QRect(left, y + 1, std::max(x(ratio) - left, 1), kBarHeight - 2), ColumnColour(i));
      int textLeft = x(ratio);
      if (cell->low && cell->high) {
        painter.setPen(QPen(Qt::black, 1));
        const int lo = x(*cell->low / base->median);
        const int hi = x(*cell->high / base->median);
        const int mid = y + kBarHeight / 2;
        painter.drawLine(lo, mid, hi, mid);
        painter.drawLine(lo, mid - 3, lo, mid + 3);
        painter.drawLine(hi, mid - 3, hi, mid + 3);
        textLeft = std::max(textLeft, hi);
      }
      char text[96];
      std::snprintf(text, sizeof text, "%.1f Mpix/s  %.2f×%s%s", cell->median, ratio,
                    i > 0 && row.verdicts[i] ? " " : "",
                    i > 0 && row.verdicts[i] ? RatioVerdictName(*row.verdicts[i]) : "");
      painter.setPen(Qt::black);
      painter.drawText(QRect(textLeft + 4, y, kTextWidth, kBarHeight), Qt::AlignLeft | Qt::AlignVCenter,
                       QString::fromUtf8(text));
    }
  }
  painter.restore();
}

bool WriteChart(const Comparison& comparison, const std::string& path, std::string* error) {
  const auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  const QString file = QString::fromStdString(path);
  const QSize size = ChartSize(comparison);
  if (file.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    QBuffer svg;
    svg.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&svg);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(QStringLiteral("asmbench comparison"));
    {
      QPainter painter(&generator);
      DrawChart(painter, comparison, QRect(QPoint(0, 0), size));
    }
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(svg.data()) != svg.data().size() ||
        !out.flush())
      return fail("cannot write " + path + ": " + out.errorString().toStdString());
    return true;
  }
  if (file.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      DrawChart(painter, comparison, QRect(QPoint(0, 0), size));
    }
    if (!image.save(file, "PNG")) return fail("cannot write " + path);
    return true;
  }
  return fail("--chart: " + path + " is neither .svg nor .png");
}

}  // namespace asmpic::app
