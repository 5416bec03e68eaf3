#include "scheduledialog.h"

#include "datetimetext.h"
#include "daycount.h"
#include "livelink.h"
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

ScheduleDialog::ScheduleDialog(LiveLink& link, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_link(link) {
    setWindowTitle(QStringLiteral("Real Time Data Recorder Schedle"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    QFont small = font();
    small.setPointSizeF(8);
    setFont(small);
    setFixedSize(ClientWidth, ClientHeight);

    const QDateTime now = DaysToDateTime(m_link.clock().now());
    const auto datePicker = [this, &now](int x, int y) {
        auto* p = new QDateEdit(now.date(), this);
        p->setDisplayFormat(DateTimeText::DateFormat());
        p->setCalendarPopup(false);
        p->setGeometry(x, y, 106, 21);
        return p;
    };
    const auto timePicker = [this, &now](int x, int y) {
        auto* p = new QTimeEdit(wholeSeconds(now.date(), now.time()).time(), this);
        p->setDisplayFormat(DateTimeText::TimeFormat());
        p->setGeometry(x, y, 288 - x, 21);
        return p;
    };

    textAt(this, QStringLiteral("Start "), 13, 13);
    DPTimerStartDate = datePicker(59, 7);
    DPTimerStartTime = timePicker(171, 7);
    textAt(this, QStringLiteral("Stop"), 13, 33);
    DPTimerStopDate = datePicker(59, 31);
    DPTimerStopTime = timePicker(168, 31);
    const QLabel* rateLabel =
        textAt(this, QStringLiteral("Real Time Data Recording Rate:"), 16, 64);
    MaskEdit1 = new RateEditor(this);
    // Beside its label, also where the label's font is wider than the layout assumed.
    MaskEdit1->move(std::max(177, rateLabel->geometry().right() + 6), 56);
    MaskEdit1->setToolTip(QStringLiteral("Editor for Real Time Sampling Rate"));
    MaskEdit1->setStatusTip(QStringLiteral("Editor for Real Time Sampling Rate"));
    textAt(this, QStringLiteral("Records Number:"), 16, 88);
    Label5 = textAt(this, QString(), 112, 88);
    Label5->setMinimumWidth(120);
    CheckBox1 = new QCheckBox(QStringLiteral("Execute"), this);
    CheckBox1->move(16, 112);
    CheckBox1->adjustSize();
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setGeometry(134, 129, 66, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setGeometry(206, 129, 75, 25);

    for (QDateEdit* p : {DPTimerStartDate, DPTimerStopDate})
        connect(p, &QDateEdit::dateChanged, this, &ScheduleDialog::Recompute);
    for (QTimeEdit* p : {DPTimerStartTime, DPTimerStopTime})
        connect(p, &QTimeEdit::timeChanged, this, &ScheduleDialog::Recompute);
    connect(MaskEdit1, &QLineEdit::textEdited, this, &ScheduleDialog::MaskEdit1Change);
    connect(BitBtn1, &QPushButton::clicked, this, &ScheduleDialog::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &ScheduleDialog::BitBtn2Click);
}

ScheduleDialog::~ScheduleDialog() = default;

void ScheduleDialog::MaskEdit1Change() {
    Recompute();
}

void ScheduleDialog::Recompute() {
    const QDateTime start = wholeSeconds(DPTimerStartDate->date(), DPTimerStartTime->time());
    const QDateTime stop = wholeSeconds(DPTimerStopDate->date(), DPTimerStopTime->time());
    m_edit.setTimes(DateTimeToDays(start), DateTimeToDays(stop));

    const RateText rate = RateText::Parse(MaskEdit1->rateText());
    if (rate.Corrected)
        MaskEdit1->setRateText(rate.Text);
    const int interval = rate.Interval();
    m_edit.setInterval(interval == 0 ? 1 : interval);

    const qint64 records =
        RecorderSchedule::RecordCount(RecorderSchedule::DurationSeconds(start, stop), interval);
    Label5->setText(QString::number(records));
}

void ScheduleDialog::FormShow() {
    // The dialog works on a copy; the live link's schedule changes only on OK.
    m_edit = m_link.schedule;
    if (m_edit.Interval() == 0)
        m_edit.setInterval(2);
    MaskEdit1->setRateText(RateText::Format(m_edit.Interval()));
    if (const auto start = DateTimeText::Parse(m_edit.StartText())) {
        DPTimerStartDate->setDate(start->date());
        DPTimerStartTime->setTime(start->time());
        if (const auto stop = DateTimeText::Parse(m_edit.StopText())) {
            DPTimerStopDate->setDate(stop->date());
            DPTimerStopTime->setTime(stop->time());
        }
    }
    Recompute();
    CheckBox1->setChecked(m_edit.Armed());
}

void ScheduleDialog::BitBtn1Click() {
    Recompute();
    m_edit.setTexts(DateTimeText::DateString(DPTimerStartDate->date()) + u' ' +
                        DateTimeText::TimeString(DPTimerStartTime->time()),
                    DateTimeText::DateString(DPTimerStopDate->date()) + u' ' +
                        DateTimeText::TimeString(DPTimerStopTime->time()));
    m_edit.setArmed(CheckBox1->isChecked());
    m_link.schedule = m_edit;
    accept();
}

void ScheduleDialog::BitBtn2Click() {
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
    FormShow();
}
