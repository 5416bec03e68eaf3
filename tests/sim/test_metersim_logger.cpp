// metersim's logger options through its pseudo-terminal: an image file in, a dump with a
// corrupted block, an erase and a write, the memory saved on exit; and a line that goes away.

#include "support/metersimprocess.h"
#include "loggerimagebuilder.h"
#include "support/ptyclient.h"

#include <QtTest>

namespace {

QByteArray command(char letter, uchar p1 = 0, uchar p2 = 0, uchar p3 = 0) {
    return QByteArray("\x02") + letter + char(p1) + char(p2) + char(p3) + '\x03';
}

bool checksumGood(const QByteArray& block) {
    uchar s = 0;
    for (const char b : block.left(64))
        s = uchar(s + uchar(b));
    return block.size() == 65 && uchar(block.at(64)) == s;
}

} // namespace

class TestMetersimLogger : public QObject {
    Q_OBJECT

private slots:
    void imageDumpEraseWriteSaved();
    void lineGoneAfterBlock();
};

void TestMetersimLogger::imageDumpEraseWriteSaved() {
    QTemporaryDir dir;
    LoggerImageBuilder builder;
    LoggerDataSet set;
    set.records = QList<quint16>(40, LoggerDataSet::record(2, 1234)); // last used byte 347
    builder.addSet(set);
    const QByteArray image = builder.image();
    QString error;
    QVERIFY(LoggerImageBuilder::save(dir.filePath("in.bin"), image.left(384), &error));

    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--image", dir.filePath("in.bin"), "--save-image",
                       dir.filePath("out.bin"), "--corrupt-block", "1"}));
    PtyClient line;
    QVERIFY(line.open(sim.path));
    QVERIFY(line.send(command('C') + command('P')));
    QCOMPARE(line.receive(12), command('C') + command('P'));
    QByteArray received;
    for (int k = 0; k < 6; ++k) {
        QByteArray block = line.receive(65);
        if (k == 1) {
            QVERIFY(!checksumGood(block)); // corrupted once; the resend is good
            QVERIFY(line.send(command('n')));
            block = line.receive(65);
        }
        QVERIFY2(checksumGood(block), qPrintable(QString::number(k)));
        received += block.left(64);
        QVERIFY(line.send(command('y')));
    }
    QCOMPARE(line.drain(300), QByteArray());
    QCOMPARE(received, image.left(384));

    const QByteArray erase = command('E', 'E', 'E');
    const QByteArray write = command('W', 0x30, 0xF0, 0x42);
    QVERIFY(line.send(erase + write + command('R', 0x30, 0xF0)));
    QCOMPARE(line.receive(19), erase + write + command('R', 0x30, 0xF0) + '\x42');

    sim.process.terminate();
    QVERIFY(sim.process.waitForFinished(5000));
    QCOMPARE(sim.process.exitCode(), 0);
    QByteArray saved;
    QVERIFY2(LoggerImageBuilder::load(dir.filePath("out.bin"), &saved, &error), qPrintable(error));
    QByteArray expected = LoggerImageBuilder().image(); // erased, same time label and interval
    expected[0x30F0] = 0x42;
    QCOMPARE(saved, expected);
}

void TestMetersimLogger::lineGoneAfterBlock() {
    QTemporaryDir dir;
    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--sets", "3", "--records", "40", "--line-gone-after-block",
                       "1", "--save-image", dir.filePath("out.bin")}));
    PtyClient line;
    QVERIFY(line.open(sim.path));
    QVERIFY(line.send(command('C') + command('P')));
    QCOMPARE(line.receive(12 + 65).size(), 12 + 65);
    QVERIFY(line.send(command('y')));
    const QByteArray second = line.receive(65); // block 1 still arrives whole
    QCOMPARE(second.left(64), LoggerImageBuilder::generatedImage(3, 40).mid(64, 64));
    QVERIFY(line.send(command('y')));
    QCOMPARE(line.receive(65, 5000), QByteArray());
    QVERIFY(line.gone());
    // The program ends by itself and still saves the memory.
    QVERIFY(sim.process.waitForFinished(5000));
    QCOMPARE(sim.process.exitCode(), 0);
    QCOMPARE(QFileInfo(dir.filePath("out.bin")).size(), 65536);

    // Wrong values are refused before any device is made.
    for (const QStringList& args : QList<QStringList>{{"--cut-block", "1,65"},
                                                      {"--no-echo-of", "CX"},
                                                      {"--sets", "3", "--records", "20000"},
                                                      {"--image", "x.bin", "--sets", "2"}}) {
        QProcess p;
        p.start(MeterSimProcess::program(), args);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
        QCOMPARE(p.readAllStandardOutput(), QByteArray());
    }
}

QTEST_GUILESS_MAIN(TestMetersimLogger)
#include "test_metersim_logger.moc"
