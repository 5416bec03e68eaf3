// ql350-cli against metersim over a real pseudo-terminal: live lines in step with the meter's
// script, the logger memory as data files, a damaged memory and its repair, setup and erase
// seen in the meter's saved memory, refusals with their exit codes, the meter search, and a
// stop by signal that frees the port.

#include "support/metersimprocess.h"
#include "loggerimagebuilder.h"
#include "metersession.h"
#include "serialportlist.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>

#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

struct CliResult {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

QProcessEnvironment cliEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Dates in the data files are in the user's short date format: pin it.
    env.insert("LC_ALL", "C");
    env.insert("LANG", "C");
    return env;
}

QString cliProgram() {
    return qEnvironmentVariable("QL_BIN_DIR") + "/ql350-cli";
}

CliResult runCli(const QStringList& arguments, int timeoutMs = 60000,
                 const std::function<void()>& inChild = {}) {
    QProcess p;
    p.setProcessEnvironment(cliEnvironment());
    if (inChild)
        p.setChildProcessModifier(inChild);
    p.start(cliProgram(), arguments);
    CliResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = "timed out";
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Two sets from 19 Jul 2016 10:30:00: DC volts (a value, a negative one, an overload) at 1 s,
// then ohms at 2 s, which starts where the first one ended.
QByteArray twoSetImage() {
    LoggerImageBuilder builder;
    builder.setTimeLabel(QDateTime(QDate(2016, 7, 19), QTime(10, 30, 0)));
    LoggerDataSet volts;
    volts.function = 11;
    volts.coupling = 2;
    volts.interval = 10000;
    volts.records = {LoggerDataSet::record(1, 1234), LoggerDataSet::record(1, -567),
                     LoggerDataSet::overload(1)};
    LoggerDataSet ohms;
    ohms.function = 3;
    ohms.coupling = 0;
    ohms.interval = 20000;
    ohms.records = {LoggerDataSet::record(0, 1005), LoggerDataSet::record(0, 7)};
    builder.addSet(volts);
    builder.addSet(ohms);
    return builder.image();
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void liveFollowsTheScript();
    void limitsTellAndEndTheRun();
    void downloadWritesTheSets();
    void downloadTargetsAreCheckedAndNeverLost();
    void damagedMemoryStopsOrIsRepaired();
    void setupAndEraseChangeTheMemory();
    void exitCodesAreTheDocumentedOnes();
    void progressOnStandardError();
    void searchSkipsTheSimulator();
    void meterFollowedByItsAdaptersIdentity();
    void signalEndsLiveAndDownloadAndFreesThePort();
    void cleanup() { SerialPortList::setOverride(std::nullopt); }

private:
    QTemporaryDir m_dir;
};

// A meter going 1.0, 1.5, 2.5, 1.95, 1.85 V in a loop against a high limit of 2 V with a
// hysteresis of 0.1: the crossing and the way back are told on standard error, and
// --stop-at-limit ends the run with code 9 right after the crossing reading is printed.
void TestCli::limitsTellAndEndTheRun() {
    const QString script = m_dir.filePath("limits.txt");
    {
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("11000;00:\n11500;00:\n12500;00:\n11950;00:\n11850;00:\n");
    }
    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--interval", "20", "--script", script}));

    const CliResult told = runCli({"live", "--port", sim.path, "--count", "12", "--above", "2",
                                   "--hysteresis", "0.1"});
    QCOMPARE(told.code, 0);
    QCOMPARE(told.out.count('\n'), 12);
    const QList<QByteArray> events = told.err.trimmed().split('\n');
    QVERIFY2(events.size() >= 3, told.err.constData());
    // Above at 2.5 V, inside again only at 1.85 V (1.95 is within the hysteresis).
    for (qsizetype i = 0; i < events.size(); ++i) {
        const bool above = events[i].contains("above the high limit of 2 V: 2.500 V");
        const bool back = events[i].contains("back inside the limits: 1.850 V");
        QVERIFY2(events[i].startsWith("limit: ") && (above || back), events[i].constData());
        if (i > 0)
            QVERIFY2(above != events[i - 1].contains("above"), told.err.constData());
    }

    const CliResult stopped = runCli({"live", "--port", sim.path, "--above", "2", "--format",
                                      "json", "--stop-at-limit"});
    QCOMPARE(stopped.code, 9);
    QVERIFY2(stopped.out.trimmed().split('\n').last().contains("\"value\":2.500"),
             stopped.out.constData());
    QVERIFY2(stopped.err.contains("above the high limit of 2 V: 2.500 V"), stopped.err.constData());

    // Limits that cannot be: refused before the port is opened.
    for (const QStringList& wrong :
         {QStringList{"--stop-at-limit"}, QStringList{"--above", "1", "--below", "2"},
          QStringList{"--above", "inf"}, QStringList{"--below", "1", "--hysteresis", "-1"}}) {
        const CliResult r = runCli(QStringList{"live", "--port", sim.path} + wrong);
        QVERIFY2(r.code == 2, qPrintable(wrong.join(u' ') + ": " + QString::fromUtf8(r.err)));
    }
}

void TestCli::liveFollowsTheScript() {
    // Seven frames: volts DC auto, negative, AC, manual range, peak hold, overload, ohms.
    const QList<QByteArray> frames{"11234;00:", "10567;40:", "20123;006", "12000;008",
                                   "10042;04:", "10000;10:", "010053002"};
    const QList<QStringList> expected{
        {"1.234", "V", "Voltage", "DC", "auto", "", ""},
        {"-0.567", "V", "Voltage", "DC", "auto", "", ""},
        {"1.23", "V", "Voltage", "AC", "auto", "", ""},
        {"2.000", "V", "Voltage", "DC", "manual", "", ""},
        {"0.042", "V", "Voltage", "DC", "auto", "hold", ""},
        {"OL", "V", "Voltage", "DC", "auto", "", "OL"},
        {"100.5", "Ohm", "OHM", "", "auto", "", ""},
    };
    const QString script = m_dir.filePath("live.txt");
    {
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("# a frame a line\n" + frames.join('\n') + '\n');
    }
    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--interval", "20", "--script", script}));

    const CliResult r = runCli({"live", "--port", sim.path, "--count", "20"});
    QCOMPARE(r.code, 0);
    const QList<QByteArray> lines = r.out.split('\n');
    QCOMPARE(lines.size(), 21); // 20 lines, each ending in a line feed
    QVERIFY(lines.last().isEmpty());
    // The meter plays the script in a loop; the first line shown may be any of its frames.
    int offset = -1;
    QDateTime previous;
    for (int i = 0; i < 20; ++i) {
        const QStringList fields = QString::fromUtf8(lines[i]).split('\t');
        QCOMPARE(fields.size(), 8);
        const QDateTime when = QDateTime::fromString(fields[0], Qt::ISODateWithMs);
        QVERIFY2(when.isValid() && fields[0].contains('.'), qPrintable(fields[0]));
        QVERIFY(!previous.isValid() || when >= previous);
        previous = when;
        if (offset < 0)
            offset = int(expected.indexOf(fields.mid(1)));
        QVERIFY2(offset >= 0, lines[i].constData());
        QCOMPARE(fields.mid(1), expected[(offset + i) % expected.size()]);
    }
    QVERIFY(qAbs(previous.msecsTo(QDateTime::currentDateTime())) < 60000);

    // JSON: the same values with the meter's digits ("2.000", not 2), null for the overload;
    // every line has every key.
    const CliResult j = runCli({"live", "--port", sim.path, "--count", "7", "--format", "json"});
    QCOMPARE(j.code, 0);
    static const QRegularExpression valueText(QStringLiteral("\"value\":([^,]*),"));
    QStringList keys;
    for (const QByteArray& line : j.out.trimmed().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        QVERIFY2(keys.isEmpty() || o.keys() == keys, line.constData());
        keys = o.keys();
        const QString value = valueText.match(QString::fromUtf8(line)).captured(1);
        const QString unit = o.value("unit").toString();
        const auto same = [&](const QStringList& e) {
            return (o.value("overload").toBool() ? e[0] == "OL" && value == "null"
                                                 : e[0] == value) &&
                   e[1] == unit;
        };
        QVERIFY2(std::any_of(expected.begin(), expected.end(), same), line.constData());
    }
    QVERIFY(keys.contains("seq") && keys.contains("meter") && keys.contains("coupling"));
}

void TestCli::downloadWritesTheSets() {
    const QByteArray image = twoSetImage();
    QString error;
    QVERIFY(LoggerImageBuilder::save(m_dir.filePath("two.bin"), image, &error));
    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--image", m_dir.filePath("two.bin")}));

    const QString txt = m_dir.filePath("txt");
    CliResult r = runCli({"download", "--port", sim.path, "--out", txt});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(QDir(txt).entryList(QDir::Files), QStringList({"set001.txt", "set002.txt"}));
    QCOMPARE(readFile(txt + "/set001.txt"), QByteArray("19 Jul 2016\t10:30:00\t1.234\tV\t\r\n"
                                                       "19 Jul 2016\t10:30:01\t-0.567\tV\t\r\n"
                                                       "19 Jul 2016\t10:30:02\tOL\tV\t\r\n"));
    QCOMPARE(readFile(txt + "/set002.txt"), QByteArray("19 Jul 2016\t10:30:03\t100.5\tOhm\t\r\n"
                                                       "19 Jul 2016\t10:30:05\t0.7\tOhm\t\r\n"));

    // csv is the portable format (its columns are read in test_cli_files); the columns of
    // before with --legacy-columns.
    const QString csv = m_dir.filePath("csv");
    r = runCli({"download", "--port", sim.path, "--out", csv, "--format", "csv"});
    QCOMPARE(r.code, 0);
    const QByteArray portable = readFile(csv + "/set002.csv");
    QVERIFY2(portable.startsWith("row,time,value,unit,si_value,si_unit,function,coupling,range,"
                                 "flags\r\n1,2016-07-19T10:30:03.000") &&
                 portable.contains(",100.5,Ohm,100.5,Ohm,Ohm,,,\r\n2,2016-07-19T10:30:05.000"),
             portable.constData());
    r = runCli({"download", "--port", sim.path, "--out", csv, "--format", "csv",
                "--legacy-columns"});
    QCOMPARE(r.code, 0);
    QCOMPARE(readFile(csv + "/set002.csv"), QByteArray("19 Jul 2016,10:30:03,100.5,Ohm,\r\n"
                                                       "19 Jul 2016,10:30:05,0.7,Ohm,\r\n"));

    // The raw image: the used memory in whole blocks, as the meter holds it.
    r = runCli({"download", "--port", sim.path, "--raw", m_dir.filePath("raw.bin")});
    QCOMPARE(r.code, 0);
    const QByteArray raw = readFile(m_dir.filePath("raw.bin"));
    const int used = (uchar(image[11]) << 8 | uchar(image[12])) + 1;
    QCOMPARE(raw.size(), (used + 63) / 64 * 64);
    QCOMPARE(raw, image.left(raw.size()));
}

// Targets that can never be written are refused before the port is opened (here a port that
// does not exist: a transfer tried first would fail with its own exit code), and a raw image
// that does not fit on the disk leaves the old file as it was and says why.
void TestCli::downloadTargetsAreCheckedAndNeverLost() {
    const QString noPort = m_dir.filePath("no-such-device");
    const QString aFile = m_dir.filePath("a-file");
    QVERIFY(QFile(aFile).open(QIODevice::WriteOnly));
    const QString fifo = m_dir.filePath("a-fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QStringList arguments;
        const char* says;
    } refused[] = {
        {{"--out", aFile}, "not a folder"},
        {{"--out", aFile + "/sub"}, "not a folder"},
        {{"--raw", fifo}, "pipe"},
        {{"--raw", "/dev/null"}, "device"},
        {{"--raw", m_dir.filePath("missing/raw.bin")}, "does not exist"},
        {{"--raw", m_dir.path()}, "folder"},
    };
    for (const auto& c : refused) {
        const CliResult r = runCli(QStringList{"download", "--port", noPort} + c.arguments);
        QVERIFY2(r.code == 1 && r.err.contains(c.says),
                 qPrintable(c.arguments.join(' ') + ": " + QString::number(r.code) + " " + r.err));
    }

    QString error;
    QVERIFY(LoggerImageBuilder::save(m_dir.filePath("two.bin"), twoSetImage(), &error));
    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--image", m_dir.filePath("two.bin")}));
    const QString raw = m_dir.filePath("old-raw.bin");
    {
        QFile old(raw);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("OLD") == 3);
    }
    // A disk that takes no more than 100 bytes of a file: the image is larger.
    const CliResult r = runCli({"download", "--port", sim.path, "--raw", raw}, 60000, [] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    QVERIFY2(r.code == 1 && r.err.contains("File too large"), r.err.constData());
    QCOMPARE(readFile(raw), QByteArray("OLD"));
    QCOMPARE(QDir(m_dir.path()).entryList({"old-raw.bin*"}, QDir::Files),
             QStringList{"old-raw.bin"}); // no temporary file left behind
}

void TestCli::damagedMemoryStopsOrIsRepaired() {
    QByteArray image = twoSetImage();
    // The second set's start marker is gone: the first set is good, the second damaged.
    const int second = 256 + 10 + 2 * 3 + 2;
    QCOMPARE(uchar(image[second]), uchar(0xA5));
    image[second] = 0x00;
    QString error;
    QVERIFY(LoggerImageBuilder::save(m_dir.filePath("bad.bin"), image, &error));
    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--image", m_dir.filePath("bad.bin"), "--save-image",
                       m_dir.filePath("bad-after.bin")}));

    const QString out = m_dir.filePath("bad");
    CliResult r = runCli({"download", "--port", sim.path, "--out", out});
    QCOMPARE(r.code, 6);
    QVERIFY2(r.err.contains("data set 2 is damaged"), r.err.constData());
    QVERIFY(QDir(out).entryList(QDir::Files).isEmpty());

    r = runCli({"download", "--port", sim.path, "--out", out, "--repair"});
    QCOMPARE(r.code, 0);
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList({"set001.txt"}));
    sim.stop();
    // The header now counts one set, ending with the first set's end marker.
    const QByteArray after = readFile(m_dir.filePath("bad-after.bin"));
    QCOMPARE(after.mid(9, 4), QByteArray::fromHex("0001") + char(0x01) + char(second - 1 - 256));
}

void TestCli::setupAndEraseChangeTheMemory() {
    QString error;
    QVERIFY(LoggerImageBuilder::save(m_dir.filePath("setup.bin"), twoSetImage(), &error));
    MeterSimProcess sim;
    const QString saved = m_dir.filePath("setup-after.bin");
    QVERIFY(
        sim.start({"--instant", "--image", m_dir.filePath("setup.bin"), "--save-image", saved}));

    QCOMPARE(runCli({"erase", "--port", sim.path}).code, 2); // no --yes: nothing sent
    QCOMPARE(runCli({"setup", "--port", sim.path, "--interval", "7s"}).code, 2);
    CliResult r =
        runCli({"setup", "--port", sim.path, "--interval", "10m", "--time", "2016-03-07T09:05:30"});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.isEmpty());
    // The live link is back after the setup: the meter still answers readings.
    QCOMPARE(runCli({"live", "--port", sim.path, "--count", "1"}).code, 0);
    sim.stop();
    QByteArray after = readFile(saved);
    QCOMPARE(after.mid(2, 7), QByteArray::fromHex("1410030709051e"));
    QCOMPARE(after.mid(13, 3), QByteArray::fromHex("5b8d80"));
    QCOMPARE(after.mid(9, 2), QByteArray::fromHex("0002")); // the sets are still there

    QVERIFY(sim.start({"--instant", "--image", saved, "--save-image", saved}));
    QCOMPARE(runCli({"setup", "--port", sim.path, "--interval", "1 minute"}).code, 0);
    r = runCli({"erase", "--port", sim.path, "--yes"});
    QCOMPARE(r.code, 0);
    sim.stop();
    after = readFile(saved);
    QCOMPARE(after.mid(9, 4), QByteArray::fromHex("000000ff"));
    QCOMPARE(after.mid(13, 3), QByteArray::fromHex("0927c0")); // interval only; time kept
    QCOMPARE(after.mid(2, 7), QByteArray::fromHex("1410030709051e"));
}

// Every exit code --help lists, each from the situation it names (8, a stop by signal, is
// seen in signalEndsLiveAndDownloadAndFreesThePort; 6 in damagedMemoryStopsOrIsRepaired).
void TestCli::exitCodesAreTheDocumentedOnes() {
    const QString help = QString::fromUtf8(runCli({"--help"}).out);
    QString error;
    QVERIFY(LoggerImageBuilder::save(m_dir.filePath("codes.bin"), twoSetImage(), &error));
    const QString aFile = m_dir.filePath("plain-file");
    QVERIFY(QFile(aFile).open(QIODevice::WriteOnly));
    const struct {
        const char* what;
        QStringList meter; // metersim's options; empty: no meter
        QStringList arguments; // "PORT" stands for the meter's path
        int code;
        const char* stdoutStarts;
        const char* says = ""; // part of what standard error says
    } cases[] = {
        {"identify", {"--instant"}, {"identify", "--port", "PORT"}, 0, "122\t"},
        {"identify a model 120", {"--instant", "--model", "120"}, {"identify", "--port", "PORT"}, 0, "120\t"},
        {"the built-in meter", {}, {"identify", "--port", "Simulator"}, 0, "122\t"},
        {"an output folder that is a file", {"--instant", "--image", m_dir.filePath("codes.bin")},
         {"download", "--port", "PORT", "--out", aFile}, 1, ""},
        {"a count of 0", {}, {"live", "--count", "0"}, 2, ""},
        {"an option of another command", {}, {"download", "--probe"}, 2, ""},
        {"--header with json", {}, {"live", "--format", "json", "--header"}, 2, ""},
        {"--progress and --quiet", {}, {"erase", "--yes", "--progress", "--quiet"}, 2, ""},
        {"a silent meter", {"--instant", "--silent"}, {"identify", "--port", "PORT"}, 3, ""},
        {"a port that does not exist", {}, {"identify", "--port", m_dir.filePath("no-such-device")}, 4, ""},
        {"a file that is no serial port", {}, {"live", "--port", aFile}, 4, ""},
        {"a setup the meter does not confirm", {"--instant", "--no-echo-of", "W"},
         {"setup", "--port", "PORT", "--interval", "5s"}, 5, ""},
        {"a meter that records: download", {"--instant", "--recording"},
         {"download", "--port", "PORT", "--out", m_dir.path()}, 7, ""},
        {"a meter that records: erase", {"--instant", "--recording"}, {"erase", "--port", "PORT", "--yes"}, 7, ""},
        {"a model 120 has no logger", {"--instant", "--model", "120"},
         {"setup", "--port", "PORT", "--time", "now"}, 7, ""},
        // The port's own words for the fault, not only that there was one.
        {"the meter gone during a download",
         {"--instant", "--image", m_dir.filePath("codes.bin"), "--line-gone-after-block", "1"},
         {"download", "--port", "PORT", "--out", m_dir.filePath("gone")}, 5, "",
         "the port failed during the transfer: "},
    };
    for (const auto& c : cases) {
        MeterSimProcess sim;
        if (!c.meter.isEmpty())
            QVERIFY(sim.start(c.meter));
        QStringList arguments = c.arguments;
        arguments.replaceInStrings(QRegularExpression("^PORT$"), sim.path);
        const CliResult r = runCli(arguments);
        QVERIFY2(r.code == c.code && r.out.startsWith(c.stdoutStarts),
                 qPrintable(QStringLiteral("%1: exit %2, %3").arg(c.what).arg(r.code).arg(r.err)));
        // The code is the one --help gives for it.
        QVERIFY2(help.contains(QStringLiteral("\n  %1  ").arg(c.code)), c.what);
        if (c.code != 0)
            QVERIFY2(!r.err.isEmpty(), c.what); // a failure always says why
        QVERIFY2(r.err.contains(c.says), qPrintable(QStringLiteral("%1: %2").arg(c.what, r.err)));
    }
}

// Progress of the logger commands goes to standard error when asked for (or when that is a
// terminal), never into the data; --quiet and a pipe keep it away.
void TestCli::progressOnStandardError() {
    QString error;
    QVERIFY(LoggerImageBuilder::save(m_dir.filePath("progress.bin"), twoSetImage(), &error));
    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--image", m_dir.filePath("progress.bin")}));
    const struct {
        QStringList arguments;
        const char* shows; // nullptr: no progress at all
    } cases[] = {
        {{"download", "--out", m_dir.filePath("p1"), "--progress"}, "download: "},
        {{"download", "--out", m_dir.filePath("p2")}, nullptr},
        {{"setup", "--interval", "5s", "--progress"}, "setup: "},
        {{"erase", "--yes", "--quiet"}, nullptr},
    };
    for (const auto& c : cases) {
        const CliResult r = runCli(c.arguments + QStringList{"--port", sim.path});
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(r.out.isEmpty());
        if (c.shows) {
            QVERIFY2(r.err.contains(c.shows) && r.err.contains("calling the meter"),
                     r.err.constData());
            // Off a terminal: whole lines, no carriage returns.
            QVERIFY(!r.err.contains('\r'));
            if (c.arguments[0] == "download") // the percentage reaches 100 %
                QVERIFY2(r.err.contains("(100%)"), r.err.constData());
        } else {
            QVERIFY2(!r.err.contains("calling the meter"), r.err.constData());
        }
    }
}

void TestCli::searchSkipsTheSimulator() {
    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant"}));
    QString message;
    MeterPort::setPortListOverride(
        QStringList{MeterPort::simulatorName(), m_dir.filePath("absent"), sim.path});
    {
        MeterSession session;
        QCOMPARE(session.connect(QString(), &message), ExitCode::Ok);
        QCOMPARE(session.link().deviceName(), sim.path);
        QVERIFY(session.waitForReading(3000));
    }
    // The built-in meter alone is no meter to the search.
    MeterPort::setPortListOverride(QStringList{MeterPort::simulatorName()});
    {
        MeterSession session;
        QCOMPARE(session.connect(QString(), &message), ExitCode::NoMeter);
        QVERIFY(!session.link().portOpen());
    }
    MeterPort::setPortListOverride(std::nullopt);
}

// A meter of `live` whose adapter reports an identity (the system's list is replaced to say so)
// is read on under another port name after an unplug, with the id it started with; another
// adapter at its old name is not opened.
void TestCli::meterFollowedByItsAdaptersIdentity() {
    using Entry = SerialPortList::Entry;
    const PortIdentity meter{0x0403, 0x6001, QStringLiteral("A10K3Q2F"), QString()};
    const PortIdentity stranger{0x0403, 0x6001, QStringLiteral("B77Z01QX"), QString()};
    const QString oldPath = m_dir.filePath("usbA");
    const QString newPath = m_dir.filePath("usbB");
    MeterSimProcess first;
    QVERIFY(first.start({"--instant", "--interval", "20", "--link", oldPath}));
    SerialPortList::setOverride(QList<Entry>{{"usbA", oldPath, meter}});

    MeterSession session;
    QString message;
    QCOMPARE(session.connect(oldPath, &message), ExitCode::Ok);
    const QString id = session.printer().meterId();
    QVERIFY2(id.endsWith("_usbA-122-A10K3Q2F"), qPrintable(id));
    QVERIFY(session.waitForReading(20000));

    first.kill();
    SerialPortList::setOverride(QList<Entry>{});
    QTRY_VERIFY_WITH_TIMEOUT(!session.link().connected(), 30000);
    const qint64 readingsBefore = session.printer().readings();

    MeterSimProcess other;
    QVERIFY(other.start({"--instant", "--interval", "20", "--trace-commands", "--link", oldPath}));
    MeterSimProcess second;
    QVERIFY(second.start({"--instant", "--interval", "20", "--link", newPath}));
    SerialPortList::setOverride(
        QList<Entry>{{"usbA", oldPath, stranger}, {"usbB", newPath, meter}});
    QTRY_VERIFY_WITH_TIMEOUT(session.printer().readings() >= readingsBefore + 3, 30000);
    QCOMPARE(session.link().deviceName(), newPath);
    QCOMPARE(session.printer().meterId(), id);
    const QByteArray trace = other.process.readAllStandardOutput();
    QVERIFY2(trace.trimmed().isEmpty(), trace.constData());
}

void TestCli::signalEndsLiveAndDownloadAndFreesThePort() {
    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--interval", "20"}));
    for (int sig : {SIGINT, SIGTERM}) {
        QProcess live;
        live.setProcessEnvironment(cliEnvironment());
        live.start(cliProgram(), {"live", "--port", sim.path, "--format", "csv"});
        QVERIFY(live.waitForStarted());
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += live.readAllStandardOutput()).count('\n') >= 5, 10000);
        // The port is held while the stream runs: another run is refused.
        QCOMPARE(runCli({"identify", "--port", sim.path}).code, 4);
        ::kill(pid_t(live.processId()), sig);
        QVERIFY(live.waitForFinished(5000));
        QCOMPARE(live.exitStatus(), QProcess::NormalExit);
        QCOMPARE(live.exitCode(), 0);
        out += live.readAllStandardOutput();
        QVERIFY(out.endsWith('\n')); // no line cut short
    }
    // The port was closed: the next run opens it and reads again.
    QCOMPARE(runCli({"live", "--port", sim.path, "--count", "3"}).code, 0);

    // A download of about 40 s at the line's pace, interrupted once its transfer has begun:
    // the meter is told to stop, the live link is given back, and the meter answers again.
    MeterSimProcess big;
    QVERIFY(big.start({"--paced", "--sets", "10", "--records", "2000", "--trace-commands"}));
    QProcess download;
    download.setProcessEnvironment(cliEnvironment());
    download.start(cliProgram(), {"download", "--port", big.path, "--out", m_dir.filePath("cut")});
    QVERIFY(download.waitForStarted());
    // Interrupted once the meter was asked for its memory (its trace shows the P command).
    QByteArray trace;
    QElapsedTimer waited;
    waited.start();
    while (!trace.split('\n').contains("P") && download.state() == QProcess::Running &&
           waited.elapsed() < 60000) {
        big.process.waitForReadyRead(200);
        trace += big.process.readAllStandardOutput();
    }
    QVERIFY2(download.state() == QProcess::Running, download.readAllStandardError().constData());
    QVERIFY2(trace.split('\n').contains("P"), trace.constData());
    ::kill(pid_t(download.processId()), SIGINT);
    QVERIFY(download.waitForFinished(10000));
    QCOMPARE(download.exitCode(), 8);
    QVERIFY(!QDir(m_dir.filePath("cut")).exists());
    const CliResult again = runCli({"identify", "--port", big.path});
    QCOMPARE(again.code, 0);
    QVERIFY(again.out.startsWith("122\t"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
