#include "clock.h"
#include "decodeddataset.h"
#include "loggerimagebuilder.h"
#include "loggerparse.h"

#include <QLocale>
#include <QTest>

namespace {

double at(int y, int mo, int d, int h, int mi, int s) {
    return DateTimeToDays(QDateTime(QDate(y, mo, d), QTime(h, mi, s)));
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
constexpr quint32 kOneSecond = 10000;

LoggerParse parseOne(const LoggerImageBuilder& b, DataSetInfo& info) {
    const LoggerParse p = ParseLoggerImage(LoggerImage(b.blocks()), today());
    if (!p.Sets.isEmpty())
        info = p.Sets.first();
    return p;
}

} // namespace

Q_DECLARE_METATYPE(DownloadResult)

class TestLoggerImage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Outcomes of the checks and of the walk over the sets, good and damaged images alike;
    // a damaged header must never make the walk read past the bytes that arrived.
    void parseOutcome_data() {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<DownloadResult>("result");
        QTest::addColumn<int>("sets");
        QTest::addColumn<int>("badIndex");
        QTest::addColumn<int>("lastGood");

        const QList<quint16> three{rec(false, 1, 100), rec(false, 1, 200), rec(false, 1, 300)};
        LoggerImageBuilder two;
        two.addSet(kOneSecond, kVoltsDc, kDc, three).addSet(kOneSecond, kVoltsDc, kDc, three);
        const int secondSet = two.setAddress(1);
        const int usedEnd = two.used().size() - 1;

        QTest::newRow("fewer than 256 bytes")
            << LoggerImageBuilder().used().left(200) << DownloadResult::TooShort << 0 << -1 << -1;
        QTest::newRow("empty memory")
            << LoggerImageBuilder().blocks() << DownloadResult::NoData << 0 << -1 << -1;
        QTest::newRow("end address past the bytes that arrived")
            << LoggerImageBuilder().setCount(1).endAddress(1000).blocks().leftJustified(512, 0)
            << DownloadResult::Incomplete << 0 << -1 << -1;
        QTest::newRow("4001 sets") << LoggerImageBuilder().setCount(4001).blocks()
                                   << DownloadResult::TooManySets << 0 << -1 << -1;
        QTest::newRow("two good sets") << two.blocks() << DownloadResult::Loaded << 2 << -1 << -1;

        QByteArray endMarker = two.blocks();
        endMarker[usedEnd] = char(0x00);
        QTest::newRow("second set's end marker damaged")
            << endMarker << DownloadResult::BadDataSet << 0 << 1 << secondSet - 1;

        QByteArray startMarker = two.blocks();
        startMarker[secondSet + 1] = char(0x55);
        QTest::newRow("second set's start marker damaged")
            << startMarker << DownloadResult::BadDataSet << 0 << 1 << secondSet - 1;

        LoggerImageBuilder more = two;
        QTest::newRow("header counts more sets than there are")
            << more.setCount(3).blocks() << DownloadResult::BadDataSet << 0 << 2 << usedEnd;

        QByteArray hugeCount = two.blocks();
        hugeCount[secondSet + 8] = char(0x7F);
        hugeCount[secondSet + 9] = char(0xFF);
        QTest::newRow("record count runs past the image")
            << hugeCount << DownloadResult::BadDataSet << 0 << 1 << secondSet - 1;

        LoggerImageBuilder endInHeader = two;
        QTest::newRow("end address inside the header")
            << endInHeader.endAddress(100).blocks() << DownloadResult::BadDataSet << 0 << 0 << 255;

        // The padding after the end address happens to continue the second set's header.
        LoggerImageBuilder cut = two;
        QTest::newRow("end address inside the second set")
            << cut.endAddress(secondSet + 5).blocks() << DownloadResult::BadDataSet << 0 << 1
            << secondSet - 1;
    }
    void parseOutcome() {
        QFETCH(QByteArray, image);
        const LoggerParse p = ParseLoggerImage(LoggerImage(image), today());
        QTEST(p.Result, "result");
        QTEST(int(p.Sets.size()), "sets");
        QTEST(p.BadSetIndex, "badIndex");
        QTEST(p.LastGoodAddress, "lastGood");
    }

    // Start times, list rows and the positions of the sets.
    void setsFollowEachOtherInTime() {
        LoggerImageBuilder b;
        b.addSet(kOneSecond, kVoltsDc, kDc, {rec(false, 1, 1), rec(false, 1, 2), rec(false, 1, 3)})
            .addSet(20000, 0x30, 0, QList<quint16>(100, rec(false, 1, 5)))
            .addSet(20000, 0x30, 0, QList<quint16>(50, rec(false, 1, 5)));
        const LoggerParse p = ParseLoggerImage(LoggerImage(b.blocks()), today());
        QCOMPARE(p.Result, DownloadResult::Loaded);
        QCOMPARE(p.Sets.size(), 3);
        QCOMPARE(p.Sets[0].StartTime, at(2016, 7, 19, 10, 30, 0));
        QCOMPARE(p.Sets[0].ListRow(0),
                 (QStringList{"1", "7/19/16", "10:30:00", "DC Volt", "00:01", "3"}));
        QCOMPARE(p.Sets[1].StartTime, at(2016, 7, 19, 10, 30, 3));
        QCOMPARE(p.Sets[2].StartTime, at(2016, 7, 19, 10, 33, 23)); // 200 s after the second
        QCOMPARE(p.Sets[1].IntervalSeconds, 2);
        QCOMPARE(p.Sets[1].Offset, b.setAddress(1) - 256);
        QCOMPARE(p.Sets[1].EndOffset, b.setAddress(2) - 256 - 1);
        QCOMPARE(p.Sets[2].ListRow(2).mid(3), (QStringList{"Ohm", "00:02", "50"}));

        const DecodedDataSet d = DecodeDataSet(LoggerImage(b.blocks()), p.Sets[0]);
        QCOMPARE(d.count(), 3);
        QCOMPARE(d.Rows[2].mid(0, 3), (QStringList{"3", "7/19/16", "10:30:02"}));
        QCOMPARE(d.X[2], at(2016, 7, 19, 10, 30, 2));
    }

    void impossibleTimeLabel() {
        LoggerImageBuilder b;
        b.timeLabel(20, 16, 13, 1, 25, 0, 0).addSet(kOneSecond, kVoltsDc, kDc, {rec(false, 1, 1)});
        DataSetInfo info;
        QCOMPARE(parseOne(b, info).Result, DownloadResult::Loaded);
        QCOMPARE(info.StartTime, today());
        b.timeLabel(20, 16, 2, 29, 12, 0, 0); // 2016 is a leap year
        QCOMPARE(parseOne(b, info).Result, DownloadResult::Loaded);
        QCOMPARE(info.StartTime, at(2016, 2, 29, 12, 0, 0));
        b.timeLabel(20, 17, 2, 29, 12, 0, 0);
        parseOne(b, info);
        QCOMPARE(info.StartTime, at(2020, 5, 6, 12, 0, 0));
    }

    void rateAndFunctionTexts_data() {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("coupling");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("name");
        QTest::newRow("1 s DC volts") << 10000 << 11 << 0 << 8 << "00:01"
                                      << "DC Volt";
        QTest::newRow("100 s AC volts") << 1000000 << 11 << 0 << 4 << "01:40"
                                        << "AC Volt";
        QTest::newRow("20 min volts") << 12000000 << 11 << 0 << 0 << "20:00"
                                      << "Voltage";
        QTest::newRow("half a second") << 5000 << 1 << 0 << 0 << "00:00"
                                       << "Diode";
        QTest::newRow("frequency") << 10000 << 2 << 0 << 0 << "00:01"
                                   << "Frequecy";
        QTest::newRow("rpm by bit 2") << 10000 << 2 << 4 << 0 << "00:01"
                                      << "RPM";
        QTest::newRow("ac current") << 10000 << 9 << 0 << 4 << "00:01"
                                    << "ACA";
        QTest::newRow("dc microamps") << 10000 << 13 << 0 << 8 << "00:01"
                                      << "DCA";
        QTest::newRow("current, no coupling") << 10000 << 15 << 0 << 0 << "00:01"
                                              << "Current";
        QTest::newRow("adapter 1") << 10000 << 12 << 0 << 0 << "00:01"
                                   << "ADP1";
        QTest::newRow("unknown function") << 10000 << 7 << 0 << 0 << "00:01"
                                          << "ADP0";
    }
    void rateAndFunctionTexts() {
        QFETCH(int, ticks);
        QFETCH(int, function);
        QFETCH(int, mode);
        QFETCH(int, coupling);
        LoggerImageBuilder b;
        b.addSet(quint32(ticks), quint8(function << 4 | mode), quint8(coupling),
                 {rec(false, 0, 1)});
        DataSetInfo info;
        QCOMPARE(parseOne(b, info).Result, DownloadResult::Loaded);
        QTEST(info.RateText(), "rate");
        QTEST(info.FunctionName(), "name");
    }

    // Signs, overloads, a change to a larger unit in mid-set and the MAX/MIN rows.
    void voltageSetAcrossRanges() {
        LoggerImageBuilder b;
        b.addSet(
            kOneSecond, kVoltsDc, kDc,
            {rec(true, 0, 0x123), rec(false, 1, 4000), rec(false, 3, 0x123), rec(false, 4, 5)});
        DataSetInfo info;
        parseOne(b, info);
        const DecodedDataSet d = DecodeDataSet(LoggerImage(b.blocks()), info);
        QCOMPARE(d.Rows[0].mid(3), (QStringList{"-29.1", "mV"}));
        QCOMPARE(d.Rows[1].mid(3), (QStringList{"OL", "V"}));
        QCOMPARE(d.Rows[2].mid(3), (QStringList{"29.1", "V"}));
        QCOMPARE(d.Rows[3].mid(3), (QStringList{"5", "V"}));
        QCOMPARE(d.BaseUnit, QStringLiteral("V"));
        QCOMPARE(d.BaseDivisor, 1); // the smallest divisor of the V ranges seen
        QCOMPARE(d.AxisLimit, std::optional<double>(4000));
        // The mV point was scaled into volts when the V records began.
        QCOMPARE(float(d.Y[0]), -29.1f / 1000);
        QCOMPARE(float(d.Y[2]), 29.1f);
        QCOMPARE(d.Overload, (QList<bool>{false, true, false, false}));
        // The overload (4.0 V) is larger than every other value, yet never the MAX.
        QCOMPARE(d.MaxRow, 3);
        QCOMPARE(d.MinRow, 1);
        QCOMPARE(d.MaxText, QStringLiteral("10:30:02\t29.1V"));
        QCOMPARE(d.MinText, QStringLiteral("10:30:00\t-29.1mV"));
    }

    void resistanceMovesToMegohms() {
        LoggerImageBuilder b;
        b.addSet(kOneSecond, 0x30, 0,
                 {rec(false, 1, 500), rec(false, 1, 500), rec(false, 4, 1234)});
        DataSetInfo info;
        parseOne(b, info);
        const DecodedDataSet d = DecodeDataSet(LoggerImage(b.blocks()), info);
        QCOMPARE(d.Rows[0].mid(3), (QStringList{"0.500", "KOhm"}));
        QCOMPARE(d.Rows[2].mid(3), (QStringList{"1.234", "MOhm"}));
        QCOMPARE(d.BaseUnit, QStringLiteral("MOhm"));
        QCOMPARE(d.AxisLimit, std::optional<double>(4));
        QCOMPARE(float(d.Y[0]), 0.5f / 1000);
        QCOMPARE(float(d.Y[2]), 1.234f);
        // Equal values: the first one is the MIN.
        QCOMPARE(d.MinRow, 1);
        QCOMPARE(d.MaxRow, 3);
    }

    void unitEdgeCases() {
        struct Case {
            quint8 byte5;
            QList<quint16> records;
            QStringList values;
            QStringList units;
        } cases[] = {
            // Every record overloaded: no MAX or MIN (checked below).
            {kVoltsDc, {rec(false, 1, 4000), rec(true, 1, 4095)}, {"OL", "-OL"}, {"V", "V"}},
            // Only bit 3 selects RPM units; bit 2 names the set RPM but decodes as KHz.
            {0x24, {rec(false, 0, 1234)}, {"1.234"}, {"KHz"}},
            {0x28, {rec(false, 0, 1234)}, {"12.34"}, {"KRPM"}},
            // A range the function lacks: no unit; the first record draws in the plain unit,
            // later ones keep the previous record's divisor.
            {kVoltsDc,
             {rec(false, 7, 291), rec(false, 0, 291), rec(false, 6, 291)},
             {"291", "29.1", "29.1"},
             {"", "mV", ""}},
            {0x90, {rec(false, 5, 291)}, {"291"}, {"mA"}},
            // No group separator in a four-digit value; no "-0".
            {0x10, {rec(false, 0, 3999), rec(true, 0, 0)}, {"3999", "0"}, {"V", "V"}},
        };
        for (const Case& c : cases) {
            LoggerImageBuilder b;
            b.addSet(kOneSecond, c.byte5, kDc, c.records);
            DataSetInfo info;
            parseOne(b, info);
            const DecodedDataSet d = DecodeDataSet(LoggerImage(b.blocks()), info);
            QStringList values, units;
            for (const QStringList& row : d.Rows) {
                values += row[3];
                units += row[4];
            }
            QCOMPARE(values, c.values);
            QCOMPARE(units, c.units);
            if (c.values.first().contains(u'L')) {
                QCOMPARE(d.MaxRow, 0);
                QCOMPARE(d.MinRow, 0);
                QVERIFY(d.MaxText.isEmpty() && d.MinText.isEmpty());
            }
        }
    }

    void decimalCommaLocale() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        LoggerImageBuilder b;
        b.addSet(kOneSecond, kVoltsDc, kDc, {rec(true, 0, 0x123)});
        DataSetInfo info;
        parseOne(b, info);
        const DecodedDataSet d = DecodeDataSet(LoggerImage(b.blocks()), info);
        QCOMPARE(d.Rows[0].mid(1), (QStringList{"19.07.16", "10:30:00", "-29,1", "mV"}));
    }
};

QTEST_GUILESS_MAIN(TestLoggerImage)
#include "test_loggerimage.moc"
