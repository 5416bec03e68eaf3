#pragma once

#include "clock.h"
#include "framedecoder.h"
#include "linkstate.h"
#include "liveupdate.h"
#include "meterport.h"
#include "portidentity.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>

class DiscoveryHost;

// The live link with the meter. It owns the live port and the one-second tick timer: the
// receive step runs for every notification of received characters, decodes each valid frame
// and acknowledges it; the tick step watches the link, calls the meter while it is down and
// keeps the tick period at one second.
//
// Data flows one way: the link emits what happened as values (`updated` for every decoded
// frame, `connectionChanged`, `ticked`, `statusTextChanged`) and each view subscribes and
// keeps its own display state. Nobody reaches into the link's ports, timer or decoder; the
// methods below say what a caller wants done.
class LiveLink : public QObject {
    Q_OBJECT
public:
    explicit LiveLink(QObject* parent = nullptr);
    ~LiveLink() override;

    // Ticks without a reading after which the link counts as down.
    static constexpr int NoConnectionLimit = 5;

    // ---- the meter ----------------------------------------------------------------------
    // A meter answers: live frames arrive (or the search found it).
    bool connected() const { return m_state.connected(); }
    // 120 or 122; only the 122 has a logger memory.
    int meterModel() const { return m_state.meterModel(); }
    bool hasLogger() const { return m_state.hasLogger(); }
    // The model the last search found (0: none yet).
    int savedModel() const { return m_state.savedModel(); }
    // The port list entry the meter was found on, or the one used last time.
    int portIndex() const { return m_state.portIndex(); }
    void setPortIndex(int index) { m_state.setPortIndex(index); }
    // The last decoded reading and the statistics now.
    const Reading& reading() const { return m_decoder.reading(); }
    const Statistics& statistics() const { return m_decoder.statistics(); }
    // The status window's Reset: MAX, MIN and the held peak start again. Deferred while the
    // receive step runs further down the stack.
    void resetStatistics();
    // Forgets every earlier frame: the next one counts as a change of function.
    void resetDecoder() { m_decoder.reset(); }
    // The meter answered an identity request with `model` on the open port: the link counts
    // as up, frames are asked for (A) and handled by the receive step from now on.
    void attachMeter(int model);

    // ---- the port -----------------------------------------------------------------------
    QString deviceName() const { return m_livePort.deviceName(); }
    // The device the port opens next time; the port must be closed.
    void setDeviceName(const QString& path) { m_livePort.setDeviceName(path); }
    bool portOpen() const { return m_livePort.active(); }
    // Opening and closing never throw and never show a message; why an open failed is kept.
    void openPort();
    void closePort();
    // What the adapter of the port reported when it last opened (unknown for a port that
    // reports no identity, the simulator and a port that has not opened yet). After an unplug
    // the tick step opens the port with this identity again, wherever it comes back.
    PortIdentity portIdentity() const;
    QString lastOpenFailure() const { return m_livePort.lastOpenFailure(); }
    bool lastOpenRefused() const { return m_livePort.lastOpenRefused(); }
    // Opens the port again on its device after a logger operation borrowed it. When the
    // device is gone meanwhile (unplugged during the loan), the tick step looks for it again
    // once a tick, as it does for a device that vanished under the link: at the same path for
    // a port without identity, and wherever the device with the port's identity is listed for
    // one with (SerialPortList::reopenPath), never on another device.
    void reopenPort();
    // Writes `command` when the port is open; a failing port ends the write silently (the
    // link watch notices it).
    void writeToMeter(const QByteArray& command);

    // ---- ticking ------------------------------------------------------------------------
    void startTicking();
    void stopTicking();
    bool ticking() const { return m_tickTimer.isActive(); }
    // The next tick's interval (kept at one second on average).
    int tickInterval() const { return m_tickTimer.interval(); }
    // A frame arrived since the last tick; ticks without a frame since the last one.
    bool readingSinceTick() const { return m_newReading; }
    int missedTicks() const { return m_missedTicks; }

    // Whether a step is running further down the call stack (inside a nested message loop).
    bool receiveStepRunning() const { return m_rxBusy; }
    bool tickStepRunning() const { return m_timerBusy; }

    // Receive step (the live port's notification handler) and tick step (the timer's). Public
    // so that tests and the meter search can drive them directly.
    void onBytesReceived();
    void onTick();

    // The next timer interval after a tick that came `elapsedMs` after the previous one.
    static int correctedInterval(int currentInterval, qint64 elapsedMs);
    // True when the nine characters before CR LF are all 0x30..0x3F.
    static bool isValidFrame(const QByteArray& frame);

    // What deferred work does when the step is still busy at the limit.
    enum class OnTimeout { Drop, Run };

    // Runs `work` now when `busy()` is false. Otherwise the caller runs nested inside the step
    // that is busy (from a message loop it runs, a Delay or a modal box), and waiting would
    // keep that step from ever finishing: the work is deferred to the message loop and runs
    // once `busy()` is false, or at `limitMs` is dropped (with a warning) or run all the same.
    // `context` guards the deferred work: it does not run once context is gone.
    static void runWhenIdle(std::function<bool()> busy, QObject* context,
                            std::function<void()> work, int limitMs = 3000,
                            OnTimeout onTimeout = OnTimeout::Drop);
    // The same, once neither the receive step nor the timer step runs; once the receive step
    // does not run; once the timer step does not run.
    void whenIdle(QObject* context, std::function<void()> work, int limitMs = 3000,
                  OnTimeout onTimeout = OnTimeout::Drop);
    void whenReceiveIdle(QObject* context, std::function<void()> work, int limitMs = 3000,
                         OnTimeout onTimeout = OnTimeout::Drop);
    void whenTimerIdle(QObject* context, std::function<void()> work, int limitMs = 3000,
                       OnTimeout onTimeout = OnTimeout::Drop);

    // The clock used by the timer step; the link does not own it. nullptr: the system clock.
    void setClock(const Clock* clock);
    const Clock& clock() const;

    // Counters for tests and measurements. Every frame the meter sends is acknowledged with Y,
    // a damaged one too (see receiveStep): framesAcknowledged counts them all.
    qint64 framesDecoded() const { return m_framesDecoded; }
    qint64 framesAcknowledged() const { return m_framesAcknowledged; }
    qint64 framesRejected() const { return m_framesRejected; }
    // CR LF with fewer than nine characters before it.
    qint64 framesDropped() const { return m_framesDropped; }
    // Bytes received and not yet part of a frame.
    const QByteArray& pendingBytes() const { return m_rxBuffer; }

Q_SIGNALS:
    // A valid frame was decoded (and acknowledged).
    void updated(const LiveUpdate& update);
    // The meter answers again, or stopped answering.
    void connectionChanged(bool connected, int meterModel);
    // The tick step ran at `now` (days since 30 Dec 1899); `withReading` tells whether a frame
    // arrived since the previous tick.
    void ticked(double now, bool withReading);
    // Text for status bar panel 0 (the port or why it failed) or 1 (the connection).
    void statusTextChanged(int panel, const QString& text);
    // The device of the port vanished and was opened again under another name (its adapter,
    // known by its identity, came back as ttyUSB1 instead of ttyUSB0); deviceName() is `to`.
    void portMoved(const QString& from, const QString& to);
    // An operation on the live port failed (the step it was part of ended silently); a device
    // that vanished closes the port on the first such report.
    void portFailed(int code, const QString& message);

private:
    friend void discoverMeter(LiveLink& link, DiscoveryHost& host);
    void receiveStep();
    void acknowledgeFrame();
    void timerStep();
    void takeInput();
    void answerIdentity();
    void linkUp();
    void linkDown();
    void onLivePortActiveChanged(bool active);
    bool reopenLostDevice();

    MeterPort m_livePort;
    QTimer m_tickTimer;
    FrameDecoder m_decoder;
    LinkState m_state;
    const Clock* m_clock = nullptr;
    Clock m_systemClock;
    bool m_rxBusy = false;
    bool m_timerBusy = false;
    bool m_newReading = false;
    int m_missedTicks = 0;
    qint64 m_tickReference = 0; // monotonic ms of the previous tick
    bool m_tickReferenceReset = true;
    QByteArray m_rxBuffer;
    bool m_rxAgain = false;
    bool m_streamRequested = false; // A went out in answer to the identity; no frame yet
    bool m_deviceLost = false;      // the port closed itself because its device vanished
    // The identity of the device at m_identityPath, taken when the port last opened there.
    PortIdentity m_identity;
    QString m_identityPath;
    bool m_strangerShown = false; // the lost port's path holds another device; said once
    qint64 m_framesDecoded = 0;
    qint64 m_framesAcknowledged = 0;
    qint64 m_framesRejected = 0;
    qint64 m_framesDropped = 0;
};
