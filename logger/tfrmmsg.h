#pragma once

#include <QWidget>

class QLabel;

// The busy note "QL350" shown while a logger operation reads or writes the meter's memory: one
// centred line of text, in the middle of the screen, above the other windows. It takes no
// input; the operation closes it.
class TfrmMSG : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMSG(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;

    // Shows the note with `text` at once (painted before the caller goes on).
    void ShowText(const QString& text);
};
