#include "discovery.h"

#include "delay.h"
#include "livelink.h"
#include "metercommand.h"

#include <QElapsedTimer>
#include <QList>

#include <utility>

namespace {

bool holdsIdentity(const QByteArray& answer) {
    return answer.contains("120\r") || answer.contains("122\r");
}

// Two K commands, then whatever the port has received, waiting at most IdentityWaitMs for an
// identity answer. Throws SilentAbort when the port fails in between.
QByteArray callMeter(MeterPort& port) {
    QByteArray answer;
    if (port.active())
        port.write(CmdK.bytes());
    if (port.active())
        port.write(CmdK.bytes());
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (!port.active())
            break;
        const int n = port.inputCount();
        if (n > 0) {
            QByteArray got;
            port.read(got, n);
            answer += got;
        }
        if (holdsIdentity(answer) || waited.elapsed() >= IdentityWaitMs)
            break;
        delay(5);
    }
    return answer;
}

} // namespace

void discoverMeter(LiveLink& link, DiscoveryHost& host) {
    MeterPort& port = link.m_livePort;
    host.showProgress(QStringLiteral("Initializing COM Port ...."));

    // Answers must stay in the port for the search to read.
    port.onRxChar = nullptr;

    // The port used last time is asked first, so that with several meters on the desk the
    // program comes back to the one the user had; then the others in the list's order.
    QList<int> order;
    const int remembered = link.m_state.portIndex();
    const bool rememberedFirst = remembered > 0 && remembered < host.portCount();
    if (rememberedFirst)
        order << remembered;
    for (int i = 0; i < host.portCount(); ++i) {
        if (!(rememberedFirst && i == remembered))
            order << i;
    }

    bool found = false;
    QString refusal; // why a port could not be opened, for the status bar
    for (const int i : std::as_const(order)) {
        if (host.portName(i) == MeterPort::simulatorName())
            continue;
        closeQuietly(port);
        delay(150);
        host.selectPort(i);
        port.setDeviceName(MeterPort::devicePath(host.portText())); // the port is closed
        delay(150);
        host.showProgress(QStringLiteral("Searching Multimeter on ") + port.deviceName());
        openQuietly(port);
        if (!port.active() && port.lastOpenRefused() && refusal.isEmpty())
            refusal = port.lastOpenFailure();

        QByteArray answer;
        try {
            answer = callMeter(port);
        } catch (const SilentAbort&) {
            // the port failed while the meter was called: no meter here
        }
        if (holdsIdentity(answer)) {
            link.m_state.setMeterModel(answer.contains("122\r") ? 122 : 120);
            link.m_state.setConnected(true);
            link.m_state.setPortIndex(i);
            found = true;
            break;
        }
        closeQuietly(port);
        delay(150);
    }

    if (found) {
        link.m_state.setSavedModel(link.m_state.meterModel());
        Q_EMIT link.statusTextChanged(0, QStringLiteral("On Connection"));
        Q_EMIT link.statusTextChanged(1, port.deviceName());
        Q_EMIT link.connectionChanged(true, link.m_state.meterModel());
    } else {
        closeQuietly(port);
        delay(150);
        link.m_state.setMeterModel(link.m_state.savedModel() == 120 ? 120 : 122);
        // A stored index beyond the real ports is out of range, and so is the emulator's
        // (the last entry): a simulated reading must not pass for a real one, so the program
        // never preselects it.
        if (link.m_state.portIndex() >= host.portCount() ||
            host.portName(link.m_state.portIndex()) == MeterPort::simulatorName()) {
            link.m_state.setPortIndex(0);
        }
        if (host.portName(link.m_state.portIndex()) != MeterPort::simulatorName())
            host.selectPort(link.m_state.portIndex());
        port.setDeviceName(MeterPort::devicePath(host.portText())); // the port is closed
        Q_EMIT link.statusTextChanged(0, port.deviceName());
        Q_EMIT link.statusTextChanged(1, QStringLiteral("Not connected"));
    }

    closeQuietly(port);
    delay(300);
    port.onRxChar = [&link](MeterPort*) { link.onBytesReceived(); };
    openQuietly(port);
    if (!port.active() && port.lastOpenRefused())
        refusal = port.lastOpenFailure();
    try {
        port.clearInput();
        if (port.active())
            port.write(CmdA.bytes());
    } catch (const SilentAbort&) {
        // the port failed at once: the main timer's link watch takes over
    }
    // A port the user may not open must not look like a missing meter.
    if (!found && !refusal.isEmpty())
        Q_EMIT link.statusTextChanged(0, refusal);
}
