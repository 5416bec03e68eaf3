#pragma once

#include <QByteArray>
#include <QString>

// What a logger operation needs from the live link to borrow the meter's device and give it
// back (see LoggerPortHandOver). The live link implements it over its live port livePort, its
// tickTimer and its busy flags TimerBusy and RxBusy.
//
// Contract, for every method:
// - Called on the thread that owns the live link, possibly from inside a nested event loop
//   (a Delay, a modal dialog) that runs while a live step is itself waiting.
// - Never throws: port faults are swallowed (the live port's own error handling reports them).
// - Returns within its time limit. A wait may service events, but it must not block the step
//   it waits for: when it is called from inside that very step (nested), waiting cannot end
//   the step, so it returns false at once or at the limit instead.
class LiveLinkControl {
public:
    virtual ~LiveLinkControl() = default;

    // The live link's shared state: a meter answers (connected), and the meter's last frame
    // said it records on its own (meterRecording of the current reading).
    virtual bool connected() const = 0;
    virtual bool meterRecording() const = 0;

    // The device name of the live port (livePort.deviceName()); the logger port opens the same.
    virtual QString deviceName() const = 0;

    // Waits until the main-timer step is not running (TimerBusy clear), at most `timeoutMs`.
    // Returns whether it is clear.
    virtual bool waitTimerIdle(int timeoutMs) = 0;
    // Stops tickTimer, so that no main-timer step starts until startMainTimer.
    virtual void stopMainTimer() = 0;
    // Waits until the live receive step is not running (RxBusy clear), at most `timeoutMs`.
    // Returns whether it is clear.
    virtual bool waitReceiveIdle(int timeoutMs) = 0;
    // Closes the live port (livePort), releasing the device.
    virtual void closeLivePort() = 0;

    // Opens the live port again on its device (errors ignored; the link watch of the main
    // timer notices a port that stays closed).
    virtual void reopenLivePort() = 0;
    // Writes `command` on the live port as a plain write without waiting for an echo, when the
    // port is open (the resume command that restarts live readings).
    virtual void writeLivePort(const QByteArray& command) = 0;
    // Starts tickTimer again.
    virtual void startMainTimer() = 0;
};
