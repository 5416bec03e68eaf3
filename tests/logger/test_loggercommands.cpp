// The DataLogger menu's commands: their refusals, the setup dialog, the erase question and the
// factory check window, against metersim over a pseudo-terminal.

#include "childwindow.h"
#include "dataloggerwindow.h"
#include "dialogs.h"
#include "factorycheckwindow.h"
#include "loggercommands.h"
#include "loggerimagebuilder.h"
#include "loggerparse.h"
#include "loggerporthandover.h"
#include "loggersetupdialog.h"
#include "support/loggermetersession.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
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
        Dialogs::setAnswerer([this](const Dialogs::Request& r) {
            texts += r.text;
            return answer;
        });
    }
    ~Boxes() { Dialogs::setAnswerer({}); }
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
        QCOMPARE(commands.factoryCheckWindow()->lines(), QStringList());

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
        QVERIFY(!commands.loggerPort.active());
    }

    // The dialog shows the meter's settings (the date with its whole year); an interval that
    // is none of the nine choices is shown as its own item and written back unchanged. A text
    // that is no interval keeps the dialog open with the text selected; OK then writes the
    // choice, and Cancel writes nothing.
    void setupDialog_data() {
        QTest::addColumn<quint32>("interval");
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("typed"); // empty: the interval is left as shown
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("written"); // bytes 2..15 after OK
        QTest::newRow("10 minutes, 5 minutes typed")
            << 0x5B8D80u << 7 << "10 minutes" << "5 minutes" << true
            << QByteArray("14 10 03 07 09 05 1e 00 00 00 ff 2d c6 c0");
        QTest::newRow("800 s kept") << 0x7A1200u << 8 << "800 seconds" << QString() << true
                                    << QByteArray("14 10 03 07 09 05 1e 00 00 00 ff 7a 12 00");
        QTest::newRow("800.0001 s kept to the 100 us")
            << 0x7A1201u << 8 << "800 seconds" << QString() << true
            << QByteArray("14 10 03 07 09 05 1e 00 00 00 ff 7a 12 01");
        QTest::newRow("3 s, Cancel") << 0x007530u << 2 << "3 seconds" << "5 minutes" << false
                                     << QByteArray();
    }
    void setupDialog() {
        QFETCH(quint32, interval);
        QFETCH(int, item);
        QFETCH(QString, text);
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(QByteArray, written);
        MeterSession s;
        QVERIFY(s.start(headerImage(interval)));
        QMdiArea area;
        LoggerCommands commands(s.live, &area, &area);
        commands.setTiming(fastTiming());
        Boxes boxes;
        Shown shown;
        bool keptOpen = false;
        QString selected;
        onDialog(&shown, [&](LoggerSetupDialog* d) {
            d->intervalBox->setEditText("ten seconds");
            d->okButton->click();
            keptOpen = d->isVisible() && QApplication::activeModalWidget() == d;
            selected = d->intervalBox->lineEdit()->selectedText();
            d->intervalBox->setEditText(typed.isEmpty() ? d->intervalBox->itemText(item) : typed);
            d->datePicker->setDate(QDate(2016, 3, 7));
            d->timePicker->setTime(QTime(9, 5, 30));
            (ok ? d->okButton : d->cancelButton)->click();
        });
        commands.setUpLogger();
        QCOMPARE(shown.items, item == 2 || item == 8 ? 10 : 9);
        QCOMPARE(shown.item, item);
        QCOMPARE(shown.text, text);
        QVERIFY(shown.dateFormat.contains("yyyy"));
        QCOMPARE(shown.time, QDateTime(QDate(2016, 7, 19), QTime(10, 30)));
        QVERIFY(keptOpen);
        QCOMPARE(selected, QStringLiteral("ten seconds"));
        QCOMPARE(boxes.texts.size(), ok ? 2 : 1);
        QVERIFY(boxes.texts[0].startsWith("\"ten seconds\" is not a recording interval."));
        const QByteArray memory = s.stop();
        if (ok) {
            QVERIFY(boxes.texts[1].startsWith("Setup saved."));
            QCOMPARE(memory.mid(2, 14).toHex(' '), written);
        } else {
            QCOMPARE(memory.left(256), headerImage(interval));
        }
    }

    // The erase question says what the meter holds and that it was not downloaded; Return in
    // the real question box answers No; Yes erases and marks an open data-logger window.
    void eraseAsksFirst() {
        LoggerImageBuilder b;
        b.addSet(10000, 0xB0, 0x08, {0x14D2, 0x8123, 0x1FA0});
        b.addSet(20000, 0x30, 0x00, {0x15DC, 0x47D0});
        MeterSession s;
        QVERIFY(s.start(b.blocks()));
        QMdiArea area;
        LoggerCommands commands(s.live, &area, &area);
        commands.setTiming(fastTiming());

        // The real box: what Return presses.
        QString shownText;
        bool noIsDefault = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            shownText = box->text();
            noIsDefault = box->defaultButton() == box->button(QMessageBox::No);
            QTest::keyClick(box, Qt::Key_Return);
        });
        poll.start(10);
        commands.eraseMemory();
        QCOMPARE(commands.lastOutcome(), LoggerOutcome::Declined);
        const QString question(
            "The meter holds 2 data sets, 5 records, not downloaded yet. Erase them?");
        QCOMPARE(shownText, question);
        QVERIFY(noIsDefault);
        QCOMPARE(s.live.log, handedBack("02 41 00 00 00 03"));

        DataLoggerWindow* window = commands.showDataLogger();
        window->showLoggerData(LoggerImage(b.blocks()),
                               parseLoggerImage(LoggerImage(b.blocks()), 0).sets);
        QCOMPARE(window->windowTitle(), QStringLiteral("DataLogger"));
        s.live.log.clear();
        QList<Dialogs::Request> asked;
        Dialogs::setAnswerer([&](const Dialogs::Request& r) {
            asked += r;
            return QMessageBox::Yes;
        });
        commands.eraseMemory();
        Dialogs::setAnswerer({});
        QCOMPARE(commands.lastOutcome(), LoggerOutcome::Erased);
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[0].text, question);
        QCOMPARE(asked[0].defaultButton, QMessageBox::No);
        QCOMPARE(asked[1].text, QStringLiteral("Memory erased."));
        QCOMPARE(s.live.log, handedBack("02 41 45 45 00 03"));
        QVERIFY(window->windowTitle().contains("erased from the meter"));
        QCOMPARE(s.stop().mid(9, 4).toHex(' '), "00 00 00 ff");
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
        const QStringList lines = window->lines();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.last(), "測試記憶體10f0寫入失敗,停止測試");

        childWindowOf(window)->showMinimized();
        commands.runFactoryCheck();
        QCOMPARE(commands.factoryCheckWindow(), window.data());
        QVERIFY(!childWindowOf(window)->isMinimized());
        QCOMPARE(window->lines(), lines);
        QCOMPARE(area.subWindowList().size(), 1);
    }
};

QTEST_MAIN(TestLoggerCommands)
#include "test_loggercommands.moc"
