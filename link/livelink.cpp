#include "livelink.h"

#include "errorboundary.h"
#include "metercommand.h"
#include "serialportlist.h"

#include <QElapsedTimer>
#include <QTimer>

#include <memory>

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

} // namespace

LiveLink::LiveLink(QObject* parent) : QObject(parent) {
    m_livePort.onError = [this](MeterPort*, const PortError& error, PortErrorAction& action) {
        action = caAbort;
        Q_EMIT portFailed(error.code, error.message);
    };
    m_livePort.onRxChar = [this](MeterPort*) { onBytesReceived(); };
    connect(&m_livePort, &MeterPort::activeChanged, this, &LiveLink::onLivePortActiveChanged);
    m_tickTimer.setInterval(1000);
    m_tickTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_tickTimer, &QTimer::timeout, this, &LiveLink::onTick);
}

LiveLink::~LiveLink() {
    m_tickTimer.stop();
    m_livePort.onRxChar = nullptr;
    closeQuietly(m_livePort);
}

void LiveLink::resetStatistics() {
    whenReceiveIdle(this, [this] { m_decoder.resetStatistics(); });
}

void LiveLink::attachMeter(int model) {
    m_state.setMeterModel(model);
    m_state.setSavedModel(m_state.meterModel());
    m_livePort.onRxChar = [this](MeterPort*) { onBytesReceived(); };
    if (!m_state.connected()) {
        m_state.setConnected(true);
        Q_EMIT connectionChanged(true, m_state.meterModel());
    }
    try {
        m_livePort.clearInput();
        if (m_livePort.active())
            m_livePort.write(CmdA.bytes());
    } catch (const SilentAbort&) {
        // the port failed at once: the tick step's link watch takes over
    }
}

void LiveLink::openPort() {
    openQuietly(m_livePort);
}

void LiveLink::closePort() {
    closeQuietly(m_livePort);
}

void LiveLink::writeToMeter(const QByteArray& command) {
    if (!m_livePort.active())
        return;
    try {
        m_livePort.write(command);
    } catch (const SilentAbort&) {
        // the port failed; the link watch notices it
    } catch (const PortError&) {
    }
}

void LiveLink::startTicking() {
    // The tick after a pause measures its lateness from a fresh reference.
    m_tickReferenceReset = true;
    m_tickTimer.start();
}

void LiveLink::stopTicking() {
    m_tickTimer.stop();
}

void LiveLink::setClock(const Clock* clock) {
    m_clock = clock;
}

const Clock& LiveLink::clock() const {
    return m_clock ? *m_clock : m_systemClock;
}

bool LiveLink::isValidFrame(const QByteArray& frame) {
    if (frame.size() < 9)
        return false;
    for (int i = 0; i < 9; ++i) {
        if ((std::uint8_t(frame[i]) & 0xF0) != 0x30)
            return false;
    }
    return true;
}

void LiveLink::runWhenIdle(std::function<bool()> busy, QObject* context, std::function<void()> work,
                           int limitMs, OnTimeout onTimeout) {
    if (!busy()) {
        work();
        return;
    }
    // The busy step is further down this call stack, suspended in a nested message loop:
    // look again each time control is back in the message loop, up to the limit.
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    auto attempt = std::make_shared<std::function<void()>>();
    *attempt = [busy = std::move(busy), context, work = std::move(work), limitMs, onTimeout, waited,
                weak = std::weak_ptr<std::function<void()>>(attempt)] {
        const bool timedOut = waited->elapsed() >= limitMs;
        if (!busy() || (timedOut && onTimeout == OnTimeout::Run)) {
            work();
            return;
        }
        if (timedOut) {
            qWarning("live link: a step stayed busy for %d ms; deferred work dropped", limitMs);
            return;
        }
        if (auto again = weak.lock())
            QTimer::singleShot(10, context, [again] { (*again)(); });
    };
    QTimer::singleShot(0, context, [attempt] { (*attempt)(); });
}

void LiveLink::whenIdle(QObject* context, std::function<void()> work, int limitMs,
                        OnTimeout onTimeout) {
    runWhenIdle([this] { return m_rxBusy || m_timerBusy; }, context, std::move(work), limitMs,
                onTimeout);
}

void LiveLink::whenReceiveIdle(QObject* context, std::function<void()> work, int limitMs,
                               OnTimeout onTimeout) {
    runWhenIdle([this] { return m_rxBusy; }, context, std::move(work), limitMs, onTimeout);
}

void LiveLink::whenTimerIdle(QObject* context, std::function<void()> work, int limitMs,
                             OnTimeout onTimeout) {
    runWhenIdle([this] { return m_timerBusy; }, context, std::move(work), limitMs, onTimeout);
}

void LiveLink::onBytesReceived() {
    // A notification that arrives while the step runs (through a nested message loop) makes
    // the running step go round once more instead of cutting into its buffer.
    if (m_rxBusy) {
        m_rxAgain = true;
        return;
    }
    BusyScope busy(m_rxBusy);
    do {
        m_rxAgain = false;
        ErrorBoundary::Run([this] { receiveStep(); });
    } while (m_rxAgain && m_livePort.active());
}

void LiveLink::reopenPort() {
    openQuietly(m_livePort);
    if (!m_livePort.active())
        m_deviceLost = true;
}

PortIdentity LiveLink::portIdentity() const {
    return m_identityPath == m_livePort.deviceName() ? m_identity : PortIdentity();
}

void LiveLink::onLivePortActiveChanged(bool active) {
    // Bytes of another device, or of the time before the port closed, never make a frame.
    m_rxBuffer.clear();
    if (active) {
        m_deviceLost = false;
        m_strangerShown = false;
        // Who the device is, while it is there to ask: once it is gone, the system's list no
        // longer has it.
        m_identityPath = m_livePort.deviceName();
        m_identity = m_identityPath == MeterPort::simulatorName()
                         ? PortIdentity()
                         : SerialPortList::identityAt(m_identityPath);
    } else if (m_livePort.deviceLost()) {
        m_deviceLost = true;
    }
}

bool LiveLink::reopenLostDevice() {
    const QString lostPath = m_livePort.deviceName();
    const PortIdentity identity = portIdentity();
    if (!identity.isKnown())
        return m_livePort.tryOpen();
    const QList<SerialPortList::Entry> ports = SerialPortList::entries();
    const QString path = SerialPortList::reopenPath(lostPath, identity, ports);
    if (path.isEmpty()) {
        const PortIdentity there = SerialPortList::identityAt(lostPath, ports);
        if (!m_strangerShown && there.isKnown()) {
            m_strangerShown = true;
            Q_EMIT statusTextChanged(0, QStringLiteral("%1 is another device now (%2); waiting "
                                                       "for the meter's adapter (%3)")
                                            .arg(lostPath, there.text(), identity.text()));
        }
        return false;
    }
    if (path == lostPath)
        return m_livePort.tryOpen();
    m_livePort.setDeviceName(path); // the port is closed
    if (!m_livePort.tryOpen()) {
        // Looked for again at the next tick, by the same identity.
        m_livePort.setDeviceName(lostPath);
        return false;
    }
    Q_EMIT portMoved(lostPath, path);
    Q_EMIT statusTextChanged(0, QStringLiteral("%1 (found again; was %2)").arg(path, lostPath));
    return true;
}

void LiveLink::takeInput() {
    const int n = m_livePort.inputCount();
    if (n <= 0 || !m_livePort.active())
        return;
    const qsizetype old = m_rxBuffer.size();
    m_rxBuffer.resize(old + n);
    const int got = m_livePort.read(m_rxBuffer.data() + old, n);
    m_rxBuffer.resize(old + std::max(got, 0));
}

void LiveLink::answerIdentity() {
    // The meter answers only K, and K is sent only while the link is down: a live frame whose
    // last characters happen to read "122" is not an answer.
    if (m_state.connected())
        return;
    const qsizetype at122 = m_rxBuffer.indexOf("122\r");
    const qsizetype at120 = m_rxBuffer.indexOf("120\r");
    if (at122 < 0 && at120 < 0)
        return;
    const qsizetype at = at122 < 0 ? at120 : at120 < 0 ? at122 : std::min(at120, at122);
    m_state.setMeterModel(at == at122 ? 122 : 120);
    m_missedTicks = 0;
    // The answer is handled once: it leaves the buffer, and A goes out once per notification.
    m_rxBuffer.remove(0, at + 4);
    if (m_livePort.active()) {
        m_livePort.write(CmdA.bytes());
        m_streamRequested = true;
    }
}

void LiveLink::linkUp() {
    m_streamRequested = false;
    if (m_state.connected())
        return;
    m_state.setConnected(true);
    Q_EMIT statusTextChanged(1, m_livePort.deviceName());
    Q_EMIT connectionChanged(true, m_state.meterModel());
}

void LiveLink::linkDown() {
    m_state.setConnected(false);
    m_missedTicks = 0;
    Q_EMIT statusTextChanged(1, QStringLiteral("No Connection"));
    Q_EMIT connectionChanged(false, m_state.meterModel());
}

void LiveLink::receiveStep() {
    takeInput();
    answerIdentity();

    // Every CR LF ends a frame: the nine characters before it. Fewer than nine before it is
    // line noise (a meter's power-up garbage, a frame cut short): it is dropped with what
    // precedes it, so the buffer is in step with the meter again at the next frame. One pass
    // over the new bytes and one shift of the buffer, however many frames arrived at once.
    //
    // The meter sends its next frame only after a Y. A frame of nine characters that fails the
    // check (a character outside 0x30..0x3F) is acknowledged too and then dropped: Y only
    // tells the meter to go on, so the damage costs that one frame. Left unanswered, the meter
    // would wait until the link watch gave up on it and called it again with K, several
    // seconds later. (A, the other way to get frames flowing, would restart the stream at once
    // instead of at the meter's own pace.) A shorter line is not answered: it may be line
    // noise between frames, and a Y the meter is not waiting for must not run ahead of it.
    qsizetype start = 0;
    for (;;) {
        const qsizetype cr = m_rxBuffer.indexOf("\r\n", start);
        if (cr < 0)
            break;
        if (cr - start >= 9) {
            linkUp();
            m_missedTicks = 0;
            const QByteArray frame = m_rxBuffer.mid(cr - 9, 11);
            acknowledgeFrame();
            if (isValidFrame(frame)) {
                const LiveUpdate update = m_decoder.decode(frame, m_state.meterModel());
                ++m_framesDecoded;
                m_newReading = true;
                Q_EMIT updated(update);
            } else {
                ++m_framesRejected;
            }
        } else {
            ++m_framesDropped;
        }
        start = cr + 2;
    }
    m_rxBuffer.remove(0, start);
    // A stretch without any CR LF is not a frame: keep only what could still end as one (nine
    // characters and a CR).
    if (m_rxBuffer.size() >= 20)
        m_rxBuffer = m_rxBuffer.right(10);
}

void LiveLink::acknowledgeFrame() {
    if (!m_livePort.active())
        return;
    m_livePort.write(CmdY.bytes());
    ++m_framesAcknowledged;
}

int LiveLink::correctedInterval(int currentInterval, qint64 elapsedMs) {
    // Lateness against the one-second period, in whole milliseconds of the monotonic clock.
    const qint64 lateness = elapsedMs - 1000;
    const qint64 n = qint64(currentInterval) - lateness;
    return n > 500 ? int(qMin<qint64>(n, 60000)) : 500;
}

void LiveLink::onTick() {
    if (m_timerBusy)
        return; // a tick that arrives inside a running step is dropped
    BusyScope busy(m_timerBusy);
    ErrorBoundary::Run([this] { timerStep(); });
}

void LiveLink::timerStep() {
    const double now = clock().now();
    const qint64 monotonic = clock().monotonicMs();

    const bool withReading = m_newReading;
    m_newReading = false;
    if (withReading)
        m_missedTicks = 0;
    Q_EMIT ticked(now, withReading);
    if (!withReading && ++m_missedTicks >= NoConnectionLimit)
        linkDown();

    // A device that vanished (an unplugged adapter) is looked for again once a tick: by its
    // identity where its adapter reports one, else at the same path. When it is back, K finds
    // the meter.
    if (!m_state.connected() && m_deviceLost && !m_livePort.active() && reopenLostDevice())
        m_livePort.clearInput();
    // K stops a running stream: the tick right after an A that answered the identity leaves
    // the meter its moment to start sending.
    if (!m_state.connected() && m_livePort.active()) {
        if (m_streamRequested)
            m_streamRequested = false;
        else
            m_livePort.write(CmdK.bytes());
    }

    // Keep the average tick period at one second.
    if (m_tickReferenceReset) {
        m_tickReference = monotonic;
        m_tickReferenceReset = false;
    } else {
        m_tickTimer.setInterval(correctedInterval(m_tickTimer.interval(), monotonic - m_tickReference));
        m_tickReference = monotonic;
    }
    if (!m_state.connected())
        m_tickTimer.setInterval(1000);
}
