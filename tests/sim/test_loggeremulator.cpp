// The meter's logger side, driven with made-up times: the images the builder makes, a whole
// download with its answers, memory writes, reads and erase, and every logger fault knob.

#include "loggerimagebuilder.h"
#include "meteremulator.h"

#include <QtTest>

#include <memory>
#include <set>

namespace {

QByteArray command(char letter, uchar p1 = 0, uchar p2 = 0, uchar p3 = 0) {
    return QByteArray("\x02") + letter + char(p1) + char(p2) + char(p3) + '\x03';
}

// Replies are read at a time later than any the test writes at (the emulator never goes back).
constexpr qint64 kLater = 1000000000;

uchar sum(const QByteArray& bytes) {
    uchar s = 0;
    for (const char b : bytes)
        s = uchar(s + uchar(b));
    return s;
}

int word(const QByteArray& image, int at) {
    return uchar(image.at(at)) * 256 + uchar(image.at(at + 1));
}

// A meter that delivers at once, holding `image`, its logger opened (echo taken).
std::unique_ptr<MeterEmulator> openLogger(const QByteArray& image) {
    auto m = std::make_unique<MeterEmulator>();
    m->setPaced(false);
    m->setLoggerImage(image);
    m->write(command('C'), 0);
    m->read(0);
    return m;
}

// What comes back for `commands` (echoes, blocks, read bytes).
QByteArray exchange(MeterEmulator& m, const QByteArray& commands) {
    m.write(commands, 0);
    return m.read(kLater);
}

// P, then y after each good block until nothing more comes: the data bytes, block count.
QByteArray dumpAll(MeterEmulator& m, int* blocks) {
    QByteArray block = exchange(m, command('P')).mid(6);
    QByteArray data;
    for (*blocks = 0; block.size() == 65 && uchar(block.at(64)) == sum(block.left(64)); ++*blocks) {
        data += block.left(64);
        block = exchange(m, command('y'));
    }
    return block.isEmpty() ? data : QByteArray("bad block");
}

} // namespace

class TestLoggerEmulator : public QObject {
    Q_OBJECT

private slots:
    void builderAndFiles();
    void downloadWriteReadErase();
    void faults();
};

void TestLoggerEmulator::builderAndFiles() {
    // Two sets worked by hand: -29.1 mV and an overload; 2.850 kOhm changing to 4.00 kOhm.
    LoggerImageBuilder b;
    b.setTimeLabel(QDateTime(QDate(2016, 7, 19), QTime(10, 30)));
    b.setIntervalSetting(12000000);
    LoggerDataSet volts{
        11, 0, 2, 10000, {LoggerDataSet::record(0, -291), LoggerDataSet::overload(1)}};
    LoggerDataSet ohms{
        3, 0, 0, 20000, {LoggerDataSet::record(1, 2850), LoggerDataSet::record(2, 400)}};
    QVERIFY(b.addSet(volts) && b.addSet(ohms));
    const QByteArray image = b.image();
    QCOMPARE(image.left(16).toHex(' '), "ff ff 14 10 07 13 0a 1e 00 00 02 01 1f b7 1b 00");
    QCOMPARE(image.mid(256, 32).toHex(' '), "a5 5a 00 27 10 b0 08 00 00 02 81 23 1f a0 5a a5 "
                                            "a5 5a 00 4e 20 30 00 00 00 02 1b 22 21 90 5a a5");
    QCOMPARE(image.mid(288), QByteArray(65536 - 288, char(0xFF)));
    // The memory fills to its last byte and no further.
    LoggerDataSet huge;
    huge.records = QList<quint16>(32619, 0);
    QVERIFY(!b.addSet(huge));
    huge.records.removeLast();
    QVERIFY(b.addSet(huge));
    QCOMPARE(word(b.image(), 11), 65535);

    // The demo, walked as the PC walks it: several functions, a range change, an overload.
    const QByteArray demo = LoggerImageBuilder::demoImage();
    int at = 256, records = 0;
    bool rangeChange = false, overload = false;
    std::set<int> functions;
    for (int k = 0; k < word(demo, 9); ++k) {
        const int n = word(demo, at + 8);
        QVERIFY(word(demo, at) == 0xA55A && word(demo, at + 10 + 2 * n) == 0x5AA5);
        functions.insert(uchar(demo.at(at + 5)) >> 4);
        for (int i = 0; i < n; ++i) {
            const int r = word(demo, at + 10 + 2 * i);
            overload |= (r & 0x0FFF) >= 4000;
            rangeChange |= i > 0 && (r & 0x7000) != (word(demo, at + 8 + 2 * i) & 0x7000);
        }
        records += n;
        at += 12 + 2 * n;
    }
    QCOMPARE(word(demo, 11), at - 1);
    QVERIFY(functions.size() >= 4 && records >= 200 && rangeChange && overload);
    QCOMPARE(word(LoggerImageBuilder::generatedImage(7, 50), 11), 256 + 7 * 112 - 1);
    QVERIFY(LoggerImageBuilder::generatedImage(3, 20000).isEmpty());

    // Files: a saved download shorter than the memory loads padded as erased memory.
    QTemporaryDir dir;
    QString error;
    QByteArray loaded;
    QVERIFY(LoggerImageBuilder::save(dir.filePath("a.bin"), demo.left(1216), &error));
    QVERIFY(LoggerImageBuilder::load(dir.filePath("a.bin"), &loaded, &error));
    QCOMPARE(loaded, demo.left(1216) + QByteArray(65536 - 1216, char(0xFF)));
    QVERIFY(LoggerImageBuilder::save(dir.filePath("b.bin"), QByteArray(65537, 0), &error));
    QVERIFY(!LoggerImageBuilder::load(dir.filePath("b.bin"), &loaded, &error));
    QCOMPARE(loaded.size(), 65536);
}

void TestLoggerEmulator::downloadWriteReadErase() {
    const QByteArray image = LoggerImageBuilder::demoImage(); // last used byte 1175
    // Before C the meter echoes P, W and R and does nothing else.
    MeterEmulator closed;
    closed.setPaced(false);
    closed.setLoggerImage(image);
    const QByteArray ignored = command('P') + command('W', 1, 0, 0x42) + command('R', 1, 0);
    QCOMPARE(exchange(closed, ignored), ignored);
    QCOMPARE(closed.loggerImage(), image);

    // n brings the same block again, y the next; nothing comes after the last one.
    auto m = openLogger(image);
    QByteArray block0 = exchange(*m, command('P'));
    QCOMPARE(block0.left(6), command('P'));
    QCOMPARE(exchange(*m, command('n')), block0.mid(6)); // y, n and Q are not echoed
    int blocks = 0;
    QCOMPARE(dumpAll(*m, &blocks), image.left(19 * 64));
    QCOMPARE(blocks, 19);
    QVERIFY(m->loggerOpen() && !m->dumping());
    QCOMPARE(exchange(*m, command('y')), QByteArray());
    // Q stops a dump; A brings the live stream back and closes the logger.
    exchange(*m, command('P'));
    QCOMPARE(exchange(*m, command('Q') + command('y') + command('n')), QByteArray());
    QVERIFY(exchange(*m, command('A')).endsWith("\r\n"));
    QVERIFY(m->streaming() && !m->loggerOpen());

    // W and R; the last used byte in the header decides the dump, rounded up to whole blocks.
    m = openLogger(image);
    QCOMPARE(exchange(*m, command('W', 0xF0, 0xF0, 0x42) + command('R', 0xF0, 0xF0, 0x99)),
             command('W', 0xF0, 0xF0, 0x42) + command('R', 0xF0, 0xF0, 0x99) + '\x42');
    for (const auto& [end, count] : {std::pair{319, 5}, {320, 6}, {0, 1}, {65535, 1024}}) {
        exchange(*m, command('W', 0, 11, uchar(end >> 8)) + command('W', 0, 12, uchar(end)));
        QCOMPARE(dumpAll(*m, &blocks).size(), count * 64);
    }

    // E needs both 'E's; then all but the time label and the interval is erased.
    exchange(*m, command('E', 'E', 0));
    QCOMPARE(m->loggerImage().at(0xF0F0), '\x42');
    QCOMPARE(exchange(*m, command('E', 'E', 'E')), command('E', 'E', 'E'));
    QByteArray expected(65536, char(0xFF));
    expected.replace(2, 7, image.mid(2, 7)).replace(9, 4, QByteArray::fromHex("000000ff"));
    expected.replace(13, 3, image.mid(13, 3));
    QCOMPARE(m->loggerImage(), expected);
    // The memory survives a closed line; the erased memory dumps as its header.
    m->reset();
    exchange(*m, command('C'));
    QCOMPARE(dumpAll(*m, &blocks), expected.left(256));
    // K closes the logger as A does.
    exchange(*m, command('K') + command('W', 0, 9, 1));
    QCOMPARE(m->loggerImage(), expected);

    // Emulators of the in-program simulator share one memory, as port objects share a meter.
    MeterEmulator first, second;
    first.shareDemoLoggerMemory();
    second.shareDemoLoggerMemory();
    first.setPaced(false);
    exchange(first, command('C') + command('E', 'E', 'E'));
    QCOMPARE(word(second.loggerImage(), 11), 255);
    MeterEmulator::restoreSharedDemoLoggerMemory();
    QCOMPARE(second.loggerImage(), image);
    QCOMPARE(MeterEmulator().loggerImage(), LoggerImageBuilder().image()); // others keep theirs

    // Paced: the echo of P and the first block take 71 byte times (74 ms) on the line.
    MeterEmulator paced;
    paced.write(command('C'), 0);
    paced.read(100);
    paced.write(command('P'), 100);
    QCOMPARE(paced.read(173).size(), 70);
    QCOMPARE(paced.read(174).size(), 1);
}

void TestLoggerEmulator::faults() {
    const QByteArray image = LoggerImageBuilder::demoImage();
    const QByteArray block1 = image.mid(64, 64) + char(sum(image.mid(64, 64)));
    for (const bool always : {false, true}) {
        // A corrupted block: one data byte is off, so its own sum does not match.
        auto m = openLogger(image);
        m->faults().corruptBlock = 1;
        m->faults().corruptEveryTime = always;
        exchange(*m, command('P'));
        const QByteArray bad = exchange(*m, command('y'));
        QVERIFY(bad != block1 && bad.size() == 65 && bad.at(64) == block1.at(64));
        QCOMPARE(exchange(*m, command('n')) == block1, !always);

        // A block cut short, then silence until the PC answers.
        m = openLogger(image);
        m->faults().cutBlock = 1;
        m->faults().cutEveryTime = always;
        exchange(*m, command('P'));
        QCOMPARE(exchange(*m, command('y')), block1.left(40));
        QCOMPARE(m->nextOutputMs(), -1);
        QCOMPARE(exchange(*m, command('n')), always ? block1.left(40) : block1);
    }

    // A hung dump: no answer to y or n, while the meter itself still answers.
    auto m = openLogger(image);
    m->faults().silentAfterBlock = 1;
    exchange(*m, command('P'));
    QCOMPARE(exchange(*m, command('y')), block1);
    QCOMPARE(exchange(*m, command('y') + command('n')), QByteArray());
    QVERIFY(exchange(*m, command('A')).startsWith(command('A')));

    // A gone line: block 0 still arrives (paced), then nothing at all until reset().
    m = openLogger(image);
    m->faults().lineGoneAfterBlock = 0;
    m->setPaced(true);
    m->write(command('P'), 0);
    QVERIFY(!m->lineGone());
    QCOMPARE(m->read(1000).size(), 6 + 65);
    QVERIFY(m->lineGone());
    m->write(command('y') + command('K'), 2000);
    QCOMPARE(m->read(5000), QByteArray());
    m->reset();
    m->write(command('K'), 6000);
    QCOMPARE(m->read(7000), command('K') + "122\r");

    // Echoes withheld one letter at a time: the commands are still carried out.
    const QByteArray session = command('C') + command('W', 0x10, 0xF0, 0x5C) +
                               command('R', 0x10, 0xF0) + command('P') + command('E', 'E', 'E');
    for (const char letter : QByteArray("CPWRE")) {
        MeterEmulator quiet;
        quiet.setPaced(false);
        quiet.setLoggerImage(image);
        quiet.faults().withholdEchoOf = QByteArray(1, letter);
        QByteArray expected;
        for (int i = 0; i < session.size(); i += 6) {
            const QByteArray c = session.mid(i, 6);
            expected += c.at(1) == letter ? QByteArray() : c;
            expected += c.at(1) == 'R' ? QByteArray("\x5C") : QByteArray();
            expected += c.at(1) == 'P' ? image.left(64) + char(sum(image.left(64))) : QByteArray();
        }
        QCOMPARE(exchange(quiet, session), expected);
        QCOMPARE(word(quiet.loggerImage(), 11), 255);
    }

    // A wrong byte on R; the memory itself holds the right one.
    m = openLogger(image);
    m->faults().wrongReadByte = true;
    QCOMPARE(exchange(*m, command('W', 0x20, 0xF0, 0x3A) + command('R', 0x20, 0xF0)).right(1),
             "\xC5");
    QCOMPARE(m->loggerImage().at(0x20F0), '\x3A');
}

QTEST_GUILESS_MAIN(TestLoggerEmulator)
#include "test_loggeremulator.moc"
