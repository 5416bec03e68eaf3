#include "livelinkadapter.h"

#include "livelink.h"

bool LiveLinkAdapter::connected() const {
    return m_link.connected();
}

bool LiveLinkAdapter::meterRecording() const {
    return m_link.reading().meterRecording;
}

QString LiveLinkAdapter::deviceName() const {
    return m_link.deviceName();
}

bool LiveLinkAdapter::waitTimerIdle(int) {
    return !m_link.tickStepRunning();
}

void LiveLinkAdapter::stopMainTimer() {
    m_link.stopTicking();
}

bool LiveLinkAdapter::waitReceiveIdle(int) {
    return !m_link.receiveStepRunning();
}

void LiveLinkAdapter::closeLivePort() {
    m_link.closePort();
}

void LiveLinkAdapter::reopenLivePort() {
    m_link.reopenPort();
}

void LiveLinkAdapter::writeLivePort(const QByteArray& command) {
    m_link.writeToMeter(command);
}

void LiveLinkAdapter::startMainTimer() {
    m_link.startTicking();
}
