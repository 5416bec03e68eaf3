#pragma once

#include "loggersetup.h"

#include <QDialog>

#include <memory>
#include <optional>

class QComboBox;
class QDateEdit;
class QTimeEdit;
class QPushButton;

namespace Ui {
class LoggerSetupDialog;
}

// "Setup Recording Interval": the logger's settings as the meter holds them, for the user to
// change. The interval box offers the nine choices and takes a typed text as well; the date and
// time pickers hold the start time the meter gives its next recording. The dialog only edits:
// its caller reads choice() and applies it.
//
// An interval the meter holds that is none of the nine choices ("800 seconds") is added to the
// box as its own item and chosen, so that OK keeps it. OK with a text that is no interval
// (RecordingInterval::parse) tells the user why and keeps the dialog open with the text
// selected for correcting.
class LoggerSetupDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoggerSetupDialog(QWidget* parent = nullptr);
    ~LoggerSetupDialog() override;

    QComboBox* intervalBox = nullptr;
    QDateEdit* datePicker = nullptr;
    QTimeEdit* timePicker = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

    // Shows `settings`: the interval's item (an interval under a second, which the meter never
    // had set, shows "1 second" with nothing chosen) and the start time in the pickers.
    void setSettings(const LoggerSettings& settings);

    void accept() override;
    // What the dialog holds now.
    LoggerSetupChoice choice() const;

    // A new dialog filled with `current`, shown modally in the middle of the screen: the
    // user's choice after OK, std::nullopt after Cancel.
    static std::optional<LoggerSetupChoice> ask(QWidget* parent, const LoggerSettings& current);

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::LoggerSetupDialog> ui;
};
