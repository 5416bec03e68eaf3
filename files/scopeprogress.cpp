#include "scopeprogress.h"

#include "tfrmscope.h"

#include <QCoreApplication>

ScopeProgress::ScopeProgress(TfrmScope* scope, QObject* watched, std::function<void(qint64)> show,
                             bool cancellable)
    : mScope(scope), mWatched(watched), mShow(std::move(show)), mCancellable(cancellable) {}

bool ScopeProgress::cancelled() const {
    return !mWatched || (mCancellable && (!mScope || mScope->ProgressCancelled()));
}

bool ScopeProgress::advance(qint64 done) {
    mLast = done;
    if (cancelled()) {
        mStopped = true;
        return false;
    }
    if (mSince.isValid() && mSince.elapsed() < IntervalMs)
        return true;
    mSince.start();
    if (mScope && mShow)
        mShow(done);
    QCoreApplication::processEvents();
    if (cancelled()) {
        mStopped = true;
        return false;
    }
    return true;
}

void ScopeProgress::finish() {
    if (mScope && mShow && mWatched)
        mShow(mLast);
}
