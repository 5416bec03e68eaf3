// The widget-free pieces of the recorder: rate texts, samples with units.

#include "ratetext.h"
#include "recordersamples.h"

#include <QtTest>

class TestRateText : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void format_data();
    void format();

    void unitSizes_data();
    void unitSizes();
    void samplesKeepTheirUnits();
};

void TestRateText::parse_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<bool>("corrected");
    QTest::addColumn<QString>("rewritten");

    QTest::newRow("05:30") << "  05 : 30  " << 5 << 30 << false << "  05 : 30 ";
    QTest::newRow("00:00 is a rate") << "  00 : 00  " << 0 << 0 << false << "  00 : 00 ";
    QTest::newRow("60:60 is a rate") << "  60 : 60  " << 60 << 60 << false << "  60 : 60 ";
    QTest::newRow("75 s become 60") << "  00 : 75  " << 0 << 60 << true << "  00 : 60 ";
    QTest::newRow("99 min become 60") << "  99 : 10  " << 60 << 10 << true << "  60 : 10 ";
    QTest::newRow("letters become 00") << "  ab : 12  " << 0 << 12 << true << "  00 : 12 ";
    QTest::newRow("both wrong") << "  x1 : 9y  " << 0 << 0 << true << "  00 : 00 ";
    QTest::newRow("blank digit places") << "    :     " << 0 << 0 << true << "  00 : 00 ";
    QTest::newRow("leading blank converts") << "   5 : 07  " << 5 << 7 << false << "   5 : 07 ";
    QTest::newRow("trailing blank does not") << "  5  : 07  " << 0 << 7 << true << "  00 : 07 ";
    QTest::newRow("a sign is no digit") << "  -5 : +7  " << 0 << 0 << true << "  00 : 00 ";
    QTest::newRow("short text") << "  01" << 1 << 0 << true << "  01 : 00 ";
    QTest::newRow("empty") << "" << 0 << 0 << true << "  00 : 00 ";
}

void TestRateText::parse() {
    QFETCH(QString, text);
    QFETCH(int, minutes);
    QFETCH(int, seconds);
    QFETCH(bool, corrected);
    QFETCH(QString, rewritten);
    const RateText r = RateText::parse(text);
    QCOMPARE(r.minutes, minutes);
    QCOMPARE(r.seconds, seconds);
    QCOMPARE(r.interval(), minutes * 60 + seconds);
    QCOMPARE(r.corrected, corrected);
    QCOMPARE(r.text, rewritten);
}

void TestRateText::format_data() {
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("2") << 2 << "  00 : 02 ";
    QTest::newRow("75") << 75 << "  01 : 15 ";
    QTest::newRow("3599") << 3599 << "  59 : 59 ";
    QTest::newRow("3660") << 3660 << "  61 : 00 ";
    QTest::newRow("0") << 0 << "  00 : 00 ";
    QTest::newRow("negative") << -5 << "  00 : 00 ";
}

void TestRateText::format() {
    QFETCH(int, seconds);
    QFETCH(QString, text);
    QCOMPARE(RateText::Format(seconds), text);
    if (seconds >= 0 && seconds < 3600)
        QCOMPARE(RateText::parse(text).interval(), seconds);
}

void TestRateText::unitSizes_data() {
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("size");
    const std::pair<const char*, int> sizes[] = {
        {"mV", 1},      {"V", 1000},     {"KHz", 1},     {"MHz", 1000},     {"KRPM", 1},
        {"MRPM", 1000}, {"Ohm", 1},      {"KOhm", 1000}, {"MOhm", 1000000}, {"nF", 1},
        {"uF", 1000},   {"mF", 1000000}, {"mA", 1},      {"C", 1},          {"", 1}};
    for (const auto& [unit, size] : sizes)
        QTest::newRow(*unit ? unit : "none") << QString::fromLatin1(unit) << size;
}

void TestRateText::unitSizes() {
    QFETCH(QString, unit);
    QFETCH(int, size);
    QCOMPARE(RecorderSamples::unitSize(unit), size);
}

void TestRateText::samplesKeepTheirUnits() {
    RecorderSamples s;
    s.append(123.4f, 1);   // mV
    s.append(-50.0f, 1);   // mV
    s.append(1.5f, 1000);  // V
    s.append(2.25f, 1000); // V
    s.append(7.0f, 1);     // mV again
    QCOMPARE(s.size(), 5);
    QCOMPARE(s.runCount(), 3);
    QCOMPARE(s.unitSizeAt(0), 1);
    QCOMPARE(s.unitSizeAt(2), 1000);
    QCOMPARE(s.unitSizeAt(3), 1000);
    QCOMPARE(s.unitSizeAt(4), 1);
    QCOMPARE(s.value(2), 1.5f);
    QCOMPARE(s.converted(0, 1000), 0.1234f);
    QCOMPARE(s.converted(2, 1), 1500.0f);
    QCOMPARE(s.converted(4, 1000), 0.007f);

    QList<float> inVolts;
    s.forEachConverted(1000, [&](int i, float v) {
        if (i == int(inVolts.size()))
            inVolts << v;
    });
    const QList<float> want{0.1234f, -0.05f, 1.5f, 2.25f, 0.007f};
    QCOMPARE(inVolts.size(), want.size());
    for (int i = 0; i < want.size(); ++i)
        QCOMPARE(inVolts[i], want[i]);

    s.clear();
    QCOMPARE(s.size(), 0);
    QCOMPARE(s.runCount(), 0);
}

QTEST_APPLESS_MAIN(TestRateText)
#include "test_ratetext.moc"
