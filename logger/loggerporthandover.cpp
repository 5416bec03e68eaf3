#include "loggerporthandover.h"

#include "meterport.h"
#include "delay.h"
#include "livelinkcontrol.h"

#include <QThread>

#include <exception>

namespace {
bool g_handOverAlive = false;

// Runs one hand-back step; a failing step must not keep the later ones from running.
template <typename Step> void runStep(const char* what, Step step) {
    try {
        step();
    } catch (const SilentAbort&) {
        // The port's own handler ended it silently.
    } catch (const std::exception& e) {
        qWarning("logger hand-back: %s failed: %s", what, e.what());
    }
}
} // namespace

bool LoggerPortHandOver::inUse() {
    return g_handOverAlive;
}

LoggerPortHandOver::LoggerPortHandOver(LiveLinkControl& live, MeterPort& loggerPort,
                                       const LoggerTiming& timing)
    : m_live(live), m_port(loggerPort), m_timing(timing) {
    if (g_handOverAlive)
        return;
    g_handOverAlive = true;
    m_owner = true;
    try {
        take();
    } catch (...) {
        // No destructor runs for an object whose constructor throws: give back here, then let
        // the error go on to the caller.
        giveBack();
        g_handOverAlive = false;
        throw;
    }
}

LoggerPortHandOver::~LoggerPortHandOver() {
    if (!m_owner)
        return;
    giveBack();
    g_handOverAlive = false;
}

void LoggerPortHandOver::take() {
    if (!m_live.waitTimerIdle(m_timing.idleWaitMs))
        return;
    m_live.stopMainTimer();
    m_timerStopped = true;
    QThread::msleep(ulong(m_timing.quietMs));
    if (!m_live.waitReceiveIdle(m_timing.idleWaitMs))
        return;

    m_failure = LoggerOutcome::PortNotOpened;
    const QString device = m_live.deviceName();
    if (device.isEmpty())
        return;
    closeQuietly(m_port);
    try {
        m_port.setDeviceName(device);
    } catch (const SilentAbort&) {
        return;
    } catch (const PortError&) {
        return;
    }
    m_live.closeLivePort();
    m_liveClosed = true;
    delay(unsigned(m_timing.settleMs));
    openQuietly(m_port);
    m_taken = m_port.active();
}

void LoggerPortHandOver::giveBack() {
    m_taken = false;
    if (m_liveClosed) {
        closeQuietly(m_port);
        delay(unsigned(m_timing.settleMs));
        runStep("reopening the live port", [this] { m_live.reopenLivePort(); });
        delay(unsigned(m_timing.settleMs));
        if (m_resume) {
            runStep("resuming live readings",
                    [this] { m_live.writeLivePort(m_commands.resume().bytes()); });
            delay(unsigned(m_timing.settleMs));
        }
        m_liveClosed = false;
    }
    if (m_timerStopped) {
        runStep("starting the main timer", [this] { m_live.startMainTimer(); });
        m_timerStopped = false;
    }
}
