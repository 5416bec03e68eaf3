#include "chartexport.h"

#include "chart.h"
#include "charterror.h"
#include "safefile.h"

#include <qcustomplot.h>

#include <QBuffer>
#include <QPdfWriter>
#include <QSvgGenerator>

ChartImageFormat chartImageFormatFor(const QString& path) {
    if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        return ChartImageFormat::Svg;
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        return ChartImageFormat::Pdf;
    return ChartImageFormat::Png;
}

void exportChart(Chart& chart, const QString& path, ChartImageFormat format, QSize size) {
    if (size.width() < 1 || size.height() < 1 || size.width() > kMaxExportSide ||
        size.height() > kMaxExportSide)
        throw ChartError(QStringLiteral("The chart cannot be exported at %1 x %2: each side must "
                                        "lie between 1 and %3.")
                             .arg(size.width())
                             .arg(size.height())
                             .arg(kMaxExportSide));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QCustomPlot* plot = chart.plot();
    // Vectors: the plot's own drawing on the device, not a bitmap of it.
    const auto drawOn = [&](QPaintDevice* device) {
        QCPPainter painter;
        if (!painter.begin(device))
            return false;
        painter.setMode(QCPPainter::pmVectorized);
        plot->toPainter(&painter, size.width(), size.height());
        return painter.end();
    };
    bool drawn = false;
    switch (format) {
    case ChartImageFormat::Png:
        drawn = chart.toImage(size).save(&buffer, "PNG");
        break;
    case ChartImageFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(chart.window()->windowTitle());
        drawn = drawOn(&svg);
        break;
    }
    case ChartImageFormat::Pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(72); // a device pixel is a point
        pdf.setTitle(chart.window()->windowTitle());
        drawn = drawOn(&pdf);
        break;
    }
    }
    // The drawing laid the plot out for `size`: lay it out for the screen again.
    plot->replot(QCustomPlot::rpQueuedReplot);
    if (!drawn || bytes.isEmpty())
        throw ChartError(QStringLiteral("The chart could not be drawn for %1.").arg(path));
    QString error;
    if (!SafeFile::writeAll(path, bytes, &error))
        throw ChartError(QStringLiteral("The chart could not be exported to %1: %2").arg(path, error));
}
