#include "framedecoder.h"
#include "rangetable.h"
#include "support/liveframe.h"
#include "support/linkspy.h"

#include <QLocale>
#include <QTest>

namespace {

constexpr std::uint32_t bit(unsigned n) {
    return std::uint32_t(1) << n;
}
// What every test frame lights besides its function: RS232 and AUTO (c9 = 2).
constexpr std::uint32_t kBase = bit(annRS232) | bit(annAUTO);

using Digits = QList<int>;
Digits digitsOf(const Reading& r) {
    return {r.digits[0], r.digits[1], r.digits[2], r.digits[3]};
}

} // namespace

class TestFrameDecoder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        decoder.reset();
        calls.clear();
    }

    void functionTable_data();
    void functionTable();
    void digitBlanking_data();
    void digitBlanking();
    void quietMillivoltFrame();
    void overload();
    void decimalComma();
    void nonDigitCharactersKeepPreviousCodes();
    void firstFrameWithoutDivisorDoesNotDivideByZero();
    void framesToUpdates_data();
    void framesToUpdates();
    void peakHoldShowsHeldDigitsOnLcd();
    void statusResetClearsTrackers();
    void everyDecodedUnitAndDivisorIsTabled();

private:
    void decode(const QByteArray& f, int model = 122) {
        last = decoder.decode(f, model);
        calls += LinkSpy::describe(last);
    }
    QStringList callsStarting(const QString& prefix) const {
        return LinkSpy::startingWith(calls, prefix);
    }
    FrameDecoder decoder;
    LiveUpdate last;
    QStringList calls;
};

void TestFrameDecoder::functionTable_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("divisor");
    QTest::addColumn<int>("multiplier");
    QTest::addColumn<quint32>("annunciators");
    QTest::addColumn<quint32>("unitAnnunciators");

    const std::uint32_t p1 = bit(annPoint1), p2 = bit(annPoint2), p3 = bit(annPoint3);
    const std::uint32_t hz = bit(unitHz), kPre = bit(unitKOhmHz), m_pre = bit(unitMOhmHz);
    const std::uint32_t ohm = bit(unitOhm), cur = bit(unitCurrent);
    constexpr int alt = 8, freq = 1;

    // A listed range is decoded twice so that the function change of the first frame (which
    // forces the multiplier to 1) is behind it.
    auto row = [](const char* tag, int model, const QByteArray& f, const char* name,
                  const char* unit, int div, int mult, std::uint32_t ann, std::uint32_t unitAnn) {
        QTest::newRow(tag) << model << QList<QByteArray>{f, f} << QString(name) << QString(unit)
                           << div << mult << quint32(kBase | ann) << quint32(unitAnn);
    };

    row("diode", 122, LiveFrame(0, "0512", '1'), "Diode", "V", 1000, 1,
        bit(annVoltage) | bit(annDIODE) | p1, 0);
    row("diode any range", 122, LiveFrame(7, "0512", '1'), "Diode", "V", 1000, 1,
        bit(annVoltage) | bit(annDIODE) | p1, 0);

    const char* fUnits[] = {"KHz", "KHz", "KHz", "MHz", "MHz", "MHz"};
    const int fDiv[] = {1000, 100, 10, 1000, 100, 10};
    for (int r = 0; r < 6; ++r) {
        const int mult = r < 3 ? 1 : 1000;
        const std::uint32_t pre = r < 3 ? kPre : m_pre;
        const std::uint32_t point = fDiv[r] == 1000 ? p1 : fDiv[r] == 100 ? p2 : p3;
        row(qPrintable(QStringLiteral("frequency r%1").arg(r)), 122, LiveFrame(r, "1234", '2'),
            "Freuqency", fUnits[r], fDiv[r], mult, point, hz | pre);
        // A model 120 in frequency mode reads frequency whatever the function code says.
        row(qPrintable(QStringLiteral("120 frequency mode r%1").arg(r)), 120,
            LiveFrame(r, "1234", ';', 0, freq), "Freuqency", fUnits[r], fDiv[r], mult, point,
            hz | pre);
    }

    const char* rUnits[] = {"KRPM", "KRPM", "MRPM", "MRPM", "MRPM", "MRPM"};
    const int rDiv[] = {100, 10, 1000, 100, 10, 1};
    for (int r = 0; r < 6; ++r) {
        const std::uint32_t point = rDiv[r] == 1000  ? p1
                                    : rDiv[r] == 100 ? p2
                                    : rDiv[r] == 10  ? p3
                                                     : 0;
        row(qPrintable(QStringLiteral("rpm r%1").arg(r)), 122, LiveFrame(r, "1234", '2', alt),
            "RPM", rUnits[r], rDiv[r], r < 2 ? 1 : 1000, bit(annRPM) | point, r < 2 ? kPre : m_pre);
    }

    row("ohm r0", 122, LiveFrame(0, "1234", '3'), "OHM", "Ohm", 10, 1, p3, ohm);
    row("ohm r1", 122, LiveFrame(1, "1234", '3'), "OHM", "KOhm", 1000, 1000, p1, ohm | kPre);
    row("ohm r2", 122, LiveFrame(2, "1234", '3'), "OHM", "KOhm", 100, 1000, p2, ohm | kPre);
    row("ohm r3", 122, LiveFrame(3, "1234", '3'), "OHM", "KOhm", 10, 1000, p3, ohm | kPre);
    row("ohm r4", 122, LiveFrame(4, "1234", '3'), "OHM", "MOhm", 1000, 1000000, p1, ohm | m_pre);
    row("ohm r5", 122, LiveFrame(5, "1234", '3'), "OHM", "MOhm", 100, 1000000, p2, ohm | m_pre);

    row("celsius", 122, LiveFrame(0, "0023", '4', alt), "Temperature", "C", 1, 1, bit(annC), 0);
    row("fahrenheit", 122, LiveFrame(3, "0073", '4'), "Temperature", "F", 1, 1, bit(annF), 0);
    row("continuity", 122, LiveFrame(2, "0012", '5'), "Continuity", "Ohm", 10, 1,
        bit(annCONTIMUNITY) | p3, 0);

    const char* cUnits[] = {"nF", "nF", "nF", "uF", "uF", "uF", "mF", "mF"};
    const int cDiv[] = {1000, 100, 10, 1000, 100, 10, 1000, 100};
    const int cMult[] = {1, 1, 1, 1000, 1000, 1000, 1000000, 1000000};
    const unsigned cBit[] = {annnF, annnF, annnF, annuF, annuF, annuF, annmF, annmF};
    for (int r = 0; r < 8; ++r) {
        const std::uint32_t point = cDiv[r] == 1000 ? p1 : cDiv[r] == 100 ? p2 : p3;
        row(qPrintable(QStringLiteral("capacitance r%1").arg(r)), 122, LiveFrame(r, "1234", '6'),
            "Capacitance", cUnits[r], cDiv[r], cMult[r], bit(annFara) | bit(cBit[r]) | point, 0);
    }

    row("mA r0", 122, LiveFrame(0, "1234", '9'), "Current", "mA", 100, 1, bit(annmVA) | p2, cur);
    row("mA r1", 122, LiveFrame(1, "1234", '9'), "Current", "mA", 10, 1, bit(annmVA) | p3, cur);
    row("mV", 122, LiveFrame(0, "1234", ';'), "Voltage", "mV", 10, 1,
        bit(annVoltage) | bit(annmVA) | p3, 0);
    row("V r1", 122, LiveFrame(1, "1234", ';'), "Voltage", "V", 1000, 1000, bit(annVoltage) | p1,
        0);
    row("V r2", 122, LiveFrame(2, "1234", ';'), "Voltage", "V", 100, 1000, bit(annVoltage) | p2, 0);
    row("V r3", 122, LiveFrame(3, "1234", ';'), "Voltage", "V", 10, 1000, bit(annVoltage) | p3, 0);
    row("V r4", 122, LiveFrame(4, "1234", ';'), "Voltage", "V", 1, 1000, bit(annVoltage), 0);
    // The same frequency-mode frame from a 122 is a voltage.
    row("122 ignores frequency mode", 122, LiveFrame(0, "1234", ';', 0, freq), "Voltage", "mV", 10,
        1, bit(annVoltage) | bit(annmVA) | p3, 0);
    row("uA", 122, LiveFrame(0, "1234", '='), "Current", "uA", 10, 1, bit(annuVA) | p3, cur);
    row("A", 122, LiveFrame(5, "1234", '?'), "Current", "A", 100, 1, p2, cur);

    for (char code : {'0', '7', '8', ':', '<', '>'}) {
        row(qPrintable(QStringLiteral("unused code %1").arg(code)), 122, LiveFrame(0, "1234", code),
            "", "", 1, 1, 0, 0);
    }

    // Unlisted ranges: name and the always-set bits, the rest as after the previous frame.
    auto unlisted = [](const char* tag, const QByteArray& listed, const QByteArray& f,
                       const char* name, const char* unit, int div, int mult, std::uint32_t ann,
                       std::uint32_t unitAnn) {
        QTest::newRow(tag) << 122 << QList<QByteArray>{listed, listed, f} << QString(name)
                           << QString(unit) << div << mult << quint32(kBase | ann)
                           << quint32(unitAnn);
    };
    unlisted("ohm r6", LiveFrame(1, "1234", '3'), LiveFrame(6, "1234", '3'), "OHM", "KOhm", 1000,
             1000, 0, ohm);
    unlisted("capacitance r9", LiveFrame(4, "1234", '6'), LiveFrame(9, "1234", '6'), "Capacitance",
             "uF", 100, 1000, bit(annFara), 0);
    unlisted("frequency r7", LiveFrame(3, "1234", '2'), LiveFrame(7, "1234", '2'), "Freuqency",
             "MHz", 1000, 1000, 0, hz);
    unlisted("rpm r6", LiveFrame(2, "1234", '2', alt), LiveFrame(6, "1234", '2', alt), "RPM",
             "MRPM", 1000, 1000, bit(annRPM), 0);
    unlisted("voltage r5", LiveFrame(2, "1234", ';'), LiveFrame(5, "1234", ';'), "Voltage", "V",
             100, 1000, bit(annVoltage), 0);
    // mA and uA set unit and multiplier for every range; only the divisor stays.
    unlisted("mA r2", LiveFrame(1, "1234", '9'), LiveFrame(2, "1234", '9'), "Current", "mA", 10, 1,
             bit(annmVA), cur);
    unlisted("uA r3", LiveFrame(0, "1234", '='), LiveFrame(3, "1234", '='), "Current", "uA", 10, 1,
             bit(annuVA), cur);
}

void TestFrameDecoder::functionTable() {
    QFETCH(int, model);
    QFETCH(QList<QByteArray>, frames);
    for (const auto& f : frames)
        decode(f, model);
    const Reading& r = decoder.reading();
    QTEST(r.functionName, "name");
    QTEST(r.unitText, "unit");
    QTEST(int(r.divisor), "divisor");
    QTEST(int(r.multiplier), "multiplier");
    QFETCH(quint32, annunciators);
    QFETCH(quint32, unitAnnunciators);
    QCOMPARE(QString::number(r.annunciators, 2), QString::number(annunciators, 2));
    QCOMPARE(QString::number(r.unitAnnunciators, 2), QString::number(unitAnnunciators, 2));
    QCOMPARE(r.value, float(r.count) / float(r.divisor));
}

void TestFrameDecoder::digitBlanking_data() {
    QTest::addColumn<QByteArray>("f");
    QTest::addColumn<Digits>("digits");
    QTest::addColumn<QString>("text");

    QTest::newRow("div 1, zero") << LiveFrame(4, "0000", ';') << Digits{10, 10, 10, 0} << "0";
    QTest::newRow("div 1, 105") << LiveFrame(4, "0105", ';') << Digits{10, 1, 0, 5} << "105";
    QTest::newRow("div 1, 50") << LiveFrame(4, "0050", ';') << Digits{10, 10, 5, 0} << "50";
    QTest::newRow("div 1, 1000") << LiveFrame(4, "1000", ';') << Digits{1, 0, 0, 0} << "1000";
    QTest::newRow("div 10, zero") << LiveFrame(3, "0000", ';') << Digits{10, 10, 0, 0} << "0.0";
    QTest::newRow("div 10, 10.2") << LiveFrame(3, "0102", ';') << Digits{10, 1, 0, 2} << "10.2";
    QTest::newRow("div 100, zero") << LiveFrame(2, "0000", ';') << Digits{10, 0, 0, 0} << "0.00";
    QTest::newRow("div 100, 0.12") << LiveFrame(2, "0012", ';') << Digits{10, 0, 1, 2} << "0.12";
    QTest::newRow("div 1000, zero") << LiveFrame(1, "0000", ';') << Digits{0, 0, 0, 0} << "0.000";
    QTest::newRow("div 1000, negative")
        << LiveFrame(1, "1234", ';', 4) << Digits{1, 2, 3, 4} << "-1.234";
    QTest::newRow("overload") << LiveFrame(1, "0000", ';', 1) << Digits{10, 0, 11, 10} << "OL";
    QTest::newRow("negative overload")
        << LiveFrame(1, "0000", ';', 5) << Digits{10, 0, 11, 10} << "-OL";
}

void TestFrameDecoder::digitBlanking() {
    QFETCH(QByteArray, f);
    decode(f);
    QTEST(digitsOf(decoder.reading()), "digits");
    QTEST(decoder.reading().valueText, "text");
    QCOMPARE(digitsOf(last.reading), digitsOf(decoder.reading())); // what the update carries
}

void TestFrameDecoder::quietMillivoltFrame() {
    decode(QByteArray("00000;000\r\n"));
    const Reading& r = decoder.reading();
    QCOMPARE(r.functionName, QStringLiteral("Voltage"));
    QCOMPARE(r.rangeCode, 0u);
    QCOMPARE(r.unitText, QStringLiteral("mV"));
    QCOMPARE(r.divisor, 10);
    QCOMPARE(digitsOf(r), (Digits{10, 10, 0, 0}));
    QCOMPARE(r.count, 0);
    QCOMPARE(r.valueText, QStringLiteral("0.0"));
    QCOMPARE(r.annunciators, bit(7) | bit(9) | bit(20) | bit(30) | bit(31));
    QCOMPARE(r.unitAnnunciators, 0u);
}

void TestFrameDecoder::overload() {
    decode(LiveFrame(1, "0000", ';', 5));
    const Reading& r = decoder.reading();
    QVERIFY(r.overload);
    QCOMPARE(r.annunciators & (bit(17) | bit(21) | bit(22)), bit(17) | bit(21) | bit(22));
    // In peak hold the sign bits come only from the held peak.
    decode(LiveFrame(1, "0000", ';', 5, 4));
    QVERIFY(decoder.reading().annunciators & bit(22));
    QCOMPARE(decoder.reading().valueText, QStringLiteral("-OL"));
}

void TestFrameDecoder::decimalComma() {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    decode(LiveFrame(1, "1234", ';'));
    QCOMPARE(decoder.reading().valueText, QStringLiteral("1,234"));
    decode(LiveFrame(4, "1234", ';'));
    QCOMPARE(decoder.reading().valueText, QStringLiteral("1234")); // no group separator
}

void TestFrameDecoder::nonDigitCharactersKeepPreviousCodes() {
    decode(LiveFrame(1, "1234", ';'));
    decode(LiveFrame(1, "5:78", ';'));
    // The conversion stops at ':'; positions 2..4 keep the codes of the previous frame.
    QCOMPARE(digitsOf(decoder.reading()), (Digits{5, 2, 3, 4}));
    QCOMPARE(decoder.reading().count, 5234);
}

void TestFrameDecoder::firstFrameWithoutDivisorDoesNotDivideByZero() {
    decode(LiveFrame(7, "0042", '3')); // resistance, unlisted range: no divisor from the table
    QCOMPARE(decoder.reading().divisor, 1);
    QCOMPARE(decoder.reading().value, 42.0f);
    QCOMPARE(decoder.reading().valueText, QStringLiteral("42"));
}

// One row per run of frames: what each frame's update says (what changed, which trackers moved,
// what a needle shows), then the MAX/MIN and peak trackers after the last frame.
void TestFrameDecoder::framesToUpdates_data() {
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QStringList>("updates");
    QTest::addColumn<QString>("trackersAfter");

    // The first frame is a function, range and scale change; a later one says only what moved.
    QTest::newRow("first frame, then a smaller negative one")
        << QList<QByteArray>{LiveFrame(1, "1234", ';'), LiveFrame(1, "0999", ';', 4)}
        << QStringList{"functionChanged, rangeChanged 1 1, scaleChanged, stats 1010, needle 1.234 +",
                       "stats 0010, needle 0.999 -"}
        << "max 1234 min -999 peak none";
    QTest::newRow("MAX and MIN follow the extremes; peak trackers rest outside peak hold")
        << QList<QByteArray>{LiveFrame(1, "1000", ';'), LiveFrame(1, "1500", ';'),
                             LiveFrame(1, "0500", ';', 4), LiveFrame(1, "1200", ';')}
        << QStringList{"functionChanged, rangeChanged 1 1, scaleChanged, stats 1010, needle 1 +",
                       "stats 1000, needle 1.5 +", "stats 0010, needle 0.5 -",
                       "stats 0000, needle 1.2 +"}
        << "max 1500 min -500 peak none";
    // Peak hold (either status bit) tracks its own extremes and the needle shows the held
    // maximum; when it ends the peak trackers start again and MAX/MIN keep their values.
    QTest::newRow("peak hold captures the maximum and ends cleanly")
        << QList<QByteArray>{LiveFrame(1, "1000", ';'), LiveFrame(1, "2000", ';', 4, 4),
                             LiveFrame(1, "3000", ';', 0, 8), LiveFrame(1, "0100", ';', 0, 4),
                             LiveFrame(1, "0200", ';')}
        << QStringList{"functionChanged, rangeChanged 1 1, scaleChanged, stats 1010, needle 1 +",
                       "stats 0111, needle 2 -", "stats 1100, needle 3 +",
                       "stats 0000, needle 3 +", "peakEnded, stats 0000, needle 0.2 +"}
        << "max 3000 min -2000 peak none";
    // AC to DC is another function on the same scale: MAX/MIN keep their values.
    QTest::newRow("AC to DC changes the function, not the scale")
        << QList<QByteArray>{LiveFrame(1, "1000", ';', 0, 0, 2 | 4),
                             LiveFrame(1, "0500", ';', 0, 0, 2 | 4),
                             LiveFrame(1, "0700", ';', 0, 0, 2 | 8)}
        << QStringList{"functionChanged, rangeChanged 1 1, scaleChanged, stats 1010, needle 1 +",
                       "stats 0010, needle 0.5 +", "functionChanged, stats 0000, needle 0.7 +"}
        << "max 1000 min 500 peak none";
    // Celsius to Fahrenheit changes the scale only: the trackers start again with the frame.
    QTest::newRow("Celsius to Fahrenheit changes the scale only")
        << QList<QByteArray>{LiveFrame(0, "0020", '4', 8), LiveFrame(0, "0030", '4', 8),
                             LiveFrame(0, "0080", '4')}
        << QStringList{"functionChanged, rangeChanged 1 1, scaleChanged, stats 1010, needle 20 +",
                       "stats 1000, needle 30 +", "scaleChanged, stats 1010, needle 80 +"}
        << "max 80 min 80 peak none";
    // A range change carries the largest multiplier seen since the function changed, before
    // the frame, and the frame's own ("rangeChanged previous own").
    QTest::newRow("range changes report the multipliers")
        << QList<QByteArray>{LiveFrame(1, "1000", ';'), LiveFrame(1, "1000", ';'),
                             LiveFrame(0, "1000", ';'), LiveFrame(1, "1000", ';'),
                             LiveFrame(2, "1000", ';')}
        << QStringList{"functionChanged, rangeChanged 1 1, scaleChanged, stats 1010, needle 1 +",
                       "stats 0000, needle 1 +",
                       "rangeChanged 1 1, scaleChanged, stats 1010, needle 100 +",
                       "rangeChanged 1 1000, scaleChanged, stats 1010, needle 1 +",
                       "rangeChanged 1000 1000, scaleChanged, stats 1010, needle 10 +"}
        << "max 1000 min 1000 peak none";
}

void TestFrameDecoder::framesToUpdates() {
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QStringList, updates);
    QStringList got;
    for (const QByteArray& f : frames) {
        QStringList parts = LinkSpy::describe(decoder.decode(f, 122));
        parts.removeAll(QStringLiteral("reading"));
        got << parts.join(QStringLiteral(", "));
    }
    QCOMPARE(got, updates);
    const Statistics& st = decoder.statistics();
    const bool peakRests = st.peakMaxCount == -1e9f && st.peakMinCount == 1e9f &&
                           st.peakValue == 0.0f && st.peakDigits == BlankDigits;
    const QString peak = peakRests ? QStringLiteral("none")
                                   : QStringLiteral("%1..%2").arg(st.peakMinCount).arg(st.peakMaxCount);
    QTEST(QStringLiteral("max %1 min %2 peak %3").arg(st.maxCount).arg(st.minCount).arg(peak),
          "trackersAfter");
}

void TestFrameDecoder::peakHoldShowsHeldDigitsOnLcd() {
    decode(LiveFrame(1, "2500", ';', 4, 4)); // held -2.500
    decode(LiveFrame(1, "3000", ';', 4, 4)); // live -3.000 is below the held maximum -2.500
    const Digits shownAtLcd = digitsOf(last.reading);
    const std::uint32_t annAtLcd = last.reading.annunciators;
    QCOMPARE(shownAtLcd, (Digits{2, 5, 0, 0}));
    QVERIFY(annAtLcd & bit(annSIGN));
    QVERIFY(annAtLcd & bit(annBarMinus));
    QCOMPARE(decoder.reading().count, -3000); // the count (and the bar) stays live
    QCOMPARE(calls.last(), QStringLiteral("needle 2.5 -"));
}

void TestFrameDecoder::statusResetClearsTrackers() {
    decode(LiveFrame(1, "2000", ';', 0, 4));
    decoder.resetStatistics();
    QCOMPARE(decoder.statistics().maxCount, -1e9f);
    QCOMPARE(decoder.statistics().peakMaxCount, -1e9f);
    QCOMPARE(decoder.statistics().peakDigits, BlankDigits);
    calls.clear();
    decode(LiveFrame(1, "0100", ';', 0, 4));
    QCOMPARE(callsStarting("stats"), QStringList{"stats 1111"});
}

// Whatever the codes, the unit and divisor a frame decodes to are ones the shared tables know:
// the status window sizes its unit boxes from the unit list, and decimals, blanking, the
// recorder's y limits and the gauge's labels come from the divisor rows.
void TestFrameDecoder::everyDecodedUnitAndDivisorIsTabled() {
    const QStringList units = RangeTable::unitTexts();
    for (const int model : {120, 122}) {
        for (int function = 0; function < 16; ++function) {
            for (int range = 0; range < 16; ++range) {
                for (const int c7 : {0, 8}) {
                    for (const int c8 : {0, 1}) {
                        decoder.reset();
                        decode(LiveFrame(range, "1234", char(0x30 | function), c7, c8), model);
                        const Reading& r = decoder.reading();
                        const QByteArray where =
                            QStringLiteral("model %1 function %2 range %3 unit %4")
                                .arg(model)
                                .arg(function)
                                .arg(range)
                                .arg(r.unitText)
                                .toLatin1();
                        QVERIFY2(r.unitText.isEmpty() || units.contains(r.unitText),
                                 where.constData());
                        QVERIFY2(RangeTable::forDivisor(r.divisor), where.constData());
                        if (!r.unitText.isEmpty() && r.multiplier > 1) // within a ranged function
                            QCOMPARE(RangeTable::unitSize(r.unitText), r.multiplier);
                    }
                }
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestFrameDecoder)
#include "test_framedecoder.moc"
