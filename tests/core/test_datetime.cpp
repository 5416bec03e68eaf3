// Day counts (days since 30 Dec 1899) against local date-times, the chart's UTC labels and
// its epoch-second keys.
#include "daycount.h"

#include <QtTest>

class TestDateTime : public QObject {
    Q_OBJECT
private slots:
    void conversions_data();
    void conversions();
    void roundsToMillisecond_data();
    void roundsToMillisecond();
};

void TestDateTime::conversions_data() {
    QTest::addColumn<QDateTime>("dateTime");
    QTest::addColumn<double>("days");
    const auto at = [](int y, int m, int d, int h, int min, int s, int ms = 0) {
        return QDateTime(QDate(y, m, d), QTime(h, min, s, ms));
    };
    QTest::newRow("epoch") << at(1899, 12, 30, 0, 0, 0) << 0.0;
    QTest::newRow("epoch noon") << at(1899, 12, 30, 12, 0, 0) << 0.5;
    QTest::newRow("1900 is no leap year") << at(1900, 3, 1, 0, 0, 0) << 61.0;
    QTest::newRow("leap day") << at(2024, 2, 29, 18, 0, 0) << 45351.75;
    QTest::newRow("day after leap day") << at(2024, 3, 1, 6, 0, 0) << 45352.25;
    QTest::newRow("one second to midnight")
        << at(2026, 12, 31, 23, 59, 59) << 46387.0 + 86399.0 / 86400.0;
    QTest::newRow("a millisecond to midnight")
        << at(2026, 12, 31, 23, 59, 59, 999) << 46387.0 + 86399.999 / 86400.0;
    QTest::newRow("day before epoch, 06:00") << at(1899, 12, 29, 6, 0, 0) << -0.75;
    QTest::newRow("1800, one second past midnight")
        << at(1800, 1, 1, 0, 0, 1) << -36522.0 + 1.0 / 86400.0;
}

// Both directions, and the chart's UTC label and axis key of the same count agree with it.
void TestDateTime::conversions() {
    QFETCH(QDateTime, dateTime);
    QFETCH(double, days);

    QVERIFY(qAbs(DateTimeToDays(dateTime) - days) < 1e-6 / kSecondsPerDay); // within 1 us
    QCOMPARE(DaysToDateTime(days), dateTime);
    QCOMPARE(DaysToDateTime(DateTimeToDays(dateTime)), dateTime);

    const QDateTime utc = DaysToUtcDateTime(days);
    QCOMPARE(utc.offsetFromUtc(), 0);
    QCOMPARE(utc.date(), dateTime.date());
    QCOMPARE(utc.time(), dateTime.time());
    QCOMPARE(qint64(std::llround(DaysToEpochSeconds(days) * 1000)), utc.toMSecsSinceEpoch());
    QVERIFY(qAbs(EpochSecondsToDays(DaysToEpochSeconds(days)) - days) < 1e-9);
}

void TestDateTime::roundsToMillisecond_data() {
    QTest::addColumn<double>("seconds"); // into 31 Dec 2026
    QTest::addColumn<QDateTime>("expected");
    const QDate day(2026, 12, 31);
    QTest::newRow("just under half a ms up") << 43200.0004 << QDateTime(day, QTime(12, 0, 0, 0));
    QTest::newRow("just over half a ms up") << 43200.0006 << QDateTime(day, QTime(12, 0, 0, 1));
    QTest::newRow("last ms of the day") << 86399.9994 << QDateTime(day, QTime(23, 59, 59, 999));
    QTest::newRow("rounds up into the next day")
        << 86399.9996 << QDateTime(day.addDays(1), QTime(0, 0));
}

// A count a fraction of a millisecond off shows the nearest millisecond; one that rounds up
// to midnight is the next day, never a 24:00 time.
void TestDateTime::roundsToMillisecond() {
    QFETCH(double, seconds);
    QFETCH(QDateTime, expected);
    QCOMPARE(DaysToDateTime(46387.0 + SecondsToDays(seconds)), expected);
}

QTEST_GUILESS_MAIN(TestDateTime)
#include "test_datetime.moc"
