#pragma once

#include "clock.h"
#include "comport.h"
#include "framedecoder.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>

class LiveViews;

// The live link with the meter: the receive step run for every notification of received
// characters on Comm1, and the one-second main-timer step that watches the link, calls the
// meter while it is down, runs the recorder schedule and paces the recorder. Holds the state
// the rest of the program shares about the link, the recorder and the schedule.
class LiveLink : public QObject {
    Q_OBJECT
public:
    explicit LiveLink(LiveViews& views, QObject* parent = nullptr);
    ~LiveLink() override;

    // The live port (with the receive handler) and the port for command transactions while
    // the live port is closed. Both end actions silently on port errors.
    TComPort Comm1;
    TComPort Comm3;
    // About once a second; starts disabled with 1000 ms.
    QTimer MainTimer;

    // The current reading, its statistics and the previous-frame memory.
    FrameDecoder decoder;

    // Link state.
    bool Connected = false;
    int MeterModel = 122;
    int SavedModel = 0;
    int PortIndex = 0;
    bool NewReading = false;
    int MissedTicks = 0;
    int TickCounter = 0;
    qint64 TickReference = 0; // monotonic ms of the previous tick
    bool TickReferenceReset = true;
    QByteArray RxBuffer;
    bool RxBusy = false;
    bool TimerBusy = false;
    static constexpr int NoConnectionLimit = 5;

    // Recorder and schedule state.
    bool Recording = false;
    int RecordInterval = 2;
    bool ScheduleArmed = false;
    double ScheduleStart = 0;
    double ScheduleStop = 0;
    int ScheduleInterval = 2;
    // The schedule's start and stop as date-time text, to fill its dialog when it opens again.
    QString ScheduleStartText;
    QString ScheduleStopText;
    // Samples per span of the recorder's time axis, and that span in days (computed when the
    // recorder is created and on Clear).
    static constexpr int RecorderPoints = 100;
    double RecorderSpan = RecorderPoints * 2 / 86400.0;

    // Receive step (Comm1's receive handler).
    void Comm1RxChar();
    // Opens Comm1 again on its device after another port object borrowed it. When the device
    // is gone meanwhile (unplugged during the loan), the main-timer step looks for it again
    // once a tick, as it does for a device that vanished under Comm1.
    void ReopenComm1();
    // Main-timer step (MainTimer's timeout).
    void MainTimerTimer();

    // The next timer interval after a tick that came `elapsedMs` after the previous one.
    static int CorrectedInterval(int currentInterval, qint64 elapsedMs);
    // True when the nine characters before CR LF are all 0x30..0x3F.
    static bool IsValidFrame(const QByteArray& frame);

    // What deferred work does when the step is still busy at the limit.
    enum class OnTimeout { Drop, Run };

    // Runs `work` now when `busy()` is false. Otherwise the caller runs nested inside the step
    // that is busy (from a message loop it runs, a Delay or a modal box), and waiting would
    // keep that step from ever finishing: the work is deferred to the message loop and runs
    // once `busy()` is false, or at `limitMs` is dropped (with a warning) or run all the same.
    // `context` guards the deferred work: it does not run once context is gone.
    static void RunWhenIdle(std::function<bool()> busy, QObject* context,
                            std::function<void()> work, int limitMs = 3000,
                            OnTimeout onTimeout = OnTimeout::Drop);
    static void RunWhenIdle(const bool& flag, QObject* context, std::function<void()> work,
                            int limitMs = 3000, OnTimeout onTimeout = OnTimeout::Drop) {
        RunWhenIdle([&flag] { return flag; }, context, std::move(work), limitMs, onTimeout);
    }
    // The same, once neither the receive step nor the timer step runs.
    void WhenIdle(QObject* context, std::function<void()> work, int limitMs = 3000,
                  OnTimeout onTimeout = OnTimeout::Drop);

    // The clock used by the timer step; the link does not own it. nullptr: the system clock.
    void setClock(const Clock* clock);
    const Clock& clock() const;

    // Counters for tests and measurements.
    qint64 FramesDecoded = 0;
    qint64 FramesAcknowledged = 0;
    qint64 FramesRejected = 0;
    qint64 FramesDropped = 0; // CR LF with fewer than nine characters before it

    LiveViews& views() { return m_views; }

private:
    void receiveStep();
    void timerStep();
    void takeInput();
    void answerIdentity();
    void linkUp();
    void onComm1ActiveChanged(bool active);
    bool anyViewExists() const;

    LiveViews& m_views;
    const Clock* m_clock = nullptr;
    Clock m_systemClock;
    bool m_rxAgain = false;
    bool m_deviceLost = false; // Comm1 closed itself because its device vanished
};
