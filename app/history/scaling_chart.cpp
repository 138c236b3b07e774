#include "app/history/scaling_chart.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "app/history/drawing.h"

namespace asmpic::app {

namespace {

constexpr int kWidth = 720;
constexpr int kHeight = 480;
constexpr int kMargin = 12;

QString PointText(const ScalingPoint& p) {
  return QStringLiteral("%1×  (%2 %)")
      .arg(QString::number(p.speedup.median, 'f', 2), QString::number(100.0 * p.efficiency().median, 'f', 0));
}

}  // namespace

QSize ScalingChartSize() {
  return {kWidth, kHeight};
}

void DrawScalingChart(QPainter& painter, const ScalingResult& scaling, const QRect& area) {
  const QFont font = PictureFont();
  QFont bold = font;
  bold.setBold(true);
  const QFontMetrics metrics(font);
  const int line = metrics.height();
  painter.save();
  painter.translate(area.topLeft());
  painter.fillRect(QRect(QPoint(0, 0), area.size()), Qt::white);
  painter.setPen(Qt::black);
  painter.setFont(bold);
  const QString title = QStringLiteral("Speed-up over one thread (whiskers: 95 % interval of the median; "
                                       "%1 rounds, %2 usable processors)")
                            .arg(scaling.rounds)
                            .arg(scaling.usableProcessors);
  const QRect titleBox(kMargin, kMargin, area.width() - 2 * kMargin, 3 * line);
  const int titleHeight = painter.boundingRect(titleBox, Qt::AlignLeft | Qt::TextWordWrap, title).height();
  painter.drawText(titleBox, Qt::AlignLeft | Qt::TextWordWrap, title);
  painter.setFont(font);

  // The plot: threads 0..most on x, speed-up 0..the larger of the ideal and any interval's end on y.
  int most = 1;
  double top = 1.0;
  for (const ScalingPoint& p : scaling.points) {
    most = std::max(most, p.threads);
    top = std::max(top, p.speedup.high.value_or(p.speedup.median));
  }
  top = std::max(top, static_cast<double>(most)) * 1.1;
  const int left = kMargin + metrics.horizontalAdvance(QStringLiteral("speed-up")) + 8;
  // Room right of the last point for its speed-up and efficiency.
  const int right = area.width() - kMargin - metrics.horizontalAdvance(QStringLiteral("00.00×  (100 %)")) - 12;
  const int plotTop = kMargin + titleHeight + line;
  const int bottom = area.height() - kMargin - 3 * line;
  const auto x = [&](double threads) { return left + static_cast<int>((right - left) * threads / most + 0.5); };
  const auto y = [&](double speedup) { return bottom - static_cast<int>((bottom - plotTop) * speedup / top + 0.5); };

  // The scale: a tick at every thread count measured, and at every whole speed-up.
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QColor grid(0xdd, 0xdd, 0xdd);
  const int step = std::max(1, static_cast<int>(std::ceil(top / 8.0)));
  for (int s = 0; s <= top; s += step) {
    painter.setPen(grid);
    painter.drawLine(left, y(s), right, y(s));
    painter.setPen(Qt::black);
    painter.drawText(QRect(kMargin, y(s) - line / 2, left - kMargin - 6, line), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("%1×").arg(s));
  }
  painter.setPen(Qt::black);
  painter.drawLine(left, plotTop, left, bottom);
  painter.drawLine(left, bottom, right, bottom);
  for (const ScalingPoint& p : scaling.points) {
    painter.drawLine(x(p.threads), bottom, x(p.threads), bottom + 4);
    painter.drawText(QRect(x(p.threads) - 30, bottom + 4, 60, line), Qt::AlignCenter, QString::number(p.threads));
  }
  painter.drawText(QRect(left, bottom + 4 + line, right - left, line + 4), Qt::AlignCenter,
                   QStringLiteral("threads"));

  // The ideal: n threads, n times one thread's speed.
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(QColor(0x99, 0x99, 0x99), 1, Qt::DashLine));
  painter.drawLine(x(0), y(0), x(most), y(most));
  DrawLabel(painter, QRect(x(most) - 60, y(most) - line - 2, 56, line), Qt::AlignRight | Qt::AlignVCenter,
            QStringLiteral("ideal"));

  // The measured points, joined, each with its whisker and its speed-up and efficiency.
  const QColor blue(kChartBlue);
  QPainterPath path;
  for (std::size_t i = 0; i < scaling.points.size(); ++i) {
    const ScalingPoint& p = scaling.points[i];
    const QPointF at(x(p.threads), y(p.speedup.median));
    if (i == 0) {
      path.moveTo(at);
    } else {
      path.lineTo(at);
    }
  }
  painter.setPen(QPen(blue, 2));
  painter.drawPath(path);
  for (const ScalingPoint& p : scaling.points) {
    const int px = x(p.threads);
    if (p.speedup.low && p.speedup.high) {
      painter.setPen(QPen(Qt::black, 1));
      painter.drawLine(px, y(*p.speedup.low), px, y(*p.speedup.high));
      painter.drawLine(px - 4, y(*p.speedup.low), px + 4, y(*p.speedup.low));
      painter.drawLine(px - 4, y(*p.speedup.high), px + 4, y(*p.speedup.high));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(blue);
    painter.drawEllipse(QPointF(px, y(p.speedup.median)), 4.5, 4.5);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    const int textWidth = metrics.horizontalAdvance(PointText(p)) + 4;
    // Right of the point, or left of it where the right has no room.
    const int textLeft = px + 8 + textWidth <= area.width() - kMargin ? px + 8 : px - 8 - textWidth;
    DrawLabel(painter, QRect(textLeft, y(p.speedup.median) + 6, textWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
              PointText(p));
  }
  painter.restore();
}

bool WriteScalingChart(const ScalingResult& scaling, const std::string& path, std::string* error) {
  const QSize size = ScalingChartSize();
  return WritePicture(
      path, size, [&](QPainter& painter) { DrawScalingChart(painter, scaling, QRect(QPoint(0, 0), size)); },
      QStringLiteral("asmbench thread scaling"), QStringLiteral("Speed-up against threads"), error);
}

}  // namespace asmpic::app
