#include "dialogprogress.h"

#include "rangeprogressdialog.h"

#include <QCoreApplication>

DialogProgress::DialogProgress(RangeProgressDialog* dialog, QObject* watched,
                               std::function<void(qint64)> show, bool cancellable)
    : m_dialog(dialog), m_watched(watched), m_show(std::move(show)), m_cancellable(cancellable) {}

bool DialogProgress::cancelled() const {
    return !m_watched || (m_cancellable && (!m_dialog || m_dialog->cancelled()));
}

bool DialogProgress::advance(qint64 done) {
    m_last = done;
    if (cancelled()) {
        m_stopped = true;
        return false;
    }
    if (m_since.isValid() && m_since.elapsed() < IntervalMs)
        return true;
    m_since.start();
    if (m_dialog && m_show)
        m_show(done);
    QCoreApplication::processEvents();
    if (cancelled()) {
        m_stopped = true;
        return false;
    }
    return true;
}

void DialogProgress::finish() {
    if (m_dialog && m_show && m_watched)
        m_show(m_last);
}
