#include "metersession.h"

#include "delay.h"
#include "discovery.h"
#include "metercommand.h"
#include "serialportlist.h"

#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace {

// How long a port named by the user is given to answer K: longer than the search's wait,
// since only one port is called and a wrong "no meter" costs the user a second try.
constexpr int NamedPortWaitMs = 500;

void abortOnError(MeterPort*, const PortError&, PortErrorAction& action) {
    action = caAbort;
}

int modelIn(const QByteArray& answer) {
    const qsizetype at122 = answer.indexOf("122\r");
    const qsizetype at120 = answer.indexOf("120\r");
    if (at122 < 0 && at120 < 0)
        return 0;
    if (at122 < 0)
        return 120;
    if (at120 < 0)
        return 122;
    return at120 < at122 ? 120 : 122;
}

// The search's view of the port list: the system's ports, no port box and no start-up screen.
class PortListHost : public DiscoveryHost {
public:
    PortListHost() { MeterPort::enumeratePorts(m_ports); }
    void showProgress(const QString& text) override {
        if (::isatty(2))
            std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    int portCount() const override { return int(m_ports.size()); }
    QString portName(int index) const override { return m_ports.value(index); }
    void selectPort(int index) override { m_current = index; }
    QString portText() const override { return m_ports.value(m_current); }

private:
    QStringList m_ports;
    int m_current = 0;
};

} // namespace

MeterSession::MeterSession() {
    m_printer.follow(m_link);
}

MeterSession::~MeterSession() {
    close();
}

MeterSession::Probe MeterSession::probePort(MeterPort& port, const QString& path, int waitMs) {
    Probe probe;
    port.onRxChar = nullptr;
    closeQuietly(port);
    port.setDeviceName(path);
    if (!port.tryOpen()) {
        probe.refused = port.lastOpenRefused();
        probe.failure = port.lastOpenFailure();
        return probe;
    }
    probe.opened = true;
    const MeterPort::ErrorHandler previous = port.onError;
    port.onError = abortOnError;
    QByteArray answer;
    try {
        port.clearInput();
        port.write(CmdK.bytes());
        port.write(CmdK.bytes());
        QElapsedTimer waited;
        waited.start();
        while (port.active() && !modelIn(answer) && waited.elapsed() < waitMs) {
            if (const int n = port.inputCount(); n > 0) {
                QByteArray got;
                port.read(got, n);
                answer += got;
            } else {
                delay(5);
            }
        }
    } catch (const SilentAbort&) {
        // the port failed while the meter was called: no meter there
    }
    port.onError = previous;
    probe.model = port.active() ? modelIn(answer) : 0;
    if (!probe.model)
        closeQuietly(port);
    return probe;
}

QStringList MeterSession::metersOnAllPorts(int waitMs) {
    QStringList names;
    MeterPort::enumeratePorts(names);
    QStringList found;
    MeterPort port;
    port.onError = abortOnError;
    for (const QString& name : names) {
        if (name == MeterPort::simulatorName())
            continue;
        const QString path = MeterPort::devicePath(name);
        if (probePort(port, path, waitMs).model)
            found += path;
        closeQuietly(port);
    }
    return found;
}

QString MeterSession::meterId(const QString& path, int model, const QString& serialNumber) {
    QString name = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    while (name.startsWith(u'/'))
        name.remove(0, 1);
    QString id = name + u'-' + QString::number(model);
    if (!serialNumber.isEmpty())
        id += u'-' + serialNumber;
    for (QChar& c : id) {
        if (c == u'/' || c == u'+' || c == u'#' || c.isSpace() || c.unicode() < 0x20)
            c = u'_';
    }
    return id;
}

ExitCode MeterSession::connect(const QString& portOption, QString* message) {
    if (portOption.isEmpty()) {
        PortListHost host;
        if (host.portCount() == 0) {
            *message = QStringLiteral("no serial port found; name one with --port");
            return ExitCode::NoMeter;
        }
        discoverMeter(m_link, host);
        if (!m_link.connected()) {
            // The search leaves the reason a port could not be opened in the status bar's
            // first panel in place of the device name.
            const QString refusal = m_printer.statusText(0);
            const bool refused = !refusal.isEmpty() && refusal != m_link.deviceName();
            close();
            *message =
                refused ? QStringLiteral("no meter found; a port could not be opened: ") + refusal
                        : QStringLiteral("no meter answers on any serial port");
            return refused ? ExitCode::PortRefused : ExitCode::NoMeter;
        }
    } else {
        const QString path = MeterPort::devicePath(portOption);
        MeterPort port;
        const Probe probe = probePort(port, path, NamedPortWaitMs);
        if (!probe.opened) {
            // Missing, in use or not permitted: the port could not be opened, whatever the
            // reason; "no meter" is for a port that opened and stayed silent.
            *message = QStringLiteral("cannot open %1: %2").arg(path, probe.failure);
            return ExitCode::PortRefused;
        }
        if (!probe.model) {
            *message = QStringLiteral("no meter answers on %1").arg(path);
            return ExitCode::NoMeter;
        }
        // As the search hands the line over: the live link's port on the same device, the
        // receive step attached, A sent.
        closeQuietly(port);
        m_link.setDeviceName(path);
        m_link.openPort();
        m_printer.setMeterId(
            meterId(path, probe.model, SerialPortList::identityAt(path).serialNumber));
        m_link.attachMeter(probe.model);
    }
    // The adapter's serial number as the link took it when the port opened (a by-id path
    // names the device through a link; the system's list knows it by its own name).
    if (m_printer.meterId().isEmpty())
        m_printer.setMeterId(
            meterId(m_link.deviceName(), m_link.meterModel(), m_link.portIdentity().serialNumber));
    m_link.startTicking();
    return ExitCode::Ok;
}

bool MeterSession::waitForReading(int timeoutMs) {
    QElapsedTimer waited;
    waited.start();
    while (m_printer.readings() == 0 && waited.elapsed() < timeoutMs)
        delay(5);
    return m_printer.readings() > 0;
}

void MeterSession::close() {
    m_link.stopTicking();
    m_link.closePort();
}
