#include "loggerdownloadwindows.h"

#include "dialogs.h"
#include "tfrmerr.h"
#include "tfrmmsg.h"
#include "tfrmscope.h"
#include "userinputblocker.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

LoggerDownloadWindows::LoggerDownloadWindows(QWidget* owner)
    : mOwner(owner), mBlocker(std::make_unique<UserInputBlocker>()),
      mErr(std::make_unique<TfrmErr>(owner)) {
    mErr->hide();
    beginBusy();
}

LoggerDownloadWindows::~LoggerDownloadWindows() {
    endTransfer();
    endBusy();
}

QString LoggerDownloadWindows::ErrorText() {
    return QStringLiteral("There was error when reading data from meter");
}

void LoggerDownloadWindows::beginBusy() {
    if (!mCursorSet) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        mCursorSet = true;
    }
    mBusy = std::make_unique<TfrmMSG>(QStringLiteral("Reading data from multimer....."));
    mBusy->showNow();
}

void LoggerDownloadWindows::endBusy() {
    mBusy.reset();
    if (mCursorSet) {
        QGuiApplication::restoreOverrideCursor();
        mCursorSet = false;
    }
}

void LoggerDownloadWindows::beginTransfer() {
    if (mProgress)
        return;
    endBusy();
    if (mOwner)
        mOwner->repaint();
    mProgress = std::make_unique<TfrmScope>(mOwner);
    mProgress->setObjectName(QStringLiteral("frmScope"));
    mProgress->setWindowTitle(QStringLiteral("Data Retriving Progress"));
    mProgress->setWindowFlag(Qt::WindowStaysOnTopHint);
    mProgress->Progress1->setRange(0, 65536);
    mProgress->Progress1->setValue(0);
    mProgress->Progress1->show();
    mProgress->SText1->setText(QStringLiteral("bytes received"));
    mProgress->SText1->show();
    mProgress->SText2->setText(QStringLiteral("total bytes"));
    mProgress->SText2->show();
    mProgress->lblBytesReceived->setText(QStringLiteral("0"));
    mProgress->lblBytesReceived->show();
    mProgress->lblTotalBytes->clear();
    mProgress->lblTotalBytes->show();
    mProgress->ClearResult();
    mProgress->show();
    mProgress->repaint();
    mBlocker->setAllowed(mProgress.get());
    mUsedBytes = 0;
}

void LoggerDownloadWindows::endTransfer() {
    mProgress.reset();
}

void LoggerDownloadWindows::totalKnown(int expectedTotal, int usedBytes) {
    beginTransfer();
    mUsedBytes = usedBytes;
    mProgress->lblTotalBytes->setText(QString::number(expectedTotal));
    mProgress->Progress1->setMaximum(std::max(usedBytes, 1));
    mProgress->repaint();
}

void LoggerDownloadWindows::bytesReceived(int received) {
    beginTransfer();
    mProgress->lblBytesReceived->setText(QString::number(received));
    mProgress->Progress1->setValue(std::min(received, mProgress->Progress1->maximum()));
    mProgress->repaint();
}

bool LoggerDownloadWindows::cancelled() {
    beginTransfer();
    return mProgress->ProgressCancelled();
}

LoggerErrorChoice LoggerDownloadWindows::downloadFailed(const LoggerDownload&) {
    endTransfer();
    endBusy();
    const LoggerErrorChoice choice = mErr->Ask(ErrorText());
    // The next download starts with the busy window again.
    if (choice != LoggerErrorChoice::Cancel)
        beginBusy();
    return choice;
}

LoggerErrorChoice LoggerDownloadWindows::askAfterFailure() {
    endTransfer();
    endBusy();
    return mErr->Ask(ErrorText());
}

void LoggerDownloadWindows::headerRepaired(bool confirmed) {
    endBusy();
    if (confirmed)
        Dialogs::ShowMessage(
            mOwner, QStringLiteral("Please power off and power on meter before recording data!"));
    else
        Dialogs::ShowError(mOwner, QStringLiteral("The meter did not confirm the repair of its "
                                                  "memory header."));
    beginBusy();
}
