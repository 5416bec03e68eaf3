// The time-chart setup and the chart template.

#include "charterror.h"
#include "chartimage.h"
#include "daycount.h"
#include "chart.h"
#include "timechartsetup.h"

#include <qcustomplot.h>

#include <QtEndian>
#include <QtTest>

namespace {

constexpr double kStart = 46357.0 + 10.0 / 24; // 1 Dec 2026 10:00
double keyOf(double days) {
    return DaysToEpochSeconds(days);
}

void writeTemplate(const QString& path, quint32 announced, int present) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    uchar head[4];
    qToLittleEndian(announced, head);
    f.write(reinterpret_cast<const char*>(head), 4);
    f.write(QByteArray(present, 'x'));
}

} // namespace

class TestTimeChartSetup : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void resultingState_data();
    void resultingState();
    void replacesEarlierData();
    void templatePath();
    void missingTemplateIsSkipped();
    void goodTemplateIsRead();
    void badTemplateEndsTheSetup_data();
    void badTemplateEndsTheSetup();

private:
    Chart* g = nullptr;
    QTemporaryDir dir;
};

void TestTimeChartSetup::init() {
    g = new Chart;
    g->resize(800, 400);
    g->show();
    QVERIFY(QTest::qWaitForWindowExposed(g));
}

void TestTimeChartSetup::cleanup() {
    delete g;
    g = nullptr;
}

void TestTimeChartSetup::resultingState_data() {
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("end");
    QTest::newRow("recorder, 200 s") << 100 << kStart << kStart + SecondsToDays(200);
    QTest::newRow("zero span") << 4 << 0.0 << 0.0;
    QTest::newRow("one-row list") << 1 << kStart << kStart;
}

void TestTimeChartSetup::resultingState() {
    QFETCH(int, points);
    QFETCH(double, start);
    QFETCH(double, end);
    setupTimeChart(g, points, start, end, dir.filePath("none.ghf"));

    QCOMPARE(g->points(), points);
    QCOMPARE(g->subsets(), 1);
    QCOMPARE(g->manualMinX(), start); // passed on exactly, zero span too
    QCOMPARE(g->manualMaxX(), end);
    QCOMPARE(g->manualScaleControlX(), sgManualMinAndMax);
    QCOMPARE(g->manualScaleControlY(), sgManualMinAndMax);
    QCOMPARE(g->manualMinY(), 0.0);
    QCOMPARE(g->manualMaxY(), 4000.0);
    QCOMPARE(g->dateTimeMode(), sgVBDateTime);
    QVERIFY(g->usingXData());
    QCOMPARE(g->nullDataValueY(), 9999.0);
    QCOMPARE(g->mainTitle(), QString("  "));
    QCOMPARE(g->xAxisLabel(), QString("Time"));
    QCOMPARE(g->yAxisLabel(), QString());
    QCOMPARE(g->graphBackColor(), PEColor(0x000000));
    QCOMPARE(g->deskColor(), PEColor(0xC0C0C0));
    QCOMPARE(g->textColor(), PEColor(0x000000));
    QCOMPARE(g->subsetColors(0), PEColor(0x00FFFF));
    QCOMPARE(g->subsetColors(1), PEColor(0xFF00FF));
    QCOMPARE(g->subsetColors(2), PEColor(0xFFFF00));
    QCOMPARE(g->gridStyle(), sgDot);
    QCOMPARE(g->allowZooming(), sgHorzPlusVertZooming);
    QCOMPARE(g->cursorMode(), sgFloatingXY);
    QCOMPARE(g->cursorPromptStyle(), sgYValue);
    QVERIFY(g->allowDataHotSpots());
    QVERIFY(g->showVertLineAnnotations());

    // What is drawn, once the queued repaint has run.
    QCustomPlot* plot = g->plot();
    QTRY_VERIFY(!plot->axisRect()->rect().isEmpty());
    plot->replot();
    QCOMPARE(plot->axisRect()->backgroundBrush().color(), QColor(0, 0, 0));
    QCOMPARE(plot->graphCount(), 1);
    QCOMPARE(plot->graph(0)->pen().color(), QColor(255, 255, 0));
    QCOMPARE(plot->xAxis->label(), QString("Time"));
    QVERIFY(plot->xAxis->ticker().dynamicCast<QCPAxisTickerDateTime>());
    QCOMPARE(plot->yAxis->range(), QCPRange(0, 4000));
    const QCPRange x = plot->xAxis->range();
    if (start != end) {
        QCOMPARE(x.lower, keyOf(start));
        QCOMPARE(x.upper, keyOf(end));
    } else {
        QCOMPARE(x.center(), keyOf(start)); // a usable range around the one instant
        QVERIFY(x.size() > 0);
    }
    QVERIFY(g->plot()->xAxis->tickVectorLabels().size() >= 2);
    // Black plot area (dotted grid lines aside), silver around it.
    const QImage shot = plot->toPixmap().toImage();
    QVERIFY(mostlyColour(shot, plot->axisRect()->rect().center(), Qt::black));
    QCOMPARE(QColor(shot.pixel(2, plot->height() / 2)), QColor(192, 192, 192));
}

// The recorder's Clear runs the setup again on a chart full of samples.
void TestTimeChartSetup::replacesEarlierData() {
    setupTimeChart(g, 100, kStart, kStart + 0.01, dir.filePath("none.ghf"));
    g->setPoints(300);
    for (int p = 0; p < 300; ++p) {
        g->setXData(0, p, kStart + SecondsToDays(p));
        g->setYData(0, p, 5.0f);
    }
    g->redraw();
    QCOMPARE(g->plot()->graph(0)->data()->size(), 300);
    setupTimeChart(g, 100, kStart + 1, kStart + 1.01, dir.filePath("none.ghf"));
    QCOMPARE(g->points(), 100);
    QCOMPARE(g->yData(0, 10), 0.0f);
    QCOMPARE(g->plot()->graph(0)->data()->size(), 0);
}

void TestTimeChartSetup::templatePath() {
    QCOMPARE(chartTemplatePath(), QCoreApplication::applicationDirPath() + "/template/graph.ghf");
}

void TestTimeChartSetup::missingTemplateIsSkipped() {
    const QString path = dir.filePath("missing/graph.ghf");
    setupTimeChart(g, 10, kStart, kStart + 1, path);
    QCOMPARE(g->points(), 10);
    QCOMPARE(g->graphBackColor(), PEColor(0));
    // Asked for directly, a missing file is an error.
    QVERIFY_THROWS_EXCEPTION(ChartError, applyChartTemplate(g, path));
}

void TestTimeChartSetup::goodTemplateIsRead() {
    const QString path = dir.filePath("good.ghf");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromHex("05000000") + "abcde" + "trailing");
    }
    QCOMPARE(applyChartTemplate(g, path), QByteArray("abcde"));
    setupTimeChart(g, 10, kStart, kStart + 1, path);
    QCOMPARE(g->points(), 10);
    QCOMPARE(g->deskColor(), PEColor(0xC0C0C0));

    writeTemplate(path, 0, 0);
    QCOMPARE(applyChartTemplate(g, path), QByteArray());
}

void TestTimeChartSetup::badTemplateEndsTheSetup_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("shorter than its length") << "short";
    QTest::newRow("no length field") << "tiny";
    QTest::newRow("huge length") << "huge";
    QTest::newRow("cannot be opened") << "directory";
}

void TestTimeChartSetup::badTemplateEndsTheSetup() {
    QFETCH(QString, kind);
    const QString path = dir.filePath(kind + ".ghf");
    if (kind == "short") {
        writeTemplate(path, 100, 10);
    } else if (kind == "huge") {
        writeTemplate(path, 0xFFFFFFFFu, 10);
    } else if (kind == "tiny") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\x05\x00", 2);
    } else {
        QVERIFY(QDir(dir.path()).mkpath(kind + ".ghf"));
    }
    g->setPoints(7);
    g->setDeskColor(0x123456);
    g->redraw();
    try {
        setupTimeChart(g, 100, kStart, kStart + 1, path);
        QFAIL("no error raised");
    } catch (const ChartError& e) {
        QVERIFY2(e.message().contains(path), qPrintable(e.message()));
        QVERIFY(QString::fromUtf8(e.what()).contains(path));
    }
    // Nothing after the template was read ran.
    QCOMPARE(g->points(), 7);
    QCOMPARE(g->deskColor(), PEColor(0x123456));
    QCOMPARE(g->dateTimeMode(), 0);
    const QImage shot = g->plot()->toPixmap().toImage();
    QCOMPARE(QColor(shot.pixel(2, shot.height() / 2)), QColor(0x56, 0x34, 0x12));
}

QTEST_MAIN(TestTimeChartSetup)
#include "test_timechartsetup.moc"
