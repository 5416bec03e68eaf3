#pragma once

#include "clock.h"
#include "meterport.h"
#include "framedecoder.h"
#include "linkstate.h"
#include "recorderschedule.h"
#include "recorderstate.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>

class LiveViews;

// The live link with the meter: the receive step run for every notification of received
// characters on livePort, and the one-second main-timer step that watches the link, calls the
// meter while it is down, runs the recorder schedule and paces the recorder. Owns the state
// the rest of the program shares about the link, the recorder and the schedule.
class LiveLink : public QObject {
    Q_OBJECT
public:
    explicit LiveLink(LiveViews& views, QObject* parent = nullptr);
    ~LiveLink() override;

    // The live port (with the receive handler) and the port for command transactions while
    // the live port is closed. Both end actions silently on port errors.
    MeterPort livePort;
    MeterPort setupPort;
    // About once a second; starts disabled with 1000 ms.
    QTimer tickTimer;

    // The current reading, its statistics and the previous-frame memory.
    FrameDecoder decoder;

    // The meter at the other end; the recorder's state and its schedule. The link owns them
    // for the whole run, so they outlive every window that shows or changes them.
    LinkState state;
    RecorderState recorder;
    RecorderSchedule schedule;

    // Ticks without a reading after which the link counts as down.
    static constexpr int NoConnectionLimit = 5;

    // The steps' own state, for reading (tests, the logger's hand-over).
    bool RxBusy() const { return m_rxBusy; }
    bool TimerBusy() const { return m_timerBusy; }
    bool NewReading() const { return m_newReading; }
    int MissedTicks() const { return m_missedTicks; }
    int TickCounter() const { return m_tickCounter; }
    const QByteArray& RxBuffer() const { return m_rxBuffer; }
    // The next tick measures its lateness from a fresh reference (after the timer was stopped).
    void RestartTickReference() { m_tickReferenceReset = true; }

    // Receive step (livePort's receive handler).
    void onBytesReceived();
    // Opens livePort again on its device after another port object borrowed it. When the device
    // is gone meanwhile (unplugged during the loan), the main-timer step looks for it again
    // once a tick, as it does for a device that vanished under livePort.
    void reopenLivePort();
    // Main-timer step (tickTimer's timeout).
    void onTick();

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
    // The same, once neither the receive step nor the timer step runs; once the receive step
    // does not run; once the timer step does not run.
    void WhenIdle(QObject* context, std::function<void()> work, int limitMs = 3000,
                  OnTimeout onTimeout = OnTimeout::Drop);
    void WhenReceiveIdle(QObject* context, std::function<void()> work, int limitMs = 3000,
                         OnTimeout onTimeout = OnTimeout::Drop);
    void WhenTimerIdle(QObject* context, std::function<void()> work, int limitMs = 3000,
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
    void onLivePortActiveChanged(bool active);
    bool anyViewExists() const;

    LiveViews& m_views;
    const Clock* m_clock = nullptr;
    Clock m_systemClock;
    bool m_rxBusy = false;
    bool m_timerBusy = false;
    bool m_newReading = false;
    int m_missedTicks = 0;
    int m_tickCounter = 0;
    qint64 m_tickReference = 0; // monotonic ms of the previous tick
    bool m_tickReferenceReset = true;
    QByteArray m_rxBuffer;
    bool m_rxAgain = false;
    bool m_streamRequested = false; // A went out in answer to the identity; no frame yet
    bool m_deviceLost = false;      // livePort closed itself because its device vanished
};
