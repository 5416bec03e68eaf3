// The DataLogger menu's commands: their refusals, the setup dialog, the erase question and the
// factory check window, against metersim over a pseudo-terminal.

#include "childwindow.h"
#include "dialogs.h"
#include "factorycheckwindow.h"
#include "loggercommands.h"
#include "loggerporthandover.h"
#include "loggersetupdialog.h"
#include "support/loggermetersession.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

namespace {

// Collects the message boxes and answers the questions with `answer`.
struct Boxes {
    QStringList texts;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    Boxes() {
        Dialogs::SetAnswerer([this](const Dialogs::Request& r) {
            texts += r.text;
            return answer;
        });
    }
    ~Boxes() { Dialogs::SetAnswerer({}); }
};

// What the setup dialog showed when it came up.
struct Shown {
    int items = 0, item = -2;
    QString text, dateFormat;
    QDateTime time;
};

// Runs `act` on the setup dialog once it is the modal window (within 10 s).
void onDialog(Shown* shown, std::function<void(LoggerSetupDialog*)> act) {
    auto* poll = new QTimer;
    auto* tries = new int(0);
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto* d = qobject_cast<LoggerSetupDialog*>(QApplication::activeModalWidget());
        if (!d && ++*tries < 1000)
            return;
        poll->stop();
        poll->deleteLater();
        delete tries;
        if (!d)
            return;
        *shown = {d->intervalBox->count(), d->intervalBox->currentIndex(),
                  d->intervalBox->currentText(), d->datePicker->displayFormat(),
                  QDateTime(d->datePicker->date(), d->timePicker->time())};
        act(d);
    });
    poll->start(10);
}

} // namespace

class TestLoggerCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // Without a meter, and while the meter records, every command says why in its own words
    // and leaves the live side alone; while another operation holds the device, the commands
    // that would take it do nothing at all (the erase does not even ask).
    void refusalsSendNothing() {
        RecordingLive live;
        QMdiArea area;
        LoggerCommands commands(live, &area, &area);
        commands.setTiming(fastTiming());
        Boxes boxes;
        boxes.answer = QMessageBox::Yes;
        const auto runAll = [&](bool withLoad) {
            QList<LoggerOutcome> outcomes;
            if (withLoad) {
                commands.loadData();
                outcomes += commands.lastOutcome();
            }
            commands.setUpLogger();
            outcomes += commands.lastOutcome();
            commands.eraseMemory();
            outcomes += commands.lastOutcome();
            commands.runFactoryCheck();
            outcomes += commands.lastOutcome();
            return outcomes;
        };

        live.connectedFlag = false;
        QCOMPARE(runAll(true), QList<LoggerOutcome>(4, LoggerOutcome::NotConnected));
        live.connectedFlag = true;
        live.recording = true;
        QCOMPARE(runAll(true), QList<LoggerOutcome>(4, LoggerOutcome::MeterRecording));
        const QString recording("The meter is recording data, please stop recording before %1");
        QCOMPARE(boxes.texts,
                 QStringList({"There is no connection with multimeter !",
                              "There is no connection with multimeter !",
                              "There is no connection with multimeter !", "未能偵測到電表",
                              recording.arg("loading data."), recording.arg("setting up."),
                              recording.arg("erasing memory."), "請先停止記憶"}));
        QVERIFY(commands.dataLoggerWindow());
        QVERIFY(commands.factoryCheckWindow());
        QCOMPARE(commands.factoryCheckWindow()->Lines(), QStringList());

        boxes.texts.clear();
        live.recording = false;
        {
            RecordingLive other;
            MeterPort otherPort;
            const LoggerPortHandOver holding(other, otherPort, fastTiming());
            QCOMPARE(runAll(false), QList<LoggerOutcome>(3, LoggerOutcome::DeviceBusy));
        }
        QCOMPARE(boxes.texts, QStringList());
        QCOMPARE(live.log, QStringList());
        QVERIFY(!commands.loggerPort.Active());
    }

    // The dialog shows the meter's settings (the date with its whole year), and OK writes the
    // choice; an interval no item stands for leaves "1 second" showing, and Cancel writes
    // nothing.
    void setupDialog_data() {
        QTest::addColumn<quint32>("interval");
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::newRow("10 minutes, OK") << 0x5B8D80u << 7 << "10 minutes" << true;
        QTest::newRow("800 s, Cancel") << 0x7A1200u << -1 << "1 second" << false;
    }
    void setupDialog() {
        QFETCH(quint32, interval);
        QFETCH(int, item);
        QFETCH(QString, text);
        QFETCH(bool, ok);
        MeterSession s;
        QVERIFY(s.start(headerImage(interval)));
        QMdiArea area;
        LoggerCommands commands(s.live, &area, &area);
        commands.setTiming(fastTiming());
        Boxes boxes;
        Shown shown;
        onDialog(&shown, [ok](LoggerSetupDialog* d) {
            d->intervalBox->setEditText("5 minutes");
            d->datePicker->setDate(QDate(2016, 3, 7));
            d->timePicker->setTime(QTime(9, 5, 30));
            (ok ? d->okButton : d->cancelButton)->click();
        });
        commands.setUpLogger();
        QCOMPARE(shown.items, 9);
        QCOMPARE(shown.item, item);
        QCOMPARE(shown.text, text);
        QVERIFY(shown.dateFormat.contains("yyyy"));
        QCOMPARE(shown.time, QDateTime(QDate(2016, 7, 19), QTime(10, 30)));
        const QByteArray memory = s.stop();
        if (ok) {
            QCOMPARE(boxes.texts.size(), 1);
            QVERIFY(boxes.texts[0].startsWith("Setup successfully!"));
            QCOMPARE(memory.mid(2, 14).toHex(' '), "14 10 03 07 09 05 1e 00 00 00 ff 2d c6 c0");
        } else {
            QCOMPARE(boxes.texts, QStringList());
            QCOMPARE(memory.left(256), headerImage(interval));
        }
    }

    void eraseAsksFirst() {
        MeterSession s;
        QVERIFY(s.start(headerImage(0x002710)));
        QMdiArea area;
        LoggerCommands commands(s.live, &area, &area);
        commands.setTiming(fastTiming());
        Boxes boxes;
        boxes.answer = QMessageBox::No;
        commands.eraseMemory();
        QCOMPARE(s.live.log, QStringList());
        boxes.answer = QMessageBox::Yes;
        commands.eraseMemory();
        QCOMPARE(boxes.texts,
                 QStringList({"Erase Memory ?", "Erase Memory ?", "Memory erase successfully !"}));
        QCOMPARE(s.live.log, handedBack("02 41 45 45 00 03"));
    }

    // The check window opens once; a second check restores it and starts its lines afresh.
    void factoryCheckWindow() {
        MeterSession s;
        QVERIFY(s.start(headerImage(0x002710), {"--no-echo-of", "W"}));
        QMdiArea area;
        area.resize(800, 700);
        LoggerCommands commands(s.live, &area, &area);
        commands.setTiming(fastTiming());
        const FixedTimeClock clock;
        commands.setClock(&clock);
        commands.runFactoryCheck();
        QPointer<FactoryCheckWindow> window = commands.factoryCheckWindow();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), "出廠記憶體檢查");
        QCOMPARE(window->size(), QSize(424, 525));
        QCOMPARE(window->intervalBox->text(), "1秒");
        const QStringList lines = window->Lines();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.last(), "測試記憶體10f0寫入失敗,停止測試");

        ChildWindowOf(window)->showMinimized();
        commands.runFactoryCheck();
        QCOMPARE(commands.factoryCheckWindow(), window.data());
        QVERIFY(!ChildWindowOf(window)->isMinimized());
        QCOMPARE(window->Lines(), lines);
        QCOMPARE(area.subWindowList().size(), 1);
    }
};

QTEST_MAIN(TestLoggerCommands)
#include "test_loggercommands.moc"
