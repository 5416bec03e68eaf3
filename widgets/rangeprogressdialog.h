#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

// The small dialog shared by the row-range picker, the scale editor and the progress windows.
// Every control starts hidden except the ones inside rangeBox (which is hidden itself, so
// they show with it); a use shows what it needs, sets caption and texts, and discards the
// dialog afterwards.
//
// Modal use: exec() returns QDialog::Accepted for OK and Rejected for Cancel; the owner then
// reads the two boxes labelled "from" and "to" (the range picker's first and last row, the
// scale editor's top and bottom) and, for a range, allRowsButton or rowRangeButton.
// Progress use: the owner shows the dialog without modality, calls clearResult, and updates
// progressBar, statusLabel, bytesReceivedLabel and totalBytesLabel as it goes; Cancel (the
// button, the Escape key or the close box) only records cancelled(), which the owner tests
// between its steps. The dialog itself never stops anything and stays open until its owner is
// done.
class RangeProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit RangeProgressDialog(QWidget* parent = nullptr);
    ~RangeProgressDialog() override;

    static constexpr int ClientWidth = 337;
    static constexpr int ClientHeight = 134;

    // Forgets a recorded OK or Cancel.
    void clearResult();
    // Whether Cancel was pressed since the last clearResult.
    bool cancelled() const { return m_cancelled; }

    int exec() override;
    void done(int result) override;

    QGroupBox* rangeBox;
    QRadioButton* allRowsButton;
    QRadioButton* rowRangeButton; // "Select": the rows from .. to
    QLabel* fromLabel;
    QLineEdit* fromEdit; // the first row, or the top of the scale
    QLabel* toLabel;
    QLineEdit* toEdit; // the last row, or the bottom of the scale
    QPushButton* okButton;
    QPushButton* cancelButton;
    QProgressBar* progressBar;
    QLabel* statusLabel; // the first line: what is being done, or the received bytes' caption
    QLabel* totalBytesCaption;
    QLabel* bytesReceivedLabel;
    QLabel* totalBytesLabel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool m_cancelled = false;
    bool m_modal = false;
    bool m_centred = false;
};
