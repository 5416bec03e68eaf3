#pragma once

#include "loadloggerdata.h"
#include "loggerprogress.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class LoggerErrorDialog;
class BusyNote;
class RangeProgressDialog;
class UserInputBlocker;

// What the user sees of one Load Data while loadLoggerData runs: the hourglass and the busy
// window "Reading data from multimer....." until the meter starts sending, the progress window
// "Data Retrieving Progress" during each transfer, the error dialog after a failed download
// and the power-cycle message after a repair. Windows repaint throughout, but the user's input
// is only taken by the error dialog, message boxes and the progress window (whose Cancel
// button, close box or Escape cancels the transfer). The progress window is on the screen and
// painted before the first block is read.
//
// Create it right before loadLoggerData and let it go right after: it starts the busy window
// and the hourglass at once, and takes every window it opened down with it.
class LoggerDownloadWindows : public LoadLoggerDataUser, public LoggerProgress {
public:
    // `owner` is the data-logger window (parent of the dialogs, repainted once before each
    // transfer).
    explicit LoggerDownloadWindows(QWidget* owner);
    ~LoggerDownloadWindows() override;
    LoggerDownloadWindows(const LoggerDownloadWindows&) = delete;
    LoggerDownloadWindows& operator=(const LoggerDownloadWindows&) = delete;

    // LoadLoggerDataUser
    LoggerErrorChoice downloadFailed(const LoggerDownload& download) override;
    void headerRepaired(bool confirmed) override;

    // LoggerProgress. The first call of a transfer ends the busy phase and opens the
    // progress window.
    void transferStarting() override;
    void totalKnown(int expectedTotal, int usedBytes) override;
    void bytesReceived(int received) override;
    bool cancelled() override;

    // The error dialog on its own, for failures that end loadLoggerData itself (`failure`: a
    // port that failed or could not be opened); the busy and progress windows are closed
    // first. "Fixed the error " is not offered: the header is not what failed.
    LoggerErrorChoice askAfterFailure(LoggerOutcome failure);

    // The progress window while a transfer runs (tests and screenshots look at it).
    RangeProgressDialog* progressWindow() const { return m_progress.get(); }

private:
    void beginBusy();
    void endBusy();
    void beginTransfer();
    void endTransfer();

    QPointer<QWidget> m_owner;
    std::unique_ptr<UserInputBlocker> m_blocker;
    std::unique_ptr<BusyNote> m_busy;
    std::unique_ptr<RangeProgressDialog> m_progress;
    std::unique_ptr<LoggerErrorDialog> m_errorDialog;
    bool m_cursorSet = false;
    int m_usedBytes = 0;
};
