#include "discovery.h"

#include "delay.h"
#include "livelink.h"
#include "metercommand.h"

#include <QElapsedTimer>

namespace {

bool holdsIdentity(const QByteArray& answer) {
    return answer.contains("120\r") || answer.contains("122\r");
}

// Two K commands, then whatever the port has received, waiting at most IdentityWaitMs for an
// identity answer. Throws SilentAbort when the port fails in between.
QByteArray callMeter(MeterPort& port) {
    QByteArray answer;
    if (port.Active())
        port.Write(CmdK.bytes());
    if (port.Active())
        port.Write(CmdK.bytes());
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (!port.Active())
            break;
        const int n = port.InputCount();
        if (n > 0) {
            QByteArray got;
            port.Read(got, n);
            answer += got;
        }
        if (holdsIdentity(answer) || waited.elapsed() >= IdentityWaitMs)
            break;
        Delay(5);
    }
    return answer;
}

} // namespace

void DiscoverMeter(LiveLink& link, DiscoveryHost& host) {
    MeterPort& port = link.m_livePort;
    host.showProgress(QStringLiteral("Initializing COM Port ...."));

    // Answers must stay in the port for the search to read.
    port.OnRxChar = nullptr;

    bool found = false;
    QString refusal; // why a port could not be opened, for the status bar
    for (int i = 0; i < host.portCount(); ++i) {
        if (host.portName(i) == MeterPort::SimulatorName())
            continue;
        CloseQuietly(port);
        Delay(150);
        host.selectPort(i);
        port.setDeviceName(MeterPort::DevicePath(host.portText())); // the port is closed
        Delay(150);
        host.showProgress(QStringLiteral("Searching Multimeter on ") + port.DeviceName());
        OpenQuietly(port);
        if (!port.Active() && port.LastOpenRefused() && refusal.isEmpty())
            refusal = port.LastOpenFailure();

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
        CloseQuietly(port);
        Delay(150);
    }

    if (found) {
        link.m_state.setSavedModel(link.m_state.MeterModel());
        Q_EMIT link.statusTextChanged(0, QStringLiteral("On Connection"));
        Q_EMIT link.statusTextChanged(1, port.DeviceName());
        Q_EMIT link.connectionChanged(true, link.m_state.MeterModel());
    } else {
        CloseQuietly(port);
        Delay(150);
        link.m_state.setMeterModel(link.m_state.SavedModel() == 120 ? 120 : 122);
        // A stored index beyond the real ports is out of range, and so is the emulator's
        // (the last entry): a simulated reading must not pass for a real one, so the program
        // never preselects it.
        if (link.m_state.PortIndex() >= host.portCount() ||
            host.portName(link.m_state.PortIndex()) == MeterPort::SimulatorName()) {
            link.m_state.setPortIndex(0);
        }
        if (host.portName(link.m_state.PortIndex()) != MeterPort::SimulatorName())
            host.selectPort(link.m_state.PortIndex());
        port.setDeviceName(MeterPort::DevicePath(host.portText())); // the port is closed
        Q_EMIT link.statusTextChanged(0, port.DeviceName());
        Q_EMIT link.statusTextChanged(1, QStringLiteral("Not connected"));
    }

    CloseQuietly(port);
    Delay(300);
    port.OnRxChar = [&link](MeterPort*) { link.onBytesReceived(); };
    OpenQuietly(port);
    if (!port.Active() && port.LastOpenRefused())
        refusal = port.LastOpenFailure();
    try {
        port.ClearInput();
        if (port.Active())
            port.Write(CmdA.bytes());
    } catch (const SilentAbort&) {
        // the port failed at once: the main timer's link watch takes over
    }
    // A port the user may not open must not look like a missing meter.
    if (!found && !refusal.isEmpty())
        Q_EMIT link.statusTextChanged(0, refusal);
}
