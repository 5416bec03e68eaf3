#include "loggerdownloadwindows.h"

#include "dialogs.h"
#include "loggererrordialog.h"
#include "busynote.h"
#include "loggermessages.h"
#include "rangeprogressdialog.h"
#include "userinputblocker.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

LoggerDownloadWindows::LoggerDownloadWindows(QWidget* owner)
    : m_owner(owner), m_blocker(std::make_unique<UserInputBlocker>()),
      m_errorDialog(std::make_unique<LoggerErrorDialog>(owner)) {
    m_errorDialog->hide();
    beginBusy();
}

LoggerDownloadWindows::~LoggerDownloadWindows() {
    endTransfer();
    endBusy();
}

void LoggerDownloadWindows::beginBusy() {
    if (!m_cursorSet) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        m_cursorSet = true;
    }
    m_busy = std::make_unique<BusyNote>(LoggerMessages::readingData);
    m_busy->showNow();
}

void LoggerDownloadWindows::endBusy() {
    m_busy.reset();
    if (m_cursorSet) {
        QGuiApplication::restoreOverrideCursor();
        m_cursorSet = false;
    }
}

void LoggerDownloadWindows::beginTransfer() {
    if (m_progress)
        return;
    endBusy();
    if (m_owner)
        m_owner->repaint();
    m_progress = std::make_unique<RangeProgressDialog>(m_owner);
    m_progress->setObjectName(QStringLiteral("downloadProgress"));
    m_progress->setWindowTitle(QStringLiteral("Data Retrieving Progress"));
    m_progress->setWindowFlag(Qt::WindowStaysOnTopHint);
    m_progress->progressBar->setRange(0, 65536);
    m_progress->progressBar->setValue(0);
    m_progress->progressBar->show();
    m_progress->statusLabel->setText(QStringLiteral("bytes received"));
    m_progress->statusLabel->show();
    m_progress->totalBytesCaption->setText(QStringLiteral("total bytes"));
    m_progress->totalBytesCaption->show();
    m_progress->bytesReceivedLabel->setText(QStringLiteral("0"));
    m_progress->bytesReceivedLabel->show();
    m_progress->totalBytesLabel->clear();
    m_progress->totalBytesLabel->show();
    // Cancel stops the transfer as the close box and Escape do.
    m_progress->cancelButton->move((RangeProgressDialog::ClientWidth -
                                    m_progress->cancelButton->width()) / 2,
                                   m_progress->cancelButton->y());
    m_progress->cancelButton->show();
    m_progress->clearResult();
    m_blocker->setAllowed(m_progress.get());
    BusyNote::showPainted(m_progress.get());
    m_usedBytes = 0;
}

void LoggerDownloadWindows::transferStarting() {
    beginTransfer();
}

void LoggerDownloadWindows::endTransfer() {
    m_progress.reset();
}

void LoggerDownloadWindows::totalKnown(int expectedTotal, int usedBytes) {
    beginTransfer();
    m_usedBytes = usedBytes;
    m_progress->totalBytesLabel->setText(QString::number(expectedTotal));
    m_progress->progressBar->setMaximum(std::max(usedBytes, 1));
    m_progress->repaint();
}

void LoggerDownloadWindows::bytesReceived(int received) {
    beginTransfer();
    m_progress->bytesReceivedLabel->setText(QString::number(received));
    m_progress->progressBar->setValue(std::min(received, m_progress->progressBar->maximum()));
    m_progress->repaint();
}

bool LoggerDownloadWindows::cancelled() {
    beginTransfer();
    return m_progress->cancelled();
}

LoggerErrorChoice LoggerDownloadWindows::downloadFailed(const LoggerDownload& download) {
    endTransfer();
    endBusy();
    const LoggerErrorChoice choice = m_errorDialog->ask(
        downloadFailureMessage(download.result, download.errors, download.unechoed,
                               int(download.image.bytes().size())),
        headerCanBeFixed(download.result));
    // The next download starts with the busy window again.
    if (choice != LoggerErrorChoice::Cancel)
        beginBusy();
    return choice;
}

LoggerErrorChoice LoggerDownloadWindows::askAfterFailure(LoggerOutcome failure) {
    endTransfer();
    endBusy();
    return m_errorDialog->ask(downloadFailureMessage(failure, 0, QString(), 0), false);
}

void LoggerDownloadWindows::headerRepaired(bool confirmed) {
    endBusy();
    if (confirmed)
        Dialogs::showMessage(
            m_owner, QStringLiteral("Please power off and power on meter before recording data!"));
    else
        Dialogs::showError(m_owner, QStringLiteral("The meter did not confirm the repair of its "
                                                   "memory header."));
    beginBusy();
}
