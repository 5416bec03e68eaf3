#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// While alive, the user's mouse and keyboard input and requests to close a window are not
// handled, except in a modal dialog that is up (an error dialog, a message box) and in the
// window given as `allowed` (a progress window, whose close box asks to cancel). Windows still
// repaint and timers still run. Logger transfers wait in nested event loops; without this, a
// click could start another command or close a window the transfer still uses.
class UserInputBlocker : public QObject {
    Q_OBJECT
public:
    explicit UserInputBlocker(QObject* parent = nullptr);
    ~UserInputBlocker() override;
    UserInputBlocker(const UserInputBlocker&) = delete;
    UserInputBlocker& operator=(const UserInputBlocker&) = delete;

    void setAllowed(QWidget* window) { m_allowed = window; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_allowed;
};
