#include "timechartsetup.h"

#include "charterror.h"
#include "chart.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace {

constexpr PEColor kBlack = 0x000000;
constexpr PEColor kSilver = 0xC0C0C0;
constexpr PEColor kYellow = 0x00FFFF; // 0x00BBGGRR
constexpr PEColor kMagenta = 0xFF00FF;
constexpr PEColor kCyan = 0xFFFF00;

} // namespace

namespace {
QString& templatePathOverride() {
    static QString path;
    return path;
}
} // namespace

QString chartTemplatePath() {
    if (!templatePathOverride().isEmpty())
        return templatePathOverride();
    return QCoreApplication::applicationDirPath() + QStringLiteral("/template/graph.ghf");
}

void setChartTemplatePath(const QString& path) {
    templatePathOverride() = path;
}

QByteArray applyChartTemplate(Chart* chart, const QString& path) {
    (void)chart; // nothing in the template maps onto this chart's settings
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ChartError(
            QStringLiteral("Cannot open the chart template %1: %2").arg(path, file.errorString()));
    uchar head[4];
    if (file.read(reinterpret_cast<char*>(head), 4) != 4)
        throw ChartError(
            QStringLiteral("The chart template %1 is too short: it has no length field.")
                .arg(path));
    const quint32 length = qFromLittleEndian<quint32>(head);
    // Check the size before allocating, so that a damaged length cannot ask for gigabytes.
    if (quint64(file.size()) - 4 < length)
        throw ChartError(QStringLiteral("The chart template %1 is shorter than its length "
                                        "field: %2 bytes announced, %3 present.")
                             .arg(path)
                             .arg(length)
                             .arg(file.size() - 4));
    QByteArray blob = file.read(length);
    if (blob.size() != qsizetype(length))
        throw ChartError(
            QStringLiteral("Cannot read the chart template %1: %2").arg(path, file.errorString()));
    return blob;
}

void setupTimeChart(Chart* chart, int points, double start, double end) {
    setupTimeChart(chart, points, start, end, chartTemplatePath());
}

void setupTimeChart(Chart* chart, int points, double start, double end,
                    const QString& templatePath) {
    // Template, overridden by everything below.
    if (QFileInfo::exists(templatePath))
        applyChartTemplate(chart, templatePath);

    // Drawing: one series of `points` points, vertical line annotations, hot spots.
    chart->setPoints(points);
    chart->setSubsets(1);
    chart->setShowVertLineAnnotations(true);
    chart->setAllowDataHotSpots(true);
    // No titles.
    chart->setMainTitle(QStringLiteral("  "));
    chart->setSubTitle(QString());
    // A date-time x axis read from the second x data array.
    chart->setDateTimeMode(sgVBDateTime);
    chart->setUsingXData(true);
    chart->setXAxisLabel(QStringLiteral("Time"));
    // The value that marks a missing point.
    chart->setNullDataValueY(9999.0);
    // No data in any series.
    for (int s = 0; s < chart->subsets(); ++s)
        chart->setYData(s, -1, 0);
    // Dotted grid, rubber-band zoom in both directions, a floating y-value prompt.
    chart->setSubsetLabels(0, QString());
    chart->setGridStyle(sgDot);
    chart->setAllowZooming(sgHorzPlusVertZooming);
    chart->setMouseCursorControl(true);
    chart->setCursorMode(sgFloatingXY);
    chart->setCursorPromptTracking(true);
    chart->setCursorPromptStyle(sgYValue);
    // Colours: black plot on a silver surround; yellow, magenta, cyan series.
    chart->setGraphBackColor(kBlack);
    chart->setDeskColor(kSilver);
    chart->setTextColor(kBlack);
    chart->setSubsetColors(0, kYellow);
    chart->setSubsetColors(1, kMagenta);
    chart->setSubsetColors(2, kCyan);
    chart->setSubsetLineTypes(0, 0);
    // y from 0 to 4000, fixed.
    chart->setYAxisLabel(QString());
    chart->setManualScaleControlY(sgManualMinAndMax);
    chart->setManualMinY(0);
    chart->setManualMaxY(4000);
    // x from start to end, fixed.
    chart->setManualScaleControlX(sgManualMinAndMax);
    chart->setManualMinX(start);
    chart->setManualMaxX(end);
    chart->redraw();
}
