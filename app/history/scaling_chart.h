#pragma once
// The thread scaling as a chart: the speed-up over one thread against the thread count, each
// point with its interval as a whisker and its speed-up and efficiency written beside it, over
// the ideal line (n threads, n times as fast). Drawn like the comparison chart.
#include <QRect>
#include <QSize>
#include <string>

#include "app/run/scaling.h"

class QPainter;

namespace asmpic::app {

QSize ScalingChartSize();

void DrawScalingChart(QPainter& painter, const ScalingResult& scaling, const QRect& area);

// Writes the chart to `path` as SVG or PNG by its extension. False, with `error` set, when it cannot.
bool WriteScalingChart(const ScalingResult& scaling, const std::string& path, std::string* error);

}  // namespace asmpic::app
