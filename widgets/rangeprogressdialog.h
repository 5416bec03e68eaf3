#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

// The small dialog shared by the row-range picker, the scale editor and the progress windows.
// Every control starts hidden except the ones inside GroupBox1 (which is hidden itself, so
// they show with it); a use shows what it needs, sets caption and texts, and discards the
// dialog afterwards.
//
// Modal use: exec() returns QDialog::Accepted for OK and Rejected for Cancel; the owner then
// reads edtSelFrom, edtSelTo and radAll/radNo.
// Progress use: the owner shows the dialog without modality, calls ClearResult, and updates
// Progress1, SText1, lblBytesReceived and lblTotalBytes as it goes; Cancel (the button, the
// Escape key or the close box) only records ProgressCancelled, which the owner tests between
// its steps. The dialog itself never stops anything and stays open until its owner is done.
class RangeProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit RangeProgressDialog(QWidget* parent = nullptr);
    ~RangeProgressDialog() override;

    static constexpr int ClientWidth = 337;
    static constexpr int ClientHeight = 134;

    // Forgets a recorded OK or Cancel.
    void ClearResult();
    // Whether Cancel was pressed since the last ClearResult.
    bool ProgressCancelled() const { return m_cancelled; }

    int exec() override;
    void done(int result) override;

    QGroupBox* GroupBox1;
    QRadioButton* radAll;
    QRadioButton* radNo;
    QLabel* Label1;
    QLineEdit* edtSelFrom;
    QLabel* Label2;
    QLineEdit* edtSelTo;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QProgressBar* Progress1;
    QLabel* SText1;
    QLabel* SText2;
    QLabel* lblBytesReceived;
    QLabel* lblTotalBytes;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool m_cancelled = false;
    bool m_modal = false;
    bool m_centred = false;
};
