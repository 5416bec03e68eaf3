// The meter's logger side, driven with made-up times: the images the builder makes, a whole
// download with its answers, memory writes, reads and erase, and every logger fault knob.

#include "loggerimagebuilder.h"
#include "meteremulator.h"

#include <QtTest>

#include <memory>
#include <set>

namespace {

QByteArray command(char letter, uchar p1 = 0, uchar p2 = 0, uchar p3 = 0) {
    QByteArray c(6, '\0');
    c[0] = 0x02;
    c[1] = letter;
    c[2] = char(p1);
    c[3] = char(p2);
    c[4] = char(p3);
    c[5] = 0x03;
    return c;
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

// Sends P and returns what came back behind its echo (the first block).
QByteArray startDump(MeterEmulator& m) {
    m.write(command('P'), 0);
    const QByteArray out = m.read(kLater);
    if (!out.startsWith(command('P')))
        return QByteArray("no echo");
    return out.mid(6);
}

QByteArray answer(MeterEmulator& m, char letter) {
    m.write(command(letter), 0);
    return m.read(kLater);
}

// Two sets with hand-worked bytes: a voltage set with a negative reading and an overload, and a
// resistance set that changes range.
LoggerImageBuilder smallBuilder() {
    LoggerImageBuilder b;
    b.setTimeLabel(QDateTime(QDate(2016, 7, 19), QTime(10, 30)));
    b.setIntervalSetting(12000000);
    LoggerDataSet volts;
    volts.function = 11;
    volts.coupling = 2;
    volts.interval = 10000;
    volts.records = {LoggerDataSet::record(0, -291), LoggerDataSet::overload(1)};
    LoggerDataSet ohms;
    ohms.function = 3;
    ohms.coupling = 0;
    ohms.interval = 20000;
    ohms.records = {LoggerDataSet::record(1, 2850), LoggerDataSet::record(2, 400)};
    b.addSet(volts);
    b.addSet(ohms);
    return b;
}

} // namespace

class TestLoggerEmulator : public QObject {
    Q_OBJECT

private slots:
    void builderLayout();
    void demoAndGeneratedImages();
    void imageFiles();
    void downloadWithAnswers();
    void writeReadErase();
    void corruptAndCutBlocks();
    void silenceAndGoneLine();
    void withheldEchoes_data();
    void withheldEchoes();
    void wrongReadByte();
};

void TestLoggerEmulator::builderLayout() {
    LoggerImageBuilder b = smallBuilder();
    const QByteArray image = b.image();
    QCOMPARE(image.size(), 65536);
    QCOMPARE(b.endAddress(), 287);
    // Header: unused, time label 20 16 7 19 10 30 0, 2 sets, last byte 287, 1200 s interval.
    QCOMPARE(image.left(16).toHex(' '),
             QByteArray("ff ff 14 10 07 13 0a 1e 00 00 02 01 1f b7 1b 00"));
    QCOMPARE(image.mid(16, 240), QByteArray(240, char(0xFF)));
    QCOMPARE(image.mid(256, 16).toHex(' '),
             QByteArray("a5 5a 00 27 10 b0 08 00 00 02 81 23 1f a0 5a a5"));
    QCOMPARE(image.mid(272, 16).toHex(' '),
             QByteArray("a5 5a 00 4e 20 30 00 00 00 02 1b 22 21 90 5a a5"));
    QCOMPARE(image.mid(288), QByteArray(65536 - 288, char(0xFF)));

    // Whatever does not fit or is out of range is refused and changes nothing.
    LoggerDataSet bad;
    bad.function = 16;
    QString error;
    QVERIFY(!b.addSet(bad, &error));
    QVERIFY(error.contains("function"));
    LoggerDataSet huge;
    huge.records = QList<quint16>(32619, 0); // 12 + 65238 bytes: 2 too many behind byte 287
    QVERIFY(!b.addSet(huge, &error));
    huge.records.removeLast();
    QVERIFY(b.addSet(huge, &error)); // exactly fills the memory
    QCOMPARE(b.endAddress(), 65535);
    QCOMPARE(b.setCount(), 3);
    QCOMPARE(word(b.image(), 11), 65535);
}

void TestLoggerEmulator::demoAndGeneratedImages() {
    // Walk the sets the way the PC does and look at what the demo offers a new user.
    const QByteArray demo = LoggerImageBuilder::demoImage();
    const int count = word(demo, 9);
    int at = 256;
    int records = 0;
    bool rangeChange = false;
    bool overload = false;
    bool negative = false;
    std::set<int> functions;
    for (int k = 0; k < count; ++k) {
        QCOMPARE(word(demo, at), 0xA55A);
        const int n = word(demo, at + 8);
        QCOMPARE(word(demo, at + 10 + 2 * n), 0x5AA5);
        functions.insert(uchar(demo.at(at + 5)) >> 4);
        for (int i = 0; i < n; ++i) {
            const int r = word(demo, at + 10 + 2 * i);
            overload |= (r & 0x0FFF) >= 4000;
            negative |= (r & 0x8000) != 0;
            rangeChange |= i > 0 && ((r >> 12) & 7) != ((word(demo, at + 8 + 2 * i) >> 12) & 7);
        }
        records += n;
        at += 12 + 2 * n;
    }
    QCOMPARE(word(demo, 11), at - 1);
    QVERIFY(count >= 4);
    QVERIFY(functions.size() >= 4);
    QVERIFY(records >= 200 && records <= 1000);
    QVERIFY(rangeChange);
    QVERIFY(overload);
    QVERIFY(negative);
    QCOMPARE(LoggerImageBuilder::demoImage(), demo); // the same on every run

    const QByteArray generated = LoggerImageBuilder::generatedImage(7, 50);
    QCOMPARE(word(generated, 9), 7);
    QCOMPARE(word(generated, 11), 256 + 7 * (12 + 100) - 1);
    QCOMPARE(word(LoggerImageBuilder::generatedImage(0, 50), 11), 255);
    QVERIFY(LoggerImageBuilder::generatedImage(3, 20000).isEmpty()); // 120 KB of records
}

void TestLoggerEmulator::imageFiles() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray demo = LoggerImageBuilder::demoImage();
    QString error;
    QVERIFY(LoggerImageBuilder::save(dir.filePath("demo.bin"), demo, &error));
    QByteArray loaded;
    QVERIFY2(LoggerImageBuilder::load(dir.filePath("demo.bin"), &loaded, &error),
             qPrintable(error));
    QCOMPARE(loaded, demo);

    // A download saved up to its last block is padded as erased memory.
    QVERIFY(LoggerImageBuilder::save(dir.filePath("short.bin"), demo.left(1216), &error));
    QVERIFY(LoggerImageBuilder::load(dir.filePath("short.bin"), &loaded, &error));
    QCOMPARE(loaded.left(1216), demo.left(1216));
    QCOMPARE(loaded.mid(1216), QByteArray(65536 - 1216, char(0xFF)));

    for (const int size : {255, 65537}) {
        QVERIFY(LoggerImageBuilder::save(dir.filePath("bad.bin"), QByteArray(size, 0), &error));
        loaded = "untouched";
        QVERIFY(!LoggerImageBuilder::load(dir.filePath("bad.bin"), &loaded, &error));
        QCOMPARE(loaded, QByteArray("untouched"));
        QVERIFY(error.contains("not a logger image"));
    }
    QVERIFY(!LoggerImageBuilder::load(dir.filePath("missing.bin"), &loaded, &error));
    QVERIFY(!LoggerImageBuilder::save(dir.filePath("no/such/dir.bin"), demo, &error));
}

void TestLoggerEmulator::downloadWithAnswers() {
    const QByteArray image = LoggerImageBuilder::demoImage();
    const int expectedBlocks = (word(image, 11) + 64) / 64;
    QCOMPARE(expectedBlocks, 19); // last byte 1175: 1176 bytes in 19 blocks

    // Before C the meter does not dump.
    MeterEmulator closed;
    closed.setPaced(false);
    closed.setLoggerImage(image);
    closed.write(command('P'), 0);
    QCOMPARE(closed.read(1000), command('P'));

    auto m = openLogger(image);
    QVERIFY(m->loggerOpen());
    QByteArray block = startDump(*m);
    QByteArray received;
    int blocks = 0;
    while (!block.isEmpty()) {
        QCOMPARE(block.size(), 65);
        QCOMPARE(uchar(block.at(64)), sum(block.left(64)));
        if (blocks == 3) {
            QCOMPARE(answer(*m, 'n'), block); // the same block again, not echoed
        }
        received += block.left(64);
        ++blocks;
        block = answer(*m, 'y');
    }
    QCOMPARE(blocks, expectedBlocks);
    QCOMPARE(received, image.left(expectedBlocks * 64));
    QCOMPARE(m->blocksSent(), expectedBlocks + 1);
    QVERIFY(!m->dumping());
    QVERIFY(m->loggerOpen());
    QCOMPARE(m->nextOutputMs(), -1);
    QCOMPARE(answer(*m, 'y'), QByteArray()); // nothing after the last block

    // A new P starts from address 0; Q stops it, and y or n after Q bring nothing.
    QCOMPARE(startDump(*m).left(64), image.left(64));
    QCOMPARE(answer(*m, 'y').left(64), image.mid(64, 64));
    QCOMPARE(answer(*m, 'Q'), QByteArray());
    QCOMPARE(answer(*m, 'y'), QByteArray());
    QCOMPARE(answer(*m, 'n'), QByteArray());

    // A closes the logger and brings the live stream back.
    m->write(command('A'), 10);
    const QByteArray live = m->read(kLater);
    QVERIFY(live.startsWith(command('A')));
    QVERIFY(live.endsWith("\r\n"));
    QVERIFY(m->streaming());
    QVERIFY(!m->loggerOpen());

    // Paced: the echo and the 65-byte block take 71 byte times (74 ms) on the line.
    MeterEmulator paced;
    paced.setLoggerImage(image);
    paced.write(command('C'), 0);
    paced.read(100);
    paced.write(command('P'), 100);
    QCOMPARE(paced.read(173).size(), 70);
    QCOMPARE(paced.read(174).size(), 1);
}

void TestLoggerEmulator::writeReadErase() {
    const QByteArray image = smallBuilder().image();
    // Before C, W and R are echoed and do nothing.
    MeterEmulator closed;
    closed.setPaced(false);
    closed.setLoggerImage(image);
    closed.write(command('W', 0x01, 0x00, 0x42) + command('R', 0x01, 0x00), 0);
    QCOMPARE(closed.read(0), command('W', 0x01, 0x00, 0x42) + command('R', 0x01, 0x00));
    QCOMPARE(closed.loggerImage(), image);

    auto m = openLogger(image);
    m->write(command('W', 0xF0, 0xF0, 0x42), 0);
    QCOMPARE(m->read(kLater), command('W', 0xF0, 0xF0, 0x42));
    QCOMPARE(m->loggerImage().at(0xF0F0), char(0x42));
    m->write(command('R', 0xF0, 0xF0), 0);
    QCOMPARE(m->read(kLater), command('R', 0xF0, 0xF0) + char(0x42));
    m->write(command('R', 0x01, 0x0A, 0x99), 0); // the third byte does not matter
    QCOMPARE(m->read(kLater), command('R', 0x01, 0x0A, 0x99) + image.at(0x010A));

    // The last used byte decides the dump's length, rounded up to whole blocks.
    for (const auto& [end, blocks] : {std::pair{319, 5}, {320, 6}, {0, 1}, {65535, 1024}}) {
        m->write(command('W', 0, 11, uchar(end >> 8)) + command('W', 0, 12, uchar(end)), 0);
        m->read(kLater);
        QByteArray block = startDump(*m);
        int n = 0;
        while (!block.isEmpty()) {
            ++n;
            block = answer(*m, 'y');
        }
        QCOMPARE(n, blocks);
    }

    // E needs its two 'E's; with them everything but the time label and interval goes.
    m->write(command('E', 0x45, 0x00), 0);
    QCOMPARE(m->read(kLater), command('E', 0x45, 0x00));
    QCOMPARE(m->loggerImage().at(0xF0F0), char(0x42));
    m->write(command('E', 0x45, 0x45), 0);
    QCOMPARE(m->read(kLater), command('E', 0x45, 0x45));
    const QByteArray erased = m->loggerImage();
    QCOMPARE(erased.mid(2, 7), image.mid(2, 7));
    QCOMPARE(erased.mid(13, 3), image.mid(13, 3));
    QCOMPARE(word(erased, 9), 0);
    QCOMPARE(word(erased, 11), 255);
    QCOMPARE(erased.mid(256), QByteArray(65536 - 256, char(0xFF)));
    QCOMPARE(erased.left(2), QByteArray(2, char(0xFF)));

    // The erased memory dumps as its header alone; the memory survives a closed line.
    m->reset();
    QVERIFY(!m->loggerOpen());
    QCOMPARE(m->loggerImage(), erased);
    m->write(command('C'), 0);
    m->read(kLater);
    QByteArray block = startDump(*m);
    QByteArray received;
    while (!block.isEmpty()) {
        received += block.left(64);
        block = answer(*m, 'y');
    }
    QCOMPARE(received, erased.left(256));

    // K closes the logger as A does.
    m->write(command('K'), 0);
    m->write(command('W', 0xF0, 0xF0, 0x00), 0);
    QCOMPARE(m->loggerImage().at(0xF0F0), char(0xFF));
}

void TestLoggerEmulator::corruptAndCutBlocks() {
    const QByteArray image = LoggerImageBuilder::demoImage();
    for (const bool always : {false, true}) {
        auto m = openLogger(image);
        m->faults().corruptBlock = 1;
        m->faults().corruptEveryTime = always;
        QByteArray block = startDump(*m);
        QCOMPARE(block.left(64), image.left(64));
        block = answer(*m, 'y');
        QCOMPARE(block.size(), 65);
        QVERIFY(uchar(block.at(64)) != sum(block.left(64)));
        QCOMPARE(uchar(block.at(64)), sum(image.mid(64, 64))); // the data is off, not the sum
        block = answer(*m, 'n');
        QCOMPARE(uchar(block.at(64)) == sum(block.left(64)), !always);
        if (!always)
            QCOMPARE(block.left(64), image.mid(64, 64));
        // A new dump is corrupted again.
        startDump(*m);
        block = answer(*m, 'y');
        QVERIFY(uchar(block.at(64)) != sum(block.left(64)));
    }
    for (const bool always : {false, true}) {
        auto m = openLogger(image);
        m->faults().cutBlock = 2;
        m->faults().cutBlockBytes = 40;
        m->faults().cutEveryTime = always;
        startDump(*m);
        answer(*m, 'y');
        QCOMPARE(answer(*m, 'y'), image.mid(128, 40)); // then silence: nothing more comes
        QCOMPARE(m->read(kLater), QByteArray());
        QCOMPARE(m->nextOutputMs(), -1);
        QCOMPARE(answer(*m, 'n').size(), always ? 40 : 65);
        QCOMPARE(answer(*m, 'y').left(64), image.mid(192, 64)); // the dump goes on
    }
}

void TestLoggerEmulator::silenceAndGoneLine() {
    const QByteArray image = LoggerImageBuilder::demoImage();
    auto m = openLogger(image);
    m->faults().silentAfterBlock = 1;
    startDump(*m);
    QCOMPARE(answer(*m, 'y').left(64), image.mid(64, 64));
    QCOMPARE(answer(*m, 'y'), QByteArray());
    QCOMPARE(answer(*m, 'n'), QByteArray());
    m->write(command('A'), 0); // the meter itself is alive
    QVERIFY(m->read(kLater).startsWith(command('A')));

    m = openLogger(image);
    m->faults().lineGoneAfterBlock = 0;
    m->setPaced(true);
    m->write(command('P'), 0);
    QVERIFY(!m->lineGone()); // the block is still on its way
    QCOMPARE(m->read(1000).mid(6), startDump(*openLogger(image)));
    QVERIFY(m->lineGone());
    m->write(command('y'), 2000);
    m->write(command('K'), 2000);
    QCOMPARE(m->read(5000), QByteArray());
    QCOMPARE(m->nextOutputMs(), -1);
    m->reset(); // plugged in again
    QVERIFY(!m->lineGone());
    m->write(command('K'), 6000);
    QCOMPARE(m->read(7000), command('K') + "122\r");
}

void TestLoggerEmulator::withheldEchoes_data() {
    QTest::addColumn<char>("letter");
    for (const char letter : QByteArray("CPWRE"))
        QTest::newRow(QByteArray(1, letter).constData()) << letter;
}

void TestLoggerEmulator::withheldEchoes() {
    QFETCH(char, letter);
    const QByteArray image = LoggerImageBuilder::demoImage();
    MeterEmulator m;
    m.setPaced(false);
    m.setLoggerImage(image);
    m.faults().withholdEchoOf = QByteArray(1, letter);
    const QList<QByteArray> commands = {command('C'), command('W', 0x10, 0xF0, 0x5C),
                                        command('R', 0x10, 0xF0), command('P'),
                                        command('E', 'E', 'E')};
    QByteArray expected;
    for (const QByteArray& c : commands) {
        if (c.at(1) != letter)
            expected += c;
        if (c.at(1) == 'R')
            expected += char(0x5C);
        if (c.at(1) == 'P')
            expected += image.left(64) + char(sum(image.left(64)));
    }
    for (const QByteArray& c : commands)
        m.write(c, 0);
    // Each command is still carried out: the erase happened last.
    QCOMPARE(m.read(0), expected);
    QCOMPARE(word(m.loggerImage(), 11), 255);
    QVERIFY(m.loggerOpen());
}

void TestLoggerEmulator::wrongReadByte() {
    auto m = openLogger(LoggerImageBuilder::demoImage());
    m->faults().wrongReadByte = true;
    m->write(command('W', 0x20, 0xF0, 0x3A) + command('R', 0x20, 0xF0), 0);
    QCOMPARE(m->read(kLater).right(1), QByteArray(1, char(0xC5)));
    QCOMPARE(m->loggerImage().at(0x20F0), char(0x3A)); // the memory itself is right
}

QTEST_GUILESS_MAIN(TestLoggerEmulator)
#include "test_loggeremulator.moc"
