#include "scopeprogress.h"

#include "rangeprogressdialog.h"

#include <QCoreApplication>

ScopeProgress::ScopeProgress(RangeProgressDialog* scope, QObject* watched, std::function<void(qint64)> show,
                             bool cancellable)
    : m_scope(scope), m_watched(watched), m_show(std::move(show)), m_cancellable(cancellable) {}

bool ScopeProgress::cancelled() const {
    return !m_watched || (m_cancellable && (!m_scope || m_scope->ProgressCancelled()));
}

bool ScopeProgress::advance(qint64 done) {
    m_last = done;
    if (cancelled()) {
        m_stopped = true;
        return false;
    }
    if (m_since.isValid() && m_since.elapsed() < IntervalMs)
        return true;
    m_since.start();
    if (m_scope && m_show)
        m_show(done);
    QCoreApplication::processEvents();
    if (cancelled()) {
        m_stopped = true;
        return false;
    }
    return true;
}

void ScopeProgress::finish() {
    if (m_scope && m_show && m_watched)
        m_show(m_last);
}
