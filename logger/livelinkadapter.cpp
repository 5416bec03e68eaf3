#include "livelinkadapter.h"

#include "livelink.h"

bool LiveLinkAdapter::connected() const {
    return m_link.state.Connected();
}

bool LiveLinkAdapter::meterRecording() const {
    return m_link.decoder.reading.MeterRecording;
}

QString LiveLinkAdapter::deviceName() const {
    return m_link.livePort.DeviceName();
}

bool LiveLinkAdapter::waitTimerIdle(int) {
    return !m_link.TimerBusy();
}

void LiveLinkAdapter::stopMainTimer() {
    m_link.tickTimer.stop();
}

bool LiveLinkAdapter::waitReceiveIdle(int) {
    return !m_link.RxBusy();
}

void LiveLinkAdapter::closeLivePort() {
    CloseQuietly(m_link.livePort);
}

void LiveLinkAdapter::reopenLivePort() {
    m_link.reopenLivePort();
}

void LiveLinkAdapter::writeLivePort(const QByteArray& command) {
    if (!m_link.livePort.Active())
        return;
    try {
        m_link.livePort.Write(command);
    } catch (const SilentAbort&) {
        // the port failed; the link watch notices it
    } catch (const PortError&) {
    }
}

void LiveLinkAdapter::startMainTimer() {
    // The tick after a pause measures its lateness from a fresh reference.
    m_link.RestartTickReference();
    m_link.tickTimer.start();
}
