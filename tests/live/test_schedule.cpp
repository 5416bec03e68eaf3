// The recorder schedule: its dialog (records number, OK, Cancel, reopening) and the main
// timer carrying it out.

#include "datetimetext.h"
#include "rateeditor.h"
#include "recorderharness.h"
#include "scheduledialog.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>
#include <QToolButton>
#include <QtTest>

namespace {

void setStart(ScheduleDialog* d, const QDateTime& dt) {
    d->startDateEdit->setDate(dt.date());
    d->startTimeEdit->setTime(dt.time());
}

void setStop(ScheduleDialog* d, const QDateTime& dt) {
    d->stopDateEdit->setDate(dt.date());
    d->stopTimeEdit->setTime(dt.time());
}

void setRate(ScheduleDialog* d, const QString& text) {
    d->rateEditor->setRateText(text);
    d->recompute();
}

void processDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

const QDateTime kTen(QDate(2025, 3, 7), QTime(10, 0, 0));

} // namespace

class TestSchedule : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dialogLayoutAndControls();
    void recordsNumber_data();
    void recordsNumber();
    void typedRateIsCorrected();
    void firstOpenShowsTheStartUpTime();
    void okKeepsTextsThatReadBack_data();
    void okKeepsTextsThatReadBack();
    void okWithoutExecuteDisarms();
    void cancelLeavesTheScheduleAsItWas();
    void intervalZeroShowsAsTwo();

    void startsAndStopsOnTicks();
    void manualRecordingKeepsItsInterval();
    void stopBeforeStartDisarmsWithoutRecording();

private:
    // Opens a dialog over the rig's link, as the tool button does.
    ScheduleDialog* open();
    // The schedule from 10:00:00 + the given seconds, armed through the dialog.
    void arm(int startSecond, int stopSecond, const QString& rate);

    std::unique_ptr<RecorderRig> rig;
    QPointer<ScheduleDialog> dialog;
};

void TestSchedule::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestSchedule::init() {
    rig = std::make_unique<RecorderRig>();
    // Start-up values, as the main window sets them.
    const QDateTime now = daysToDateTime(rig->clock.now());
    rig->editSchedule([&](RecorderSchedule& s) { s.setTexts(DateTimeText::Format(now), rig->recorder.schedule().stopText()); });
    rig->editSchedule([&](RecorderSchedule& s) { s.setTexts(rig->recorder.schedule().startText(), rig->recorder.schedule().startText()); });
    rig->editSchedule([&](RecorderSchedule& s) { s.setTimes(rig->clock.now(), rig->clock.now()); });
}

void TestSchedule::cleanup() {
    delete dialog;
    rig.reset();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

ScheduleDialog* TestSchedule::open() {
    dialog = new ScheduleDialog(rig->recorder, rig->link);
    dialog->show();
    return dialog;
}

void TestSchedule::arm(int startSecond, int stopSecond, const QString& rate) {
    ScheduleDialog* d = open();
    setStart(d, kTen.addSecs(startSecond));
    setStop(d, kTen.addSecs(stopSecond));
    setRate(d, rate);
    d->executeCheck->setChecked(true);
    QTest::mouseClick(d->okButton, Qt::LeftButton);
    processDeletes();
    QVERIFY(!dialog);
    QVERIFY(rig->recorder.schedule().armed());
}

void TestSchedule::dialogLayoutAndControls() {
    ScheduleDialog* d = open();
    QCOMPARE(d->windowTitle(), QStringLiteral("Real Time Data Recorder Schedule"));
    QVERIFY(d->isWindow());
    QVERIFY(d->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!d->isModal());
    QVERIFY(d->testAttribute(Qt::WA_DeleteOnClose));
    QCOMPARE(d->size(), QSize(ScheduleDialog::ClientWidth, ScheduleDialog::ClientHeight));
    QCOMPARE(d->executeCheck->text(), QStringLiteral("Execute"));
    QCOMPARE(d->rateEditor->toolTip(), QStringLiteral("Editor for Real Time Sampling Rate"));
    QVERIFY(d->rateEditor->font().bold());
    QCOMPARE(d->startDateEdit->displayFormat(), DateTimeText::dateFormat());
    QCOMPARE(d->startTimeEdit->displayFormat(), DateTimeText::timeFormat());
    QStringList labels;
    for (const QLabel* l : d->findChildren<QLabel*>())
        labels << l->text();
    for (const char* text : {"Start ", "Stop", "Real Time Data Recording Rate:", "Records Number:"})
        QVERIFY2(labels.contains(QString::fromLatin1(text)), text);
    // Every control lies inside the dialog, and the rate editor beside its label.
    for (const QWidget* w : d->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!w->isHidden())
            QVERIFY2(d->rect().contains(w->geometry()), qPrintable(w->metaObject()->className()));
}

void TestSchedule::recordsNumber_data() {
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("stop");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("records");
    QTest::addColumn<int>("interval");

    QTest::newRow("10:00 to 10:10 at 00:30") << kTen << kTen.addSecs(600) << "  00 : 30  "
                                             << "20" << 30;
    QTest::newRow("stop before start") << kTen.addSecs(600) << kTen << "  00 : 30  "
                                       << "0" << 30;
    QTest::newRow("rate 00:00") << kTen << kTen.addSecs(600) << "  00 : 00  "
                                << "0" << 1;
    QTest::newRow("no time between") << kTen << kTen << "  00 : 05  "
                                     << "0" << 5;
    QTest::newRow("over midnight at 01:00")
        << QDateTime(QDate(2025, 3, 7), QTime(23, 50, 0))
        << QDateTime(QDate(2025, 3, 8), QTime(0, 10, 0)) << "  01 : 00  "
        << "20" << 60;
    QTest::newRow("a day at 00:07") << kTen << kTen.addDays(1) << "  00 : 07  "
                                    << "12342" << 7;
    QTest::newRow("part of an interval left over") << kTen << kTen.addSecs(59) << "  00 : 30  "
                                                   << "1" << 30;
}

void TestSchedule::recordsNumber() {
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, stop);
    QFETCH(QString, rate);
    QFETCH(QString, records);
    QFETCH(int, interval);
    ScheduleDialog* d = open();
    setStart(d, start);
    setStop(d, stop);
    setRate(d, rate);
    QCOMPARE(d->recordCountLabel->text(), records);
    QCOMPARE(d->edited().interval(), interval);
    QCOMPARE(d->edited().start(), dateTimeToDays(start));
    QCOMPARE(d->edited().stop(), dateTimeToDays(stop));
}

void TestSchedule::typedRateIsCorrected() {
    ScheduleDialog* d = open();
    setStart(d, kTen);
    setStop(d, kTen.addSecs(600));
    d->rateEditor->setFocus();
    d->rateEditor->setCursorPosition(2);
    QTest::keyClicks(d->rateEditor, QStringLiteral("0075"));
    QCOMPARE(d->rateEditor->rateText(), QStringLiteral("  00 : 60  "));
    QCOMPARE(d->edited().interval(), 60);
    QCOMPARE(d->recordCountLabel->text(), QStringLiteral("10"));
}

void TestSchedule::firstOpenShowsTheStartUpTime() {
    // The start-up texts in the locale's own short date (two-digit year) and long time.
    const QLocale l;
    const QDateTime startUp(QDate(2025, 3, 7), QTime(9, 41, 27));
    rig->editSchedule([&](RecorderSchedule& s) { s.setTexts(l.toString(startUp.date(), QLocale::ShortFormat) + u' ' +
                                    l.toString(startUp.time(), QLocale::LongFormat),
                                rig->recorder.schedule().stopText()); });
    rig->editSchedule([&](RecorderSchedule& s) { s.setTexts(rig->recorder.schedule().startText(), rig->recorder.schedule().startText()); });
    ScheduleDialog* d = open();
    for (QDateEdit* p : {d->startDateEdit, d->stopDateEdit})
        QCOMPARE(p->date(), startUp.date());
    for (QTimeEdit* p : {d->startTimeEdit, d->stopTimeEdit})
        QCOMPARE(p->time(), startUp.time());
    QCOMPARE(d->recordCountLabel->text(), QStringLiteral("0"));
    QCOMPARE(d->rateEditor->rateText(), QStringLiteral("  00 : 02  "));
    QVERIFY(!d->executeCheck->isChecked());
}

void TestSchedule::okKeepsTextsThatReadBack_data() {
    QTest::addColumn<QString>("locale");
    QTest::newRow("en_US") << "en_US";
    QTest::newRow("de_DE") << "de_DE";
}

void TestSchedule::okKeepsTextsThatReadBack() {
    QFETCH(QString, locale);
    QLocale::setDefault(QLocale(locale));
    const QDateTime start(QDate(2025, 3, 7), QTime(10, 0, 5));
    const QDateTime stop(QDate(2025, 3, 9), QTime(18, 30, 59));
    arm(0, 0, QStringLiteral("  00 : 30  "));
    ScheduleDialog* d = open();
    setStart(d, start);
    setStop(d, stop);
    setRate(d, QStringLiteral("  02 : 15  "));
    QTest::mouseClick(d->okButton, Qt::LeftButton);
    processDeletes();
    QVERIFY(!dialog);
    QVERIFY(rig->recorder.schedule().armed()); // "Execute" was shown ticked and stayed so
    QCOMPARE(DateTimeText::parse(rig->recorder.schedule().startText()), std::optional(start));
    QCOMPARE(DateTimeText::parse(rig->recorder.schedule().stopText()), std::optional(stop));
    QCOMPARE(rig->recorder.schedule().interval(), 135);

    // Opened again, the dialog shows what OK kept.
    d = open();
    QCOMPARE(QDateTime(d->startDateEdit->date(), d->startTimeEdit->time()), start);
    QCOMPARE(QDateTime(d->stopDateEdit->date(), d->stopTimeEdit->time()), stop);
    QCOMPARE(d->rateEditor->rateText(), QStringLiteral("  02 : 15  "));
    QVERIFY(d->executeCheck->isChecked());
    QCOMPARE(d->recordCountLabel->text(), QString::number(start.secsTo(stop) / 135));
}

void TestSchedule::okWithoutExecuteDisarms() {
    arm(10, 20, QStringLiteral("  00 : 03  "));
    ScheduleDialog* d = open();
    d->executeCheck->setChecked(false);
    QTest::mouseClick(d->okButton, Qt::LeftButton);
    QVERIFY(!rig->recorder.schedule().armed());
}

void TestSchedule::cancelLeavesTheScheduleAsItWas() {
    arm(10, 20, QStringLiteral("  00 : 03  "));
    const double start = rig->recorder.schedule().start(), stop = rig->recorder.schedule().stop();
    const QString startText = rig->recorder.schedule().startText(),
                  stopText = rig->recorder.schedule().stopText();
    for (int way = 0; way < 3; ++way) {
        ScheduleDialog* d = open();
        setStart(d, kTen.addSecs(3600));
        setStop(d, kTen.addSecs(7200));
        setRate(d, QStringLiteral("  05 : 00  "));
        d->executeCheck->setChecked(false);
        QCOMPARE(d->edited().interval(), 300); // the dialog recomputes as it goes...
        // ...on its own copy: the armed schedule never runs on half-edited values.
        QCOMPARE(rig->recorder.schedule().interval(), 3);
        QCOMPARE(rig->recorder.schedule().start(), start);
        if (way == 0)
            QTest::mouseClick(d->cancelButton, Qt::LeftButton);
        else if (way == 1)
            QTest::keyClick(d, Qt::Key_Escape);
        else
            d->close();
        processDeletes();
        QVERIFY2(!dialog, "the dialog deletes itself");
        QVERIFY(rig->recorder.schedule().armed());
        QCOMPARE(rig->recorder.schedule().start(), start);
        QCOMPARE(rig->recorder.schedule().stop(), stop);
        QCOMPARE(rig->recorder.schedule().interval(), 3);
        QCOMPARE(rig->recorder.schedule().startText(), startText);
        QCOMPARE(rig->recorder.schedule().stopText(), stopText);
    }
}

void TestSchedule::intervalZeroShowsAsTwo() {
    rig->editSchedule([&](RecorderSchedule& s) { s.setInterval(0); });
    ScheduleDialog* d = open();
    QCOMPARE(d->rateEditor->rateText(), QStringLiteral("  00 : 02  "));
    QCOMPARE(d->edited().interval(), 2);
}

void TestSchedule::startsAndStopsOnTicks() {
    RecorderWindow& w = *rig->rtc;
    arm(10, 20, QStringLiteral("  00 : 03  "));
    QList<qint64> sampledAt;
    bool startedAt10 = false;
    while (rig->clock.seconds < 30) {
        const int before = w.sampleCount();
        rig->tickWithReading(LiveFrame(0, 1234, ';'));
        if (w.sampleCount() != before)
            sampledAt << rig->clock.seconds;
        if (rig->clock.seconds == 9)
            QVERIFY(!rig->recorder.recording());
        if (rig->clock.seconds == 10) {
            startedAt10 = rig->recorder.recording();
            QCOMPARE(rig->recorder.recordInterval(), 3);
            QCOMPARE(w.rateEditor->rateText(), QStringLiteral("  00 : 03  "));
        }
        if (rig->clock.seconds == 20)
            QVERIFY(rig->recorder.recording()); // the stop time itself still records
    }
    QVERIFY(startedAt10);
    QCOMPARE(sampledAt, (QList<qint64>{10, 13, 16, 19}));
    QVERIFY(!rig->recorder.recording());
    QVERIFY(!rig->recorder.schedule().armed());
    // The schedule leaves the recorder's buttons alone.
    QVERIFY(w.btnStart->isEnabled());
    QVERIFY(!w.btnStop->isEnabled());
}

void TestSchedule::manualRecordingKeepsItsInterval() {
    RecorderWindow& w = *rig->rtc;
    arm(10, 20, QStringLiteral("  00 : 05  "));
    w.startRecording(); // by hand, at the recorder's 2 s
    while (rig->clock.seconds < 30)
        rig->tickWithReading(LiveFrame(0, 1234, ';'));
    QCOMPARE(rig->recorder.recordInterval(), 2);
    QVERIFY(!rig->recorder.recording()); // stopped at the stop time all the same
    QVERIFY(!rig->recorder.schedule().armed());
    QCOMPARE(w.sampleCount(), 10); // seconds 2, 4, ..., 20
}

void TestSchedule::stopBeforeStartDisarmsWithoutRecording() {
    arm(20, 10, QStringLiteral("  00 : 03  "));
    while (rig->clock.seconds < 10)
        rig->tickWithReading(LiveFrame(0, 1234, ';'));
    QVERIFY(rig->recorder.schedule().armed());
    rig->tickWithReading(LiveFrame(0, 1234, ';'));
    QVERIFY(!rig->recorder.schedule().armed());
    while (rig->clock.seconds < 30)
        rig->tickWithReading(LiveFrame(0, 1234, ';'));
    QVERIFY(!rig->recorder.recording());
    QCOMPARE(rig->rtc->sampleCount(), 0);
}

QTEST_MAIN(TestSchedule)
#include "test_schedule.moc"
