#pragma once

#include "livelinkcontrol.h"

class LiveLink;

// The live link as a logger operation borrows it: its live port livePort, its main timer and its
// busy flags.
//
// Everything runs on one thread, so a busy flag that is set while this is called means the
// step holding it is further down the call stack, suspended in a nested message loop: no
// wait could let it finish. The waits therefore answer at once. Logger commands are started
// through LiveLink::whenIdle, so that they begin when neither step runs.
class LiveLinkAdapter : public LiveLinkControl {
public:
    explicit LiveLinkAdapter(LiveLink& link) : m_link(link) {}

    bool connected() const override;
    bool meterRecording() const override;
    QString deviceName() const override;
    bool waitTimerIdle(int timeoutMs) override;
    void stopMainTimer() override;
    bool waitReceiveIdle(int timeoutMs) override;
    void closeLivePort() override;
    void reopenLivePort() override;
    void writeLivePort(const QByteArray& command) override;
    void startMainTimer() override;

private:
    LiveLink& m_link;
};
