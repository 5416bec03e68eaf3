// metersim as a program: started for real, talked to through the pseudo-terminal it prints,
// with plain POSIX open/termios (PtyClient).

#include "support/ptyclient.h"

#include <QtTest>

#include <QProcess>

namespace {

QByteArray command(char letter) {
    QByteArray c(6, '\0');
    c[0] = 0x02;
    c[1] = letter;
    c[5] = 0x03;
    return c;
}

bool isValidFrame(const QByteArray& f) {
    if (f.size() != 11 || !f.endsWith("\r\n"))
        return false;
    for (int i = 0; i < 9; ++i)
        if ((uchar(f.at(i)) & 0xF0) != 0x30)
            return false;
    return true;
}

QString metersimPath() {
    const QByteArray dir = qgetenv("QL_BIN_DIR");
    return (dir.isEmpty() ? QCoreApplication::applicationDirPath() : QString::fromLocal8Bit(dir)) +
           "/metersim";
}

// Runs metersim and reads the device path from its first line.
class Metersim {
public:
    explicit Metersim(const QStringList& args) {
        m_process.setProgram(metersimPath());
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
    }

    ~Metersim() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    QString devicePath() {
        if (!m_process.waitForStarted(5000))
            return QString();
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(5000))
                return QString();
        }
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

    // SIGTERM; true when the program ended by itself with exit code 0.
    bool stop() {
        m_process.terminate();
        return m_process.waitForFinished(5000) && m_process.exitStatus() == QProcess::NormalExit &&
               m_process.exitCode() == 0;
    }

    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

} // namespace

class TestMetersim : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void servesTheMeterOnAPty();
    void optionsReachTheMeter();
    void pacedByDefault();
    void badOptions_data();
    void badOptions();
    void help();
};

void TestMetersim::initTestCase() {
    QVERIFY2(QFileInfo(metersimPath()).isExecutable(), qPrintable(metersimPath()));
}

void TestMetersim::servesTheMeterOnAPty() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("meter");
    QFile::link("/nonexistent", link); // a stale link is replaced

    Metersim sim({"--instant", "--interval", "0", "--link", link});
    const QString device = sim.devicePath();
    QVERIFY2(device.startsWith("/dev/"), qPrintable(device));
    QCOMPARE(QFileInfo(link).symLinkTarget(), device);

    PtyClient client;
    QVERIFY2(client.open(device), strerror(errno));

    // K: echo, then the identity.
    QVERIFY(client.send(command('K')));
    QCOMPARE(client.receive(10), QByteArray(command('K') + "122\r"));

    // A: echo, then the first frame.
    QVERIFY(client.send(command('A')));
    QByteArray got = client.receive(17);
    QCOMPARE(got.left(6), command('A'));
    QVERIFY2(isValidFrame(got.mid(6)), got.mid(6).toHex(' ').constData());

    // Without Y nothing more comes.
    QCOMPARE(client.drain(150), QByteArray());

    // Each Y brings the echo and the next frame.
    for (int i = 0; i < 50; ++i) {
        QVERIFY(client.send(command('Y')));
        got = client.receive(17);
        QCOMPARE(got.left(6), command('Y'));
        QVERIFY2(isValidFrame(got.mid(6)), got.mid(6).toHex(' ').constData());
    }

    // The device survives the client closing it; a command split over two writes still counts.
    client.close();
    PtyClient again;
    QVERIFY2(again.open(link), strerror(errno));
    const QByteArray k = command('K');
    QVERIFY(again.send(k.left(3)));
    QTest::qWait(20);
    QVERIFY(again.send(k.mid(3)));
    QCOMPARE(again.receive(10), QByteArray(k + "122\r"));

    QVERIFY(sim.stop());
    QVERIFY2(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink(), "link removed on exit");
}

void TestMetersim::optionsReachTheMeter() {
    Metersim sim(
        {"--instant", "--model", "120", "--no-echo", "--recording", "--steady", "3,2,1500"});
    const QString device = sim.devicePath();
    QVERIFY(!device.isEmpty());
    PtyClient client;
    QVERIFY(client.open(device));

    QVERIFY(client.send(command('K')));
    QCOMPARE(client.receive(4), QByteArray("120\r")); // no echo
    QVERIFY(client.send(command('A')));
    const QByteArray frame = client.receive(11);
    QVERIFY2(isValidFrame(frame), frame.toHex(' ').constData());
    QCOMPARE(frame.at(0) & 0x0F, 2); // range
    QCOMPARE(frame.at(5) & 0x0F, 3); // resistance
    QVERIFY(frame.at(7) & 0x02);     // recording
    QCOMPARE(frame.mid(1, 4), QByteArray("1500"));
    QVERIFY(sim.stop());
}

void TestMetersim::pacedByDefault() {
    Metersim sim({"--silent"});
    PtyClient quiet;
    QVERIFY(quiet.open(sim.devicePath()));
    QVERIFY(quiet.send(command('K')));
    QCOMPARE(quiet.drain(200), QByteArray()); // --silent: nothing at all
    QVERIFY(sim.stop());

    Metersim paced({});
    PtyClient client;
    QVERIFY(client.open(paced.devicePath()));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(client.send(command('K')));
    QCOMPARE(client.receive(10), QByteArray(command('K') + "122\r"));
    // Ten bytes at 9600 baud take 10.4 ms (the upper bound is left to a loaded machine).
    QVERIFY2(timer.elapsed() >= 9, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(paced.stop());
}

void TestMetersim::badOptions_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("model") << QStringList{"--model", "121"};
    QTest::newRow("unknown") << QStringList{"--frobnicate"};
    QTest::newRow("missing value") << QStringList{"--interval"};
    QTest::newRow("negative interval") << QStringList{"--interval", "-1"};
    QTest::newRow("steady") << QStringList{"--steady", "11"};
    QTest::newRow("script missing") << QStringList{"--script", "/nonexistent/script.txt"};
}

void TestMetersim::badOptions() {
    QFETCH(QStringList, args);
    QProcess p;
    p.start(metersimPath(), args);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 2);
    QCOMPARE(p.readAllStandardOutput(), QByteArray()); // no device path
    QVERIFY(!p.readAllStandardError().isEmpty());
}

void TestMetersim::help() {
    QProcess p;
    p.start(metersimPath(), {"--help"});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray text = p.readAllStandardOutput();
    for (const char* option : {"--model", "--script", "--tour", "--steady", "--interval", "--flood",
                               "--paced", "--instant", "--recording", "--corrupt-every",
                               "--drop-every", "--silent", "--no-echo", "--link"})
        QVERIFY2(text.contains(option), option);
}

QTEST_GUILESS_MAIN(TestMetersim)
#include "test_metersim.moc"
