#pragma once

#include "limitwatch.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class LimitsDialog;
}

// Asks for the limits of one function: high, low (each may stay empty: no limit), hysteresis,
// beep and stop recording, all in the function's coherent unit. OK checks the numbers (in the
// user's or any locale's writing) and stays open on one it cannot read; limits() is the answer
// the caller applies.
class LimitsDialog : public QDialog {
    Q_OBJECT
public:
    LimitsDialog(const QString& function, const QString& unit, const Limits& current,
                 QWidget* parent = nullptr);
    ~LimitsDialog() override;

    Limits limits() const { return m_limits; }
    // The limits the boxes hold; a text that is no number is named in `problem`.
    std::optional<Limits> readBoxes(QString* problem) const;

    void accept() override;

    Ui::LimitsDialog& form() { return *m_form; }

private:
    std::unique_ptr<Ui::LimitsDialog> m_form;
    Limits m_limits;
};
