#pragma once

#include <QByteArray>
#include <QString>

class Chart;

// Every chart of the program plots values against date and time. setupTimeChart puts a chart
// into that state: a black plot area on a silver surround, a yellow first series, a "Time"
// axis with date-time labels, y from 0 to 4000, x from `start` to `end` (days since
// 30 Dec 1899, passed on as they are, also when equal), `points` points and no data, a
// zoom band, a floating y-value prompt and data hot spots; then it redraws the chart.
//
// First it applies the chart template at `templatePath` if that file exists, so that the
// settings above override the template. A template that exists but cannot be read throws
// ChartError before anything else is changed: the chart keeps its previous settings.
void setupTimeChart(Chart* chart, int points, double start, double end);
void setupTimeChart(Chart* chart, int points, double start, double end,
                    const QString& templatePath);

// The template file: "template/graph.ghf" in the program's folder.
QString chartTemplatePath();
// Makes chartTemplatePath() return `path` (tests); an empty path restores the program's own.
void setChartTemplatePath(const QString& path);

// Reads a chart template: a 32-bit little-endian length N, then N bytes of settings, and
// returns those bytes. The chart has no settings of its own to take from them, so it is left
// as it is: the file is only checked. Throws ChartError, naming the file, when it cannot be
// opened (also when it does not exist) or is shorter than its length field says.
QByteArray applyChartTemplate(Chart* chart, const QString& path);
