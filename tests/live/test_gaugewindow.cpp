#include "wiredviews.h"

#include <QApplication>
#include <QLabel>
#include <QLocale>
#include <QTest>

#include <memory>

namespace {

bool isBlack(const QImage& image, QPoint p) {
    return image.pixel(p) == qRgb(0, 0, 0);
}

} // namespace

class TestGaugeWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        views = std::make_unique<WiredViews>();
        gauge = std::make_unique<GaugeWindow>();
        views->gauge = gauge.get();
    }
    void cleanup() {
        gauge.reset();
        views.reset();
    }

    void layout();
    void relabel_data();
    void relabel();
    void needle_data();
    void needle();
    void needleStraightUpAtStep20();
    void erasingLeavesOnlyTheNewNeedle();
    void whiteShowsTheWindowColour();
    void reopenedGaugeTakesTheScaleOfTheNextChange();

private:
    std::unique_ptr<WiredViews> views;
    std::unique_ptr<GaugeWindow> gauge;
};

void TestGaugeWindow::layout() {
    QCOMPARE(gauge->size(), QSize(289, 184));
    QCOMPARE(gauge->windowTitle(), QStringLiteral("Analog"));
    QCOMPARE(gauge->findChild<QLabel*>("Image1")->geometry(), QRect(0, 0, 289, 184));
    const QPoint labelPos[5] = {{6, 87}, {47, 34}, {127, 12}, {219, 32}, {260, 111}};
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(gauge->findChild<QLabel*>(QStringLiteral("Label%1").arg(i))->pos(),
                 labelPos[i - 1]);
    QCOMPARE(gauge->findChild<QLabel*>("lblPlus")->pos(), QPoint(5, 105));
    QCOMPARE(gauge->findChild<QWidget*>("closeButton")->geometry(), QRect(262, 8, 13, 13));
    QCOMPARE(gauge->findChild<QWidget*>("minimizeButton")->geometry(), QRect(246, 8, 13, 13));
    // The scale: 41 ticks, the long ones reaching further out. Tick 0 lies at the lower left,
    // tick 40 at the lower right, mirrored.
    const QImage& canvas = gauge->canvas();
    QVERIFY(isBlack(canvas, {144, 27}));  // long tick 20, near its outer end (R0 + 5)
    QVERIFY(!isBlack(canvas, {144, 45})); // the needle's end stays clear of the ticks
    QVERIFY(isBlack(canvas, {21, 103}) && isBlack(canvas, {266, 103}));
}

void TestGaugeWindow::relabel_data() {
    QTest::addColumn<int>("divisor");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<float>("scale");
    QTest::newRow("1") << 1 << QStringList{"0", "1000", "2000", "3000", "4000"} << 100.0f;
    QTest::newRow("10") << 10 << QStringList{"0", "100", "200", "300", "400"} << 10.0f;
    QTest::newRow("100") << 100 << QStringList{"0", "10", "20", "30", "40"} << 1.0f;
    QTest::newRow("1000") << 1000 << QStringList{"0", "1", "2", "3", "4"} << 0.1f;
}

void TestGaugeWindow::relabel() {
    QFETCH(int, divisor);
    QFETCH(QStringList, labels);
    QFETCH(float, scale);
    gauge->relabel(divisor == 100 ? 1000 : 100); // start from some other scale
    gauge->relabel(divisor);
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(gauge->labelText(i), labels[i - 1]);
    QCOMPARE(gauge->analogScale(), scale);
    // Any other divisor changes nothing.
    for (int other : {0, 5, 10000, -10}) {
        gauge->relabel(other);
        QCOMPARE(gauge->labelText(5), labels[4]);
        QCOMPARE(gauge->analogScale(), scale);
    }
}

void TestGaugeWindow::needle_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("label5");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("sign");
    QTest::newRow("2.000 V") << LiveFrame(1, "2000", ';') << "4" << 20 << "+";
    QTest::newRow("0.700 V") << LiveFrame(1, "0700", ';') << "4" << 7 << "+";
    QTest::newRow("3.999 V") << LiveFrame(1, "3999", ';') << "4" << 39 << "+";
    QTest::newRow("0.099 V") << LiveFrame(1, "0099", ';') << "4" << 0 << "+";
    QTest::newRow("-1.500 V") << LiveFrame(1, "1500", ';', 4) << "4" << 15 << "-";
    QTest::newRow("9999 V") << LiveFrame(4, "9999", ';') << "4000" << 99 << "+";
    QTest::newRow("-399.9 mV") << LiveFrame(0, "3999", ';', 4) << "400" << 39 << "-";
    QTest::newRow("40.00 mA") << LiveFrame(0, "4000", '9') << "40" << 40 << "+";
    QTest::newRow("75 F") << LiveFrame(0, "0075", '4') << "4000" << 0 << "+";
}

void TestGaugeWindow::needle() {
    QFETCH(QByteArray, frame);
    QFETCH(QString, label5);
    QFETCH(int, step);
    QFETCH(QString, sign);
    views->decode(frame);
    QCOMPARE(gauge->labelText(5), label5);
    QCOMPARE(gauge->needlePosition(), step);
    QCOMPARE(gauge->signText(), sign);
    QVERIFY(step > 40 || isBlack(gauge->canvas(), gauge->needleTip()));
}

void TestGaugeWindow::needleStraightUpAtStep20() {
    views->decode(LiveFrame(1, "2000", ';'));
    const QPoint centre = gauge->centre(), tip = gauge->needleTip();
    QCOMPARE(centre, QPoint(144, 174));
    // 3.14156 falls just short of pi: the tip is at most a pixel off the vertical.
    QVERIFY(std::abs(tip.x() - centre.x()) <= 1);
    QCOMPARE(centre.y() - tip.y(), 129);
    for (int y = tip.y(); y < centre.y(); y += 10)
        QVERIFY2(isBlack(gauge->canvas(), {tip.x(), y}) ||
                     isBlack(gauge->canvas(), {centre.x(), y}),
                 qPrintable(QString::number(y)));
}

void TestGaugeWindow::erasingLeavesOnlyTheNewNeedle() {
    for (const char* digits : {"2000", "3999", "0000", "9999", "1234"})
        views->decode(LiveFrame(1, digits, ';'));
    // A fresh gauge drawing only the last needle looks the same.
    GaugeWindow fresh;
    fresh.relabel(1000);
    fresh.showValue(1.234, QStringLiteral("+"));
    QCOMPARE(fresh.needlePosition(), 12);
    QCOMPARE(gauge->canvas(), fresh.canvas());
}

void TestGaugeWindow::whiteShowsTheWindowColour() {
    views->decode(LiveFrame(1, "2000", ';'));
    const QImage shown = gauge->findChild<QLabel*>("Image1")->pixmap().toImage();
    QCOMPARE(qAlpha(shown.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(shown.pixel(gauge->centre())), 255); // the needle
    QCOMPARE(qAlpha(shown.pixel(144, 27)), 255);         // a tick
}

void TestGaugeWindow::reopenedGaugeTakesTheScaleOfTheNextChange() {
    views->decode(LiveFrame(1, "2000", ';'));
    QCOMPARE(gauge->analogScale(), 0.1f);
    QCOMPARE(gauge->needlePosition(), 20);

    // Closed and opened again: the new gauge keeps its own state; the meter's next change of
    // scale relabels it, and its needle is drawn on that scale.
    gauge = std::make_unique<GaugeWindow>();
    views->gauge = gauge.get();
    QCOMPARE(gauge->labelText(5), QStringLiteral("4000"));
    views->decode(LiveFrame(2, "1000", ';')); // another range: 10.00 V
    QCOMPARE(gauge->labelText(5), QStringLiteral("40"));
    QCOMPARE(gauge->needlePosition(), 10);
    QVERIFY(isBlack(gauge->canvas(), gauge->needleTip()));
}

QTEST_MAIN(TestGaugeWindow)
#include "test_gaugewindow.moc"
