#include "livelink.h"

#include "liveviews.h"
#include "metercommand.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {

// Sets a busy flag for the lifetime of a step, and clears it however the step ends.
class BusyScope {
public:
    explicit BusyScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~BusyScope() { m_flag = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& m_flag;
};

void abortOnError(TComPort*, const EComError&, TComAction& action) {
    action = caAbort;
}

} // namespace

LiveLink::LiveLink(LiveViews& views, QObject* parent) : QObject(parent), m_views(views) {
    Comm1.OnError = abortOnError;
    Comm3.OnError = abortOnError;
    Comm1.OnRxChar = [this](TComPort*) { Comm1RxChar(); };
    MainTimer.setInterval(1000);
    MainTimer.setTimerType(Qt::PreciseTimer);
    connect(&MainTimer, &QTimer::timeout, this, &LiveLink::MainTimerTimer);
    decoder.Reset();
}

LiveLink::~LiveLink() {
    MainTimer.stop();
    Comm1.OnRxChar = nullptr;
    CloseQuietly(Comm1);
    CloseQuietly(Comm3);
}

void LiveLink::setClock(const Clock* clock) {
    m_clock = clock;
}

const Clock& LiveLink::clock() const {
    return m_clock ? *m_clock : m_systemClock;
}

bool LiveLink::anyViewExists() const {
    return m_views.hasRecorder() || m_views.hasLcd() || m_views.hasGauge() || m_views.hasStatus();
}

bool LiveLink::IsValidFrame(const QByteArray& frame) {
    if (frame.size() < 9)
        return false;
    for (int i = 0; i < 9; ++i) {
        if ((std::uint8_t(frame[i]) & 0xF0) != 0x30)
            return false;
    }
    return true;
}

bool LiveLink::WaitWhileSet(const bool& flag, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    // Sleeps between looks, in a nested event loop, so the wait costs no processor time.
    while (flag && (timeoutMs < 0 || clock.elapsed() < timeoutMs)) {
        QEventLoop loop;
        QTimer::singleShot(10, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !flag;
}

void LiveLink::Comm1RxChar() {
    // A notification that arrives while the step runs (through a nested message loop) makes
    // the running step go round once more instead of cutting into its buffer.
    if (RxBusy) {
        m_rxAgain = true;
        return;
    }
    BusyScope busy(RxBusy);
    do {
        m_rxAgain = false;
        try {
            receiveStep();
        } catch (const EAbort&) {
            // the port failed; the step ends silently
        }
    } while (m_rxAgain);
}

void LiveLink::receiveStep() {
    // Take everything that is waiting, 64 bytes at a time, in order.
    const int n = Comm1.InputCount();
    if (Comm1.Active() && n > 0) {
        char block[64];
        int left = n;
        while (left > 0) {
            const int got = Comm1.Read(block, std::min(left, int(sizeof block)));
            if (got <= 0)
                break;
            RxBuffer.append(block, got);
            left -= got;
        }
    }

    // Each pass handles the first CR LF of the buffer; the buffer may hold more than one frame
    // (several arrived before this notification), so go on while complete frames remain.
    for (;;) {
        // Identity answer: the meter was called with K; start the live data.
        const bool is122 = RxBuffer.contains("122\r");
        if (is122 || RxBuffer.contains("120\r")) {
            MeterModel = is122 ? 122 : 120;
            MissedTicks = 0;
            if (Comm1.Active())
                Comm1.Write(CmdA.bytes());
        }

        const qsizetype crlf = RxBuffer.indexOf("\r\n");
        const qsizetype p = crlf + 1; // 1-based position of CR, 0 when there is none
        if (p > 9) {
            if (!Connected) {
                if (m_views.hasLcd())
                    m_views.lcdSetNoConnection(false);
                if (m_views.hasRecorder()) {
                    m_views.recorderSetButtons(!Recording, Recording);
                    m_views.setStatusText(1, Comm1.DeviceName());
                }
                if (MeterModel == 122)
                    m_views.setLoggerCommandsEnabled(true);
                Connected = true;
            }
            MissedTicks = 0;

            const QByteArray frame = RxBuffer.mid(p - 10, 11);
            const bool valid = IsValidFrame(frame);
            if (valid) {
                if (Comm1.Active()) {
                    Comm1.Write(CmdY.bytes());
                    ++FramesAcknowledged;
                }
                if (anyViewExists()) {
                    decoder.DecodeFrame(frame, MeterModel, m_views);
                    ++FramesDecoded;
                }
                NewReading = true;
            } else {
                ++FramesRejected;
            }
            // Keep every character after the CR LF: the start of the next frame may be there.
            RxBuffer.remove(0, p + 1);
            const qsizetype next = RxBuffer.indexOf("\r\n");
            if (next >= 9)
                continue;
        } else if (RxBuffer.size() >= 20) {
            RxBuffer = RxBuffer.right(9);
        }
        break;
    }
}

int LiveLink::CorrectedInterval(int currentInterval, qint64 elapsedMs) {
    // Lateness against the one-second period, in whole milliseconds of the monotonic clock.
    const qint64 lateness = elapsedMs - 1000;
    const qint64 n = qint64(currentInterval) - lateness;
    return n > 500 ? int(qMin<qint64>(n, 60000)) : 500;
}

void LiveLink::MainTimerTimer() {
    if (TimerBusy)
        return; // a tick that arrives inside a running step is dropped
    BusyScope busy(TimerBusy);
    try {
        const double now = clock().now();
        const qint64 monotonic = clock().monotonicMs();
        ++TickCounter;

        if (NewReading) {
            NewReading = false;
            MissedTicks = 0;
            if (ScheduleArmed) {
                if (now >= ScheduleStart && now <= ScheduleStop && !Recording) {
                    Recording = true;
                    TickCounter = ScheduleInterval;
                    RecordInterval = ScheduleInterval == 0 ? 2 : ScheduleInterval;
                    if (m_views.hasRecorder())
                        m_views.recorderShowRate(RecordInterval);
                }
                if (now > ScheduleStop) {
                    Recording = false;
                    ScheduleArmed = false;
                }
            }
            if (Recording && TickCounter >= RecordInterval) {
                TickCounter = 0;
                if (m_views.hasRecorder())
                    m_views.recorderTakeSample(now);
            }
        } else {
            ++MissedTicks;
            if (MissedTicks >= NoConnectionLimit) {
                if (m_views.hasRecorder())
                    m_views.recorderSetButtons(false, false);
                if (m_views.hasLcd())
                    m_views.lcdSetNoConnection(true);
                Connected = false;
                m_views.setLoggerCommandsEnabled(false);
                TickCounter = 0;
                MissedTicks = 0;
                m_views.setStatusText(1, QStringLiteral("No Connection"));
            }
        }

        if (!Connected && Comm1.Active())
            Comm1.Write(CmdK.bytes());

        // Keep the average tick period at one second.
        if (TickReferenceReset) {
            TickReference = monotonic;
            TickReferenceReset = false;
        } else {
            MainTimer.setInterval(
                CorrectedInterval(MainTimer.interval(), monotonic - TickReference));
            TickReference = monotonic;
        }
        if (!Connected)
            MainTimer.setInterval(1000);
    } catch (const EAbort&) {
        // a port failure ends the step silently
    }
}
