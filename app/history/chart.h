#pragma once
// The comparison as a bar chart: per test and score one group of bars (the rows the first result
// has), one bar per result, each
// as long as its throughput relative to the first result, with its interval as a whisker and its
// Mpix/s and ratio written beside it. Drawn with QPainter, so the same chart goes to the results
// dialog, to an SVG file and to a PNG file; the files need no display, only a QGuiApplication
// (the offscreen platform will do) for the fonts.
#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>
#include <string>
#include <vector>

#include "app/history/comparison.h"

class QPainter;

namespace asmpic::app {

// The chart's size in a file: a fixed width, a height that grows with the rows and results.
QSize ChartSize(const Comparison& comparison);
// Its height at `width` with its texts in `font`, as a window shows it at 1:1.
QSize ChartSize(const Comparison& comparison, const QFont& font, int width);
// The narrowest it can be drawn with its texts in `font`.
int ChartMinimumWidth(const Comparison& comparison, const QFont& font);

// Draws the chart into `area`, unscaled: its texts in `font` (the file's font without one), the
// bars filling the width left beside them. `area` should be ChartSize's height.
void DrawChart(QPainter& painter, const Comparison& comparison, const QRect& area);
void DrawChart(QPainter& painter, const Comparison& comparison, const QRect& area, const QFont& font);

// Each result's colour: the first always blue; the bundled references and stored runs each their
// own, the same in every chart; never two alike in one chart.
std::vector<QColor> ColumnColours(const Comparison& comparison);

// Writes the chart to `path` as SVG (".svg") or PNG (".png") at ChartSize. False, with `error`
// set, for another extension or a file that cannot be written.
bool WriteChart(const Comparison& comparison, const std::string& path, std::string* error);

}  // namespace asmpic::app
