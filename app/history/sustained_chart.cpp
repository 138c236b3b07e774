#include "app/history/sustained_chart.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

#include "app/history/drawing.h"
#include "app/run/translation.h"

namespace asmpic::app {

namespace {

constexpr int kFileWidth = 960;
constexpr int kPanelLines = 9;  // a panel's height in text lines
constexpr QRgb kMarks = 0xdc3912;  // the slowdown's onset and the 95 % line

using Value = std::function<std::optional<double>(const SustainedPass&)>;

QString Number(double value, int digits) {
  return QString::number(value, 'f', digits);
}

QString Title(const SustainedRun& run) {
  const SustainedSummary& s = run.summary;
  QString title = ResultsText("Sustained run: %1, %2 passes in %3 s")
                      .arg(ThreadsText(run.threads))
                      .arg(s.passes)
                      .arg(Number(run.passes.empty() ? 0.0 : run.passes.back().endSeconds, 0));
  if (!run.passes.empty()) {
    title += QStringLiteral("; ") + ResultsText("burst %1 Mpix/s, sustained %2 Mpix/s (%3 %)")
                                        .arg(Number(s.burstScore, 1), Number(s.sustainedScore, 1),
                                             Number(100.0 * s.ratio, 1));
  }
  if (s.onsetSeconds) {
    title += QStringLiteral("; ") + ResultsText("below 95 % from %1 s").arg(Number(*s.onsetSeconds, 0));
  }
  return title;
}

struct Panel {
  QString name;
  Value value;
  int digits;
  bool fromZero;  // the throughput's scale starts at zero, so that its drop is seen as a share
};

// One panel: its name, its scale at the left, the series as a line over the time axis.
void DrawPanel(QPainter& painter, const SustainedRun& run, const Panel& panel, const QRect& plot, double end,
               const QFontMetrics& metrics, int labelWidth) {
  painter.setPen(Qt::black);
  painter.drawText(QRect(kChartMargin, plot.top(), labelWidth - 6, metrics.height()), Qt::AlignLeft,
                   panel.name);
  painter.setPen(QColor(0x99, 0x99, 0x99));
  painter.drawRect(plot.adjusted(0, 0, -1, -1));
  std::optional<double> low;
  std::optional<double> high;
  for (const SustainedPass& pass : run.passes) {
    if (const auto v = panel.value(pass)) {
      low = low ? std::min(*low, *v) : *v;
      high = high ? std::max(*high, *v) : *v;
    }
  }
  if (!low) {
    painter.setPen(QColor(0x66, 0x66, 0x66));
    painter.drawText(plot, Qt::AlignCenter,
                     run.passes.empty() ? ResultsText("no pass yet") : ResultsText("not exposed by this system"));
    return;
  }
  // The scale: a little room above and below, at least a few units, zero at the bottom for speed.
  const double pad = panel.fromZero ? *high * 0.1 : std::max({(*high - *low) * 0.1, *high * 0.05, 1.0});
  const double bottom = panel.fromZero ? 0.0 : std::max(*low - pad, 0.0);
  const double top = std::max(*high + pad, bottom + 1.0);
  const auto x = [&](double seconds) { return plot.left() + plot.width() * seconds / end; };
  const auto y = [&](double value) { return plot.bottom() - plot.height() * (value - bottom) / (top - bottom); };
  painter.setPen(Qt::black);
  const int scaleLeft = kChartMargin;
  const int scaleWidth = plot.left() - scaleLeft - 4;
  painter.drawText(QRect(scaleLeft, plot.top() + metrics.height(), scaleWidth, metrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter, Number(top, panel.digits));
  painter.drawText(QRect(scaleLeft, plot.bottom() - metrics.height(), scaleWidth, metrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter, Number(bottom, panel.digits));
  if (panel.fromZero && run.summary.burstScore > 0.0) {
    const double burst = run.summary.burstScore;
    painter.setPen(QPen(QColor(0x99, 0x99, 0x99), 1, Qt::DashLine));
    painter.drawLine(QPointF(plot.left(), y(burst)), QPointF(plot.right(), y(burst)));
    painter.setPen(QPen(QColor(kMarks), 1, Qt::DotLine));
    painter.drawLine(QPointF(plot.left(), y(kSlowdownShare * burst)), QPointF(plot.right(), y(kSlowdownShare * burst)));
    if (run.summary.onsetSeconds) {
      painter.setPen(QPen(QColor(kMarks), 1, Qt::DashLine));
      const double at = x(*run.summary.onsetSeconds);
      painter.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
    }
  }
  QPainterPath line;
  bool started = false;
  for (const SustainedPass& pass : run.passes) {
    const auto v = panel.value(pass);
    if (!v) continue;
    const QPointF point(x((pass.startSeconds + pass.endSeconds) / 2.0), y(*v));
    if (started) {
      line.lineTo(point);
    } else {
      line.moveTo(point);
      started = true;
    }
  }
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(QColor(kChartBlue), 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(line);
  if (run.passes.size() == 1) painter.drawEllipse(line.currentPosition(), 2.0, 2.0);
  painter.setRenderHint(QPainter::Antialiasing, false);
  // The burst's label over the series, so that the passes around it cannot hide it.
  if (panel.fromZero && run.summary.burstScore > 0.0) {
    const double burst = run.summary.burstScore;
    painter.setPen(Qt::black);
    DrawLabel(painter, QRect(plot.left() + 4, static_cast<int>(y(burst)) - metrics.height(), plot.width() / 2,
                              metrics.height()),
               Qt::AlignLeft | Qt::AlignVCenter, ResultsText("burst %1").arg(Number(burst, 1)));
  }
}

void Draw(QPainter& painter, const SustainedRun& run, const QRect& area, const QFont& font) {
  const QFontMetrics metrics(font);
  QFont bold = font;
  bold.setBold(true);
  const int line = metrics.height();
  painter.save();
  painter.translate(area.topLeft());
  const int width = area.width();
  const int height = area.height();
  painter.fillRect(QRect(0, 0, width, height), Qt::white);
  painter.setFont(bold);
  painter.setPen(Qt::black);
  const QRect titleBox(kChartMargin, kChartMargin, width - 2 * kChartMargin, 3 * line);
  const int titleHeight =
      painter.boundingRect(titleBox, Qt::AlignLeft | Qt::TextWordWrap, Title(run)).height();
  painter.drawText(titleBox, Qt::AlignLeft | Qt::TextWordWrap, Title(run));
  painter.setFont(font);

  const Panel panels[] = {
      {ResultsText("Mpix/s"), [](const SustainedPass& p) { return std::optional<double>(p.mpixPerSecond); }, 0,
       true},
      {ResultsText("MHz"), [](const SustainedPass& p) { return p.meanFrequencyMHz; }, 0, false},
      {ResultsText("°C"), [](const SustainedPass& p) { return p.maxTemperatureC; }, 0, false},
  };
  const int labelWidth = std::max({metrics.horizontalAdvance(QStringLiteral("000000")),
                                   metrics.horizontalAdvance(panels[0].name),
                                   metrics.horizontalAdvance(panels[1].name)}) + 10;
  const int left = kChartMargin + labelWidth;
  const int right = width - kChartMargin;
  const int top = kChartMargin + titleHeight + line / 2;
  const int axis = 2 * line + kChartMargin;  // the time axis's labels and the bottom margin
  const int gap = line / 2;
  const int panelHeight = std::max((height - top - axis - 2 * gap) / 3, line * 2);
  // The time axis: the run's asked length, or what it really ran where that is longer.
  double end = run.askedSeconds;
  if (!run.passes.empty()) end = std::max(end, run.passes.back().endSeconds);
  if (end <= 0.0) end = 1.0;
  for (int i = 0; i < 3; ++i) {
    const QRect plot(left, top + i * (panelHeight + gap), std::max(right - left, 10), panelHeight);
    DrawPanel(painter, run, panels[i], plot, end, metrics, labelWidth);
  }
  // Time ticks at a round step, about six of them.
  const int axisTop = top + 3 * panelHeight + 2 * gap;
  const double rough = end / 6.0;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  double step = power;
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (power * factor >= rough) {
      step = power * factor;
      break;
    }
  }
  painter.setPen(Qt::black);
  const int plotWidth = std::max(right - left, 10);
  for (double t = 0.0; t <= end + 1e-9; t += step) {
    const int at = left + static_cast<int>(plotWidth * t / end + 0.5);
    painter.drawLine(at, axisTop - 2, at, axisTop + 2);
    // Centred under its tick, but kept inside the picture at the right end.
    painter.drawText(QRect(std::min(at - 40, width - 81), axisTop + 2, 80, line),
                     at + 40 >= width ? Qt::AlignRight | Qt::AlignTop : Qt::AlignHCenter | Qt::AlignTop,
                     ResultsText("%1 s").arg(Number(t, t == std::floor(t) ? 0 : 1)));
  }
  painter.restore();
}

}  // namespace

QSize SustainedChartSize() {
  const QFontMetrics metrics(PictureFont());
  return {kFileWidth, 2 * kChartMargin + (3 * kPanelLines + 8) * metrics.height()};
}

void DrawSustainedChart(QPainter& painter, const SustainedRun& run, const QRect& area, const QFont& font) {
  Draw(painter, run, area, font);
}

void DrawSustainedChart(QPainter& painter, const SustainedRun& run, const QRect& area) {
  Draw(painter, run, area, PictureFont());
}

bool WriteSustainedChart(const SustainedRun& run, const std::string& path, std::string* error) {
  const QSize size = SustainedChartSize();
  return WritePicture(
      path, size, [&](QPainter& painter) { DrawSustainedChart(painter, run, QRect(QPoint(0, 0), size)); },
      QStringLiteral("asmbench sustained run"), QStringLiteral("Speed, clock and temperature over a sustained run"),
      error);
}

}  // namespace asmpic::app
