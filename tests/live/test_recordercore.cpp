// The recorder's schedule and time-axis rules, without any window.
#include "recorderschedule.h"
#include "recorderstate.h"

#include <QTest>

namespace {
constexpr double kSecond = 1.0 / 86400.0;
}

class TestRecorderCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void scheduleTicks();
    void scheduleArithmetic_data();
    void scheduleArithmetic();
    void axisGrowsByWholeSpans_data();
    void axisGrowsByWholeSpans();
};

void TestRecorderCore::scheduleTicks() {
    using A = RecorderSchedule::Action;
    RecorderSchedule s;
    const double t0 = 45000.5;
    s.setTimes(t0 + 10 * kSecond, t0 + 20 * kSecond);
    s.setInterval(0);
    QCOMPARE(s.tick(t0 + 15 * kSecond, false), A::None); // not armed: nothing happens
    s.setArmed(true);
    QCOMPARE(s.tick(t0, false), A::None);                          // before the window
    QCOMPARE(s.tick(t0 + 10 * kSecond, false), A::StartRecording); // its first moment
    QCOMPARE(s.tick(t0 + 15 * kSecond, true), A::None);            // already recording
    QCOMPARE(s.tick(t0 + 20 * kSecond, true), A::None);            // its last moment
    QVERIFY(s.armed());
    QCOMPARE(s.tick(t0 + 21 * kSecond, true), A::StopRecording); // past it: spent
    QVERIFY(!s.armed());
    QCOMPARE(s.tick(t0 + 22 * kSecond, false), A::None);
    QCOMPARE(s.recordInterval(), 2); // an interval of 0 records every 2 seconds
}

void TestRecorderCore::scheduleArithmetic_data() {
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("stop");
    QTest::addColumn<int>("interval");
    QTest::addColumn<qint64>("records");
    const QDateTime ten(QDate(2025, 3, 7), QTime(10, 0, 0));
    QTest::newRow("ten minutes at 30 s") << ten << ten.addSecs(600) << 30 << qint64(20);
    QTest::newRow("over midnight")
        << QDateTime(QDate(2025, 3, 7), QTime(23, 50, 0))
        << QDateTime(QDate(2025, 3, 8), QTime(0, 10, 0)) << 60 << qint64(20);
    QTest::newRow("stop before start") << ten << ten.addSecs(-60) << 1 << qint64(0);
    QTest::newRow("rate 0") << ten << ten.addSecs(600) << 0 << qint64(0);
    QTest::newRow("part of an interval") << ten << ten.addSecs(59) << 30 << qint64(1);
}

void TestRecorderCore::scheduleArithmetic() {
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, stop);
    QFETCH(int, interval);
    QFETCH(qint64, records);
    QCOMPARE(
        RecorderSchedule::recordCount(RecorderSchedule::durationSeconds(start, stop), interval),
        records);
}

void TestRecorderCore::axisGrowsByWholeSpans_data() {
    QTest::addColumn<double>("when"); // seconds after the axis start
    QTest::addColumn<double>("end");  // the axis end afterwards, seconds after its start
    // An axis of 200 s (100 points at 2 s).
    QTest::newRow("fits") << 150.0 << 200.0;
    QTest::newRow("at its end") << 200.0 << 400.0;
    QTest::newRow("a little over") << 201.0 << 400.0;
    QTest::newRow("after a pause") << 750.0 << 800.0;
    QTest::newRow("within the tolerance before the end") << 199.99996 << 400.0;
}

void TestRecorderCore::axisGrowsByWholeSpans() {
    QFETCH(double, when);
    QFETCH(double, end);
    const double t0 = 45000.25;
    const double span = RecorderState::spanFor(2);
    QCOMPARE(span, 200 * kSecond);
    const double got =
        RecorderState::axisEndFor(t0 + span, t0 + when * kSecond, span, 0.5e-3 * kSecond);
    QVERIFY2(qAbs((got - t0) / kSecond - end) < 1e-3,
             qPrintable(QString::number((got - t0) / kSecond)));
}

QTEST_GUILESS_MAIN(TestRecorderCore)
#include "test_recordercore.moc"
