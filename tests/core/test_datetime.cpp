// Day counts (days since 30 Dec 1899) against local date-times, the chart's UTC labels and
// its epoch-second keys; date-times as text in the user's formats.
#include "datetimetext.h"
#include "daycount.h"

#include <QtTest>

class TestDateTime : public QObject {
    Q_OBJECT
private slots:
    void conversions_data();
    void conversions();
    void roundsToMillisecond_data();
    void roundsToMillisecond();

    void dateTimeRoundTrip_data();
    void dateTimeRoundTrip();
    void dateTimeReadsTheLocaleFormsToo_data();
    void dateTimeReadsTheLocaleFormsToo();
    void dateTimeRejects();
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

    QVERIFY(qAbs(dateTimeToDays(dateTime) - days) < 1e-6 / kSecondsPerDay); // within 1 us
    QCOMPARE(daysToDateTime(days), dateTime);
    QCOMPARE(daysToDateTime(dateTimeToDays(dateTime)), dateTime);

    const QDateTime utc = daysToUtcDateTime(days);
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
    QCOMPARE(daysToDateTime(46387.0 + SecondsToDays(seconds)), expected);
}

void TestDateTime::dateTimeRoundTrip_data() {
    QTest::addColumn<QString>("locale");
    for (const char* name : {"en_US", "de_DE", "en_GB", "fr_FR", "ja_JP", "ar_EG", "C"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestDateTime::dateTimeRoundTrip() {
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    for (const QDateTime& dt : {QDateTime(QDate(2025, 3, 7), QTime(14, 5, 9)),
                                QDateTime(QDate(1999, 12, 31), QTime(0, 0, 1)),
                                QDateTime(QDate(2031, 1, 2), QTime(23, 59, 59)),
                                QDateTime(QDate(2025, 7, 1), QTime(9, 0, 0))}) {
        const QString text = DateTimeText::Format(dt);
        const auto back = DateTimeText::parse(text);
        QVERIFY2(back.has_value(), qPrintable(text));
        QCOMPARE(*back, dt);
        QCOMPARE(DateTimeText::dateString(dt.date()) + u' ' + DateTimeText::timeString(dt.time()),
                 text);
    }
    QLocale::setDefault(QLocale::c());
}

void TestDateTime::dateTimeReadsTheLocaleFormsToo_data() {
    QTest::addColumn<QString>("locale");
    QTest::newRow("en_US") << "en_US";
    QTest::newRow("de_DE") << "de_DE";
}

void TestDateTime::dateTimeReadsTheLocaleFormsToo() {
    // The locale's own short date has a two-digit year there; the text must not come back a
    // century early.
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    const QLocale l;
    const QDateTime dt(QDate(2025, 3, 7), QTime(14, 5, 9));
    const QString plain = l.toString(dt.date(), QLocale::ShortFormat) + u' ' +
                          l.toString(dt.time(), QLocale::LongFormat);
    const auto back = DateTimeText::parse(plain);
    QVERIFY2(back.has_value(), qPrintable(plain));
    QCOMPARE(*back, dt);
    QLocale::setDefault(QLocale::c());
}

void TestDateTime::dateTimeRejects() {
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    QVERIFY(!DateTimeText::parse(QString()).has_value());
    QVERIFY(!DateTimeText::parse(QStringLiteral("tomorrow at noon")).has_value());
    QVERIFY(!DateTimeText::parse(QStringLiteral("3/7/2025")).has_value());
    QVERIFY(!DateTimeText::parse(QStringLiteral("13/45/2025 10:00:00 AM")).has_value());
    QLocale::setDefault(QLocale::c());
}

QTEST_GUILESS_MAIN(TestDateTime)
#include "test_datetime.moc"
