// The chart: properties, drawing on redraw, data, zoom, clicks, cursor prompt, date-time axis
// and annotations.

#include "chartimage.h"
#include "daycount.h"
#include "chart.h"

#include <qcustomplot.h>

#include <QMenu>
#include <QtTest>

#include <cmath>

namespace {

// Redraws and waits for the queued repaint.
void redraw(Chart& g) {
    QSignalSpy replots(g.plot(), &QCustomPlot::afterReplot);
    g.redraw();
    QTRY_VERIFY_WITH_TIMEOUT(replots.count() > 0, 20000);
}

// A chart of `points` points with y = f(x), x from 0 to 100 on manual scales.
void fill(Chart& g, int points, const std::function<double(int)>& x,
          const std::function<float(int)>& y) {
    g.setPoints(points);
    g.setUsingXData(true);
    g.setManualScaleControlX(sgManualMinAndMax);
    g.setManualScaleControlY(sgManualMinAndMax);
    g.setManualMinX(0);
    g.setManualMaxX(100);
    g.setManualMinY(0);
    g.setManualMaxY(100);
    for (int p = 0; p < points; ++p) {
        g.setXData(0, p, x(p));
        g.setYData(0, p, y(p));
    }
}

QPoint pixelOf(Chart& g, double key, double value) {
    return QPoint(int(std::lround(g.plot()->xAxis->coordToPixel(key))),
                  int(std::lround(g.plot()->yAxis->coordToPixel(value))));
}

void drag(QWidget* w, QPoint from, QPoint to) {
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(w, (from + to) / 2);
    QTest::mouseMove(w, to);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, to);
}

} // namespace

class TestChart : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyPropertyReadsBack();
    void indexedPropertiesReadBack();
    void colourValues();
    void propertyWritesDoNotRedraw();
    void nullValueIsAGap();
    void pointsGrowAndShrink();
    void resetSubsetWithMinusOne();
    void appendPathDrawsLikeRebuild();
    void zoomWithMouseAndUndo();
    void zoomDirections_data();
    void zoomDirections();
    void hotSpotClick();
    void cursorPrompt_data();
    void cursorPrompt();
    void dateTimeLabels_data();
    void dateTimeLabels();
    void lookIsAppliedOnRebuild();
    void verticalLineAnnotations();
    void popupMenu();

private:
    Chart* g = nullptr;
};

void TestChart::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestChart::init() {
    g = new Chart;
    g->resize(800, 400);
    g->show();
    QVERIFY(QTest::qWaitForWindowExposed(g));
}

void TestChart::cleanup() {
    delete g;
    g = nullptr;
}

// Every property set to a value of its own, then all read back: catches a getter or setter
// wired to the wrong member.
void TestChart::everyPropertyReadsBack() {
    g->setSubsets(3);
    g->setPoints(42);
    g->setUsingXData(true);
    g->setNullDataValueY(9999.0);
    g->setDateTimeMode(sgVBDateTime);
    g->setManualScaleControlX(sgManualMinAndMax);
    g->setManualScaleControlY(sgManualMax);
    g->setManualMinX(1.5);
    g->setManualMaxX(2.5);
    g->setManualMinY(-3.5);
    g->setManualMaxY(4.5);
    g->setMainTitle("main");
    g->setSubTitle("sub");
    g->setXAxisLabel("Time");
    g->setYAxisLabel("V");
    g->setGraphBackColor(0x010203);
    g->setDeskColor(0x040506);
    g->setTextColor(0x070809);
    g->setGridStyle(sgDot);
    g->setAllowZooming(sgHorzPlusVertZooming);
    g->setCursorMode(sgFloatingXY);
    g->setCursorPromptStyle(sgYValue);
    g->setMouseCursorControl(true);
    g->setCursorPromptTracking(true);
    g->setAllowDataHotSpots(true);
    g->setAllowPopup(false);
    g->setShowVertLineAnnotations(true);
    g->setLineAnnotationTextSize(80);

    QCOMPARE(g->subsets(), 3);
    QCOMPARE(g->points(), 42);
    QCOMPARE(g->usingXData(), true);
    QCOMPARE(g->nullDataValueY(), 9999.0);
    QCOMPARE(g->dateTimeMode(), sgVBDateTime);
    QCOMPARE(g->manualScaleControlX(), sgManualMinAndMax);
    QCOMPARE(g->manualScaleControlY(), sgManualMax);
    QCOMPARE(g->manualMinX(), 1.5);
    QCOMPARE(g->manualMaxX(), 2.5);
    QCOMPARE(g->manualMinY(), -3.5);
    QCOMPARE(g->manualMaxY(), 4.5);
    QCOMPARE(g->mainTitle(), QString("main"));
    QCOMPARE(g->subTitle(), QString("sub"));
    QCOMPARE(g->xAxisLabel(), QString("Time"));
    QCOMPARE(g->yAxisLabel(), QString("V"));
    QCOMPARE(g->graphBackColor(), PEColor(0x010203));
    QCOMPARE(g->deskColor(), PEColor(0x040506));
    QCOMPARE(g->textColor(), PEColor(0x070809));
    QCOMPARE(g->gridStyle(), sgDot);
    QCOMPARE(g->allowZooming(), sgHorzPlusVertZooming);
    QCOMPARE(g->cursorMode(), sgFloatingXY);
    QCOMPARE(g->cursorPromptStyle(), sgYValue);
    QCOMPARE(g->mouseCursorControl(), true);
    QCOMPARE(g->cursorPromptTracking(), true);
    QCOMPARE(g->allowDataHotSpots(), true);
    QCOMPARE(g->allowPopup(), false);
    QCOMPARE(g->showVertLineAnnotations(), true);
    QCOMPARE(g->lineAnnotationTextSize(), 80);
    QCOMPARE(g->zoomMode(), false);
}

void TestChart::indexedPropertiesReadBack() {
    g->setPoints(10);
    g->setYData(0, 9, 1.25f);
    g->setYData(2, 3, -7.5f);
    g->setXData(1, 4, 46000.75);
    g->setSubsetLabels(2, "two");
    g->setSubsetColors(5, 0x123456);
    g->setSubsetLineTypes(1, 2);
    g->setVertLineAnnotation(3, 46000.5);
    g->setVertLineAnnotationType(3, 2);
    g->setVertLineAnnotationColor(3, 65280);
    g->setVertLineAnnotationText(3, "10:30:01 12.34 V");

    QCOMPARE(g->yData(0, 9), 1.25f);
    QCOMPARE(g->yData(2, 3), -7.5f);
    QCOMPARE(g->yData(0, 3), 0.0f);
    QCOMPARE(g->xData(1, 4), 46000.75);
    QCOMPARE(g->subsetLabels(2), QString("two"));
    QCOMPARE(g->subsetLabels(0), QString());
    QCOMPARE(g->subsetColors(5), PEColor(0x123456));
    QCOMPARE(g->subsetLineTypes(1), 2);
    QCOMPARE(g->subsetLineTypes(0), 0);
    QCOMPARE(g->vertLineAnnotation(3), 46000.5);
    QCOMPARE(g->vertLineAnnotationType(3), 2);
    QCOMPARE(g->vertLineAnnotationColor(3), PEColor(65280));
    QCOMPARE(g->vertLineAnnotationText(3), QString("10:30:01 12.34 V"));
    QCOMPARE(g->vertLineAnnotationText(2), QString());

    // Out-of-range indices: ignored on write, 0 or empty on read, never a crash.
    g->setYData(0, 10, 5.0f);
    g->setYData(-1 - 1, 0, 5.0f);
    g->setXData(Chart::kMaxSubsets, 0, 1.0);
    g->setVertLineAnnotation(-1, 1.0);
    g->setSubsetColors(-1, 1);
    QCOMPARE(g->yData(0, 10), 0.0f);
    QCOMPARE(g->xData(Chart::kMaxSubsets, 0), 0.0);
    QCOMPARE(g->vertLineAnnotation(-1), 0.0);
    QCOMPARE(g->vertLineAnnotation(Chart::kMaxIndexed), 0.0);
}

void TestChart::colourValues() {
    // 0x00BBGGRR: red in the low byte.
    QCOMPARE(Chart::toQColor(0x0000FF), QColor(255, 0, 0));
    QCOMPARE(Chart::toQColor(65280), QColor(0, 255, 0));
    QCOMPARE(Chart::toQColor(0xC0C0C0), QColor(192, 192, 192));
    QCOMPARE(Chart::fromQColor(QColor(255, 255, 0)), PEColor(0x00FFFF));
}

void TestChart::propertyWritesDoNotRedraw() {
    redraw(*g);
    QCustomPlot* plot = g->plot();
    QSignalSpy replots(plot, &QCustomPlot::afterReplot);
    const QCPRange yBefore = plot->yAxis->range();
    const QColor backBefore = plot->axisRect()->backgroundBrush().color();

    fill(
        *g, 10, [](int p) { return p * 10.0; }, [](int p) { return float(p); });
    g->setManualMaxY(50);
    g->setGraphBackColor(0x0000FF);
    g->setSubsets(2);
    QCoreApplication::processEvents();
    QCOMPARE(plot->graphCount(), 1);
    QCOMPARE(plot->graph(0)->data()->size(), 0);
    QCOMPARE(plot->yAxis->range(), yBefore);
    QCOMPARE(plot->axisRect()->backgroundBrush().color(), backBefore);
    QCOMPARE(replots.count(), 0);

    // One redraw: rebuilt at once, repainted once when the event loop comes round, however
    // often it is asked for meanwhile.
    g->redraw();
    QCOMPARE(plot->graphCount(), 2);
    QCOMPARE(plot->graph(0)->data()->size(), 10);
    QCOMPARE(plot->yAxis->range(), QCPRange(0, 50));
    QCOMPARE(plot->axisRect()->backgroundBrush().color(), QColor(255, 0, 0));
    QCOMPARE(replots.count(), 0);
    g->redraw();
    QTRY_COMPARE_WITH_TIMEOUT(replots.count(), 1, 20000);
    QCoreApplication::processEvents();
    QCOMPARE(replots.count(), 1);

    // A later write to an already drawn point waits for the next redraw as well.
    g->setYData(0, 2, 77.0f);
    QCOMPARE(plot->graph(0)->data()->at(2)->value, 2.0);
    g->redraw();
    QCOMPARE(plot->graph(0)->data()->at(2)->value, 77.0);
}

void TestChart::nullValueIsAGap() {
    g->setNullDataValueY(9999.0);
    fill(
        *g, 5, [](int p) { return p * 10.0; }, [](int p) { return p == 2 ? 9999.0f : 20.0f; });
    redraw(*g);
    const auto data = g->plot()->graph(0)->data();
    QCOMPARE(data->size(), 5);
    QVERIFY(std::isnan(data->at(2)->value));
    QCOMPARE(data->at(3)->value, 20.0);
    QCOMPARE(g->yData(0, 2), 9999.0f);

    // Drawn: the plot area around x = 20 stays empty while the line shows left and right.
    g->setGraphBackColor(0x000000);
    g->setSubsetColors(0, 0xFFFFFF);
    redraw(*g);
    const QImage shot = g->plot()->toPixmap().toImage();
    const auto lineAt = [&](double key) {
        const QPoint p = pixelOf(*g, key, 20);
        for (int dy = -1; dy <= 1; ++dy)
            if (qGray(shot.pixel(p.x(), p.y() + dy)) > 128)
                return true;
        return false;
    };
    QVERIFY(lineAt(5));
    QVERIFY(lineAt(35));
    QVERIFY(!lineAt(20));
}

void TestChart::pointsGrowAndShrink() {
    fill(
        *g, 100, [](int p) { return p; }, [](int p) { return float(p) / 2; });
    redraw(*g);
    // The recorder's 101st sample: Points 100 -> 200, then point 100 is written.
    g->setPoints(200);
    g->setXData(0, 100, 100);
    g->setYData(0, 100, 50.0f);
    redraw(*g);
    QCOMPARE(g->plot()->graph(0)->data()->size(), 101);
    QCOMPARE(g->yData(0, 5), 2.5f);
    QCOMPARE(g->yData(0, 100), 50.0f);

    // Lowering drops the points beyond; raising again does not bring them back.
    g->setPoints(50);
    QCOMPARE(g->yData(0, 60), 0.0f);
    g->setPoints(200);
    QCOMPARE(g->yData(0, 60), 0.0f);
    QCOMPARE(g->yData(0, 49), 24.5f);
    redraw(*g);
    QCOMPARE(g->plot()->graph(0)->data()->size(), 50);

    // The recorder's function change: Points 0 and a redraw empty the chart.
    g->setPoints(0);
    redraw(*g);
    QCOMPARE(g->plot()->graph(0)->data()->size(), 0);
}

void TestChart::resetSubsetWithMinusOne() {
    fill(
        *g, 10, [](int p) { return p; }, [](int p) { return float(p + 1); });
    g->setYData(1, 3, 4.0f);
    redraw(*g);
    g->setYData(0, -1, 0);
    QCOMPARE(g->yData(0, 5), 0.0f);
    QCOMPARE(g->xData(0, 5), 0.0);
    QCOMPARE(g->yData(1, 3), 4.0f); // other subsets keep their data
    redraw(*g);
    QCOMPARE(g->plot()->graph(0)->data()->size(), 0);
}

// A chart filled one sample and one redraw at a time draws the same as one filled at once.
void TestChart::appendPathDrawsLikeRebuild() {
    Chart once;
    const auto x = [](int p) { return 45000.0 + SecondsToDays(p); };
    const auto y = [](int p) { return float(std::sin(p * 0.1) * 100); };
    g->setDateTimeMode(sgVBDateTime);
    once.setDateTimeMode(sgVBDateTime);
    fill(once, 300, x, y);
    redraw(once);
    fill(*g, 0, x, y);
    for (int p = 0; p < 300; ++p) {
        if (g->points() <= p)
            g->setPoints(g->points() + 100);
        g->setXData(0, p, x(p));
        g->setYData(0, p, y(p));
        g->redraw();
    }
    const auto a = g->plot()->graph(0)->data();
    const auto b = once.plot()->graph(0)->data();
    QCOMPARE(a->size(), 300);
    QCOMPARE(b->size(), 300);
    for (int i = 0; i < 300; ++i) {
        QCOMPARE(a->at(i)->key, b->at(i)->key);
        QCOMPARE(a->at(i)->value, b->at(i)->value);
    }
}

void TestChart::zoomWithMouseAndUndo() {
    fill(
        *g, 100, [](int p) { return p; }, [](int p) { return float(p); });
    g->setAllowZooming(sgHorzPlusVertZooming);
    redraw(*g);
    QSignalSpy clicks(g, &Chart::onClick);
    QCustomPlot* plot = g->plot();
    const QRect area = plot->axisRect()->rect();
    const QPoint from = area.topLeft() + QPoint(area.width() / 4, area.height() / 4);
    const QPoint to = area.topLeft() + QPoint(area.width() / 2, area.height() / 2);
    const double x0 = plot->xAxis->pixelToCoord(from.x());
    const double x1 = plot->xAxis->pixelToCoord(to.x());
    const double yTop = plot->yAxis->pixelToCoord(from.y());
    const double yBottom = plot->yAxis->pixelToCoord(to.y());

    drag(plot, from, to);
    QVERIFY(g->zoomMode());
    QCOMPARE(clicks.count(), 0);
    QVERIFY(qAbs(plot->xAxis->range().lower - x0) < 1);
    QVERIFY(qAbs(plot->xAxis->range().upper - x1) < 1);
    QVERIFY(qAbs(plot->yAxis->range().lower - yBottom) < 1);
    QVERIFY(qAbs(plot->yAxis->range().upper - yTop) < 1);

    // Samples keep coming while zoomed: the view stays.
    g->setManualMaxX(200);
    redraw(*g);
    QVERIFY(g->zoomMode());
    QVERIFY(qAbs(plot->xAxis->range().upper - x1) < 1);

    // undoZoom: back to the ranges of the last redraw; a bound written since is not read.
    g->setManualMaxY(80);
    g->undoZoom();
    QVERIFY(!g->zoomMode());
    QCOMPARE(plot->xAxis->range(), QCPRange(0, 200));
    QCOMPARE(plot->yAxis->range(), QCPRange(0, 100));

    // resetView: leaves the zoom and reads what was written (the scale dialog, Undo Zoom).
    plot->replot();
    drag(plot, from, to);
    QVERIFY(g->zoomMode());
    g->setManualMaxY(50);
    g->resetView();
    QVERIFY(!g->zoomMode());
    QCOMPARE(plot->xAxis->range(), QCPRange(0, 200));
    QCOMPARE(plot->yAxis->range(), QCPRange(0, 50));

    // A press and release without moving is a click, not a zoom.
    plot->replot();
    QTest::mouseClick(plot, Qt::LeftButton, Qt::NoModifier, to);
    QVERIFY(!g->zoomMode());
    QCOMPARE(clicks.count(), 1);
}

void TestChart::zoomDirections_data() {
    QTest::addColumn<int>("allow");
    QTest::addColumn<bool>("zoomsX");
    QTest::addColumn<bool>("zoomsY");
    QTest::newRow("none") << 0 << false << false;
    QTest::newRow("horizontal") << sgHorzZooming << true << false;
    QTest::newRow("vertical") << sgVertZooming << false << true;
    QTest::newRow("both") << sgHorzPlusVertZooming << true << true;
}

void TestChart::zoomDirections() {
    QFETCH(int, allow);
    QFETCH(bool, zoomsX);
    QFETCH(bool, zoomsY);
    fill(
        *g, 100, [](int p) { return p; }, [](int p) { return float(p); });
    g->setAllowZooming(allow);
    redraw(*g);
    const QRect area = g->plot()->axisRect()->rect();
    drag(g->plot(), area.center() - QPoint(60, 40), area.center() + QPoint(60, 40));
    QCOMPARE(g->zoomMode(), zoomsX || zoomsY);
    QCOMPARE(g->plot()->xAxis->range() != QCPRange(0, 100), zoomsX);
    QCOMPARE(g->plot()->yAxis->range() != QCPRange(0, 100), zoomsY);
}

void TestChart::hotSpotClick() {
    // Times out of order, so that the drawing order differs from the point numbers.
    fill(
        *g, 50, [](int p) { return (p * 37) % 50 * 2.0; }, [](int p) { return float(p * 2); });
    g->setAllowDataHotSpots(true);
    redraw(*g);
    QSignalSpy hot(g, &Chart::onDataHotSpot);
    QSignalSpy clicks(g, &Chart::onClick);
    const int target = 17;
    const QPoint at = pixelOf(*g, (target * 37) % 50 * 2.0, target * 2) + QPoint(3, -2);

    QTest::mouseClick(g->plot(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.at(0).at(0).value<Chart*>(), g);
    QCOMPARE(hot.count(), 1);
    QCOMPARE(hot.at(0).at(0).value<Chart*>(), g);
    QCOMPARE(hot.at(0).at(1).toBool(), false);
    QCOMPARE(hot.at(0).at(2).toInt(), 0);
    QCOMPARE(hot.at(0).at(3).toInt(), target);

    // Far from every point: a click, no hot spot.
    hot.clear();
    QTest::mouseClick(g->plot(), Qt::LeftButton, Qt::NoModifier,
                      pixelOf(*g, (target * 37) % 50 * 2.0, 99));
    QCOMPARE(hot.count(), 0);
    QCOMPARE(clicks.count(), 2);

    QTest::mouseDClick(g->plot(), Qt::LeftButton, Qt::NoModifier, at);
    bool sawDouble = false;
    for (const auto& args : hot)
        if (args.at(1).toBool()) {
            sawDouble = true;
            QCOMPARE(args.at(3).toInt(), target);
        }
    QVERIFY(sawDouble);

    hot.clear();
    g->setAllowDataHotSpots(false);
    QTest::mouseClick(g->plot(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(hot.count(), 0);
}

void TestChart::cursorPrompt_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("expected");
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("y value") << us << sgFloatingXY << "12.34";
    QTest::newRow("decimal comma")
        << QLocale(QLocale::German, QLocale::Germany) << sgFloatingXY << "12,34";
    QTest::newRow("no cursor") << us << 0 << "";
}

void TestChart::cursorPrompt() {
    QFETCH(QLocale, locale);
    QFETCH(int, mode);
    QFETCH(QString, expected);
    QLocale::setDefault(locale);
    fill(
        *g, 3, [](int p) { return 20.0 + 30 * p; }, [](int p) { return p == 1 ? 12.34f : 80.0f; });
    g->setCursorMode(mode);
    g->setMouseCursorControl(true);
    g->setCursorPromptTracking(true);
    g->setCursorPromptStyle(sgYValue);
    redraw(*g);
    QTest::mouseMove(g->plot(), QPoint(1, 1)); // a move to where the mouse is would be dropped
    QTest::mouseMove(g->plot(), pixelOf(*g, 52, 14));
    QCOMPARE(g->cursorPromptText(), expected);
    QEvent leave(QEvent::Leave); // the mouse leaves the chart: no prompt
    QCoreApplication::sendEvent(g->plot(), &leave);
    QCOMPARE(g->cursorPromptText(), QString());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestChart::dateTimeLabels_data() {
    QTest::addColumn<double>("spanSeconds");
    QTest::addColumn<QString>("kind");
    QTest::newRow("minutes") << 200.0 << "time";
    QTest::newRow("days") << DaysToSeconds(10) << "date and time";
    QTest::newRow("months") << DaysToSeconds(200) << "date";
}

// The axis counts days since 30 Dec 1899; labels show the real date and time.
void TestChart::dateTimeLabels() {
    QFETCH(double, spanSeconds);
    QFETCH(QString, kind);
    const double start = 46357.0 + 10.0 / 24; // 1 Dec 2026 10:00:00
    g->setDateTimeMode(sgVBDateTime);
    g->setManualScaleControlX(sgManualMinAndMax);
    g->setManualMinX(start);
    g->setManualMaxX(start + SecondsToDays(spanSeconds));
    redraw(*g);
    const QVector<QString> labels = g->plot()->xAxis->tickVectorLabels();
    QVERIFY(labels.size() >= 2);
    const QDateTime from(QDate(2026, 12, 1), QTime(10, 0), QTimeZone::utc());
    const QDateTime to = from.addSecs(qint64(spanSeconds));
    for (const QString& label : labels) {
        if (kind == "time") {
            const QTime t = QTime::fromString(label, "h:mm:ss AP");
            QVERIFY2(t.isValid(), qPrintable(label));
            QVERIFY2(t >= from.time() && t <= to.time(), qPrintable(label));
        } else {
            const QStringList lines = label.split('\n');
            QCOMPARE(lines.size(), kind == "date" ? 1 : 2);
            QDate d = QDate::fromString(lines[0], "M/d/yy");
            QVERIFY2(d.isValid(), qPrintable(label));
            d = d.addYears(2026 - d.year());
            if (d < from.date())
                d = d.addYears(1);
            QVERIFY2(d >= from.date() && d <= to.date(), qPrintable(label));
        }
    }
}

void TestChart::lookIsAppliedOnRebuild() {
    g->setSubsets(3);
    g->setSubsetColors(0, 0x00FFFF);
    g->setSubsetColors(1, 0xFF00FF);
    g->setSubsetLineTypes(1, 2);
    g->setSubsetLineTypes(2, 1);
    g->setGraphBackColor(0x000000);
    g->setDeskColor(0xC0C0C0);
    g->setTextColor(0x0000FF);
    g->setGridStyle(sgDot);
    g->setMainTitle("  ");
    g->setXAxisLabel("Time");
    g->setSubsetLabels(1, "Volts");
    redraw(*g);
    QCustomPlot* plot = g->plot();
    QCOMPARE(plot->graphCount(), 3);
    QCOMPARE(plot->graph(0)->pen().color(), QColor(255, 255, 0));
    QCOMPARE(plot->graph(0)->pen().style(), Qt::SolidLine);
    QCOMPARE(plot->graph(1)->pen().color(), QColor(255, 0, 255));
    QCOMPARE(plot->graph(1)->pen().style(), Qt::DotLine);
    QCOMPARE(plot->graph(2)->pen().style(), Qt::DashLine);
    QCOMPARE(plot->axisRect()->backgroundBrush().color(), QColor(0, 0, 0));
    QCOMPARE(plot->xAxis->labelColor(), QColor(255, 0, 0));
    QCOMPARE(plot->xAxis->grid()->pen().style(), Qt::DotLine);
    QCOMPARE(plot->xAxis->label(), QString("Time"));
    auto* title = qobject_cast<QCPTextElement*>(plot->plotLayout()->element(0, 0));
    QVERIFY(title);
    QCOMPARE(title->text(), QString("  "));
    QVERIFY(plot->legend->visible());
    QCOMPARE(plot->legend->itemCount(), 1);

    // The surround: grabbed from the screen image.
    const QImage shot = plot->toPixmap().toImage();
    QCOMPARE(QColor(shot.pixel(2, plot->height() / 2)), QColor(192, 192, 192));
    QVERIFY(mostlyColour(shot, plot->axisRect()->rect().center(), Qt::black));

    g->setMainTitle(QString());
    redraw(*g);
    QVERIFY(!qobject_cast<QCPTextElement*>(plot->plotLayout()->element(0, 0)));
}

void TestChart::verticalLineAnnotations() {
    g->setDateTimeMode(sgVBDateTime);
    g->setManualScaleControlX(sgManualMinAndMax);
    g->setManualMinX(46357.0);
    g->setManualMaxX(46358.0);
    g->setLineAnnotationTextSize(100);
    g->setVertLineAnnotation(0, 46357.5);
    g->setVertLineAnnotationType(0, 2);
    g->setVertLineAnnotationColor(0, 65280);
    g->setVertLineAnnotationText(0, "12:00:00 12.34 V");
    QCustomPlot* plot = g->plot();
    redraw(*g);
    QCOMPARE(plot->itemCount(), 0); // not shown yet

    g->setShowVertLineAnnotations(true);
    QCOMPARE(plot->itemCount(), 0);
    redraw(*g);
    QCOMPARE(plot->itemCount(), 2);
    auto* line = qobject_cast<QCPItemStraightLine*>(plot->item(0));
    auto* text = qobject_cast<QCPItemText*>(plot->item(1));
    QVERIFY(line && text);
    const double noon = DaysToEpochSeconds(46357.5);
    QCOMPARE(line->point1->key(), noon);
    QCOMPARE(line->point2->key(), noon);
    QCOMPARE(line->pen().color(), QColor(0, 255, 0));
    QCOMPARE(line->pen().style(), Qt::DotLine);
    QCOMPARE(text->text(), QString("12:00:00 12.34 V"));
    QCOMPARE(text->color(), QColor(0, 255, 0));

    // Moving the marker replaces it.
    g->setVertLineAnnotation(0, 46357.25);
    redraw(*g);
    QCOMPARE(plot->itemCount(), 2);
    QCOMPARE(qobject_cast<QCPItemStraightLine*>(plot->item(0))->point1->key(), noon - 6 * 3600);

    g->setShowVertLineAnnotations(false);
    redraw(*g);
    QCOMPARE(plot->itemCount(), 0);
}

void TestChart::popupMenu() {
    fill(
        *g, 100, [](int p) { return p; }, [](int p) { return float(p); });
    g->setAllowZooming(sgHorzPlusVertZooming);
    redraw(*g);
    const QRect area = g->plot()->axisRect()->rect();
    drag(g->plot(), area.center() - QPoint(50, 50), area.center() + QPoint(50, 50));
    QVERIFY(g->zoomMode());
    std::unique_ptr<QMenu> menu(g->createPopupMenu());
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 1);
    QAction* undo = menu->actions().at(0);
    QCOMPARE(undo->text(), QString("Undo Zoom"));
    QVERIFY(undo->isEnabled());
    undo->trigger();
    QVERIFY(!g->zoomMode());
    g->setAllowPopup(false);
    QVERIFY(!g->createPopupMenu());
}

QTEST_MAIN(TestChart)
#include "test_chart.moc"
