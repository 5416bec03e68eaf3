// The real-time recorder driven by the main-timer step, the decoder and its own controls.

#include "childwindow.h"
#include "datetimetext.h"
#include "daycount.h"
#include "chart.h"
#include "rateeditor.h"
#include "recorderharness.h"
#include "recordersamples.h"
#include "stringgrid.h"

#include <qcustomplot.h>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QToolButton>
#include <QtTest>

namespace {

const QByteArray kMilliVolts = LiveFrame(0, 1234, ';'); // 123.4 mV

double seconds(double days) {
    return DaysToSeconds(days);
}

// Drags a zoom band over the middle of the chart's plot area.
void zoomIn(Chart* chart) {
    QWidget* plot = chart->plot();
    const QRect area = chart->plot()->axisRect()->rect();
    const QPoint from = area.topLeft() + QPoint(area.width() / 4, area.height() / 4);
    const QPoint to = area.topLeft() + QPoint(area.width() / 2, area.height() / 2);
    QTest::mousePress(plot, Qt::LeftButton, {}, from);
    for (int i = 1; i <= 10; ++i) {
        const QPoint p = from + (to - from) * i / 10;
        QMouseEvent move(QEvent::MouseMove, p, plot->mapToGlobal(p), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(plot, &move);
    }
    QTest::mouseRelease(plot, Qt::LeftButton, {}, to);
}

// Adjacent tick labels of an axis, as drawn, do not run into each other.
bool tickLabelsApart(QCPAxis* axis) {
    const QFontMetrics metrics(axis->tickLabelFont());
    const QVector<double> ticks = axis->tickVector();
    const QVector<QString> labels = axis->tickVectorLabels();
    const bool across = axis->orientation() == Qt::Horizontal;
    double previousPos = 0, previousExtent = 0;
    bool first = true;
    for (int i = 0; i < ticks.size(); ++i) {
        if (!axis->range().contains(ticks[i]))
            continue;
        const QSize size = metrics.boundingRect(QRect(), Qt::AlignLeft, labels[i]).size();
        const double extent = across ? size.width() : size.height();
        const double pos = axis->coordToPixel(ticks[i]);
        if (!first && std::abs(pos - previousPos) < (extent + previousExtent) / 2) {
            qWarning("tick labels %s and %s overlap", qPrintable(labels[i - 1]),
                     qPrintable(labels[i]));
            return false;
        }
        first = false;
        previousPos = pos;
        previousExtent = extent;
    }
    return true;
}

} // namespace

class TestRecorder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void createdWithItsLayoutAndControls();
    void rateEditor_data();
    void rateEditor();
    void showRate_data();
    void showRate();
    void startAndStop();

    void samplesOnlyOnTicksWithAReading();
    void firstSampleOnceTheCounterHasReachedTheInterval();
    void rateZeroSamplesEveryTickWithAReading();
    void sampleRowAndPoint();
    void hundredAndFirstSampleRaisesPoints();
    void timeAxisGrowsBySpans();
    void timeAxisCatchesUpAfterAPause();
    void zoomedChartKeepsItsAxis();
    void newestRowAtTheBottom();

    void clearEmptiesTableAndChart();
    void startAndClearLeaveTheZoomAndALinkDownBreaksTheLine();
    void functionChangeEmptiesButKeepsTheAxis();
    void rangeChangeKeepsPointsComparable_data();
    void rangeChangeKeepsPointsComparable();
    void rangeChangeConvertsEachRunFromItsOwnUnit();
    void scaleChangeLimits_data();
    void scaleChangeLimits();

    void printsTheChart();
    void keepsAMinimumSizeUnderCascadeAndTile();

private:
    std::unique_ptr<RecorderRig> rig;
};

void TestRecorder::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestRecorder::init() {
    rig.reset();
    rig = std::make_unique<RecorderRig>();
    QVERIFY(QTest::qWaitForWindowExposed(rig->rtc.get()));
}

void TestRecorder::createdWithItsLayoutAndControls() {
    RecorderWindow& w = *rig->rtc;
    QCOMPARE(w.windowTitle(), QStringLiteral("Real Time Data Recorder"));
    QCOMPARE(w.size(), QSize(800, 500));
    QVERIFY(!w.btnStart->isEnabled());
    QVERIFY(!w.btnStop->isEnabled());
    QVERIFY(w.btnClear->isEnabled());
    QCOMPARE(w.btnStart->toolTip(), QStringLiteral("Start collecting real time data"));
    QCOMPARE(w.btnStop->toolTip(), QStringLiteral("Stop collecting real time data"));
    QCOMPARE(w.btnClear->toolTip(), QStringLiteral("Clear real time data"));
    QCOMPARE(w.rateEditor->toolTip(), QStringLiteral("Real Time Recording Rate"));
    QCOMPARE(w.rateEditor->statusTip(), QStringLiteral("Editor for Real Time Sampling Rate"));
    QVERIFY(w.rateEditor->font().bold());
    QCOMPARE(w.rateEditor->rateText(), QStringLiteral("  00 : 02  "));
    for (QToolButton* b : {w.btnStart, w.btnStop, w.btnClear})
        QVERIFY(!b->icon().isNull());

    // The chart takes two thirds of the area below the bar.
    QCOMPARE(w.chart->height(), (500 - RecorderWindow::BarHeight) * 2 / 3);
    QVERIFY(!w.chart->allowPopup());

    StringGrid& g = *w.recordTable;
    QCOMPARE(g.gridColCount(), 6);
    QCOMPARE(g.gridRowCount(), 2);
    QCOMPARE(g.defaultRowHeight(), 20);
    const QStringList captions = {"", "Date", "Time", "Value", "Range", "Limit"};
    for (int c = 0; c < 6; ++c)
        QCOMPARE(g.cells(c, 0), captions[c]);
    QCOMPARE(g.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Date"));
    QCOMPARE(g.colWidths(0), int(g.defaultColWidth() * 0.7));
    QCOMPARE(g.colWidths(1), int(g.defaultColWidth() * 1.5));
    QCOMPARE(g.colWidths(2), int(g.defaultColWidth() * 1.5));
    QCOMPARE(g.colWidths(3), g.defaultColWidth());

    // The chart spans RecorderPoints samples from now.
    QCOMPARE(w.chart->points(), RecorderState::Points);
    QCOMPARE(w.chart->manualMinX(), rig->clock.at(0));
    QVERIFY(sameTime(w.chart->manualMaxX(), rig->clock.at(200)));
}

void TestRecorder::rateEditor_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("text");

    QTest::newRow("00:05") << 7 << "05" << 5 << "  00 : 05  ";
    QTest::newRow("12:34") << 2 << "1234" << 12 * 60 + 34 << "  12 : 34  ";
    QTest::newRow("seconds 75 become 60") << 7 << "75" << 60 << "  00 : 60  ";
    QTest::newRow("minutes 99 become 60") << 2 << "99" << 60 * 60 + 2 << "  60 : 02  ";
    QTest::newRow("60:60 is accepted") << 2 << "6060" << 3660 << "  60 : 60  ";
    QTest::newRow("00:00 is accepted") << 2 << "0000" << 0 << "  00 : 00  ";
    QTest::newRow("letters are not taken") << 7 << "ab" << 2 << "  00 : 02  ";
}

void TestRecorder::rateEditor() {
    QFETCH(int, position);
    QFETCH(QString, keys);
    QFETCH(int, interval);
    QFETCH(QString, text);
    RateEditor* edit = rig->rtc->rateEditor;
    edit->setFocus();
    edit->setCursorPosition(position);
    QTest::keyClicks(edit, keys);
    QCOMPARE(rig->recorder.recordInterval(), interval);
    QCOMPARE(edit->rateText(), text);
}

void TestRecorder::showRate_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QString>("text");
    QTest::newRow("0 becomes 2") << 0 << 2 << "  00 : 02  ";
    QTest::newRow("125 s") << 125 << 125 << "  02 : 05  ";
    QTest::newRow("60:60") << 3660 << 3660 << "  61 : 00  ";
}

void TestRecorder::showRate() {
    QFETCH(int, interval);
    QFETCH(int, shown);
    QFETCH(QString, text);
    rig->recorder.setRecordInterval(interval);
    rig->rtc->showRate();
    QCOMPARE(rig->recorder.recordInterval(), shown);
    QCOMPARE(rig->rtc->rateEditor->rateText(), text);
}

void TestRecorder::startAndStop() {
    RecorderWindow& w = *rig->rtc;
    QVERIFY(!w.btnStart->isEnabled()); // no meter yet
    rig->receive(kMilliVolts);        // the meter answers: Start can be used
    QVERIFY(w.btnStart->isEnabled() && !w.btnStop->isEnabled());
    rig->editSchedule([&](RecorderSchedule& s) { s.setArmed(true); });
    QTest::mouseClick(w.btnStart, Qt::LeftButton);
    QVERIFY(rig->recorder.recording());
    QVERIFY(!w.btnStart->isEnabled());
    QVERIFY(w.btnStop->isEnabled());
    QVERIFY(rig->recorder.schedule().armed());
    QTest::mouseClick(w.btnStop, Qt::LeftButton);
    QVERIFY(!rig->recorder.recording());
    QVERIFY(!rig->recorder.schedule().armed());
    QVERIFY(w.btnStart->isEnabled());
    QVERIFY(!w.btnStop->isEnabled());
}

void TestRecorder::samplesOnlyOnTicksWithAReading() {
    rig->recorder.setRecordInterval(5);
    rig->rtc->startRecording();
    QList<qint64> sampledAt;
    const auto tick = [&](bool reading) {
        if (reading)
            rig->receive(kMilliVolts);
        const int before = rig->rtc->sampleCount();
        rig->tick();
        if (rig->rtc->sampleCount() != before)
            sampledAt << rig->clock.seconds;
    };
    for (int i = 0; i < 5; ++i)
        tick(true); // seconds 1..5: the fifth tick samples
    for (int i = 0; i < 4; ++i)
        tick(false); // 6..9: no readings, no samples (the link stays up)
    tick(true);      // 10: one sample, none made up for the ticks without a reading
    for (int i = 0; i < 5; ++i)
        tick(true); // 11..15
    QCOMPARE(sampledAt, (QList<qint64>{5, 10, 15}));
    QCOMPARE(rig->rtc->sampleCount(), 3);
    QCOMPARE(rig->rtc->recordTable->gridRowCount(), 4);
    QCOMPARE(rig->rtc->chart->xData(0, 1), rig->clock.at(10));
}

void TestRecorder::firstSampleOnceTheCounterHasReachedTheInterval() {
    rig->recorder.setRecordInterval(5);
    for (int i = 0; i < 3; ++i)
        rig->tickWithReading(kMilliVolts);
    QCOMPARE(rig->rtc->sampleCount(), 0); // not recording
    rig->rtc->startRecording();            // the counter (3) is kept
    rig->tickWithReading(kMilliVolts);
    QCOMPARE(rig->rtc->sampleCount(), 0);
    rig->tickWithReading(kMilliVolts);
    QCOMPARE(rig->rtc->sampleCount(), 1);
    QCOMPARE(rig->rtc->chart->xData(0, 0), rig->clock.at(5));

    // A counter that passed the interval while not recording samples at the first tick.
    rig->rtc->stopRecording();
    for (int i = 0; i < 8; ++i)
        rig->tickWithReading(kMilliVolts);
    rig->rtc->startRecording();
    rig->tickWithReading(kMilliVolts);
    QCOMPARE(rig->rtc->sampleCount(), 2);
}

void TestRecorder::rateZeroSamplesEveryTickWithAReading() {
    rig->rtc->rateEditor->setRateText(QStringLiteral("  00 : 00  "));
    rig->rtc->onRateEdited();
    QCOMPARE(rig->recorder.recordInterval(), 0);
    rig->rtc->startRecording();
    for (int i = 0; i < 3; ++i)
        rig->tickWithReading(kMilliVolts);
    rig->tick();
    rig->tickWithReading(kMilliVolts);
    QCOMPARE(rig->rtc->sampleCount(), 4);
}

void TestRecorder::sampleRowAndPoint() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    rig->receive(LiveFrame(0, -567, ';')); // -56,7 mV
    rig->clock.seconds = 3723;
    rig->recorder.takeSample(rig->clock.now());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const StringGrid& g = *rig->rtc->recordTable;
    QCOMPARE(g.cells(0, 1), QStringLiteral("1"));
    QCOMPARE(g.cells(1, 1), QStringLiteral("07.03.2025"));
    QCOMPARE(g.cells(2, 1), QStringLiteral("11:02:03"));
    QCOMPARE(g.cells(3, 1), QStringLiteral("-56,7"));
    QCOMPARE(g.cells(4, 1), QStringLiteral("mV"));
    QCOMPARE(g.cells(5, 1), QString());
    QCOMPARE(rig->rtc->chart->xData(0, 0), rig->clock.at(3723));
    QCOMPARE(rig->rtc->chart->yData(0, 0), -56.7f);
}

void TestRecorder::hundredAndFirstSampleRaisesPoints() {
    rig->receive(kMilliVolts);
    for (int i = 1; i <= 100; ++i)
        rig->recorder.takeSample(rig->clock.at(i));
    QCOMPARE(rig->rtc->chart->points(), 100);
    rig->recorder.takeSample(rig->clock.at(101));
    QCOMPARE(rig->rtc->chart->points(), 200);
    QCOMPARE(rig->rtc->chart->yData(0, 100), 123.4f);
    QCOMPARE(rig->rtc->recordTable->gridRowCount(), 102);
}

void TestRecorder::timeAxisGrowsBySpans() {
    // recordInterval 2 at creation: the chart spans 200 s from creation.
    Chart& chart = *rig->rtc->chart;
    const double created = rig->clock.at(0);
    rig->rtc->startRecording();
    while (rig->clock.seconds < 198)
        rig->tickWithReading(kMilliVolts);
    QCOMPARE(rig->rtc->sampleCount(), 99);
    QCOMPARE(chart.manualMinX(), created);
    QVERIFY(sameTime(chart.manualMaxX(), rig->clock.at(200)));

    // The sample at the end extends the axis to 400 s from creation, starting at the first
    // sample.
    rig->tickWithReading(kMilliVolts);
    rig->tickWithReading(kMilliVolts);
    QCOMPARE(rig->rtc->sampleCount(), 100);
    QCOMPARE(chart.manualMinX(), rig->clock.at(2));
    QVERIFY(sameTime(chart.manualMaxX(), rig->clock.at(400)));
    QVERIFY(qAbs(seconds(rig->recorder.span()) - 200.0) < 1e-6);

    // The rate changed afterwards does not change the span.
    rig->recorder.setRecordInterval(10);
    while (rig->clock.seconds < 400)
        rig->tickWithReading(kMilliVolts);
    QVERIFY(sameTime(chart.manualMaxX(), rig->clock.at(600)));
}

void TestRecorder::timeAxisCatchesUpAfterAPause() {
    // Readings resume long after the axis end: the axis grows by whole spans until the
    // sample lies inside it again, instead of one span per sample with the newest points
    // off the chart.
    Chart& chart = *rig->rtc->chart;
    rig->receive(kMilliVolts);
    rig->recorder.takeSample(rig->clock.at(2));
    rig->recorder.takeSample(rig->clock.at(1050));
    QVERIFY(sameTime(chart.manualMaxX(), rig->clock.at(1200)));
    QCOMPARE(chart.manualMinX(), rig->clock.at(2));
}

void TestRecorder::zoomedChartKeepsItsAxis() {
    Chart& chart = *rig->rtc->chart;
    rig->receive(kMilliVolts);
    for (int i = 1; i <= 50; ++i)
        rig->recorder.takeSample(rig->clock.at(2 * i));
    QTest::qWait(50);
    zoomIn(&chart);
    QVERIFY(chart.zoomMode());
    const double end = chart.manualMaxX();
    for (int i = 51; i <= 110; ++i)
        rig->recorder.takeSample(rig->clock.at(2 * i));
    QCOMPARE(chart.manualMaxX(), end);

    chart.undoZoom();
    QVERIFY(!chart.zoomMode());
    rig->recorder.takeSample(rig->clock.at(2 * 111));
    QVERIFY(chart.manualMaxX() > rig->clock.at(2 * 111));
}

void TestRecorder::newestRowAtTheBottom() {
    StringGrid& g = *rig->rtc->recordTable;
    rig->receive(kMilliVolts);
    const int visible = g.visibleRowCount();
    QVERIFY(visible > 2);
    for (int i = 1; i <= visible + 20; ++i)
        rig->recorder.takeSample(rig->clock.at(i));
    QTest::qWait(20);
    QCOMPARE(g.topRow(), g.gridRowCount() - visible);
    const QRect last = g.visualRect(g.model()->index(g.gridRowCount() - 2, 0));
    QVERIFY(g.viewport()->rect().contains(last));
}

void TestRecorder::clearEmptiesTableAndChart() {
    RecorderWindow& w = *rig->rtc;
    rig->receive(LiveFrame(2, 1234, ';')); // 12.34 V: y limits +-40
    w.startRecording();
    for (int i = 1; i <= 150; ++i)
        rig->recorder.takeSample(rig->clock.at(i));
    rig->recorder.setRecordInterval(5);
    rig->clock.seconds = 1000;

    QTest::mouseClick(w.btnClear, Qt::LeftButton);
    QCOMPARE(w.sampleCount(), 0);
    QVERIFY(rig->recorder.recording());
    QCOMPARE(w.recordTable->gridRowCount(), 2);
    for (int c = 0; c < 6; ++c)
        QCOMPARE(w.recordTable->cells(c, 1), QString());
    QCOMPARE(w.recordTable->cells(1, 0), QStringLiteral("Date"));
    Chart& chart = *w.chart;
    QCOMPARE(chart.points(), 100);
    QCOMPARE(chart.yData(0, 0), 0.0f);
    QCOMPARE(chart.manualMaxY(), 40.0);
    QCOMPARE(chart.manualMinY(), -40.0);
    QCOMPARE(chart.manualMinX(), rig->clock.at(1000));
    QVERIFY(sameTime(chart.manualMaxX(), rig->clock.at(1500)));
    QVERIFY(!chart.allowPopup());

    rig->recorder.takeSample(rig->clock.at(1001));
    QCOMPARE(w.recordTable->cells(0, 1), QStringLiteral("1"));
    QCOMPARE(chart.xData(0, 0), rig->clock.at(1001));
}

// A new recording is in sight: Start and Clear leave a zoom. The y axis names the unit. Samples
// after the link went down and came back are not joined to the ones before: the statistics
// integrate over both runs and not across the time between them.
void TestRecorder::startAndClearLeaveTheZoomAndALinkDownBreaksTheLine() {
    RecorderWindow& w = *rig->rtc;
    Chart& chart = *w.chart;
    rig->receive(kMilliVolts);
    w.startRecording();
    for (int i = 1; i <= 20; ++i)
        rig->recorder.takeSample(rig->clock.at(i));
    QCOMPARE(chart.plot()->yAxis->label(), QStringLiteral("mV"));
    QTRY_VERIFY_WITH_TIMEOUT(chart.plot()->axisRect()->rect().width() > 200, 20000);
    zoomIn(&chart);
    QVERIFY(chart.zoomMode());
    QTest::mouseClick(w.btnClear, Qt::LeftButton);
    QVERIFY(!chart.zoomMode());
    QCOMPARE(chart.plot()->yAxis->range().upper, chart.manualMaxY());
    QCOMPARE(chart.plot()->yAxis->range().lower, chart.manualMinY());

    for (int i = 21; i <= 40; ++i)
        rig->recorder.takeSample(rig->clock.at(i));
    zoomIn(&chart);
    QVERIFY(chart.zoomMode());
    w.stopRecording();
    QVERIFY(w.btnStart->isEnabled());
    QTest::mouseClick(w.btnStart, Qt::LeftButton);
    QVERIFY(!chart.zoomMode());
    w.stopRecording(); // the samples below are taken by hand

    // The link goes down (no frames for a while) and comes back.
    QSignalSpy connection(&rig->link, &LiveLink::connectionChanged);
    const auto wentDown = [&connection] {
        for (const auto& args : connection)
            if (!args.at(0).toBool())
                return true;
        return false;
    };
    for (int i = 0; i < 60 && !wentDown(); ++i)
        rig->tick();
    QVERIFY(wentDown());
    rig->receive(kMilliVolts);
    for (int i = 100; i <= 110; ++i)
        rig->recorder.takeSample(rig->clock.at(i));
    chart.resetView();
    const RangeStatistics s = chart.rangeStatistics();
    QCOMPARE(s.count, 20 + 11);
    // Seconds 21..40 and 100..110, not 21..110.
    QVERIFY2(std::abs(s.integratedSpan - (19.0 + 10.0)) < 1e-3, qPrintable(QString::number(s.integratedSpan)));
    QVERIFY(std::abs(s.lastTime - s.firstTime - 89.0) < 1e-3);
}

void TestRecorder::functionChangeEmptiesButKeepsTheAxis() {
    RecorderWindow& w = *rig->rtc;
    Chart& chart = *w.chart;
    rig->receive(kMilliVolts);
    for (int i = 1; i <= 120; ++i)
        rig->recorder.takeSample(rig->clock.at(2 * i));
    const double minX = chart.manualMinX(), maxX = chart.manualMaxX();

    rig->receive(LiveFrame(1, 4700, '3')); // 4.700 kOhm
    QCOMPARE(w.sampleCount(), 0);
    QCOMPARE(chart.points(), 0);
    QCOMPARE(w.recordTable->gridRowCount(), 2);
    QCOMPARE(w.recordTable->cells(3, 1), QString());
    QCOMPARE(chart.manualMinX(), minX);
    QCOMPARE(chart.manualMaxX(), maxX);

    rig->recorder.takeSample(rig->clock.at(300));
    QCOMPARE(chart.points(), 100);
    QCOMPARE(chart.yData(0, 0), 4.7f);
    QCOMPARE(w.recordTable->cells(4, 1), QStringLiteral("KOhm"));
    QCOMPARE(chart.manualMaxX(), maxX); // the old axis until a sample reaches its end
}

void TestRecorder::rangeChangeKeepsPointsComparable_data() {
    // Frames as (range, count); one sample after each. Values are in the smallest unit of
    // the function (mV, Ohm) and must stay so on the chart, scaled by the unit shown.
    QTest::addColumn<char>("function");
    QTest::addColumn<QList<int>>("ranges");
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<QList<double>>("baseValues");
    QTest::addColumn<int>("finalUnit");

    QTest::newRow("mV, V, back to mV") << ';' << QList<int>{0, 1, 0} << QList<int>{1234, 1500, 500}
                                       << QList<double>{123.4, 1500, 50} << 1;
    QTest::newRow("mV, V, V again") << ';' << QList<int>{0, 1, 2} << QList<int>{1234, 1500, 2000}
                                    << QList<double>{123.4, 1500, 20000} << 1000;
    QTest::newRow("kOhm, MOhm, back to kOhm")
        << '3' << QList<int>{1, 4, 3} << QList<int>{2000, 1500, 9000}
        << QList<double>{2000, 1500000, 900000} << 1000;
    QTest::newRow("Ohm, MOhm, kOhm, Ohm")
        << '3' << QList<int>{0, 5, 2, 0} << QList<int>{1000, 120, 3300, 5}
        << QList<double>{100, 1200000, 33000, 0.5} << 1;
    // The first frame of a function reports multiplier 1 whatever its unit: V stays V.
    QTest::newRow("V from the first frame, V range")
        << ';' << QList<int>{1, 2} << QList<int>{1500, 2500} << QList<double>{1500, 25000} << 1000;
    QTest::newRow("uF, mF, nF") << '6' << QList<int>{3, 6, 0} << QList<int>{4700, 1000, 2200}
                                << QList<double>{4700, 1000000, 2.2} << 1;
}

void TestRecorder::rangeChangeKeepsPointsComparable() {
    QFETCH(char, function);
    QFETCH(QList<int>, ranges);
    QFETCH(QList<int>, counts);
    QFETCH(QList<double>, baseValues);
    QFETCH(int, finalUnit);
    RecorderWindow& w = *rig->rtc;
    QStringList texts;
    for (int s = 0; s < ranges.size(); ++s) {
        rig->receive(LiveFrame(ranges[s], counts[s], function));
        rig->recorder.takeSample(rig->clock.at(s + 1));
        texts << w.recordTable->cells(3, s + 1) + u' ' + w.recordTable->cells(4, s + 1);
        // After every sample all points are in the unit now shown.
        const int unit = w.displayUnit();
        QCOMPARE(unit, RecorderSamples::unitSize(rig->recorder.reading().unitText));
        for (int i = 0; i <= s; ++i) {
            const double want = baseValues[i] / unit;
            const double got = w.chart->yData(0, i);
            QVERIFY2(qAbs(got - want) <= qAbs(want) * 1e-6,
                     qPrintable(QStringLiteral("sample %1 of %2: %3, not %4")
                                    .arg(i + 1)
                                    .arg(s + 1)
                                    .arg(got)
                                    .arg(want)));
        }
    }
    QCOMPARE(w.displayUnit(), finalUnit);
    // The table keeps every row as it was taken.
    for (int s = 0; s < ranges.size(); ++s)
        QCOMPARE(w.recordTable->cells(3, s + 1) + u' ' + w.recordTable->cells(4, s + 1), texts[s]);
}

void TestRecorder::rangeChangeConvertsEachRunFromItsOwnUnit() {
    // Many switches back and forth: every point is converted from the value as it was read,
    // so no rounding builds up.
    RecorderWindow& w = *rig->rtc;
    for (int s = 0; s < 40; ++s) {
        rig->receive(s % 2 ? LiveFrame(1, 3333, ';') : LiveFrame(0, 3333, ';'));
        rig->recorder.takeSample(rig->clock.at(s + 1));
    }
    rig->receive(LiveFrame(0, 1, ';'));
    for (int s = 0; s < 40; s += 2)
        QCOMPARE(w.chart->yData(0, s), 333.3f);
    for (int s = 1; s < 40; s += 2)
        QCOMPARE(w.chart->yData(0, s), 3333.0f);
}

void TestRecorder::scaleChangeLimits_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<double>("limit");
    QTest::newRow("divisor 1 (V range 4)") << LiveFrame(4, 230, ';') << 4000.0;
    QTest::newRow("divisor 10 (mV)") << LiveFrame(0, 1234, ';') << 400.0;
    QTest::newRow("divisor 100 (V range 2)") << LiveFrame(2, 1234, ';') << 40.0;
    QTest::newRow("divisor 1000 (V range 1)") << LiveFrame(1, 1234, ';') << 4.0;
    QTest::newRow("divisor 10 (Ohm)") << LiveFrame(0, 1234, '3') << 400.0;
}

void TestRecorder::scaleChangeLimits() {
    QFETCH(QByteArray, frame);
    QFETCH(double, limit);
    rig->receive(frame);
    QCOMPARE(rig->rtc->chart->manualMaxY(), limit);
    QCOMPARE(rig->rtc->chart->manualMinY(), -limit);
    // Any other divisor leaves the limits.
    Q_EMIT rig->recorder.scaleChanged(7);
    QCOMPARE(rig->rtc->chart->manualMaxY(), limit);
    QCOMPARE(rig->rtc->chart->manualMinY(), -limit);
}

void TestRecorder::printsTheChart() {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
        QFAIL("pdftoppm (poppler-utils) is needed to read the printed PDF back");
    RecorderWindow& w = *rig->rtc;
    for (int i = 1; i <= 300; ++i) {
        // 200 mV + 150 mV sin, in tenths of a millivolt
        rig->receive(LiveFrame(0, int(std::lround(2000 + 1500 * std::sin(i / 20.0))), ';'));
        rig->recorder.takeSample(rig->clock.at(2 * i));
    }
    QTest::qWait(50);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("recorder.pdf"));
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        w.chart->printPage(printer);
    }
    const QString png = dir.filePath(QStringLiteral("page"));
    QCOMPARE(QProcess::execute(QStringLiteral("pdftoppm"),
                               {"-png", "-r", "50", "-singlefile", pdf, png}),
             0);
    const QImage page(png + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    if (qEnvironmentVariableIsSet("QL_KEEP_PRINTOUT"))
        page.save(qEnvironmentVariable("QL_KEEP_PRINTOUT"));

    // Screen colours: a black plot area on silver with the yellow curve, which stays above
    // the zero line (values 50..350 of -400..400).
    QRect ink;
    int black = 0, silver = 0, yellow = 0;
    const auto isYellow = [](QColor c) {
        return c.red() > 150 && c.green() > 150 && c.blue() < 100;
    };
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixel(x, y);
            if (c != QColor(Qt::white))
                ink |= QRect(x, y, 1, 1);
            black += c.red() < 30 && c.green() < 30 && c.blue() < 30;
            silver +=
                qAbs(c.red() - 192) < 16 && qAbs(c.green() - 192) < 16 && qAbs(c.blue() - 192) < 16;
            yellow += isYellow(c);
        }
    QVERIFY(!ink.isEmpty());
    const int area = ink.width() * ink.height();
    QVERIFY2(black > area / 4, qPrintable(QString::number(black)));
    QVERIFY2(silver > area / 20, qPrintable(QString::number(silver)));
    QVERIFY2(yellow > 100, qPrintable(QString::number(yellow)));
    int yellowLow = 0;
    for (int y = ink.center().y() + ink.height() / 8; y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x)
            yellowLow += isYellow(page.pixel(x, y));
    QCOMPARE(yellowLow, 0);
}

// The main window's Cascade and Tile never squeeze the recorder below a size at which its
// chart's axis labels stay apart; that size is still well below the window's own.
void TestRecorder::keepsAMinimumSizeUnderCascadeAndTile() {
    QMdiArea area;
    area.resize(640, 360);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    RecorderWindow* rtc = rig->rtc.release();
    QMdiSubWindow* sub = addChildWindow(&area, rtc, ChildWindowStyle::Sizeable);
    auto* other = new QWidget;
    other->resize(200, 100);
    addChildWindow(&area, other, ChildWindowStyle::Sizeable);
    rtc->startRecording();
    for (int i = 0; i < 400; ++i) // past the first span, so the time axis has grown
        rig->tickWithReading(kMilliVolts);
    QCOMPARE(rtc->sampleCount(), 200);

    const QSize minimum = sub->minimumSize();
    QVERIFY(minimum.width() < RecorderWindow::ClientWidth && minimum.height() < RecorderWindow::ClientHeight);
    for (const auto& arrange : {std::function<void()>([&] { area.cascadeSubWindows(); }),
                                std::function<void()>([&] { area.tileSubWindows(); })}) {
        sub->resize(RecorderWindow::ClientWidth, RecorderWindow::ClientHeight);
        arrange();
        QCoreApplication::processEvents();
        QVERIFY(sub->width() >= minimum.width() && sub->height() >= minimum.height());
        QVERIFY(rtc->width() >= rtc->minimumSizeHint().width());
        QVERIFY(rtc->height() >= rtc->minimumSizeHint().height());
        QCustomPlot* plot = rtc->chart->plot();
        plot->replot();
        QVERIFY(tickLabelsApart(plot->xAxis));
        QVERIFY(tickLabelsApart(plot->yAxis));
    }
    // Minimised and restored, the window keeps its minimum.
    sub->showMinimized();
    QCoreApplication::processEvents();
    QVERIFY(sub->height() < minimum.height());
    sub->showNormal();
    QCoreApplication::processEvents();
    QCOMPARE(sub->minimumSize(), minimum);
}

QTEST_MAIN(TestRecorder)
#include "test_recorder.moc"
