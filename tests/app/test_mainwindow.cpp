// The main window with its real views, offscreen, against metersim over pseudo-terminals.
#include "support/metersimprocess.h"
#include "childwindow.h"
#include "datetimetext.h"
#include "dialogs.h"
#include "dataloggerwindow.h"
#include "listgraphwindow.h"
#include "listwindow.h"
#include "portablecsv.h"
#include "recordingjournal.h"
#include "recordingsdialog.h"
#include "portbackend.h"
#include "stringgrid.h"
#include "aboutbox.h"
#include "gaugewindow.h"
#include "lcdwindow.h"
#include "dataloggerwindow.h"
#include "loggercommands.h"
#include "loggermessages.h"
#include "loggerporthandover.h"
#include "rangeprogressdialog.h"
#include "loggersetupdialog.h"
#include "mainwindow.h"
#include "portselector.h"
#include "programsettings.h"
#include "helpviewer.h"
#include "recorderwindow.h"
#include "scheduledialog.h"
#include "serialportlist.h"
#include "simulatorbackend.h"
#include "statisticswindow.h"
#include "timechartsetup.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTextBrowser>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <csignal>
#include <algorithm>
#include <functional>
#include <memory>

namespace {

// Frames the scripted meter sends, in order (range, digits, function, status characters).
const QList<QByteArray> kScript = {
    "11234;00:", // 1.234 V DC, auto
    "00500;408", // -50.0 mV DC, manual
    "10000;10:", // OL V
    "207503002", // 7.50 KOhm
    "12000;08:", // 2.000 V in peak hold
};

// The limit of every wait on the program or on metersim. The waits end as soon as their
// condition holds; the limit only has to hold on a loaded two-core machine running the
// sanitized build.
constexpr int kWaitMs = 30000;

// Acts once on the dialog of class D as soon as it is the modal window (its exec() runs).
template <class D>
void answerWhenModal(QTimer& watch, QObject* context, std::function<void(D*)> act) {
    QObject::connect(&watch, &QTimer::timeout, context, [&watch, act] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        watch.stop();
        act(dialog);
    });
    watch.start(20);
}

QLabel* child(QWidget* w, const char* name) {
    auto* label = w->findChild<QLabel*>(QString::fromLatin1(name));
    if (!label)
        qFatal("no label %s", name);
    return label;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        // As the program's main() does.
        SimulatorBackend::install();
        // The journal writes into this run's own data folder.
        qputenv("QL350_DATA_DIR", settingsDir.filePath("data").toLocal8Bit());
        QFile script(settingsDir.filePath("script.txt"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        for (const auto& f : kScript)
            script.write(f + "\n");
    }
    void cleanup() {
        window.reset();
        sims.clear();
        MeterPort::setPortListOverride(std::nullopt);
        SerialPortList::setOverride(std::nullopt);
        Dialogs::setAnswerer(nullptr);
        qputenv("QL350_DATA_DIR", settingsDir.filePath("data").toLocal8Bit());
        QDir(settingsDir.filePath("data")).removeRecursively();
    }

    void startupWithoutMeter();
    void failingCommandIsReportedThroughTheDialogSeam();
    void meterOnThirdPortOfThree();
    void model120LeavesLoggerDisabled();
    void liveViewsFollowTheMeter();
    void linkLostAndBack();
    void lastPortWrittenOnCloseNotOnExit();
    void viewsCloseAndReopen();
    void simulatorIsNeverPreselected();
    void aboutBoxShowsVersion();
    void recorderFollowsTheLink();
    void scheduleButtonOpensOneDialog();
    void loggerCommandsFromTheMenu();
    void downloadKeptAndListFollowed();
    void journalKeepsEverySegmentOfARecording();
    void closingAsksEveryWindowFirst();
    void killedWhileRecordingLeavesACompleteJournal();
    void unwritableJournalIsReportedOnce();
    void shortcutsTriggerTheirCommands();
    void settingsComeBackAfterARestart();
    void portRememberedByItsAdaptersIdentity();
    void helpKeyShowsTheHelpDocument();

private:
    // Starts metersims and makes their devices the port list.
    void servePorts(const QList<QStringList>& argumentsPerPort) {
        QStringList ports;
        for (const auto& args : argumentsPerPort) {
            auto sim = std::make_unique<MeterSimProcess>();
            QVERIFY2(sim->start(args + QStringList{"--instant"}),
                     qPrintable(sim->process.readAllStandardError()));
            ports << sim->path;
            sims.push_back(std::move(sim));
        }
        MeterPort::setPortListOverride(ports);
    }
    // Creates and shows the main window and waits for the start-up to finish; the main timer is
    // then stopped so that the test drives the ticks.
    void startWindow() {
        window = std::make_unique<MainWindow>();
        window->resize(1400, 900);
        window->show();
        QTRY_VERIFY_WITH_TIMEOUT(window->startupDone(), kWaitMs);
        window->link.stopTicking();
    }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            QTest::qWait(20);
            window->link.onTick();
        }
    }
    // Ticks until `done` holds, for at most kWaitMs; whether it holds.
    bool tickUntil(const std::function<bool()>& done) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < kWaitMs)
            tick();
        return done();
    }
    QString panel(int i) const {
        return window->statusText(i);
    }

    QTemporaryDir settingsDir;
    std::unique_ptr<MainWindow> window;
    std::vector<std::unique_ptr<MeterSimProcess>> sims;
};

void TestMainWindow::startupWithoutMeter() {
    MeterPort::setPortListOverride(QStringList{});
    QElapsedTimer t;
    t.start();
    startWindow();
    QCOMPARE(panel(1), QStringLiteral("Not connected"));
    QCOMPARE(panel(0), QStringLiteral("ComPort"));
    QVERIFY(!window->link.connected());
    QVERIFY(window->loggerCommandsEnabled());
    QVERIFY(window->lcdWindow() && window->statisticsWindow() && window->gaugeWindow());
    QVERIFY(window->lcdWindow()->noConnectionVisible());
    // Views below each other on the left.
    QCOMPARE(childWindowOf(window->lcdWindow())->pos(), QPoint(0, 0));
    QCOMPARE(childWindowOf(window->statisticsWindow())->pos().y(), childWindowOf(window->lcdWindow())->height());
    QCOMPARE(window->windowTitle(), QStringLiteral("QL350"));
    qInfo("start-up without meter took %lld ms, of which 450 ms are the search's own pauses",
          t.elapsed());
}

void TestMainWindow::failingCommandIsReportedThroughTheDialogSeam() {
    MeterPort::setPortListOverride(QStringList{});
    startWindow();
    QList<Dialogs::Request> shown;
    Dialogs::setAnswerer([&](const Dialogs::Request& r) {
        shown << r;
        return QMessageBox::Ok;
    });
    // A chart template that exists but is damaged makes the recorder's Clear fail after it
    // has emptied the table: the button reports it as an error message, once.
    QFile damaged(settingsDir.filePath("graph.ghf"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("\x10\0\0\0short");
    damaged.close();
    setChartTemplatePath(damaged.fileName());
    window->recorderWindow()->recordTable->setRowCount(5);
    window->recorderWindow()->btnClear->click();
    setChartTemplatePath(QString());
    Dialogs::setAnswerer(nullptr);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, QMessageBox::Critical);
    QVERIFY2(shown[0].text.contains("graph.ghf"), qPrintable(shown[0].text));
    QCOMPARE(window->recorderWindow()->recordTable->gridRowCount(), 2);
}

void TestMainWindow::meterOnThirdPortOfThree() {
    servePorts({{"--silent"}, {"--silent"}, {"--model", "122"}});
    startWindow();
    QCOMPARE(panel(0), QStringLiteral("On Connection"));
    QCOMPARE(panel(1), sims[2]->path);
    QCOMPARE(window->link.portIndex(), 2);
    QCOMPARE(window->link.meterModel(), 122);
    QVERIFY(window->loggerCommandsEnabled());
    QVERIFY(!window->lcdWindow()->noConnectionVisible());
    QCOMPARE(window->portSelector()->box()->currentIndex(), 2);
}

void TestMainWindow::model120LeavesLoggerDisabled() {
    servePorts({{"--model", "120"}});
    startWindow();
    QCOMPARE(panel(0), QStringLiteral("On Connection"));
    QCOMPARE(window->link.meterModel(), 120);
    QVERIFY(!window->loggerCommandsEnabled());
    // Frames keep the logger commands off for a 120.
    QTRY_VERIFY_WITH_TIMEOUT(window->link.framesDecoded() > 2, kWaitMs);
    QVERIFY(!window->loggerCommandsEnabled());
}

void TestMainWindow::liveViewsFollowTheMeter() {
    servePorts({{"--script", settingsDir.filePath("script.txt"), "--interval", "300"}});
    startWindow();
    LcdWindow* lcd = window->lcdWindow();
    StatisticsWindow* status = window->statisticsWindow();
    GaugeWindow* gauge = window->gaugeWindow();
    auto digits = [lcd] {
        return QList<int>{lcd->digitCode(1), lcd->digitCode(2), lcd->digitCode(3),
                          lcd->digitCode(4)};
    };
    auto waitForCount = [this](int count) {
        QTRY_VERIFY_WITH_TIMEOUT(window->link.reading().count == count, kWaitMs);
    };

    // 1.234 V, auto range, DC.
    waitForCount(1234);
    QCOMPARE(digits(), (QList<int>{1, 2, 3, 4}));
    QVERIFY(lcd->annunciatorVisible(19)); // point after the first digit
    QVERIFY(!lcd->annunciatorVisible(20));
    QVERIFY(lcd->annunciatorVisible(32));  // V
    QVERIFY(lcd->annunciatorVisible(9));   // AUTO
    QVERIFY(lcd->annunciatorVisible(16));  // DC
    QVERIFY(!lcd->annunciatorVisible(18)); // no minus
    QCOMPARE(lcd->barWidth(), 6 * 13);
    QCOMPARE(child(status, "lblMAX")->text(), QStringLiteral("1.234"));
    QCOMPARE(child(status, "lblRange1")->text(), QStringLiteral("V"));
    QCOMPARE(gauge->labelText(5), QStringLiteral("4"));

    // -50.0 mV, manual: leading zero blanked, minus shown, labels for divisor 10.
    waitForCount(-500);
    QCOMPARE(digits(), (QList<int>{10, 5, 0, 0}));
    QVERIFY(lcd->annunciatorVisible(18));
    QVERIFY(lcd->annunciatorVisible(22));
    QVERIFY(lcd->annunciatorVisible(21)); // point before the last digit
    QVERIFY(lcd->annunciatorVisible(10)); // MANU
    QVERIFY(!lcd->annunciatorVisible(9));
    QVERIFY(lcd->annunciatorVisible(31)); // m
    QCOMPARE(child(status, "lblMIN")->text(), QStringLiteral("-50.0"));
    QCOMPARE(child(status, "lblRange2")->text(), QStringLiteral("mV"));
    QCOMPARE(gauge->labelText(5), QStringLiteral("400"));

    // Overload: blank, 0, L, blank and the OL mark.
    QTRY_VERIFY_WITH_TIMEOUT(window->link.reading().overload, kWaitMs);
    QCOMPARE(digits(), (QList<int>{10, 0, 11, 10}));
    QVERIFY(lcd->annunciatorVisible(23));

    // 7.50 KOhm.
    waitForCount(750);
    QCOMPARE(digits(), (QList<int>{10, 7, 5, 0}));
    QVERIFY(lcd->annunciatorVisible(36)); // Ohm
    QVERIFY(lcd->annunciatorVisible(35)); // k
    QVERIFY(!lcd->annunciatorVisible(23));
    QCOMPARE(gauge->labelText(5), QStringLiteral("40"));

    // Peak hold: PMAX lit, the status window's PMAX set.
    waitForCount(2000);
    QVERIFY(lcd->annunciatorVisible(6));
    QCOMPARE(child(status, "lblPMAX")->text(), QStringLiteral("2.000"));

    // Reset empties the four boxes.
    QTest::mouseClick(status->findChild<QPushButton*>("resetButton"), Qt::LeftButton);
    QVERIFY(child(status, "lblMAX")->text().isEmpty());
    QVERIFY(child(status, "lblPMIN")->text().isEmpty());
    QCOMPARE(window->link.statistics().maxCount, -1e9f);
}

void TestMainWindow::linkLostAndBack() {
    servePorts({{"--steady", "11,1,1500", "--interval", "20"}});
    startWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window->link.framesDecoded() > 2, kWaitMs);
    tick();
    // The meter stops (process paused): five ticks without frames.
    ::kill(pid_t(sims[0]->process.processId()), SIGSTOP);
    QTest::qWait(100);
    // (A reading that arrived just before the pause may still count on the first tick.)
    int ticks = 0;
    while (window->link.connected() && ticks < 10) {
        tick();
        ++ticks;
    }
    QVERIFY(!window->link.connected());
    QVERIFY2(ticks == 5 || ticks == 6, qPrintable(QString::number(ticks)));
    QCOMPARE(panel(1), QStringLiteral("No Connection"));
    QVERIFY(window->lcdWindow()->noConnectionVisible());
    QVERIFY(!window->loggerCommandsEnabled());
    // It comes back: K, identity, A, frames.
    ::kill(pid_t(sims[0]->process.processId()), SIGCONT);
    QVERIFY(tickUntil([this] { return window->link.connected(); }));
    QVERIFY(!window->lcdWindow()->noConnectionVisible());
    QVERIFY(window->loggerCommandsEnabled());
}

void TestMainWindow::lastPortWrittenOnCloseNotOnExit() {
    QSettings(QSettings::UserScope, "QL350", "QL350").clear();
    servePorts({{"--silent"}, {"--silent"}});
    startWindow();
    QCOMPARE(MainWindow::readLastConnectedPort(), 0);
    {
        const QSignalBlocker block(window->portSelector()->box());
        window->portSelector()->box()->setCurrentIndex(1);
    }
    window->close();
    QCOMPARE(MainWindow::readLastConnectedPort(), 1);

    // Exit ends the program without the close steps.
    window.reset();
    startWindow();
    QCOMPARE(window->link.portIndex(), 1); // read at start
    {
        const QSignalBlocker block(window->portSelector()->box());
        window->portSelector()->box()->setCurrentIndex(0);
    }
    // Exit runs inside the real event loop, which sends close events on quit().
    QTimer::singleShot(0, window->command("exitAction"), &QAction::trigger);
    QTimer failsafe; // Exit did nothing
    failsafe.setSingleShot(true);
    connect(&failsafe, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    failsafe.start(5000);
    QCOMPARE(QCoreApplication::exec(), 0);
    failsafe.stop();
    QVERIFY(window->isVisible());
    window.reset();
    QCOMPARE(MainWindow::readLastConnectedPort(), 1);

    // A stored index beyond the list (without a port name, as an older version left it): the
    // first port is selected when no meter answers.
    QSettings(QSettings::UserScope, "QL350", "QL350").remove("Port/Name");
    MainWindow::writeLastConnectedPort(5);
    startWindow();
    QCOMPARE(window->portSelector()->box()->currentIndex(), 0);
    QCOMPARE(panel(0), sims[0]->path);
    QCOMPARE(panel(1), QStringLiteral("Not connected"));

    // The emulator's index (the number of real ports, after the user last picked it) is out
    // of range as well: the first real port, never the emulator.
    window.reset();
    MainWindow::writeLastConnectedPort(2);
    startWindow();
    QCOMPARE(window->link.portIndex(), 0);
    QCOMPARE(window->portSelector()->box()->currentIndex(), 0);
    QCOMPARE(panel(0), sims[0]->path);
}

void TestMainWindow::viewsCloseAndReopen() {
    QSettings(QSettings::UserScope, "QL350", "QL350").clear(); // the default places
    MeterPort::setPortListOverride(QStringList{});
    startWindow();
    QMdiArea* area = window->mdiArea();
    QCOMPARE(area->subWindowList().size(), 4);
    // Beside the widest live view (the status window widens with its unit boxes).
    QCOMPARE(childWindowOf(window->recorderWindow())->pos(),
             QPoint(std::max(childWindowOf(window->lcdWindow())->width(),
                             childWindowOf(window->statisticsWindow())->width()),
                    0));
    QCOMPARE(window->recorderWindow()->size(), QSize(800, 500));

    childWindowOf(window->lcdWindow())->close();
    childWindowOf(window->statisticsWindow())->close();
    childWindowOf(window->gaugeWindow())->close();
    childWindowOf(window->recorderWindow())->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->lcdWindow() && !window->statisticsWindow() &&
                                 !window->gaugeWindow() && !window->recorderWindow(),
                             kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(area->subWindowList().size(), 0, kWaitMs);
    QVERIFY(!window->lcdWindow() && !window->statisticsWindow() && !window->gaugeWindow() &&
            !window->recorderWindow());

    window->command("lcdAction")->trigger();
    window->command("statusAction")->trigger();
    window->command("gaugeAction")->trigger();
    window->command("recorderAction")->trigger();
    QVERIFY(window->lcdWindow() && window->statisticsWindow() && window->gaugeWindow() && window->recorderWindow());
    QCOMPARE(childWindowOf(window->lcdWindow())->pos(), QPoint(0, 0));
    QCOMPARE(childWindowOf(window->statisticsWindow())->pos(), QPoint(0, 206));
    QCOMPARE(childWindowOf(window->gaugeWindow())->pos(), QPoint(0, 400));
    QCOMPARE(childWindowOf(window->recorderWindow())->pos(), QPoint(288, 0));
    QVERIFY(window->lcdWindow()->noConnectionVisible()); // not connected
    QVERIFY(!window->recorderWindow()->btnStart->isEnabled());

    // Opening an existing view restores it instead of making a second one.
    childWindowOf(window->lcdWindow())->showMinimized();
    window->command("lcdAction")->trigger();
    QVERIFY(!childWindowOf(window->lcdWindow())->isMinimized());
    QCOMPARE(area->subWindowList().size(), 4);

    // Tile puts the live views (fixed size) one above the other at the left edge and gives the
    // recorder the rest of the area; every view has a title bar.
    window->command("tileAction")->trigger();
    const QRect areaRect = area->viewport()->rect();
    QMdiSubWindow* recorderFrame = childWindowOf(window->recorderWindow());
    int y = 0, liveWidth = 0;
    for (QWidget* view : std::initializer_list<QWidget*>{
             window->lcdWindow(), window->statisticsWindow(), window->gaugeWindow()}) {
        QMdiSubWindow* sub = childWindowOf(view);
        QCOMPARE(sub->pos(), QPoint(0, y));
        QVERIFY(!(sub->windowFlags() & Qt::FramelessWindowHint));
        y += sub->height();
        liveWidth = std::max(liveWidth, sub->width());
    }
    QCOMPARE(recorderFrame->geometry(),
             QRect(liveWidth, 0, areaRect.width() - liveWidth, areaRect.height()));
}

void TestMainWindow::simulatorIsNeverPreselected() {
    // No real port: the list holds only the emulator, and it is not chosen.
    MeterPort::setPortListOverride(QStringList{});
    QSettings(QSettings::UserScope, "QL350", "QL350").clear();
    startWindow();
    QCOMPARE(window->portSelector()->box()->count(), 1);
    QCOMPARE(window->portSelector()->box()->itemText(0), QStringLiteral("Simulator"));
    QVERIFY(window->link.deviceName() != QStringLiteral("Simulator"));
    QVERIFY(!window->link.portOpen());

    // A typed path is used once it is confirmed, never per keystroke (every prefix of
    // "/dev/tty..." would otherwise be opened); one that cannot be opened says why at once.
    QStringList opened;
    MeterPort::setBackendFactory([&](const QString& path) {
        opened << path;
        return std::unique_ptr<PortBackend>();
    });
    QLineEdit* edit = window->portSelector()->box()->lineEdit();
    edit->clear();
    QTest::keyClicks(edit, "/nonexistent/ttyQL");
    QVERIFY(opened.isEmpty());
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(opened, QStringList{"/nonexistent/ttyQL"}, kWaitMs);
    QCOMPARE(panel(0), QStringLiteral("/nonexistent/ttyQL: No such device"));

    // The user types the emulator's name: the caption says so and the simulated meter comes up.
    opened.clear();
    edit->clear();
    QTest::keyClicks(edit, "Simulator");
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(window->link.portOpen(), kWaitMs);
    QTest::qWait(50);
    QCOMPARE(opened, QStringList{"Simulator"});
    MeterPort::setBackendFactory(nullptr);
    QVERIFY(window->windowTitle().contains(QStringLiteral("Simulator")));
    QVERIFY(tickUntil([this] { return window->link.framesDecoded() >= 2; }));
    QVERIFY(window->link.connected());
    QVERIFY(window->link.framesDecoded() >= 2);
}

void TestMainWindow::aboutBoxShowsVersion() {
    QPointer<AboutBox> box = new AboutBox;
    QCOMPARE(box->versionLabel->text(), QStringLiteral("4.2.0.0"));
    QCOMPARE(box->programNameLabel->text(), QStringLiteral("Mendalux for Multimeter"));
    QCOMPARE(box->windowTitle(), QStringLiteral("About Mendalux for Multimeter"));
    QCOMPARE(box->size(), QSize(303, 93));
    QVERIFY(box->windowFlags() & Qt::WindowStaysOnTopHint);
    box->show();
    // A click on the version closes the box and frees it.
    QTest::mouseClick(box->versionLabel, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), kWaitMs);
}

void TestMainWindow::recorderFollowsTheLink() {
    servePorts({{"--steady", "11,1,1500", "--interval", "20"}});
    startWindow();
    RecorderWindow* rtc = window->recorderWindow();
    QVERIFY(rtc);
    // Found at start: Start enabled, Stop disabled.
    QVERIFY(rtc->btnStart->isEnabled());
    QVERIFY(!rtc->btnStop->isEnabled());
    QTest::mouseClick(rtc->btnStart, Qt::LeftButton);
    QVERIFY(window->recorder.recording());
    QVERIFY(!rtc->btnStart->isEnabled() && rtc->btnStop->isEnabled());

    // Ticks with readings take samples at the recorder's rate (2 s: every second tick).
    for (int i = 0; i < 6; ++i) {
        QTRY_VERIFY_WITH_TIMEOUT(window->link.readingSinceTick(), kWaitMs);
        tick();
    }
    QCOMPARE(rtc->sampleCount(), 3);

    // The link is lost: both buttons off, recording stays on; back: Stop enabled again and
    // the port shown in the status bar.
    ::kill(pid_t(sims[0]->process.processId()), SIGSTOP);
    QTest::qWait(50);
    for (int i = 0; i < 10 && window->link.connected(); ++i)
        tick();
    QVERIFY(!rtc->btnStart->isEnabled() && !rtc->btnStop->isEnabled());
    QVERIFY(window->recorder.recording());
    window->setStatusText(1, QString());
    ::kill(pid_t(sims[0]->process.processId()), SIGCONT);
    QVERIFY(tickUntil([this] { return window->link.connected(); }));
    QVERIFY(!rtc->btnStart->isEnabled() && rtc->btnStop->isEnabled());
    QCOMPARE(panel(1), sims[0]->path);

    // Opened again from the menu while connected: the buttons of the running recording, port
    // shown. Its rows were never saved: closing asks first (Discard; the journal keeps them).
    QStringList asked;
    Dialogs::setAnswerer([&](const Dialogs::Request& r) {
        asked << r.text;
        return QMessageBox::Discard;
    });
    childWindowOf(rtc)->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->recorderWindow(), kWaitMs);
    QCOMPARE(asked.size(), 1);
    Dialogs::setAnswerer(nullptr);
    window->setStatusText(1, QString());
    window->command("recorderAction")->trigger();
    QVERIFY(!window->recorderWindow()->btnStart->isEnabled() && window->recorderWindow()->btnStop->isEnabled());
    QCOMPARE(window->recorderWindow()->sampleCount(), 0);
    QCOMPARE(panel(1), sims[0]->path);
}

void TestMainWindow::scheduleButtonOpensOneDialog() {
    MeterPort::setPortListOverride(QStringList{});
    startWindow();
    QTest::mouseClick(window->findChild<QToolButton*>("scheduleButton"), Qt::LeftButton);
    QPointer<ScheduleDialog> first = window->scheduleDialog();
    QVERIFY(first && first->isVisible());
    // Opened for the first time it shows the program's start-up time in all four pickers.
    const auto started = DateTimeText::parse(window->recorder.schedule().startText());
    QVERIFY(started);
    QCOMPARE(first->startDateEdit->date(), started->date());
    QCOMPARE(first->stopTimeEdit->time().toString(), started->time().toString());
    QVERIFY(qAbs(started->secsTo(QDateTime::currentDateTime())) < 60);
    QCOMPARE(first->windowTitle(), QStringLiteral("Real Time Data Recorder Schedule"));
    QTest::mouseClick(window->findChild<QToolButton*>("scheduleButton"), Qt::LeftButton);
    QCOMPARE(window->scheduleDialog(), first.data()); // the same dialog, not a second one
    first->close();
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), kWaitMs);
}

void TestMainWindow::loggerCommandsFromTheMenu() {
    // The DataLogger menu by keyboard, as a user opens it (Alt+D, then the item's letter), with
    // a meter on a pseudo-terminal that saves its memory when it ends.
    const QString image = settingsDir.filePath("memory.bin");
    QFile::remove(image);
    servePorts({{"--steady", "11,1,1500", "--interval", "50", "--save-image", image}});
    startWindow();
    QVERIFY(window->link.connected());
    // Whether the menu opened; the command runs to its end inside the item's key press, its
    // dialogs answered below. (The window is activated again: a closed dialog leaves none.)
    auto chooseFromMenu = [this](Qt::Key item) {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get(), kWaitMs))
            return false;
        QTest::keyClick(window.get(), Qt::Key_D, Qt::AltModifier);
        if (!QTest::qWaitFor(
                [this] { return QApplication::activePopupWidget() == window->findChild<QMenu*>(QStringLiteral("loggerMenu")); },
                kWaitMs))
            return false;
        QTest::keyClick(window->findChild<QMenu*>(QStringLiteral("loggerMenu")), item);
        return true;
    };
    QStringList told;
    Dialogs::setAnswerer([&](const Dialogs::Request& r) {
        told << r.text;
        return r.buttons.testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
    });
    // The setup dialog, once it is the modal window: what it shows, then 5 seconds and OK.
    QString shownInterval;
    QTimer dialogWatch;
    answerWhenModal<LoggerSetupDialog>(dialogWatch, this, [&](LoggerSetupDialog* dialog) {
        shownInterval = dialog->intervalBox->currentText();
        dialog->intervalBox->setCurrentText(QStringLiteral("5 seconds"));
        dialog->okButton->click();
    });

    auto linkIsBack = [this] {
        const qint64 before = window->link.framesDecoded();
        return QTest::qWaitFor(
            [&] {
                return window->link.connected() && window->link.framesDecoded() > before + 2;
            },
            kWaitMs);
    };
    QVERIFY(chooseFromMenu(Qt::Key_S));
    QCOMPARE(shownInterval, QStringLiteral("1 second")); // the demo memory's interval
    QCOMPARE(told, QStringList{loggerMessage(LoggerOperation::Setup, LoggerOutcome::Written)});
    QVERIFY(linkIsBack());

    // Erase Memory asks first; No leaves the memory as it is.
    told.clear();
    QVERIFY(chooseFromMenu(Qt::Key_E));
    QCOMPARE(told, QStringList{QStringLiteral(
                       "The meter holds 5 data sets, 430 records, not downloaded yet. Erase them?")});
    QVERIFY(linkIsBack());
    Dialogs::setAnswerer(nullptr);

    // The meter holds the new interval (in 100-us units) and still its five sets.
    sims[0]->stop();
    QFile saved(image);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray memory = saved.readAll();
    QCOMPARE(memory.size(), 65536);
    QCOMPARE((quint8(memory[13]) << 16) | (quint8(memory[14]) << 8) | quint8(memory[15]), 50000);
    QVERIFY(memory.mid(256, 256) != QByteArray(256, '\xFF'));
}

void TestMainWindow::downloadKeptAndListFollowed() {
    QDir downloads(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                   QStringLiteral("/downloads"));
    QVERIFY(downloads.removeRecursively());
    servePorts({{"--interval", "50", "--trace-commands"}});
    startWindow();
    QVERIFY(window->link.connected());
    auto* commands = window->findChild<LoggerCommands*>(QStringLiteral("loggerCommands"));
    QVERIFY(commands);
    QList<Dialogs::Request> asked;
    Dialogs::setAnswerer([&](const Dialogs::Request& r) {
        asked << r;
        return r.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
    const auto idle = [&] { return !LoggerPortHandOver::inUse() && window->link.ticking(); };

    // A double click on Load Data: two clicks, one download.
    auto* button = window->findChild<QToolButton*>(QStringLiteral("loadDataButton"));
    QVERIFY(button && button->isEnabled());
    QSignalSpy clicks(button, &QToolButton::clicked);
    // Queued as the system delivers one: press, release, the second press as a double click,
    // release. The first click's command is running by the time the second click arrives.
    const QPoint centre = button->rect().center();
    for (const auto& [type, buttons] :
         {std::pair{QEvent::MouseButtonPress, Qt::LeftButton},
          std::pair{QEvent::MouseButtonRelease, Qt::NoButton},
          std::pair{QEvent::MouseButtonDblClick, Qt::LeftButton},
          std::pair{QEvent::MouseButtonRelease, Qt::NoButton}})
        QCoreApplication::postEvent(
            button, new QMouseEvent(type, centre, button->mapToGlobal(centre), Qt::LeftButton,
                                    buttons, Qt::NoModifier));
    QTRY_COMPARE_WITH_TIMEOUT(clicks.count(), 2, kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(commands->lastOutcome() == LoggerOutcome::Loaded && idle(), kWaitMs);
    DataLoggerWindow* logger = commands->dataLoggerWindow();
    QVERIFY(logger);
    QCOMPARE(logger->dataSets().size(), 5);
    QCOMPARE(asked.size(), 0);

    // The download is kept: the image and one file per set.
    const QStringList kept = downloads.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(kept.size(), 1);
    QCOMPARE(QDir(downloads.filePath(kept[0])).entryList(QDir::Files),
             QStringList({"image.bin", "set001.csv", "set002.csv", "set003.csv", "set004.csv",
                          "set005.csv"}));

    // Down in the list shows the second set, and Save writes it.
    QCOMPARE(logger->shownSet(), 0);
    logger->dataSetList->setFocus();
    QTest::keyClick(logger->dataSetList, Qt::Key_Down);
    QCOMPARE(logger->shownSet(), 1);
    QCOMPARE(logger->recordTable->gridRowCount(), logger->dataSets()[1].recordCount + 1);
    const QString firstValue = logger->recordTable->cells(3, 1) + QLatin1Char('\t') +
                               logger->recordTable->cells(4, 1);
    QVERIFY(firstValue.endsWith(QStringLiteral("KOhm")));
    const QString savedPath = settingsDir.filePath(QStringLiteral("second set.txt"));
    Dialogs::setFileAnswerer([&](const Dialogs::FileRequest&) { return savedPath; });
    QTimer rangeWatch;
    connect(&rangeWatch, &QTimer::timeout, this, [&] {
        if (auto* picker = qobject_cast<RangeProgressDialog*>(QApplication::activeModalWidget()))
            picker->okButton->click();
    });
    rangeWatch.start(20);
    window->findChild<QAction*>(QStringLiteral("saveAction"))->trigger();
    rangeWatch.stop();
    Dialogs::setFileAnswerer(nullptr);
    QFile saved(savedPath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QString savedText = QString::fromUtf8(saved.readAll());
    QVERIFY2(savedText.contains(QStringLiteral("KOhm")), qPrintable(savedText.left(300)));
    // Every record of the second set, and no volts of the first one.
    QVERIFY(savedText.count(QStringLiteral("Ohm")) >= logger->dataSets()[1].recordCount - 6);
    QVERIFY(!savedText.contains(QStringLiteral("\tV\t")) && !savedText.contains(QStringLiteral("\tV\r")) &&
            !savedText.contains(QStringLiteral("\tV\n")));

    // Erase names what the meter holds (downloaded, so not "not downloaded yet"), with No as
    // the default; afterwards the window says its data is no longer in the meter.
    window->findChild<QAction*>(QStringLiteral("eraseMemoryAction"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(commands->lastOutcome() == LoggerOutcome::Erased && idle(), kWaitMs);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked[0].text,
             QStringLiteral("The meter holds 5 data sets, 430 records. Erase them?"));
    QCOMPARE(asked[0].defaultButton, QMessageBox::No);
    QVERIFY(logger->windowTitle().contains(QStringLiteral("erased from the meter")));
    Dialogs::setAnswerer(nullptr);

    // One dump for the download, one header read for the erase, one erase.
    sims[0]->stop();
    const QList<QByteArray> trace = sims[0]->process.readAllStandardOutput().split('\n');
    QCOMPARE(trace.count("P"), 2);
    QCOMPARE(trace.count("E"), 1);
}

namespace {

// The rows of a journal file as the recorder's table shows them: date, time, value, unit.
QList<QStringList> journalRows(const QString& path) {
    QList<QStringList> rows;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    file.readLine(); // header
    while (!file.atEnd()) {
        const QList<QByteArray> f = PortableCsv::splitLine(file.readLine());
        const auto when = PortableCsv::parseTime(f.value(PortableCsv::Time));
        const QDateTime local = when ? when->toLocalTime() : QDateTime();
        rows << QStringList{DateTimeText::dateString(local.date()),
                            DateTimeText::timeString(local.time()),
                            QString::fromUtf8(f.value(PortableCsv::Value)),
                            QString::fromUtf8(f.value(PortableCsv::Unit))};
    }
    return rows;
}

QString recordingsFolder() {
    return RecordingJournal::defaultFolder();
}

} // namespace

void TestMainWindow::journalKeepsEverySegmentOfARecording() {
    // Volts, millivolts and an overload, then ohms (a change of function), then volts again.
    servePorts({{"--script", settingsDir.filePath("script.txt"), "--interval", "150"}});
    startWindow();
    RecorderWindow* rtc = window->recorderWindow();
    // What the table showed, segment by segment: a change of function empties it.
    QList<QList<QStringList>> segments{{}};
    connect(&window->recorder, &Recorder::sampleTaken, rtc, [&](const RecorderSample& s) {
        QStringList row;
        for (int c = 1; c <= 4; ++c)
            row << rtc->recordTable->cells(c, s.number);
        segments.last() << row;
    });
    connect(&window->recorder, &Recorder::functionChanged, rtc, [&] {
        if (!segments.last().isEmpty())
            segments << QList<QStringList>{};
    });
    window->recorder.setRecordInterval(1);
    rtc->btnStart->click();
    QVERIFY(tickUntil([&] { return segments.size() >= 3 && !segments[2].isEmpty(); }));
    rtc->btnStop->click();
    window->journal.flush();

    // One file per segment, oldest first, row for row what the table showed.
    QList<RecordingJournal::FileEntry> files = RecordingJournal::listFiles(recordingsFolder());
    std::reverse(files.begin(), files.end());
    QCOMPARE(files.size(), segments.size());
    for (qsizetype i = 0; i < files.size(); ++i)
        QCOMPARE(journalRows(files[i].path), segments[i]);
    QCOMPARE(files[1].summary.unit, QStringLiteral("KOhm"));
    QCOMPARE(files.last().state, RecordingJournal::FileEntry::State::Recording);

    // File > Recordings lists them newest first and opens the oldest in a list window.
    int listed = 0;
    QString firstStart;
    QTimer dialogWatch;
    answerWhenModal<RecordingsDialog>(dialogWatch, this, [&](RecordingsDialog* dialog) {
        listed = dialog->fileList->topLevelItemCount();
        QTreeWidgetItem* oldest = dialog->fileList->topLevelItem(listed - 1);
        firstStart = oldest->text(0);
        dialog->fileList->setCurrentItem(oldest);
        dialog->openButton->click();
    });
    window->command("recordingsAction")->trigger();
    QCOMPARE(listed, files.size());
    QCOMPARE(firstStart, segments[0][0][0] + u' ' + segments[0][0][1]);
    auto* list = qobject_cast<ListWindow*>(window->mdiArea()->activeSubWindow()->widget());
    QVERIFY(list);
    QCOMPARE(list->recordTable->gridRowCount(), segments[0].size() + 1);
    for (qsizetype r = 0; r < segments[0].size(); ++r)
        for (int c = 1; c <= 4; ++c)
            QCOMPARE(list->recordTable->cells(c, int(r + 1)), segments[0][r][c - 1]);
    // ... and it graphs like any list.
    window->findChild<QToolButton*>("listToGraphButton")->click();
    QVERIFY(qobject_cast<ListGraphWindow*>(window->mdiArea()->activeSubWindow()->widget()));
}

void TestMainWindow::closingAsksEveryWindowFirst() {
    servePorts({{"--steady", "11,1,1500", "--interval", "50", "--model", "122"}});
    startWindow();
    MainWindow::writeLastConnectedPort(7);
    RecorderWindow* rtc = window->recorderWindow();
    window->recorder.setRecordInterval(1);
    rtc->btnStart->click();
    QVERIFY(tickUntil([&] { return rtc->sampleCount() >= 3; }));
    rtc->btnStop->click();
    const int rows = rtc->sampleCount();

    // The logger's memory, downloaded.
    QStringList told;
    QList<QMessageBox::StandardButton> answers;
    Dialogs::setAnswerer([&](const Dialogs::Request& r) {
        told << r.text;
        return answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
    });
    window->command("loadDataAction")->trigger();
    DataLoggerWindow* logger = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((logger = window->findChild<DataLoggerWindow*>()) &&
                                 logger->loggerDataLoaded(),
                             kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(window->link.connected(), kWaitMs);
    told.clear();

    // The close box asks the recorder, then the logger; Cancel there keeps everything.
    answers = {QMessageBox::Discard, QMessageBox::Cancel};
    QVERIFY(!window->close());
    QCOMPARE(told.size(), 2);
    QVERIFY2(told[0].startsWith(QStringLiteral("Save the recording of %1 rows?").arg(rows)),
             qPrintable(told[0]));
    QVERIFY2(told[0].contains(QDir::toNativeSeparators(recordingsFolder())), qPrintable(told[0]));
    QCOMPARE(told[1], QStringLiteral("Save DataLogger Data ?"));
    QVERIFY(window->isVisible());
    QCOMPARE(window->recorderWindow(), rtc);
    QCOMPARE(rtc->sampleCount(), rows);
    QVERIFY(window->findChild<DataLoggerWindow*>());
    QCOMPARE(MainWindow::readLastConnectedPort(), 7); // no close step ran

    // The recorder window closed alone asks too.
    told.clear();
    answers = {QMessageBox::Cancel};
    QVERIFY(!childWindowOf(rtc)->close());
    QCOMPARE(told.size(), 1);
    QVERIFY(window->recorderWindow());

    // Exit asks the same; Cancel keeps the program running.
    told.clear();
    answers = {QMessageBox::Cancel};
    // The loop is told to end with 3 first: Exit, when it ends the program, makes that 0.
    const auto exitInTheLoop = [this] {
        QTimer::singleShot(0, window->command("exitAction"), [this] {
            QCoreApplication::exit(3);
            window->command("exitAction")->trigger();
        });
        return QCoreApplication::exec();
    };
    QCOMPARE(exitInTheLoop(), 3);
    QCOMPARE(told.size(), 1);

    // Answered Discard and No, Exit ends the program and leaves the stored port as it was.
    told.clear();
    answers = {QMessageBox::Discard, QMessageBox::No};
    QCOMPARE(exitInTheLoop(), 0);
    QCOMPARE(told.size(), 2);
    QCOMPARE(MainWindow::readLastConnectedPort(), 7);
}

void TestMainWindow::killedWhileRecordingLeavesACompleteJournal() {
    servePorts({{"--steady", "11,1,1500", "--interval", "100"}});
    const QString dataDir = settingsDir.filePath("crashed");
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QL350_DATA_DIR", dataDir);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(qEnvironmentVariable("QL_BIN_DIR") + "/recordingdriver", {sims[0]->path});
    QVERIFY(program.waitForStarted(kWaitMs));
    // The samples it reports having taken.
    int taken = 0;
    const auto readSamples = [&] {
        while (program.canReadLine()) {
            const QByteArray line = program.readLine().trimmed();
            if (line.startsWith("sample "))
                taken = line.mid(7).toInt();
        }
    };
    QElapsedTimer t;
    t.start();
    while (taken < 4 && t.elapsed() < 2 * kWaitMs) {
        program.waitForReadyRead(1000);
        readSamples();
    }
    QCOMPARE(taken, 4);
    const int takenBeforeKill = taken;
    ::kill(pid_t(program.processId()), SIGKILL);
    QVERIFY(program.waitForFinished(kWaitMs));
    readSamples();

    // One file left open; every row in it whole, numbered without a gap, and at most the
    // last second short.
    const QDir recordings(dataDir + "/recordings");
    const QStringList open = recordings.entryList({"*.csv.open"}, QDir::Files);
    QCOMPARE(open.size(), 1);
    QFile file(recordings.filePath(open[0]));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    file.close();
    QVERIFY(text.startsWith(PortableCsv::header()));
    QVERIFY(text.endsWith("\r\n"));
    QList<QByteArray> lines = text.split('\n');
    lines.removeFirst();
    lines.removeLast();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QList<QByteArray> f = PortableCsv::splitLine(lines[i]);
        QCOMPARE(f.size(), PortableCsv::ColumnCount);
        QCOMPARE(f[PortableCsv::Row].toLongLong(), i + 1);
        QVERIFY(PortableCsv::parseTime(f[PortableCsv::Time]));
        QCOMPARE(f[PortableCsv::SiUnit], QByteArray("V"));
    }
    qInfo("killed after %d samples (%d reported in all): %lld whole rows in the journal",
          takenBeforeKill, taken, qint64(lines.size()));
    QVERIFY2(lines.size() >= takenBeforeKill - 1 && lines.size() <= taken,
             qPrintable(QStringLiteral("%1 rows, %2 samples before the kill, %3 in all")
                            .arg(lines.size())
                            .arg(takenBeforeKill)
                            .arg(taken)));

    // The next start recovers it, says so once, and lists it as recovered.
    qputenv("QL350_DATA_DIR", dataDir.toLocal8Bit());
    MeterPort::setPortListOverride(QStringList{});
    startWindow();
    const QString recovered =
        recordings.filePath(open[0].chopped(QStringLiteral(".csv.open").size()) +
                            "-recovered.csv");
    QVERIFY2(panel(0).contains(QDir::toNativeSeparators(recovered)), qPrintable(panel(0)));
    QVERIFY(QFile::exists(recovered));
    const auto listed = RecordingJournal::listFiles(recordings.path());
    QCOMPARE(listed.size(), 1);
    QCOMPARE(listed[0].state, RecordingJournal::FileEntry::State::Recovered);
    QCOMPARE(listed[0].summary.rows, lines.size());
    window.reset();
    startWindow();
    QVERIFY(!panel(0).contains(QStringLiteral("Recovered")));
}

void TestMainWindow::unwritableJournalIsReportedOnce() {
    // Where the recordings folder should be lies a file: the folder cannot be made.
    const QString dataDir = settingsDir.filePath("blocked");
    QVERIFY(QDir().mkpath(dataDir));
    QFile blocker(dataDir + "/recordings");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("QL350_DATA_DIR", dataDir.toLocal8Bit());
    servePorts({{"--steady", "11,1,1500", "--interval", "50"}});
    startWindow();
    QSignalSpy failed(&window->journal, &RecordingJournal::writeFailed);
    RecorderWindow* rtc = window->recorderWindow();
    window->recorder.setRecordInterval(1);
    rtc->btnStart->click();
    QVERIFY(tickUntil([&] { return rtc->sampleCount() >= 3; }));
    QCOMPARE(failed.size(), 1);
    QVERIFY2(panel(0).contains(QStringLiteral("recording goes on")), qPrintable(panel(0)));
    // Emptied and recording on: still one report, and the table fills as before.
    rtc->btnClear->click();
    QVERIFY(tickUntil([&] { return rtc->sampleCount() >= 3; }));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(rtc->recordTable->gridRowCount(), rtc->sampleCount() + 1);
    // With nothing in the journal, the closing question names no journal file.
    QStringList told;
    Dialogs::setAnswerer([&](const Dialogs::Request& r) {
        told << r.text;
        return QMessageBox::Discard;
    });
    QVERIFY(window->askChildrenToClose());
    QCOMPARE(told.size(), 1);
    QVERIFY(!told[0].contains(QStringLiteral("journal")));
}

// The standard keys reach their commands (each command's own work is tested elsewhere: here
// its handlers are taken off so that a key runs nothing but the command). Every menu and
// every item in it has a mnemonic.
void TestMainWindow::shortcutsTriggerTheirCommands() {
    MeterPort::setPortListOverride(QStringList{});
    startWindow();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get(), kWaitMs));
    const struct {
        QKeySequence keys;
        const char* command;
    } table[] = {
        {QKeySequence::Open, "openAction"},      {QKeySequence::Save, "saveAction"},
        {QKeySequence::Print, "printAction"},
        {QKeySequence::keyBindings(QKeySequence::Quit).value(0, QKeySequence(Qt::CTRL | Qt::Key_Q)),
         "exitAction"},
        {QKeySequence::HelpContents, "helpAction"}, {QKeySequence(Qt::Key_F5), "loadDataAction"},
    };
    for (const auto& row : table) {
        QAction* action = window->command(row.command);
        QVERIFY2(action, row.command);
        QVERIFY2(!row.keys.isEmpty(), row.command);
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        action->setEnabled(true);
        QSignalSpy triggered(action, &QAction::triggered);
        QTest::keySequence(window.get(), row.keys);
        QVERIFY2(triggered.count() == 1,
                 qPrintable(QString("%1 (%2) triggered %3 times")
                                .arg(row.command, row.keys.toString())
                                .arg(triggered.count())));
    }
    for (QAction* menu : window->menuBar()->actions()) {
        if (!menu->isVisible() || !menu->menu())
            continue;
        QVERIFY2(menu->text().contains('&'), qPrintable(menu->text()));
        for (QAction* item : menu->menu()->actions()) {
            if (!item->isSeparator() && item->isVisible() && !item->menu())
                QVERIFY2(item->text().contains('&'), qPrintable(item->text()));
        }
    }
    // The View items are ticked while their windows are open.
    QAction* gauge = window->command("gaugeAction");
    QVERIFY(gauge->isCheckable() && gauge->isChecked());
    childWindowOf(window->gaugeWindow())->close();
    QTRY_VERIFY_WITH_TIMEOUT(!gauge->isChecked(), kWaitMs);
    gauge->trigger();
    QVERIFY(window->gaugeWindow());
    QVERIFY(gauge->isChecked());
}

// What the user chose comes back at the next start: a typed pseudo-terminal path (and the
// meter on it), the recorder's rate, the main window's and the recorder's frames. What no
// longer fits falls back quietly: a port that is gone, a frame outside the window area.
void TestMainWindow::settingsComeBackAfterARestart() {
    QSettings(QSettings::UserScope, "QL350", "QL350").clear();
    // A link that metersim removes when it ends: a pseudo-terminal's own number may be
    // reused by another program at once.
    const QString path = settingsDir.filePath("ttyMeter");
    servePorts({{"--model", "122", "--link", path}});
    MeterPort::setPortListOverride(QStringList{}); // reached only by typing its path
    startWindow();
    QVERIFY(!window->link.connected());
    window->portSelector()->choosePort(path);
    QTRY_VERIFY_WITH_TIMEOUT(window->link.portOpen(), kWaitMs);
    QVERIFY(tickUntil([this] { return window->link.connected(); }));
    QCOMPARE(panel(1), path);
    window->recorder.setRecordInterval(5);
    QMdiSubWindow* recorderFrame = childWindowOf(window->recorderWindow());
    const QRect frame(310, 20, 640, 420);
    recorderFrame->setGeometry(frame);
    window->resize(1300, 850);
    const QSize mainSize = window->size();
    window->close();
    window.reset();
    QCOMPARE(ProgramSettings::portName(), path);
    // The index under the older key names the same port: the path joined the list.
    QCOMPARE(MainWindow::readLastConnectedPort(), 0);

    // The start-up search calls the remembered path and finds the meter there.
    startWindow();
    QCOMPARE(window->portSelector()->portText(), path);
    QCOMPARE(window->link.deviceName(), path);
    QVERIFY(window->link.connected());
    QCOMPARE(panel(1), path);
    QCOMPARE(window->recorder.recordInterval(), 5);
    QCOMPARE(childWindowOf(window->recorderWindow())->geometry(), frame);
    window->hide();
    QVERIFY(window->restoreSavedGeometry());
    QCOMPARE(window->size(), mainSize);
    window.reset();

    // The port is gone and the recorder's frame lies outside the area: the program starts as
    // without them, and says nothing about it.
    sims.clear();
    QVERIFY(!QFile::exists(path));
    ProgramSettings::setChildGeometry("Recorder", QRect(5000, 3000, 800, 500));
    QList<Dialogs::Request> shown;
    Dialogs::setAnswerer([&](const Dialogs::Request& r) {
        shown << r;
        return QMessageBox::Ok;
    });
    startWindow();
    QVERIFY(shown.isEmpty());
    QVERIFY(!window->link.connected());
    QCOMPARE(window->portSelector()->box()->findText(path), -1);
    const QRect area = window->mdiArea()->viewport()->rect();
    QVERIFY(area.contains(childWindowOf(window->recorderWindow())->geometry()));
    QCOMPARE(window->recorder.recordInterval(), 5);
}

// Two adapters that report their identities (the system's list is replaced to say so) swap
// their names between two runs: the program preselects the port of the adapter it used last
// time, under its new name.
void TestMainWindow::portRememberedByItsAdaptersIdentity() {
    QSettings(QSettings::UserScope, "QL350", "QL350").clear();
    const PortIdentity meter{0x0403, 0x6001, QStringLiteral("A10K3Q2F"),
                             QStringLiteral("/dev/serial/by-id/usb-FTDI_A10K3Q2F-if00-port0")};
    const PortIdentity other{0x0403, 0x6001, QStringLiteral("B77Z01QX"), QString()};
    const QString pathA = settingsDir.filePath("ttyA");
    const QString pathB = settingsDir.filePath("ttyB");
    for (const QString& path : {pathA, pathB}) {
        auto sim = std::make_unique<MeterSimProcess>();
        QVERIFY(sim->start({"--silent", "--instant", "--link", path}));
        sims.push_back(std::move(sim));
    }
    using Entry = SerialPortList::Entry;
    SerialPortList::setOverride(QList<Entry>{{"ttyA", pathA, meter}, {"ttyB", pathB, other}});
    startWindow();
    QCOMPARE(window->portSelector()->portText(), QStringLiteral("ttyA"));
    QCOMPARE(window->link.deviceName(), pathA);
    QVERIFY(window->link.portOpen());
    window->close();
    window.reset();
    QCOMPARE(ProgramSettings::portName(), QStringLiteral("ttyA"));
    const PortIdentity kept = ProgramSettings::portIdentity();
    QVERIFY(kept == meter);
    QCOMPARE(kept.byIdPath, meter.byIdPath);

    // Plugged in the other way round.
    SerialPortList::setOverride(QList<Entry>{{"ttyA", pathA, other}, {"ttyB", pathB, meter}});
    startWindow();
    QCOMPARE(window->portSelector()->portText(), QStringLiteral("ttyB"));
    QCOMPARE(window->link.deviceName(), pathB);
    QCOMPARE(window->link.portIndex(), 1);
    window->close();
    window.reset();
    QCOMPARE(ProgramSettings::portName(), QStringLiteral("ttyB"));

    // A port without identity leaves none behind to steer the next start.
    SerialPortList::setOverride(QList<Entry>{{"ttyA", pathA, other}, {"ttyB", pathB, {}}});
    startWindow();
    QCOMPARE(window->link.deviceName(), pathB);
    window->close();
    window.reset();
    QVERIFY(!ProgramSettings::portIdentity().isKnown());
    QVERIFY(!QSettings(QSettings::UserScope, "QL350", "QL350").contains("Port/Serial"));
}

// F1 opens the help viewer with the help document (found beside the program in the build
// tree); asking again shows the same viewer.
void TestMainWindow::helpKeyShowsTheHelpDocument() {
    MeterPort::setPortListOverride(QStringList{});
    startWindow();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get(), kWaitMs));
    QVERIFY(!window->helpViewer());
    QTest::keySequence(window.get(), QKeySequence::HelpContents);
    QPointer<HelpViewer> viewer = window->helpViewer();
    QVERIFY(viewer);
    QTRY_VERIFY_WITH_TIMEOUT(viewer->isVisible(), kWaitMs);
    QVERIFY2(viewer->documentPath().endsWith(HelpViewer::documentName),
             qPrintable(viewer->documentPath()));
    const QString text = viewer->browser()->toPlainText();
    QVERIFY2(text.contains("Connecting the meter") && text.contains("Troubleshooting"),
             qPrintable(text.left(300)));
    window->command("helpAction")->trigger();
    QCOMPARE(window->helpViewer(), viewer.data());
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
