#pragma once
// The comparison as a bar chart: per test and score one group of bars (the rows the first result
// has), one bar per result, each
// as long as its throughput relative to the first result, with its interval as a whisker and its
// Mpix/s and ratio written beside it. Drawn with QPainter, so the same chart goes to the results
// dialog, to an SVG file and to a PNG file; the files need no display, only a QGuiApplication
// (the offscreen platform will do) for the fonts.
#include <QRect>
#include <QSize>
#include <string>

#include "app/history/comparison.h"

class QPainter;

namespace asmpic::app {

// The chart's natural size: a fixed width, a height that grows with the rows and results.
QSize ChartSize(const Comparison& comparison);

void DrawChart(QPainter& painter, const Comparison& comparison, const QRect& area);

// Writes the chart to `path` as SVG (".svg") or PNG (".png") at ChartSize. False, with `error`
// set, for another extension or a file that cannot be written.
bool WriteChart(const Comparison& comparison, const std::string& path, std::string* error);

}  // namespace asmpic::app
