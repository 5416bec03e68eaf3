#include "scheduledialog.h"

#include "datetimetext.h"
#include "daycount.h"
#include "livelink.h"
#include "recorder.h"
#include "rateeditor.h"
#include "ratetext.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimeEdit>

#include <algorithm>

namespace {

QLabel* textAt(QWidget* parent, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

// A wall-clock date and time to whole seconds.
QDateTime wholeSeconds(QDate date, QTime time) {
    return QDateTime(date, QTime(time.hour(), time.minute(), time.second()));
}

} // namespace

ScheduleDialog::ScheduleDialog(Recorder& recorder, const LiveLink& link, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_recorder(recorder), m_link(link) {
    setWindowTitle(QStringLiteral("Real Time Data Recorder Schedule"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    QFont small = font();
    small.setPointSizeF(8);
    setFont(small);
    setFixedSize(ClientWidth, ClientHeight);

    const QDateTime now = daysToDateTime(m_link.clock().now());
    const auto datePicker = [this, &now](int x, int y) {
        auto* p = new QDateEdit(now.date(), this);
        p->setDisplayFormat(DateTimeText::dateFormat());
        p->setCalendarPopup(false);
        p->setGeometry(x, y, 106, 21);
        return p;
    };
    const auto timePicker = [this, &now](int x, int y) {
        auto* p = new QTimeEdit(wholeSeconds(now.date(), now.time()).time(), this);
        p->setDisplayFormat(DateTimeText::timeFormat());
        p->setGeometry(x, y, 288 - x, 21);
        return p;
    };

    textAt(this, QStringLiteral("Start "), 13, 13);
    startDateEdit = datePicker(59, 7);
    startTimeEdit = timePicker(171, 7);
    textAt(this, QStringLiteral("Stop"), 13, 33);
    stopDateEdit = datePicker(59, 31);
    stopTimeEdit = timePicker(168, 31);
    const QLabel* rateLabel =
        textAt(this, QStringLiteral("Real Time Data Recording Rate:"), 16, 64);
    rateEditor = new RateEditor(this);
    // Beside its label, also where the label's font is wider than the layout assumed.
    rateEditor->move(std::max(177, rateLabel->geometry().right() + 6), 56);
    rateEditor->setToolTip(QStringLiteral("Editor for Real Time Sampling Rate"));
    rateEditor->setStatusTip(QStringLiteral("Editor for Real Time Sampling Rate"));
    textAt(this, QStringLiteral("Records Number:"), 16, 88);
    recordCountLabel = textAt(this, QString(), 112, 88);
    recordCountLabel->setMinimumWidth(120);
    executeCheck = new QCheckBox(QStringLiteral("Execute"), this);
    executeCheck->move(16, 112);
    executeCheck->adjustSize();
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setGeometry(134, 129, 66, 25);
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setGeometry(206, 129, 75, 25);

    for (QDateEdit* p : {startDateEdit, stopDateEdit})
        connect(p, &QDateEdit::dateChanged, this, &ScheduleDialog::recompute);
    for (QTimeEdit* p : {startTimeEdit, stopTimeEdit})
        connect(p, &QTimeEdit::timeChanged, this, &ScheduleDialog::recompute);
    connect(rateEditor, &QLineEdit::textEdited, this, &ScheduleDialog::onRateEdited);
    connect(okButton, &QPushButton::clicked, this, &ScheduleDialog::confirm);
    connect(cancelButton, &QPushButton::clicked, this, &ScheduleDialog::cancel);
}

ScheduleDialog::~ScheduleDialog() = default;

void ScheduleDialog::onRateEdited() {
    recompute();
}

void ScheduleDialog::recompute() {
    const QDateTime start = wholeSeconds(startDateEdit->date(), startTimeEdit->time());
    const QDateTime stop = wholeSeconds(stopDateEdit->date(), stopTimeEdit->time());
    m_edit.setTimes(dateTimeToDays(start), dateTimeToDays(stop));

    const RateText rate = RateText::parse(rateEditor->rateText());
    if (rate.corrected)
        rateEditor->setRateText(rate.text);
    const int interval = rate.interval();
    m_edit.setInterval(interval == 0 ? 1 : interval);

    const qint64 records =
        RecorderSchedule::recordCount(RecorderSchedule::durationSeconds(start, stop), interval);
    recordCountLabel->setText(QString::number(records));
}

void ScheduleDialog::formShow() {
    // The dialog works on a copy; the recorder's schedule changes only on OK.
    m_edit = m_recorder.schedule();
    if (m_edit.interval() == 0)
        m_edit.setInterval(2);
    rateEditor->setRateText(RateText::Format(m_edit.interval()));
    if (const auto start = DateTimeText::parse(m_edit.startText())) {
        startDateEdit->setDate(start->date());
        startTimeEdit->setTime(start->time());
        if (const auto stop = DateTimeText::parse(m_edit.stopText())) {
            stopDateEdit->setDate(stop->date());
            stopTimeEdit->setTime(stop->time());
        }
    }
    recompute();
    executeCheck->setChecked(m_edit.armed());
}

void ScheduleDialog::confirm() {
    recompute();
    m_edit.setTexts(DateTimeText::dateString(startDateEdit->date()) + u' ' +
                        DateTimeText::timeString(startTimeEdit->time()),
                    DateTimeText::dateString(stopDateEdit->date()) + u' ' +
                        DateTimeText::timeString(stopTimeEdit->time()));
    m_edit.setArmed(executeCheck->isChecked());
    m_recorder.setSchedule(m_edit);
    accept();
}

void ScheduleDialog::cancel() {
    reject();
}

void ScheduleDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (!m_centred) {
        m_centred = true;
        if (const QScreen* s = screen())
            move(s->availableGeometry().center() - rect().center());
    }
    formShow();
}
