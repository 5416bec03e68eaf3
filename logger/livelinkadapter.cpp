#include "livelinkadapter.h"

#include "livelink.h"

bool LiveLinkAdapter::connected() const {
    return m_link.state.Connected();
}

bool LiveLinkAdapter::meterRecording() const {
    return m_link.decoder.reading.MeterRecording;
}

QString LiveLinkAdapter::deviceName() const {
    return m_link.Comm1.DeviceName();
}

bool LiveLinkAdapter::waitTimerIdle(int) {
    return !m_link.TimerBusy();
}

void LiveLinkAdapter::stopMainTimer() {
    m_link.MainTimer.stop();
}

bool LiveLinkAdapter::waitReceiveIdle(int) {
    return !m_link.RxBusy();
}

void LiveLinkAdapter::closeLivePort() {
    CloseQuietly(m_link.Comm1);
}

void LiveLinkAdapter::reopenLivePort() {
    m_link.ReopenComm1();
}

void LiveLinkAdapter::writeLivePort(const QByteArray& command) {
    if (!m_link.Comm1.Active())
        return;
    try {
        m_link.Comm1.Write(command);
    } catch (const EAbort&) {
        // the port failed; the link watch notices it
    } catch (const EComError&) {
    }
}

void LiveLinkAdapter::startMainTimer() {
    // The tick after a pause measures its lateness from a fresh reference.
    m_link.RestartTickReference();
    m_link.MainTimer.start();
}
