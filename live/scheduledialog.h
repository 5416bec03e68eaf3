#pragma once

#include "recorderschedule.h"

#include <QDialog>

class LiveLink;
class Recorder;
class QCheckBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTimeEdit;
class RateEditor;

// The recorder schedule: the date and time recording starts and stops, the rate it records
// at, the number of records that makes, and whether the schedule is carried out ("Execute").
// A window of its own (not a child of the main window's area), on top of the others, shown
// without blocking; it deletes itself when closed. The main timer carries the schedule out.
class ScheduleDialog : public QDialog {
    Q_OBJECT
public:
    ScheduleDialog(Recorder& recorder, const LiveLink& link, QWidget* parent = nullptr);
    ~ScheduleDialog() override;

    static constexpr int ClientWidth = 296;
    static constexpr int ClientHeight = 162;

    // The edited schedule's start, stop and interval from the controls, and the number of
    // records they make shown in recordCountLabel. Runs on every change of a picker or of the rate.
    void recompute();
    // OK: keeps the start and stop as text, arms the schedule as "Execute" says, hands the
    // edited schedule to the live link and closes.
    void confirm();
    // Cancel: closes; the live link's schedule was never touched.
    void cancel();

    QDateEdit* startDateEdit;
    QTimeEdit* startTimeEdit;
    QDateEdit* stopDateEdit;
    QTimeEdit* stopTimeEdit;
    RateEditor* rateEditor;
    QLabel* recordCountLabel;
    // The schedule as edited so far (the live link's changes only on OK).
    const RecorderSchedule& edited() const { return m_edit; }
    QCheckBox* executeCheck;
    QPushButton* okButton;
    QPushButton* cancelButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Fills the controls from the schedule each time the dialog is shown.
    void formShow();
    void onRateEdited();

    Recorder& m_recorder;
    const LiveLink& m_link;
    // The schedule being edited, a copy of the live link's.
    RecorderSchedule m_edit;
    bool m_centred = false;
};
