#pragma once

#include "livelinkcontrol.h"

class LiveLink;

// The live link of the command-line tool lent to a logger operation: the tool owns one live
// link with its own live port, and a logger command borrows that port's device through this
// adapter exactly as the program's windows do.
//
// The tool runs each logger command from its top level, never from inside a live step, so
// the waits for the busy flags service events until the step that holds them has returned.
class CliLiveLinkControl : public LiveLinkControl {
public:
    explicit CliLiveLinkControl(LiveLink& link) : m_link(link) {}

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
