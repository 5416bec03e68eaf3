#pragma once

#include <QDialog>

class LiveLink;
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
class TfrmSchedule : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSchedule(LiveLink& link, QWidget* parent = nullptr);
    ~TfrmSchedule() override;

    static constexpr int ClientWidth = 296;
    static constexpr int ClientHeight = 162;

    // ScheduleStart, ScheduleStop and ScheduleInterval from the controls, and the number of
    // records they make shown in Label5. Runs on every change of a picker or of the rate.
    void Recompute();
    // OK: keeps the start and stop as text, arms the schedule as "Execute" says, closes.
    void BitBtn1Click();
    // Cancel: closes; the schedule stays as it was before the dialog was shown.
    void BitBtn2Click();

    QDateEdit* DPTimerStartDate;
    QTimeEdit* DPTimerStartTime;
    QDateEdit* DPTimerStopDate;
    QTimeEdit* DPTimerStopTime;
    RateEditor* MaskEdit1;
    QLabel* Label5;
    QCheckBox* CheckBox1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Fills the controls from the schedule each time the dialog is shown.
    void FormShow();
    void MaskEdit1Change();

    LiveLink& mLink;
    // The schedule as it was when the dialog was shown, for Cancel.
    double mSavedStart = 0;
    double mSavedStop = 0;
    int mSavedInterval = 2;
    bool mCentred = false;
};
