#pragma once

#include <QSize>
#include <QString>

class Chart;

// File > Export Chart: the chart's plot (what the window shows, without the panel under it)
// written as a picture. PNG is a bitmap of `size` pixels; SVG and PDF are drawn as vectors on
// a canvas of `size` (pixels in SVG, points in PDF), so that they stay sharp when scaled.
//
// The file ends up complete or as it was (SafeFile). Throws ChartError, naming the file and
// the reason, when it cannot be written or the size is empty or too large.
enum class ChartImageFormat { Png, Svg, Pdf };

void exportChart(Chart& chart, const QString& path, ChartImageFormat format, QSize size);

// The format a file name asks for by its extension (case-insensitive); Png when it names none
// of the three.
ChartImageFormat chartImageFormatFor(const QString& path);

// The largest side exportChart accepts, in pixels or points.
inline constexpr int kMaxExportSide = 20000;
