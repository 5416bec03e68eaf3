#pragma once

#include "loggercommandbuffer.h"
#include "loggeroutcome.h"
#include "loggertiming.h"

class LiveLinkControl;
class MeterPort;

// Borrows the meter's device from the live link for a logger operation and always gives it
// back: the hand-back runs in the destructor, whatever ended the operation (success, cancel,
// a port fault, an exception passing through).
//
// Taking the device: wait until the main-timer step has finished and stop tickTimer; pause
// `quietMs` without servicing events (the meter finishes its current frame and the live
// steps get no chance to start); wait until the receive step has finished; close the live
// port and open the logger port on the same device after `settleMs`. The two ports never hold
// the device at the same time.
//
// Giving it back: close the logger port; after `settleMs` open the live port; after
// `settleMs` write the resume command (letter 'A' with the parameter bytes the operation's
// last command left in commands()); after `settleMs` start tickTimer. Only what was taken
// is given back: if taking stopped before the live port closed, only tickTimer restarts and
// no resume command is sent.
//
// Only one hand-over can be alive at a time: one constructed while another is (for example
// from a menu click serviced inside the first one's Delay) takes nothing and reports
// DeviceBusy, without waiting.
class LoggerPortHandOver {
public:
    LoggerPortHandOver(LiveLinkControl& live, MeterPort& loggerPort,
                       const LoggerTiming& timing = {});
    ~LoggerPortHandOver();
    LoggerPortHandOver(const LoggerPortHandOver&) = delete;
    LoggerPortHandOver& operator=(const LoggerPortHandOver&) = delete;

    // True while a hand-over is alive: a logger operation holds the device, and another one
    // started now (from inside its waits) would get nothing.
    static bool inUse();

    // True when the logger port is open on the device and the live side is paused.
    bool taken() const { return m_taken; }
    // When not taken: DeviceBusy (a live step did not finish in time, or another hand-over is
    // alive) or PortNotOpened (no device name, or the logger port failed to open).
    LoggerOutcome failure() const { return m_failure; }

    // The operation's command buffer; the resume command is built from it.
    LoggerCommandBuffer& commands() { return m_commands; }

    // Whether the hand-back writes the resume command (it does unless told otherwise). An
    // operation that stops because the meter did not take part leaves the meter as it is:
    // the link watch calls it again once the live port is back.
    void setResume(bool resume) { m_resume = resume; }

private:
    void take();
    void giveBack();

    LiveLinkControl& m_live;
    MeterPort& m_port;
    LoggerTiming m_timing;
    LoggerCommandBuffer m_commands;
    bool m_owner = false; // this object holds the one-at-a-time claim
    bool m_timerStopped = false;
    bool m_liveClosed = false;
    bool m_taken = false;
    bool m_resume = true;
    LoggerOutcome m_failure = LoggerOutcome::DeviceBusy;
};
