// Load Data end to end: the data-logger window, its busy, progress and error windows and the
// live link, against metersim (and a silent meter the test plays) through pseudo-terminals.
#include "support/metersimprocess.h"
#include "../support/ptypair.h"
#include "dialogs.h"
#include "livelink.h"
#include "loggercommands.h"
#include "loggerimagebuilder.h"
#include "metercommand.h"
#include "chart.h"
#include "stringgrid.h"
#include "dataloggerwindow.h"
#include "portablecsv.h"
#include "busynote.h"
#include "loggerdownloadwindows.h"
#include "loggererrordialog.h"
#include "rangeprogressdialog.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QPushButton>
#include <QStandardPaths>
#include <QWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QByteArray command(char letter) {
    return QByteArray("\x02", 1) + letter + QByteArray(3, '\0') + '\x03';
}

// Answers the error dialog from a list ('F' fixed, 'R' try again, 'C' cancel; Cancel when the
// list is used up) and every message box with OK, and keeps what they said.
class Answers : public QObject {
public:
    Answers() {
        Dialogs::setAnswerer([this](const Dialogs::Request& r) {
            messages << r.text;
            return QMessageBox::Ok;
        });
        connect(&timer, &QTimer::timeout, this, [this] {
            auto* err = qobject_cast<LoggerErrorDialog*>(QApplication::activeModalWidget());
            if (!err)
                return;
            errors << err->messageLabel->text();
            fixedOffered << !err->fixedButton->isHidden();
            if (onError)
                onError();
            const char a = choices.isEmpty() ? 'C' : choices.takeFirst();
            (a == 'F'   ? err->fixedButton
             : a == 'R' ? err->retryButton
                        : err->cancelButton)
                ->click();
        });
        timer.start(10);
    }
    ~Answers() override { Dialogs::setAnswerer(nullptr); }
    QStringList messages;
    QStringList errors;
    QList<bool> fixedOffered; // "Fixed the error " was there, for each error dialog
    QList<char> choices;
    std::function<void()> onError;
    QTimer timer;
};

// The error dialog's texts: which failure it was.
const QString kErrorText = QStringLiteral("There was an error reading data from the meter: ");
const QString kBadSet = kErrorText + QStringLiteral("a data set is damaged. \"Fixed the error \" "
                                                    "keeps the data sets before it and gives up "
                                                    "the rest.");
const QString kDamaged = kErrorText + QStringLiteral("21 blocks arrived damaged and were asked "
                                                     "for again; the transfer was stopped.");
const QString kLost =
    kErrorText + QStringLiteral("the meter was lost (the port failed or was unplugged).");
const QString kSilent = kErrorText + QStringLiteral("the meter did not answer. Check that it is "
                                                    "switched on and connected.");
const QString kNoDumpEcho = kErrorText + QStringLiteral("the meter did not echo the P command.");

} // namespace

class TestLoadDataPty : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(dir.isValid());
        linkPath = dir.filePath("meter");
    }
    void init() {
        link = std::make_unique<LiveLink>();
        area = std::make_unique<QMdiArea>();
        area->resize(1000, 760);
        area->show();
        commands = std::make_unique<LoggerCommands>(*link, area.get());
        LoggerTiming timing;
        timing.settleMs = 30;
        timing.quietMs = 50;
        timing.idleWaitMs = 1000;
        timing.silenceMs = 1500; // a loaded machine may pause the meter that long
        timing.partialMs = 500;
        commands->setTiming(timing);
    }
    void cleanup() {
        commands.reset();
        area.reset();
        link.reset();
    }

    void multiSetImageShownExactlyAndLinkBack();
    void repairsHeaderAfterBadSet();
    void failuresEndWithTheDialogAndTheLinkBack();
    void silentMeterCancelHandsBack();
    void dumpNotEchoedIsNamed();
    void meterUnpluggedWhileTheDialogIsUp();
    void commandsDuringALoadAreRefused();
    void strayBytesCostOneResend_data();
    void strayBytesCostOneResend();
    void cancelKeepsTheListAndLeavesNoEmptyWindow();

private:
    // The live link on a meter the test plays, taken as connected.
    bool attachTestMeter(PtyPair& meter) {
        if (!meter.isValid())
            return false;
        link->setDeviceName(meter.path());
        link->openPort();
        if (!link->portOpen())
            return false;
        link->attachMeter(122);
        return true;
    }
    // The live link on metersim, up and decoding.
    bool connectLive(const QString& path) {
        link->setDeviceName(path);
        link->openPort();
        if (!link->portOpen())
            return false;
        link->writeToMeter(command('A'));
        return tickUntil([&] { return link->connected() && link->framesAcknowledged() > 2; },
                         20000);
    }
    bool tickUntil(const std::function<bool()>& done, int limitMs) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < limitMs) {
            QTest::qWait(20);
            link->onTick();
        }
        return done();
    }
    // After a logger command: the device is back with the live side, which decodes again.
    void verifyLinkBack() {
        QVERIFY(link->ticking());
        link->stopTicking();
        QVERIFY(!commands->loggerPort.active());
        const qint64 before = link->framesAcknowledged();
        QVERIFY(tickUntil([&] { return link->framesAcknowledged() > before + 2; }, 20000));
        QVERIFY(link->connected());
    }
    // What metersim was asked to do (--trace-commands), once it has ended: one letter a line.
    static QList<QByteArray> tracedCommands(MeterSimProcess& sim) {
        sim.stop();
        return sim.process.readAllStandardOutput().split('\n');
    }
    // The progress window of the running download, while it is up.
    static RangeProgressDialog* progressWindow() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("downloadProgress") && w->isVisible())
                return qobject_cast<RangeProgressDialog*>(w);
        return nullptr;
    }
    QString imageFile(const QByteArray& bytes) {
        const QString path = dir.filePath(QStringLiteral("image%1.bin").arg(++files));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    QTemporaryDir dir;
    QString linkPath;
    int files = 0;
    std::unique_ptr<LiveLink> link;
    std::unique_ptr<QMdiArea> area;
    std::unique_ptr<LoggerCommands> commands;
};

void TestLoadDataPty::multiSetImageShownExactlyAndLinkBack() {
    LoggerImageBuilder b;
    // DC volts at 1 s: 1.234 V, -29.1 mV (sign, range 0), OL.
    b.addSet(10000, 0xB0, 0x08, {0x14D2, 0x8123, 0x1FA0});
    // Ohm at 2 s, changing from KOhm to MOhm.
    b.addSet(20000, 0x30, 0x00, {0x15DC, 0x47D0});
    // Celsius at 100 s.
    b.addSet(1000000, 0x48, 0x00, {250});
    Answers answers;
    MeterSimProcess sim;
    // Block 1 goes out damaged once: rejected, and its resend accepted.
    QVERIFY2(sim.start({"--image", imageFile(b.blocks()), "--instant", "--interval", "20",
                        "--corrupt-block", "1", "--link", linkPath}),
             qPrintable(sim.process.readAllStandardError()));

    // Without a connection the window opens first, then says why nothing happens.
    commands->loadData();
    QVERIFY(commands->dataLoggerWindow());
    QCOMPARE(answers.messages, QStringList{"There is no connection with multimeter !"});
    QCOMPARE(commands->lastOutcome(), LoggerOutcome::NotConnected);

    QVERIFY(connectLive(linkPath));
    commands->loadData();
    QCOMPARE(commands->lastOutcome(), LoggerOutcome::Loaded);
    QCOMPARE(answers.errors, QStringList{});
    QVERIFY(commands->loggerDataLoaded());
    DataLoggerWindow* w = commands->dataLoggerWindow();
    QVERIFY(w && w->loggerDataLoaded());

    auto row = [](StringGrid* g, int r) {
        QStringList cells;
        for (int c = 0; c < g->gridColCount(); ++c)
            cells << g->cells(c, r);
        while (!cells.isEmpty() && cells.last().isEmpty())
            cells.removeLast();
        return cells;
    };
    QCOMPARE(w->dataSetList->gridRowCount(), 4);
    QCOMPARE(row(w->dataSetList, 1), (QStringList{"1", "7/19/16", "10:30:00", "DC Volt", "00:01", "3"}));
    QCOMPARE(row(w->dataSetList, 2), (QStringList{"2", "7/19/16", "10:30:03", "Ohm", "00:02", "2"}));
    QCOMPARE(row(w->dataSetList, 3),
             (QStringList{"3", "7/19/16", "10:30:07", "Temperature", "01:40", "1"}));

    QCOMPARE(w->shownSet(), 0);
    QCOMPARE(w->recordTable->gridRowCount(), 4);
    QCOMPARE(row(w->recordTable, 1), (QStringList{"1", "7/19/16", "10:30:00", "1.234", "V"}));
    QCOMPARE(row(w->recordTable, 2), (QStringList{"2", "7/19/16", "10:30:01", "-29.1", "mV"}));
    QCOMPARE(row(w->recordTable, 3), (QStringList{"3", "7/19/16", "10:30:02", "OL", "V"}));
    QCOMPARE(w->maxPanel->text(), QStringLiteral("10:30:00\t1.234V"));
    QCOMPARE(w->minPanel->text(), QStringLiteral("10:30:01\t-29.1mV"));
    QCOMPARE(w->chart->points(), 3);
    QCOMPARE(w->chart->yData(0, 1), -0.0291f);
    QCOMPARE(w->chart->valueUnit(), QStringLiteral("V"));
    QCOMPARE(w->chart->vertLineAnnotationText(0), QStringLiteral("10:30:00 1.234 V"));

    // The second set through a click in the list: drawn in MOhm, the KOhm point scaled down.
    w->dataSetList->selectRow(2, 0, 4);
    w->onDataSetClicked();
    QCOMPARE(w->shownSet(), 1);
    QCOMPARE(row(w->recordTable, 1), (QStringList{"1", "7/19/16", "10:30:03", "1.500", "KOhm"}));
    QCOMPARE(row(w->recordTable, 2), (QStringList{"2", "7/19/16", "10:30:05", "2.000", "MOhm"}));
    QCOMPARE(w->chart->valueUnit(), QStringLiteral("MOhm"));
    QCOMPARE(w->chart->yData(0, 0), 0.0015f);
    QCOMPARE(w->chart->manualMaxY(), 4.0);
    QCOMPARE(w->maxRow(), 2);
    QCOMPARE(w->minRow(), 1);
    QCOMPARE(w->maxPanel->text(), QStringLiteral("10:30:05\t2.000MOhm"));

    verifyLinkBack();
    // A second Load Data reuses the window.
    commands->loadData();
    QCOMPARE(commands->lastOutcome(), LoggerOutcome::Loaded);
    QCOMPARE(commands->dataLoggerWindow(), w);
    QCOMPARE(w->shownSet(), 0);
    verifyLinkBack();
}

void TestLoadDataPty::repairsHeaderAfterBadSet() {
    LoggerImageBuilder b;
    b.addSet(10000, 0xB0, 0x08, QList<quint16>(100, 0x1100));
    b.addSet(10000, 0xB0, 0x08, QList<quint16>(110, 0x1200));
    b.addSet(10000, 0xB0, 0x08, QList<quint16>(5, 0x1300));
    QCOMPARE(b.setAddress[2], 700);
    QByteArray image = b.blocks();
    image[700 + 10 + 2 * 5] = 0; // the third set's end marker
    const QString saved = dir.filePath("saved.bin");
    Answers answers;
    answers.choices = {'F'};
    MeterSimProcess sim;
    QVERIFY(sim.start({"--image", imageFile(image), "--instant", "--interval", "20", "--save-image",
                       saved, "--link", linkPath}));
    QVERIFY(connectLive(linkPath));

    commands->loadData();
    QCOMPARE(answers.errors, QStringList{kBadSet});
    QCOMPARE(answers.fixedOffered, QList<bool>{true});
    QCOMPARE(answers.messages,
             QStringList{"Please power off and power on meter before recording data!"});
    // The download after the repair finds the two good sets.
    QCOMPARE(commands->lastOutcome(), LoggerOutcome::Loaded);
    QCOMPARE(commands->dataLoggerWindow()->dataSets().size(), 2);
    verifyLinkBack();

    sim.stop();
    QFile f(saved);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().mid(9, 4).toHex(), QByteArray("000202bb"));
}

void TestLoadDataPty::failuresEndWithTheDialogAndTheLinkBack() {
    {
        // Every resend of block 2 is damaged: after 21 rejections the meter is stopped.
        Answers answers;
        answers.choices = {'R', 'C'};
        MeterSimProcess sim;
        QVERIFY(sim.start({"--sets", "3", "--records", "200", "--instant", "--interval", "20",
                           "--corrupt-block-always", "2", "--link", linkPath}));
        QVERIFY(connectLive(linkPath));
        commands->loadData();
        QCOMPARE(answers.errors, (QStringList{kDamaged, kDamaged}));
        QCOMPARE(answers.fixedOffered, (QList<bool>{false, false}));
        QCOMPARE(commands->lastOutcome(), LoggerOutcome::TooManyErrors);
        // The window this Load Data opened had nothing to show: it is gone again.
        QVERIFY(!commands->loggerDataLoaded());
        QVERIFY(!commands->dataLoggerWindow());
        verifyLinkBack();
    }
    {
        Answers answers;
        MeterSimProcess sim;
        QVERIFY(sim.start({"--sets", "0", "--instant", "--interval", "20", "--link", linkPath}));
        QVERIFY(connectLive(linkPath));
        commands->loadData();
        QCOMPARE(commands->lastOutcome(), LoggerOutcome::NoData);
        QCOMPARE(answers.errors, QStringList{});
        QCOMPARE(answers.messages,
                 QStringList{"There was not any data recorded in memory of meter !"});
        verifyLinkBack();
    }
    {
        // The meter goes away in the middle of the dump.
        Answers answers;
        MeterSimProcess sim;
        QVERIFY(sim.start({"--sets", "3", "--records", "400", "--instant", "--interval", "20",
                           "--line-gone-after-block", "5", "--link", linkPath}));
        QVERIFY(connectLive(linkPath));
        commands->loadData();
        QCOMPARE(commands->lastOutcome(), LoggerOutcome::PortLost);
        QCOMPARE(answers.errors, QStringList{kLost});
        QCOMPARE(answers.fixedOffered, QList<bool>{false});
        QVERIFY(link->ticking());
        link->stopTicking();
        QVERIFY(!commands->loggerPort.active());
        QVERIFY(tickUntil([&] { return !link->connected(); }, 20000));

        // It comes back at the same place: the live link finds it by itself.
        MeterSimProcess again;
        QVERIFY(again.start({"--instant", "--interval", "20", "--link", linkPath}));
        QVERIFY(
            tickUntil([&] { return link->portOpen() && link->connected(); }, 20000));
        const qint64 before = link->framesAcknowledged();
        QVERIFY(tickUntil([&] { return link->framesAcknowledged() > before + 2; }, 20000));
    }
}

void TestLoadDataPty::silentMeterCancelHandsBack() {
    // The test is a meter that answers nothing.
    PtyPair meter;
    QVERIFY(attachTestMeter(meter));
    QByteArray sent;
    QTimer collect;
    connect(&collect, &QTimer::timeout, this, [&] { sent += meter.receive(0); });
    collect.start(5);
    Answers answers;
    QElapsedTimer t;
    t.start();
    commands->loadData();
    QCOMPARE(commands->lastOutcome(), LoggerOutcome::TooShort);
    QCOMPARE(answers.errors, QStringList{kSilent});
    QCOMPARE(answers.fixedOffered, QList<bool>{false});
    QVERIFY(link->ticking());
    QVERIFY(link->portOpen());
    QTest::qWait(50);
    sent += meter.receive(50);
    // C and P were each tried three times (no echo); after Cancel the meter was told to resume.
    QCOMPARE(sent.count(command('C')), 3);
    QCOMPARE(sent.count(command('P')), 3);
    QVERIFY(sent.lastIndexOf(command('A')) > sent.lastIndexOf(command('P')));
    QVERIFY(!sent.contains(command('y')));
    link->stopTicking();
}

void TestLoadDataPty::dumpNotEchoedIsNamed() {
    // The test is a meter that echoes the open command and nothing else.
    PtyPair meter;
    QVERIFY(attachTestMeter(meter));
    QTimer echo;
    connect(&echo, &QTimer::timeout, this, [&] {
        const QByteArray got = meter.receive(0);
        for (qsizetype at = got.indexOf(command('C')); at >= 0;
             at = got.indexOf(command('C'), at + 1))
            meter.send(command('C'));
    });
    echo.start(5);
    Answers answers;
    commands->loadData();
    QCOMPARE(commands->lastOutcome(), LoggerOutcome::TooShort);
    QCOMPARE(answers.errors, QStringList{kNoDumpEcho});
    QCOMPARE(answers.fixedOffered, QList<bool>{false});
    link->stopTicking();
}

void TestLoadDataPty::meterUnpluggedWhileTheDialogIsUp() {
    // A meter that does not answer, unplugged while the error dialog is up: the live port
    // cannot open again at once, and the live link finds the meter plugged in later.
    auto meter = std::make_unique<PtyPair>();
    QVERIFY(meter->isValid());
    QFile::remove(linkPath);
    QVERIFY(QFile::link(meter->path(), linkPath));
    link->setDeviceName(linkPath);
    link->openPort();
    QVERIFY(link->portOpen());
    link->attachMeter(122);
    Answers answers;
    answers.onError = [&] {
        meter.reset();
        QFile::remove(linkPath);
    };
    commands->loadData();
    QCOMPARE(answers.errors, QStringList{kSilent});
    QVERIFY(!link->portOpen());
    QVERIFY(link->ticking());
    link->stopTicking();

    MeterSimProcess sim;
    QVERIFY(sim.start({"--instant", "--interval", "20", "--link", linkPath}));
    QVERIFY(tickUntil([&] { return link->portOpen() && link->connected(); }, 20000));
    const qint64 before = link->framesAcknowledged();
    QVERIFY(tickUntil([&] { return link->framesAcknowledged() > before + 2; }, 20000));
}

void TestLoadDataPty::commandsDuringALoadAreRefused() {
    Answers answers;
    MeterSimProcess sim;
    QVERIFY(sim.start({"--sets", "3", "--records", "200", "--instant", "--interval", "20",
                       "--trace-commands", "--link", linkPath}));
    QVERIFY(connectLive(linkPath));
    // Each command asked for while the load runs: how it ended, and the busy notes up then.
    QList<LoggerOutcome> refused;
    int notes = 0;
    const auto askAgain = [&](void (LoggerCommands::*command)()) {
        (commands.get()->*command)();
        refused << commands->lastOutcome();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("stillBusyNote") && w->isVisible())
                ++notes;
    };
    // A double click: the second click lands in the first one's wait for its new window,
    // before anything has taken the device.
    QTimer::singleShot(0, this, [&] { askAgain(&LoggerCommands::loadData); });
    // While the memory comes in, every logger command.
    QTimer during;
    connect(&during, &QTimer::timeout, this, [&] {
        if (!progressWindow())
            return;
        during.stop();
        for (auto command : {&LoggerCommands::loadData, &LoggerCommands::setUpLogger,
                             &LoggerCommands::eraseMemory, &LoggerCommands::runFactoryCheck})
            askAgain(command);
    });
    during.start(5);
    commands->loadData();
    QCOMPARE(commands->lastOutcome(), LoggerOutcome::Loaded);
    QCOMPARE(commands->dataLoggerWindow()->dataSets().size(), 3);
    QCOMPARE(refused, QList<LoggerOutcome>(5, LoggerOutcome::DeviceBusy));
    QVERIFY(notes >= 5);
    QCOMPARE(answers.errors, QStringList());
    QCOMPARE(answers.messages, QStringList());
    QVERIFY(!commands->factoryCheckWindow());
    verifyLinkBack();
    const QList<QByteArray> trace = tracedCommands(sim);
    QCOMPARE(trace.count("P"), 1);
    QCOMPARE(trace.count("E"), 0);
    QCOMPARE(trace.count("W"), 0);
}

void TestLoadDataPty::strayBytesCostOneResend_data() {
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("resends");
    QTest::newRow("5 bytes after block 2") << QStringList{"--stray-after-block", "2:5"} << 1;
    QTest::newRow("1 byte after block 0") << QStringList{"--stray-after-block", "0"} << 1;
    QTest::newRow("70 bytes after block 1") << QStringList{"--stray-after-block", "1:70"} << 1;
    // The dump starts although P is not echoed: the three tries each restart it.
    QTest::newRow("P not echoed") << QStringList{"--no-echo-of", "P"} << 1;
}

// Stray bytes on the line cost one resend, and the download is kept in the data folder: the
// image as it arrived and each set as a portable file.
void TestLoadDataPty::strayBytesCostOneResend() {
    QFETCH(QStringList, faults);
    QFETCH(int, resends);
    LoggerImageBuilder b;
    b.addSet(10000, 0xB0, 0x08, {0x14D2, 0x8123, 0x1FA0});
    b.addSet(20000, 0x30, 0x00, QList<quint16>(150, 0x15DC));
    b.addSet(1000000, 0x48, 0x00, {250});
    const QByteArray image = b.blocks();
    QDir downloads(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                   "/downloads");
    QVERIFY(downloads.removeRecursively());
    Answers answers;
    MeterSimProcess sim;
    QVERIFY(sim.start(QStringList{"--image", imageFile(image), "--instant", "--interval", "20",
                                  "--trace-commands", "--link", linkPath} +
                      faults));
    QVERIFY(connectLive(linkPath));
    commands->loadData();
    QCOMPARE(commands->lastOutcome(), LoggerOutcome::Loaded);
    QCOMPARE(answers.errors, QStringList());
    QCOMPARE(commands->dataLoggerWindow()->dataSets().size(), 3);
    verifyLinkBack();
    QCOMPARE(tracedCommands(sim).count("n"), resends);

    const QStringList kept = downloads.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(kept.size(), 1);
    QVERIFY(QDateTime::fromString(kept[0], "yyyy-MM-dd HHmmss").isValid());
    QDir folder(downloads.filePath(kept[0]));
    QCOMPARE(folder.entryList(QDir::Files),
             QStringList({"image.bin", "set001.csv", "set002.csv", "set003.csv"}));
    QFile raw(folder.filePath("image.bin"));
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QCOMPARE(raw.readAll(), image);
    QFile first(folder.filePath("set001.csv"));
    QVERIFY(first.open(QIODevice::ReadOnly));
    const int offset = QDateTime(QDate(2016, 7, 19), QTime(10, 30)).offsetFromUtc();
    const QString zone = QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+',
                                           qAbs(offset) / 3600, qAbs(offset) / 60 % 60);
    QCOMPARE(QString::fromUtf8(first.readAll()),
             QStringLiteral("row,time,value,unit,si_value,si_unit,function,coupling,range,flags\r\n"
                            "1,2016-07-19T10:30:00.000%1,1.234,V,1.234,V,DC Volt,DC,,\r\n"
                            "2,2016-07-19T10:30:01.000%1,-29.1,mV,-0.0291,V,DC Volt,DC,,\r\n"
                            "3,2016-07-19T10:30:02.000%1,OL,V,,,DC Volt,DC,,overload\r\n")
                 .arg(zone));
    QFile second(folder.filePath("set002.csv"));
    QVERIFY(second.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = second.readAll().split('\n');
    QCOMPARE(lines.size(), 152); // header, 150 records, nothing after the last CRLF
    const QByteArray firstOhms =
        QByteArray("1,2016-07-19T10:30:03.000") + zone.toLatin1() + ",1.500,KOhm,1500,Ohm,";
    QVERIFY2(lines[1].startsWith(firstOhms) && lines[1].endsWith('\r') &&
                 lines[1].count(',') == PortableCsv::ColumnCount - 1,
             lines[1].constData());
}

void TestLoadDataPty::cancelKeepsTheListAndLeavesNoEmptyWindow() {
    // The progress window is on the screen, painted, with its Cancel button, before the first
    // block is read.
    {
        LoggerDownloadWindows windows(nullptr);
        windows.transferStarting();
        RangeProgressDialog* p = windows.progressWindow();
        QVERIFY(p && p->isVisible() && p->windowHandle() && p->windowHandle()->isExposed());
        QVERIFY(p->cancelButton->isVisible());
    }
    Answers answers;
    MeterSimProcess sim;
    // At the meter's own pace: 55 blocks, about four seconds.
    QVERIFY(sim.start({"--sets", "4", "--records", "400", "--interval", "20", "--trace-commands",
                       "--link", linkPath}));
    QVERIFY(connectLive(linkPath));
    // Cancel, pressed as a user does once some blocks are in.
    QTimer canceller;
    connect(&canceller, &QTimer::timeout, this, [&] {
        RangeProgressDialog* p = progressWindow();
        if (p && p->bytesReceivedLabel->text().toInt() >= 256) {
            canceller.stop();
            QTest::mouseClick(p->cancelButton, Qt::LeftButton);
        }
    });
    canceller.start(10);
    commands->loadData();
    QCOMPARE(commands->lastOutcome(), LoggerOutcome::Cancelled);
    QVERIFY(!commands->dataLoggerWindow());
    QTRY_VERIFY_WITH_TIMEOUT(area->subWindowList().isEmpty(), 20000);
    verifyLinkBack();

    commands->loadData();
    QCOMPARE(commands->lastOutcome(), LoggerOutcome::Loaded);
    DataLoggerWindow* w = commands->dataLoggerWindow();
    QVERIFY(w);
    QCOMPARE(w->dataSets().size(), 4);
    verifyLinkBack();

    canceller.start(10);
    commands->loadData();
    QCOMPARE(commands->lastOutcome(), LoggerOutcome::Cancelled);
    QCOMPARE(commands->dataLoggerWindow(), w);
    QCOMPARE(w->dataSets().size(), 4);
    QCOMPARE(w->recordTable->gridRowCount(), 401);
    QCOMPARE(answers.errors, QStringList());
    verifyLinkBack();
    QCOMPARE(tracedCommands(sim).count("Q"), 2);
}

QTEST_MAIN(TestLoadDataPty)
#include "test_loaddata_pty.moc"
