// Measuring on a chart: fit to data, units, gaps, cursors by keyboard and mouse, statistics
// that follow the view, the measure panel, and the exported pictures read back.

#include "chartexport.h"
#include "chartimage.h"
#include "chartmeasurepanel.h"
#include "charterror.h"
#include "daycount.h"
#include "chart.h"
#include "timechartsetup.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cmath>

namespace {

const QDateTime kStart(QDate(2026, 5, 4), QTime(8, 0, 0));

// Waits for the queued repaint that follows a change.
void settle(Chart& g) {
    QSignalSpy replots(g.plot(), &QCustomPlot::afterReplot);
    g.plot()->replot(QCustomPlot::rpQueuedReplot);
    QTRY_VERIFY_WITH_TIMEOUT(replots.count() > 0, 20000);
}

// A time chart set up as the program's windows set theirs up (fixed y 0..4000), holding a
// temperature that climbs from 21 to 67 °C over `n` points one second apart.
void temperatureSet(Chart& g, int n) {
    const double start = dateTimeToDays(kStart);
    setupTimeChart(&g, n, start, start + SecondsToDays(n - 1), QString());
    for (int i = 0; i < n; ++i) {
        g.setXData(0, i, start + SecondsToDays(i));
        g.setYData(0, i, float(21.0 + 46.0 * i / (n - 1)));
    }
    g.setValueUnit(QStringLiteral("°C"));
    g.redraw();
}

double keyOf(int i) {
    return DaysToEpochSeconds(dateTimeToDays(kStart)) + i;
}

} // namespace

class TestChartMeasure : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fitToDataAndBack();
    void unitOnAxisAndInTheReadout();
    void gapIsDrawnAsAGap_data();
    void gapIsDrawnAsAGap();
    void cursorsByKeyboard();
    void cursorsByMouse();
    void statisticsFollowTheZoom();
    void exportedPicturesShowTheData_data();
    void exportedPicturesShowTheData();
    void exportRefusesWhatItCannotWrite();

private:
    Chart* g = nullptr;
};

void TestChartMeasure::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestChartMeasure::init() {
    g = new Chart;
    g->resize(900, 500);
    g->show();
    QVERIFY(QTest::qWaitForWindowExposed(g));
}

void TestChartMeasure::cleanup() {
    delete g;
    g = nullptr;
}

// 21..67 °C on the fixed 0..4000 scale is a flat line; fitted, the axis hugs the data; the
// fixed scale comes back when asked for; a zoom over the fitted view returns to it; a double
// click fits.
void TestChartMeasure::fitToDataAndBack() {
    temperatureSet(*g, 200);
    QVERIFY(g->fixedScaleFlattens());
    QCOMPARE(g->plot()->yAxis->range().lower, 0.0);
    QCOMPARE(g->plot()->yAxis->range().upper, 4000.0);

    QSignalSpy fitted(g, &Chart::fittedChanged);
    g->fitToData();
    QCOMPARE(fitted.count(), 1);
    QVERIFY(g->fittedToData());
    const QCPRange y = g->plot()->yAxis->range();
    QVERIFY2(y.lower <= 21.0 && y.upper >= 67.0, qPrintable(QStringLiteral("%1..%2").arg(y.lower).arg(y.upper)));
    QVERIFY2(y.size() <= 1.1 * 46.0, qPrintable(QString::number(y.size())));
    const QCPRange x = g->plot()->xAxis->range();
    QVERIFY(x.lower <= keyOf(0) && x.upper >= keyOf(199));

    // New data refits.
    g->setPoints(201);
    g->setXData(0, 200, dateTimeToDays(kStart) + SecondsToDays(200));
    g->setYData(0, 200, 80.0f);
    g->redraw();
    QVERIFY(g->plot()->yAxis->range().upper >= 80.0);
    QVERIFY(g->plot()->yAxis->range().upper < 100.0);

    g->useFixedScales();
    QCOMPARE(fitted.count(), 2);
    QCOMPARE(g->plot()->yAxis->range().upper, 4000.0);

    // A double click on the plot area fits.
    settle(*g);
    QTest::mouseDClick(g->plot(), Qt::LeftButton, Qt::NoModifier,
                       g->plot()->axisRect()->rect().center());
    QVERIFY(g->fittedToData());
    QVERIFY(g->plot()->yAxis->range().upper < 100.0);

    // Data that fills the fixed scale well does not count as flat.
    for (int i = 0; i <= 200; ++i)
        g->setYData(0, i, float(20.0 * i));
    g->redraw();
    QVERIFY(!g->fixedScaleFlattens());
}

// The y axis caption is the unit; the hover readout gives value, unit and time.
void TestChartMeasure::unitOnAxisAndInTheReadout() {
    temperatureSet(*g, 11);
    g->fitToData();
    settle(*g);
    QCOMPARE(g->plot()->yAxis->label(), QStringLiteral("°C"));
    const QPoint at(int(g->plot()->xAxis->coordToPixel(keyOf(5))),
                    int(g->plot()->yAxis->coordToPixel(21.0 + 46.0 * 5 / 10)));
    QMouseEvent move(QEvent::MouseMove, at, g->plot()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(g->plot(), &move);
    const QString prompt = g->cursorPromptText();
    QVERIFY2(prompt.contains(QStringLiteral("44 °C")), qPrintable(prompt));
    QVERIFY2(prompt.contains(QStringLiteral("8:00:05")), qPrintable(prompt));
}

void TestChartMeasure::gapIsDrawnAsAGap_data() {
    QTest::addColumn<bool>("marked");
    QTest::newRow("link down between") << true;
    QTest::newRow("no gap") << false;
}

// Points at 0..9 s and 30..39 s; with a gap before the second run, nothing is drawn between
// them; without one, the line joins them.
void TestChartMeasure::gapIsDrawnAsAGap() {
    QFETCH(bool, marked);
    const double start = dateTimeToDays(kStart);
    setupTimeChart(g, 20, start, start + SecondsToDays(39), QString());
    g->setManualMinY(0);
    g->setManualMaxY(100);
    for (int i = 0; i < 20; ++i) {
        const int second = i < 10 ? i : i + 20;
        g->setXData(0, i, start + SecondsToDays(second));
        g->setYData(0, i, 50.0f);
    }
    if (marked)
        g->markGapBefore(0, 10);
    g->redraw();
    settle(*g);
    const QImage image = g->plot()->grab().toImage();
    const int y = int(std::lround(g->plot()->yAxis->coordToPixel(50)));
    const int xGap = int(std::lround(g->plot()->xAxis->coordToPixel(keyOf(20))));
    const int xRun = int(std::lround(g->plot()->xAxis->coordToPixel(keyOf(5))));
    const QColor yellow(255, 255, 0);
    QVERIFY(countNear(image, QRect(xRun - 3, y - 2, 7, 5), yellow, 60) > 0);
    const int inGap = countNear(image, QRect(xGap - 3, y - 2, 7, 5), yellow, 60);
    QCOMPARE(inGap > 0, !marked);
    // The statistics integrate nothing across the gap: 10 s x 50 per run, or 39 s x 50 joined.
    const RangeStatistics s = g->rangeStatistics();
    QCOMPARE(s.count, 20);
    const double expected = marked ? 2 * 9 * 50.0 : 39 * 50.0;
    QVERIFY2(std::abs(s.integral - expected) < 1e-3, qPrintable(QString::number(s.integral)));
}

// Cursors placed and moved by keys give the right differences, and the statistics then cover
// the points between them.
void TestChartMeasure::cursorsByKeyboard() {
    temperatureSet(*g, 101); // 21 + 0.46 °C a second
    g->fitToData();
    settle(*g);
    QTest::keyClick(g->plot(), Qt::Key_1); // cursors off: keys do nothing
    QVERIFY(!g->cursorPlaced(0));

    g->setCursorsShown(true);
    g->plot()->setFocus();
    QTest::keyClick(g->plot(), Qt::Key_1);
    QVERIFY(g->cursorPlaced(0));
    QTest::keyClick(g->plot(), Qt::Key_Home);
    QCOMPARE(g->cursorKey(0), keyOf(0));
    QTest::keyClick(g->plot(), Qt::Key_Right, Qt::ShiftModifier); // ten points on
    QTest::keyClick(g->plot(), Qt::Key_Right);
    QCOMPARE(g->cursorKey(0), keyOf(11));
    QTest::keyClick(g->plot(), Qt::Key_2);
    QCOMPARE(g->activeCursor(), 1);
    QTest::keyClick(g->plot(), Qt::Key_End);
    QTest::keyClick(g->plot(), Qt::Key_Left);
    QCOMPARE(g->cursorKey(1), keyOf(99));
    QCOMPARE(g->cursorKey(0), keyOf(11)); // the other one stayed

    const double v11 = double(float(21.0 + 46.0 * 11 / 100));
    const double v99 = double(float(21.0 + 46.0 * 99 / 100));
    QCOMPARE(g->cursorValue(0), v11);
    QCOMPARE(g->cursorValue(1), v99);
    const QString delta = g->cursorDeltaText();
    QVERIFY2(delta.contains(QStringLiteral("Δt 88 s")), qPrintable(delta));
    const QString dv = QLocale().toString(v99 - v11, 'g', 7);
    QVERIFY2(delta.contains(QStringLiteral("Δ ") + dv + QStringLiteral(" °C")), qPrintable(delta));
    QVERIFY2(delta.contains(QStringLiteral("Δ/Δt ") + QLocale().toString((v99 - v11) / 88, 'g', 6) +
                            QStringLiteral(" °C/s")),
             qPrintable(delta));

    QVERIFY(g->statisticsBetweenCursors());
    const RangeStatistics s = g->rangeStatistics();
    QCOMPARE(s.count, 89);
    QCOMPARE(s.min, v11);
    QCOMPARE(s.minTime, keyOf(11));
    QCOMPARE(s.max, v99);
    QCOMPARE(s.maxTime, keyOf(99));
    ChartMeasurePanel* panel = g->measurePanel();
    QTRY_VERIFY_WITH_TIMEOUT(panel->statisticsLabel->text().startsWith(
                                 QStringLiteral("Between cursors: 89 points")),
                             20000);
    QVERIFY(panel->cursorLabel->text().contains(QStringLiteral("Δt 88 s")));
    QTest::mouseClick(panel->copyButton, Qt::LeftButton);
    const QString copied = QApplication::clipboard()->text();
    QVERIFY2(copied.contains(QStringLiteral("Count\t89\n")), qPrintable(copied));
    QVERIFY2(copied.contains(QStringLiteral("Cursors\tΔt 88 s")), qPrintable(copied));

    QTest::keyClick(g->plot(), Qt::Key_Escape);
    QVERIFY(!g->cursorPlaced(0) && !g->cursorPlaced(1));
    QTRY_VERIFY_WITH_TIMEOUT(panel->statisticsLabel->text().startsWith(
                                 QStringLiteral("In view: 101 points")),
                             20000);
    // Hidden cursors do not narrow the statistics.
    QTest::keyClick(g->plot(), Qt::Key_1);
    QTest::keyClick(g->plot(), Qt::Key_2);
    g->setCursorsShown(false);
    QVERIFY(!g->statisticsBetweenCursors());
    QCOMPARE(g->rangeStatistics().count, 101);
}

// A click places cursor 1, the next cursor 2; a cursor line is dragged rather than zoomed.
void TestChartMeasure::cursorsByMouse() {
    temperatureSet(*g, 101);
    g->fitToData();
    g->setCursorsShown(true);
    settle(*g);
    const auto pixel = [this](int i) {
        return QPoint(int(std::lround(g->plot()->xAxis->coordToPixel(keyOf(i)))),
                      g->plot()->axisRect()->rect().center().y());
    };
    QTest::mouseClick(g->plot(), Qt::LeftButton, Qt::NoModifier, pixel(20));
    QTest::mouseClick(g->plot(), Qt::LeftButton, Qt::NoModifier, pixel(60));
    QCOMPARE(g->cursorKey(0), keyOf(20));
    QCOMPARE(g->cursorKey(1), keyOf(60));
    settle(*g);

    QWidget* plot = g->plot();
    QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, pixel(60));
    for (int i = 1; i <= 10; ++i) {
        const QPoint p = pixel(60 + 2 * i);
        QMouseEvent move(QEvent::MouseMove, p, plot->mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(plot, &move);
    }
    QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, pixel(80));
    QCOMPARE(g->cursorKey(1), keyOf(80));
    QCOMPARE(g->cursorKey(0), keyOf(20));
    QVERIFY(!g->zoomMode());
}

// The statistics of the visible range follow a zoom and its undoing.
void TestChartMeasure::statisticsFollowTheZoom() {
    temperatureSet(*g, 301);
    g->fitToData();
    settle(*g);
    ChartMeasurePanel* panel = g->measurePanel();
    QTRY_VERIFY_WITH_TIMEOUT(panel->statisticsLabel->text().startsWith(
                                 QStringLiteral("In view: 301 points")),
                             20000);
    QWidget* plot = g->plot();
    const QRect area = g->plot()->axisRect()->rect();
    const QPoint from(area.left() + area.width() / 4, area.top() + 5);
    const QPoint to(area.left() + area.width() / 2, area.bottom() - 5);
    QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, from);
    for (int i = 1; i <= 10; ++i) {
        const QPoint p = from + (to - from) * i / 10;
        QMouseEvent move(QEvent::MouseMove, p, plot->mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(plot, &move);
    }
    QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, to);
    QVERIFY(g->zoomMode());
    // Counted here from the visible range itself.
    const QCPRange visible = g->plot()->xAxis->range();
    int inView = 0;
    for (int i = 0; i <= 300; ++i)
        inView += visible.contains(keyOf(i)) ? 1 : 0;
    QVERIFY(inView > 50 && inView < 120);
    QCOMPARE(g->rangeStatistics().count, inView);
    QTRY_VERIFY_WITH_TIMEOUT(panel->statisticsLabel->text().startsWith(
                                 QStringLiteral("In view: %1 points").arg(inView)),
                             20000);
    g->undoZoom();
    QTRY_VERIFY_WITH_TIMEOUT(panel->statisticsLabel->text().startsWith(
                                 QStringLiteral("In view: 301 points")),
                             20000);
}

void TestChartMeasure::exportedPicturesShowTheData_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("png") << "chart.png";
    QTest::newRow("svg") << "chart.SVG";
    QTest::newRow("pdf") << "chart.pdf";
}

// The written file reads back as a picture of the asked size with the yellow curve where the
// data lies: along the fitted ramp, from the lower left to the upper right.
void TestChartMeasure::exportedPicturesShowTheData() {
    QFETCH(QString, name);
    temperatureSet(*g, 101);
    g->fitToData();
    settle(*g);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const QSize size(1000, 600);
    exportChart(*g, path, chartImageFormatFor(path), size);
    QImage image;
    if (name.endsWith(QLatin1String(".png"))) {
        image.load(path);
        QCOMPARE(image.size(), size);
    } else if (name.endsWith(QLatin1String(".SVG"))) {
        QSvgRenderer svg(path);
        QVERIFY(svg.isValid());
        QCOMPARE(svg.viewBox(), QRect(QPoint(0, 0), size));
        image = QImage(size, QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        svg.render(&painter);
    } else {
        QFile pdf(path);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(pdf.size() > 1000);
        return;
    }
    // The plot area is black; the ramp runs through its lower-left and upper-right quarters.
    const QColor yellow(255, 255, 0);
    const int total = countNear(image, image.rect(), yellow, 60);
    QVERIFY2(total > 300, qPrintable(QString::number(total)));
    const QRect lowerLeft(0, image.height() / 2, image.width() / 2, image.height() / 2);
    const QRect upperRight(image.width() / 2, 0, image.width() / 2, image.height() / 2);
    QVERIFY(countNear(image, lowerLeft, yellow, 60) > 100);
    QVERIFY(countNear(image, upperRight, yellow, 60) > 100);
    // Nothing far below the ramp on the right.
    QCOMPARE(countNear(image, QRect(image.width() * 3 / 5, image.height() * 3 / 5,
                                    image.width() * 2 / 5, image.height() * 2 / 5 - 80),
                       yellow, 60),
             0);
}

void TestChartMeasure::exportRefusesWhatItCannotWrite() {
    temperatureSet(*g, 11);
    QTemporaryDir dir;
    QVERIFY_THROWS_EXCEPTION(ChartError, exportChart(*g, dir.filePath(QStringLiteral("x.png")),
                                                     ChartImageFormat::Png, QSize(0, 10)));
    QVERIFY_THROWS_EXCEPTION(ChartError,
                             exportChart(*g, dir.filePath(QStringLiteral("no/such/folder.png")),
                                         ChartImageFormat::Png, QSize(100, 100)));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.png"))));
}

QTEST_MAIN(TestChartMeasure)
#include "test_chartmeasure.moc"
