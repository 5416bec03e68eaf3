#include "clilivelinkcontrol.h"

#include "delay.h"
#include "livelink.h"

#include <QElapsedTimer>

namespace {

bool waitClear(const bool& busy, int timeoutMs) {
    QElapsedTimer waited;
    waited.start();
    while (busy && waited.elapsed() < timeoutMs)
        Delay(2);
    return !busy;
}

} // namespace

bool CliLiveLinkControl::connected() const {
    return m_link.Connected;
}

bool CliLiveLinkControl::meterRecording() const {
    return m_link.decoder.reading.MeterRecording;
}

QString CliLiveLinkControl::deviceName() const {
    return m_link.Comm1.DeviceName();
}

bool CliLiveLinkControl::waitTimerIdle(int timeoutMs) {
    return waitClear(m_link.TimerBusy, timeoutMs);
}

void CliLiveLinkControl::stopMainTimer() {
    m_link.MainTimer.stop();
}

bool CliLiveLinkControl::waitReceiveIdle(int timeoutMs) {
    return waitClear(m_link.RxBusy, timeoutMs);
}

void CliLiveLinkControl::closeLivePort() {
    CloseQuietly(m_link.Comm1);
}

void CliLiveLinkControl::reopenLivePort() {
    OpenQuietly(m_link.Comm1);
}

void CliLiveLinkControl::writeLivePort(const QByteArray& command) {
    try {
        if (m_link.Comm1.Active())
            m_link.Comm1.Write(command);
    } catch (const EAbort&) {
        // the live port failed; its link watch looks for the meter again
    } catch (const EComError&) {
        // the same, for a handler that let the error through
    }
}

void CliLiveLinkControl::startMainTimer() {
    m_link.MainTimer.start();
}
