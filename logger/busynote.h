#pragma once

#include <QDialog>

class QLabel;

// The small busy window "QL350" with one centred line ("Reading data from multimer....."),
// centred on the screen and above the other windows while a logger command talks to the meter.
class BusyNote : public QDialog {
    Q_OBJECT
public:
    explicit BusyNote(const QString& text, QWidget* parent = nullptr);
    ~BusyNote() override;

    // Shows the window and paints it at once: the event loop may not run for a while.
    void showNow();
    // Replaces the line.
    void setText(const QString& text);
    QString text() const;

private:
    QLabel* m_message;
};
