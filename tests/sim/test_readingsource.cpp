// Where the emulator's live readings come from: frame encoding, scripts, script files, the tour
// and the steady source.

#include "readingsource.h"

#include <QtTest>

#include <set>

namespace {

// The fields of a frame as the program reads them.
struct Decoded {
    int range = 0;
    int function = 0;
    int count = 0;
    bool overload = false, lowBattery = false, negative = false, altMode = false;
    bool frequencyMode = false, recording = false, peakHold = false;
    bool autoRange = false, ac = false, dc = false;
};

bool isFrame(const QByteArray& f) {
    if (f.size() != 9)
        return false;
    for (char c : f)
        if ((uchar(c) & 0xF0) != 0x30)
            return false;
    return true;
}

Decoded decode(const QByteArray& f) {
    Decoded d;
    d.range = f.at(0) & 0x0F;
    d.count =
        (f.at(1) - '0') * 1000 + (f.at(2) - '0') * 100 + (f.at(3) - '0') * 10 + (f.at(4) - '0');
    d.function = f.at(5) & 0x0F;
    d.overload = f.at(6) & 0x1;
    d.lowBattery = f.at(6) & 0x2;
    d.negative = f.at(6) & 0x4;
    d.altMode = f.at(6) & 0x8;
    d.frequencyMode = f.at(7) & 0x1;
    d.recording = f.at(7) & 0x2;
    d.peakHold = f.at(7) & 0xC;
    d.autoRange = f.at(8) & 0x2;
    d.ac = f.at(8) & 0x4;
    d.dc = f.at(8) & 0x8;
    if (d.negative)
        d.count = -d.count;
    return d;
}

bool digitsAreDecimal(const QByteArray& f) {
    for (int i = 1; i <= 4; ++i)
        if (f.at(i) < '0' || f.at(i) > '9')
            return false;
    return true;
}

bool hasCoupling(int function) {
    return function == 9 || function == 11 || function == 13 || function == 15;
}

QString key(int function, int range, bool alt, const char* coupling) {
    return QStringLiteral("f%1 r%2%3 %4").arg(function).arg(range).arg(alt ? " alt" : "", coupling);
}

// Every function code and listed range of the meter's function table for model 122, with
// AC and DC where the function has them.
QSet<QString> expectedTourKeys() {
    QSet<QString> keys;
    keys << key(1, 0, false, "-");
    for (int r = 0; r <= 5; ++r)
        keys << key(2, r, false, "-") << key(2, r, true, "-") << key(3, r, false, "-");
    keys << key(4, 0, false, "-") << key(4, 0, true, "-");
    keys << key(5, 0, false, "-");
    for (int r = 0; r <= 7; ++r)
        keys << key(6, r, false, "-");
    for (int r = 0; r <= 1; ++r)
        keys << key(9, r, false, "AC") << key(9, r, false, "DC");
    for (int r = 0; r <= 4; ++r)
        keys << key(11, r, false, "AC") << key(11, r, false, "DC");
    keys << key(13, 0, false, "AC") << key(13, 0, false, "DC");
    keys << key(15, 0, false, "AC") << key(15, 0, false, "DC");
    return keys;
}

QString writeFile(const QTemporaryDir& dir, const QByteArray& content) {
    const QString path = dir.filePath("script.txt");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    f.write(content);
    return path;
}

} // namespace

class TestReadingSource : public QObject {
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void encodeRoundTrip();
    void scriptPlaysInOrderAndLoops();
    void scriptWithoutLoopRepeatsTheLast();
    void emptyScriptStillGivesFrames();
    void scriptFile_data();
    void scriptFile();
    void scriptFileErrors_data();
    void scriptFileErrors();
    void missingScriptFile();
    void tourCoversEveryFunctionAndRange();
    void tourShowsOverloadPeakHoldAndMovingValues();
    void tourFramesPerStep();
    void steadyStaysOnItsFunction();
};

void TestReadingSource::encode_data() {
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("function");
    QTest::addColumn<QString>("flags"); // letters: O overload, B battery, A alt, F frequency,
                                        // P peak, M manual range, C AC, D DC, R recording
    QTest::addColumn<QByteArray>("expected");

    // The quiet millivolt frame: mV range, 0, voltage, manual, no AC/DC.
    QTest::newRow("mV zero, manual") << 0 << 0 << 11 << "M" << QByteArray("00000;000");
    QTest::newRow("1.234 V DC auto") << 1 << 1234 << 11 << "D" << QByteArray("11234;00:");
    QTest::newRow("AC auto") << 2 << 567 << 11 << "C" << QByteArray("20567;006");
    QTest::newRow("negative") << 1 << -42 << 11 << "D" << QByteArray("10042;40:");
    QTest::newRow("-OL") << 1 << -3999 << 11 << "OD" << QByteArray("13999;50:");
    QTest::newRow("low battery") << 3 << 100 << 3 << "BM" << QByteArray("301003200");
    QTest::newRow("RPM range 5") << 5 << 12 << 2 << "A" << QByteArray("500122802");
    QTest::newRow("frequency mode") << 0 << 1000 << 2 << "F" << QByteArray("010002012");
    QTest::newRow("peak hold") << 2 << 250 << 9 << "PD" << QByteArray("20250904:");
    QTest::newRow("recording") << 1 << 1 << 11 << "RD" << QByteArray("10001;02:");
    QTest::newRow("everything") << 15 << 9999 << 15 << "OBAFPCDR" << QByteArray("?9999?;7>");
    QTest::newRow("clamped") << 1 << 12345 << 11 << "D" << QByteArray("19999;00:");
}

void TestReadingSource::encode() {
    QFETCH(int, range);
    QFETCH(int, count);
    QFETCH(int, function);
    QFETCH(QString, flags);
    QFETCH(QByteArray, expected);

    LiveFrame f;
    f.range = range;
    f.count = count;
    f.function = function;
    f.overload = flags.contains('O');
    f.lowBattery = flags.contains('B');
    f.altMode = flags.contains('A');
    f.frequencyMode = flags.contains('F');
    f.peakHold = flags.contains('P');
    f.autoRange = !flags.contains('M');
    f.ac = flags.contains('C');
    f.dc = flags.contains('D');
    QCOMPARE(f.encode(flags.contains('R')), expected);
}

void TestReadingSource::encodeRoundTrip() {
    for (int function : {1, 2, 3, 4, 5, 6, 9, 11, 13, 15}) {
        for (int count : {-9999, -1, 0, 7, 1234, 9999}) {
            LiveFrame f;
            f.function = function;
            f.range = function % 8;
            f.count = count;
            f.ac = count % 2 != 0;
            f.dc = !f.ac;
            const QByteArray text = f.encode();
            QVERIFY(isFrame(text));
            const Decoded d = decode(text);
            QCOMPARE(d.function, function);
            QCOMPARE(d.range, function % 8);
            QCOMPARE(d.count, count);
            QCOMPARE(d.negative, count < 0);
            QCOMPARE(d.ac, f.ac);
            QCOMPARE(d.dc, f.dc);
            QVERIFY(!d.recording);
        }
    }
}

void TestReadingSource::scriptPlaysInOrderAndLoops() {
    auto s = ReadingSource::script({"000000000", "111111111", "222222222"});
    QList<QByteArray> got;
    for (int i = 0; i < 7; ++i)
        got << s->next();
    QCOMPARE(got, (QList<QByteArray>{"000000000", "111111111", "222222222", "000000000",
                                     "111111111", "222222222", "000000000"}));
}

void TestReadingSource::scriptWithoutLoopRepeatsTheLast() {
    auto s = ReadingSource::script({"000000000", "111111111"}, false);
    QCOMPARE(s->next(), QByteArray("000000000"));
    QCOMPARE(s->next(), QByteArray("111111111"));
    QCOMPARE(s->next(), QByteArray("111111111"));
    QCOMPARE(s->next(), QByteArray("111111111"));
}

void TestReadingSource::emptyScriptStillGivesFrames() {
    auto s = ReadingSource::script({});
    QVERIFY(isFrame(s->next()));
}

void TestReadingSource::scriptFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("frames");

    QTest::newRow("plain") << QByteArray("11234;00:\n20567;006\n")
                           << QList<QByteArray>{"11234;00:", "20567;006"};
    QTest::newRow("no final newline") << QByteArray("11234;00:") << QList<QByteArray>{"11234;00:"};
    QTest::newRow("comments and blanks")
        << QByteArray("# a voltage ramp\n\n11234;00:\n   \n# done\n20567;006\n\n")
        << QList<QByteArray>{"11234;00:", "20567;006"};
    QTest::newRow("comment after a frame")
        << QByteArray("11234;00:  # 1.234 V\n") << QList<QByteArray>{"11234;00:"};
    QTest::newRow("CR LF and spaces") << QByteArray("  11234;00:\r\n\t20567;006 \r\n")
                                      << QList<QByteArray>{"11234;00:", "20567;006"};
    QTest::newRow("every code") << QByteArray("012345678\n9:;<=>?01\n")
                                << QList<QByteArray>{"012345678", "9:;<=>?01"};
}

void TestReadingSource::scriptFile() {
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, frames);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = writeFile(dir, content);
    QString error;
    auto s = ReadingSource::scriptFile(path, &error);
    QVERIFY2(s, qPrintable(error));
    QList<QByteArray> got;
    for (int i = 0; i < frames.size() * 2; ++i)
        got << s->next();
    QCOMPARE(got, frames + frames); // played in a loop
}

void TestReadingSource::scriptFileErrors_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("mention");

    QTest::newRow("too short") << QByteArray("11234;00:\n# ok\n1234;00:\n") << "line 3";
    QTest::newRow("too long") << QByteArray("11234;00:0\n") << "line 1";
    QTest::newRow("outside 0x30..0x3F")
        << QByteArray("# header\n\n11234;00:\n11234K00:\n") << "line 4";
    QTest::newRow("two frames on a line") << QByteArray("11234;00: 11234;00:\n") << "line 1";
    QTest::newRow("lower case") << QByteArray("\n\n\n\n\nabcdefghi\n") << "line 6";
    QTest::newRow("no frames at all") << QByteArray("# only a comment\n\n") << "no frames";
    QTest::newRow("empty file") << QByteArray() << "no frames";
}

void TestReadingSource::scriptFileErrors() {
    QFETCH(QByteArray, content);
    QFETCH(QString, mention);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = writeFile(dir, content);
    QString error;
    auto s = ReadingSource::scriptFile(path, &error);
    QVERIFY(!s);
    QVERIFY2(error.contains(mention), qPrintable(error));
    QVERIFY2(error.contains(path), qPrintable(error));
}

void TestReadingSource::missingScriptFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("nothing-here.txt");
    QString error;
    QVERIFY(!ReadingSource::scriptFile(path, &error));
    QVERIFY2(error.contains(path), qPrintable(error));
    QVERIFY(!ReadingSource::scriptFile(path, nullptr)); // no error text wanted: no crash
}

void TestReadingSource::tourCoversEveryFunctionAndRange() {
    auto s = ReadingSource::tour(3);
    QSet<QString> seen;
    for (int i = 0; i < 3 * 200; ++i) {
        const QByteArray f = s->next();
        QVERIFY2(isFrame(f), f.constData());
        QVERIFY2(digitsAreDecimal(f), f.constData());
        const Decoded d = decode(f);
        QVERIFY2(!(d.ac && d.dc), f.constData());
        if (hasCoupling(d.function))
            QVERIFY2(d.ac || d.dc, f.constData());
        else
            QVERIFY2(!d.ac && !d.dc, f.constData());
        QCOMPARE(d.frequencyMode, d.function == 2 && !d.altMode);
        QVERIFY(!d.recording); // the emulator sets it
        const char* coupling = d.ac ? "AC" : d.dc ? "DC" : "-";
        seen << key(d.function, d.range, d.altMode, coupling);
    }
    const QSet<QString> expected = expectedTourKeys();
    const QSet<QString> missing = QSet<QString>(expected).subtract(seen);
    const QSet<QString> extra = QSet<QString>(seen).subtract(expected);
    QVERIFY2(missing.isEmpty(), qPrintable("missing: " + QStringList(missing.values()).join(", ")));
    QVERIFY2(extra.isEmpty(), qPrintable("unexpected: " + QStringList(extra.values()).join(", ")));
}

void TestReadingSource::tourShowsOverloadPeakHoldAndMovingValues() {
    const int framesPerStep = 20;
    auto s = ReadingSource::tour(framesPerStep);
    int overloads = 0, peakFrames = 0, negatives = 0, lowBattery = 0, manual = 0;
    int longestPeakStretch = 0, stretch = 0;
    std::set<int> counts;
    for (int i = 0; i < framesPerStep * 48; ++i) {
        const Decoded d = decode(s->next());
        overloads += d.overload;
        negatives += d.negative;
        lowBattery += d.lowBattery;
        manual += !d.autoRange;
        if (d.peakHold) {
            ++peakFrames;
            longestPeakStretch = std::max(longestPeakStretch, ++stretch);
        } else {
            stretch = 0;
        }
        if (d.function == 11 && d.range == 1 && d.dc)
            counts.insert(d.count);
        QVERIFY(d.count >= -3999 && d.count <= 3999);
    }
    QVERIFY(overloads > 0 && overloads < 48); // now and then
    QVERIFY(longestPeakStretch >= 5);         // a stretch, not a blip
    QVERIFY(peakFrames < framesPerStep * 48 / 4);
    QVERIFY(negatives > 0);
    QVERIFY(lowBattery > 0);
    QVERIFY(manual > 0);
    QVERIFY2(counts.size() >= 10, "values move"); // one step of 20 frames
}

void TestReadingSource::tourFramesPerStep() {
    // Each step keeps its function and range for framesPerStep frames.
    auto s = ReadingSource::tour(5);
    for (int step = 0; step < 10; ++step) {
        const Decoded first = decode(s->next());
        for (int i = 1; i < 5; ++i) {
            const Decoded d = decode(s->next());
            QCOMPARE(d.function, first.function);
            QCOMPARE(d.range, first.range);
            QCOMPARE(d.altMode, first.altMode);
        }
    }
}

void TestReadingSource::steadyStaysOnItsFunction() {
    auto s = ReadingSource::steady(3, 2, 1500, 200);
    std::set<int> counts;
    for (int i = 0; i < 80; ++i) {
        const QByteArray f = s->next();
        QVERIFY(isFrame(f));
        const Decoded d = decode(f);
        QCOMPARE(d.function, 3);
        QCOMPARE(d.range, 2);
        QVERIFY(!d.ac && !d.dc); // resistance has no coupling
        QVERIFY(d.count >= 1300 && d.count <= 1700);
        counts.insert(d.count);
    }
    QVERIFY(counts.size() > 20);
    QVERIFY(*counts.begin() <= 1310 && *counts.rbegin() >= 1690);

    const Decoded volts = decode(ReadingSource::steady(11, 1)->next());
    QVERIFY(volts.dc && !volts.ac && volts.autoRange);
    QCOMPARE(volts.count, 1234); // the centre, at the start of the swing
}

QTEST_GUILESS_MAIN(TestReadingSource)
#include "test_readingsource.moc"
