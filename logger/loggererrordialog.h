#pragma once

#include "loadloggerdata.h"

#include <QDialog>

class QLabel;
class QPushButton;

// The error dialog of Load Data, "Error Message": a text and the choices "Fixed the error "
// (the header is repaired when a data set was bad, then the download runs again), "Try
// Again" and "Cancel". Closing it any other way means Cancel.
class LoggerErrorDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoggerErrorDialog(QWidget* parent = nullptr);
    ~LoggerErrorDialog() override;

    // Modal results of the three buttons.
    enum Result { mrCancel = QDialog::Rejected, mrOk = 1, mrRetry = 4 };

    // Shows `text` modally and returns the user's choice. "Fixed the error " is shown only
    // when `canFix` (the header is what failed, and cutting it back may mend it).
    LoggerErrorChoice ask(const QString& text, bool canFix);
    // The choice a modal result stands for.
    static LoggerErrorChoice Choice(int modalResult);

    QLabel* messageLabel;
    QPushButton* fixedButton;
    QPushButton* retryButton;
    QPushButton* cancelButton;
};
