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

    // Shows `window` and returns once the window system has put it on the screen and it is
    // painted (at most a second): a window shown right before work that services no events
    // would otherwise stay an empty frame until that work ends.
    static void showPainted(QWidget* window);
    // Replaces the line.
    void setText(const QString& text);
    QString text() const;

private:
    QLabel* m_message;
};
