#include "clock.h"
#include "decodeddataset.h"
#include "loggerimagebuilder.h"
#include "loggerparse.h"

#include <QLocale>
#include <QTest>

namespace {

double at(int y, int mo, int d, int h, int mi, int s) {
    return dateTimeToDays(QDateTime(QDate(y, mo, d), QTime(h, mi, s)));
}
// The day the tests run on, for a header whose date or time is impossible.
double today() {
    return at(2020, 5, 6, 7, 8, 9);
}
// Record words: sign bit 15, range code bits 14..12, magnitude bits 11..0.
constexpr quint16 rec(bool negative, int range, int magnitude) {
    return quint16((negative ? 0x8000 : 0) | (range << 12) | magnitude);
}
constexpr quint8 kVoltsDc = 0xB0; // function 11
constexpr quint8 kDc = 0x08;      // coupling 2

QList<DataSetInfo> parse(const LoggerImageBuilder& b) {
    const LoggerParse p = parseLoggerImage(LoggerImage(b.blocks()), today());
    return p.result == LoggerOutcome::Loaded ? p.sets : QList<DataSetInfo>{};
}
DecodedDataSet decodeOne(quint8 byte5, const QList<quint16>& records) {
    LoggerImageBuilder b;
    b.addSet(10000, byte5, kDc, records);
    return decodeDataSet(LoggerImage(b.blocks()), parse(b).value(0));
}

} // namespace

Q_DECLARE_METATYPE(LoggerOutcome)

class TestLoggerImage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Good and damaged images; a damaged header must never make the walk read past the used
    // memory or the bytes that arrived.
    void parseOutcome_data() {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<LoggerOutcome>("result");
        QTest::addColumn<int>("sets");
        QTest::addColumn<int>("badIndex");
        QTest::addColumn<int>("lastGood");

        const QList<quint16> three{rec(false, 1, 100), rec(false, 1, 200), rec(false, 1, 300)};
        LoggerImageBuilder two;
        two.addSet(10000, kVoltsDc, kDc, three).addSet(10000, kVoltsDc, kDc, three);
        const int second = two.setAddress[1];
        const int usedEnd = 255 + int(two.sets.size());
        const auto with = [&two](auto change) {
            LoggerImageBuilder b = two;
            change(b);
            return b.blocks();
        };
        using R = LoggerOutcome;
        QTest::newRow("fewer than 256 bytes")
            << two.blocks().left(200) << R::TooShort << 0 << -1 << -1;
        QTest::newRow("empty memory")
            << LoggerImageBuilder().blocks() << R::NoData << 0 << -1 << -1;
        QTest::newRow("end address past what arrived")
            << with([](auto& b) { b.end = 1000; }).left(512) << R::Incomplete << 0 << -1 << -1;
        QTest::newRow("4001 sets")
            << with([](auto& b) { b.count = 4001; }) << R::TooManySets << 0 << -1 << -1;
        QTest::newRow("two good sets") << two.blocks() << R::Loaded << 2 << -1 << -1;
        QTest::newRow("second set's end marker damaged")
            << with([&](auto& b) { b.sets[usedEnd - 256] = 0; }) << R::BadDataSet << 0 << 1
            << second - 1;
        QTest::newRow("second set's start marker damaged")
            << with([&](auto& b) { b.sets[second + 1 - 256] = 0x55; }) << R::BadDataSet << 0 << 1
            << second - 1;
        QTest::newRow("header counts a set too many")
            << with([](auto& b) { b.count = 3; }) << R::BadDataSet << 0 << 2 << usedEnd;
        QTest::newRow("record count runs past the image")
            << with([&](auto& b) { b.sets[second + 8 - 256] = 0x7F; }) << R::BadDataSet << 0 << 1
            << second - 1;
        QTest::newRow("end address inside the header")
            << with([](auto& b) { b.end = 100; }) << R::BadDataSet << 0 << 0 << 255;
        QTest::newRow("end address inside the second set")
            << with([&](auto& b) { b.end = second + 5; }) << R::BadDataSet << 0 << 1 << second - 1;
    }
    void parseOutcome() {
        QFETCH(QByteArray, image);
        const LoggerParse p = parseLoggerImage(LoggerImage(image), today());
        QTEST(p.result, "result");
        QTEST(int(p.sets.size()), "sets");
        QTEST(p.badSetIndex, "badIndex");
        QTEST(p.lastGoodAddress, "lastGood");
    }

    // Start times (each set where the one before ended), list rows and record time stamps.
    void setsFollowEachOtherInTime() {
        LoggerImageBuilder b;
        b.addSet(10000, kVoltsDc, kDc, {rec(false, 1, 1), rec(false, 1, 2), rec(false, 1, 3)})
            .addSet(20000, 0x30, 0, QList<quint16>(100, rec(false, 1, 5)))
            .addSet(12000000, 0x24, 0, QList<quint16>(50, rec(false, 1, 5)));
        const QList<DataSetInfo> sets = parse(b);
        QCOMPARE(sets.size(), 3);
        QCOMPARE(sets[0].listRow(0),
                 (QStringList{"1", "7/19/16", "10:30:00", "DC Volt", "00:01", "3"}));
        QCOMPARE(sets[1].startTime, at(2016, 7, 19, 10, 30, 3));
        QCOMPARE(sets[2].startTime, at(2016, 7, 19, 10, 33, 23)); // 100 records at 2 s later
        QCOMPARE(sets[2].listRow(2).mid(3), (QStringList{"RPM", "20:00", "50"}));
        QCOMPARE(sets[1].endOffset, b.setAddress[2] - 256 - 1);
        const DecodedDataSet d = decodeDataSet(LoggerImage(b.blocks()), sets[0]);
        QCOMPARE(d.rows[2].mid(0, 3), (QStringList{"3", "7/19/16", "10:30:02"}));
        QCOMPARE(d.x[2], at(2016, 7, 19, 10, 30, 2));

        b.header[4] = 13; // month 13, hour 25: the meter's clock was never set
        b.header[6] = 25;
        QCOMPARE(parse(b).value(0).startTime, today());
        b.header[3] = 17; // 29 Feb 2017: today's date, the header's time
        b.header[4] = 2;
        b.header[5] = 29;
        b.header[6] = 12;
        QCOMPARE(parse(b).value(0).startTime, at(2020, 5, 6, 12, 30, 0));
    }

    // Signs, overloads, a change to a larger unit in mid-set and the MAX/MIN rows.
    void voltageSetAcrossRanges() {
        const DecodedDataSet d = decodeOne(kVoltsDc, {rec(true, 0, 0x123), rec(false, 1, 4000),
                                                      rec(false, 3, 0x123), rec(false, 4, 5)});
        QStringList texts;
        for (const QStringList& row : d.rows)
            texts += row[3] + u'|' + row[4];
        QCOMPARE(texts, (QStringList{"-29.1|mV", "OL|V", "29.1|V", "5|V"}));
        QCOMPARE(d.baseUnit, QStringLiteral("V"));
        QCOMPARE(d.axisLimit, std::optional<double>(4000)); // the V range with divisor 1
        QCOMPARE(float(d.y[0]), -29.1f / 1000);             // scaled when volts began
        QCOMPARE(float(d.y[2]), 29.1f);
        // The overload (4.000 V) is the largest value, yet never the MAX.
        QCOMPARE(d.maxRow, 3);
        QCOMPARE(d.minRow, 1);
        QCOMPARE(d.maxText, QStringLiteral("10:30:02\t29.1V"));
        QCOMPARE(d.minText, QStringLiteral("10:30:00\t-29.1mV"));
    }

    void recordTexts() {
        struct Case {
            const char* locale;
            quint8 byte5;
            QList<quint16> records;
            QStringList expected; // VALUE|RANGE per record
        } cases[] = {
            {"en_US", kVoltsDc, {rec(false, 1, 4000), rec(true, 1, 4095)}, {"OL|V", "-OL|V"}},
            // Only bit 3 selects RPM units; bit 2 alone names the set RPM but decodes as KHz.
            {"en_US", 0x24, {rec(false, 0, 1234)}, {"1.234|KHz"}},
            {"en_US", 0x28, {rec(false, 0, 1234)}, {"12.34|KRPM"}},
            // A range the function lacks: no unit; the first record reads in the plain unit,
            // later ones keep the previous record's divisor.
            {"en_US",
             kVoltsDc,
             {rec(false, 7, 291), rec(false, 0, 291), rec(false, 6, 291)},
             {"291|", "29.1|mV", "29.1|"}},
            {"en_US", 0x90, {rec(false, 5, 291)}, {"291|mA"}},
            // No group separator; no "-0".
            {"en_US", 0x10, {rec(false, 0, 3999), rec(true, 0, 0)}, {"3999|V", "0|V"}},
            {"de_DE", kVoltsDc, {rec(true, 0, 0x123)}, {"-29,1|mV"}},
        };
        for (const Case& c : cases) {
            QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
            const DecodedDataSet d = decodeOne(c.byte5, c.records);
            QStringList texts;
            for (const QStringList& row : d.rows)
                texts += row[3] + u'|' + row[4];
            QCOMPARE(texts, c.expected);
        }
        // Every record overloaded: no MAX or MIN.
        const DecodedDataSet d = decodeOne(kVoltsDc, {rec(false, 1, 4000)});
        QVERIFY(d.maxRow == 0 && d.minRow == 0 && d.maxText.isEmpty() && d.minText.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLoggerImage)
#include "test_loggerimage.moc"
