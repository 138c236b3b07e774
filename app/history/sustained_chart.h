#pragma once
// A sustained run as a chart: its throughput, clock frequency and hottest sensor over time, one
// panel each on one time axis, with the burst speed, its 95 % line and the slowdown's onset
// marked. Drawn with QPainter in the comparison chart's look, so the same drawing goes to a file
// (SVG or PNG) and to the results dialog, where it grows as passes finish.
#include <QFont>
#include <QRect>
#include <QSize>
#include <string>

#include "app/run/sustained_run.h"

class QPainter;

namespace asmpic::app {

// The chart's size in a file.
QSize SustainedChartSize();

// Draws the chart into `area` with its texts in `font` (the file's font without one).
void DrawSustainedChart(QPainter& painter, const SustainedRun& run, const QRect& area);
void DrawSustainedChart(QPainter& painter, const SustainedRun& run, const QRect& area, const QFont& font);

// Writes the chart to `path` as SVG (".svg") or PNG (".png"). False, with `error` set, for
// another extension or a file that cannot be written.
bool WriteSustainedChart(const SustainedRun& run, const std::string& path, std::string* error);

}  // namespace asmpic::app
