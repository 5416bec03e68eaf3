#include "meterport.h"

#include "portbackend.h"
#include "serialbackend.h"
#include "serialportlist.h"

#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>

namespace {
std::optional<QStringList>& portListOverride() {
    static std::optional<QStringList> list;
    return list;
}

MeterPort::BackendFactory& backendFactory() {
    static MeterPort::BackendFactory factory;
    return factory;
}

MeterPort::SimulatorFactory& simulatorFactory() {
    static MeterPort::SimulatorFactory factory;
    return factory;
}
} // namespace

// Operations during which a notification of the device is held back until the event loop.
class MeterPort::OperationScope {
public:
    explicit OperationScope(MeterPort& port) : m_port(port) { ++m_port.m_operationDepth; }
    ~OperationScope() {
        if (--m_port.m_operationDepth == 0 && m_port.m_notifyDeferred) {
            m_port.m_notifyDeferred = false;
            m_port.postNotification();
        }
    }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

private:
    MeterPort& m_port;
};

MeterPort::MeterPort(QObject* parent) : QObject(parent) {}

MeterPort::~MeterPort() {
    if (m_backend) {
        m_backend->onReadyRead = nullptr;
        m_backend->onDeviceError = nullptr;
        m_backend->close();
    }
}

QString MeterPort::simulatorName() {
    return QStringLiteral("Simulator");
}

QString MeterPort::devicePath(const QString& portName) {
    if (portName.startsWith(u'/') || portName == simulatorName())
        return portName;
    if (SerialPortList::overridden()) {
        const auto ports = SerialPortList::entries();
        for (const SerialPortList::Entry& entry : ports) {
            if (entry.name == portName)
                return entry.path;
        }
        return portName;
    }
    const QSerialPortInfo info(portName);
    const QString location = info.systemLocation();
    return location.isEmpty() ? portName : location;
}

void MeterPort::enumeratePorts(QStringList& list) {
    if (portListOverride()) {
        list += *portListOverride();
        return;
    }
    const auto ports = SerialPortList::entries();
    for (const SerialPortList::Entry& entry : ports)
        list += entry.name;
}

void MeterPort::setPortListOverride(std::optional<QStringList> ports) {
    portListOverride() = std::move(ports);
}

void MeterPort::setBackendFactory(BackendFactory factory) {
    backendFactory() = std::move(factory);
}

void MeterPort::setSimulatorFactory(SimulatorFactory factory) {
    simulatorFactory() = std::move(factory);
}

void MeterPort::raise(int code, const QString& message) {
    PortError error(code, message);
    PortErrorAction action = caFail;
    if (onError)
        onError(this, error, action);
    if (action == caAbort)
        throw SilentAbort();
    throw error;
}

void MeterPort::requireOpen() {
    if (!active())
        raise(0, PortErrorText::closedPort);
}

bool MeterPort::active() const {
    return m_backend && m_backend->isOpen();
}

void MeterPort::setActive(bool wanted) {
    if (wanted == active())
        return;
    if (!wanted) {
        m_deviceLost = false;
        m_backend->close();
        Q_EMIT activeChanged(false);
        return;
    }
    PortBackend::Failure failure;
    if (!open(failure))
        raise(failure.code, failure.text);
}

bool MeterPort::tryOpen() {
    if (active())
        return true;
    PortBackend::Failure failure;
    return open(failure);
}

bool MeterPort::open(PortBackend::Failure& failure) {
    m_readShort = false;
    const QString path = devicePath(m_deviceName);
    const bool simulator = path == simulatorName();
    std::unique_ptr<PortBackend> injected;
    if (backendFactory())
        injected = backendFactory()(path);
    if (simulator && !injected && !simulatorFactory()) {
        // No emulator registered: the name is a device that is not there.
        failure = {ENOENT, QStringLiteral("%1: No such device").arg(path)};
        m_lastOpenFailure = failure.text;
        m_lastOpenFailureCode = failure.code;
        return false;
    }
    if (!m_backend || simulator != m_simulated || injected || m_injected) {
        if (m_backend) {
            m_backend->onReadyRead = nullptr;
            m_backend->onDeviceError = nullptr;
        }
        m_retired = std::move(m_backend);
        m_injected = injected != nullptr;
        m_simulated = !injected && simulator;
        if (injected)
            m_backend = std::move(injected);
        else if (simulator)
            m_backend = simulatorFactory()();
        else
            m_backend = std::make_unique<SerialBackend>(path);
        m_backend->onReadyRead = [this] { onBackendReadyRead(); };
        m_backend->onDeviceError = [this](const PortBackend::Failure& f) {
            onBackendError(f.code, f.text);
        };
    }
    m_backend->setPath(path);
    if (!m_backend->open(&failure)) {
        m_lastOpenFailure = failure.text;
        m_lastOpenFailureCode = failure.code;
        return false;
    }
    m_deviceLost = false;
    m_lastOpenFailure.clear();
    m_lastOpenFailureCode = 0;
    Q_EMIT activeChanged(true);
    return true;
}

QString MeterPort::deviceName() const {
    return m_deviceName;
}

void MeterPort::setDeviceName(const QString& name) {
    if (name == m_deviceName)
        return;
    if (active())
        raise(0, PortErrorText::openPort);
    m_deviceName = name;
}

int MeterPort::inputCount() {
    requireOpen();
    OperationScope operation(*this);
    return int(m_backend->bytesAvailable());
}

int MeterPort::read(char* buffer, int count) {
    requireOpen();
    if (m_readShort) {
        m_readShort = false;
        raise(0, PortErrorText::timeout);
    }
    if (count <= 0)
        return 0;
    OperationScope operation(*this);
    const qint64 available = m_backend->bytesAvailable();
    const int n = int(m_backend->read(buffer, std::min<qint64>(count, available)));
    m_readShort = n < count;
    return n;
}

int MeterPort::read(QByteArray& buffer, int count) {
    buffer.resize(std::max(count, 0));
    const int n = read(buffer.data(), count);
    buffer.resize(n);
    return n;
}

void MeterPort::write(const char* buffer, int count) {
    requireOpen();
    if (count <= 0)
        return;
    OperationScope operation(*this);
    // A write waits for the one before it to leave.
    m_backend->waitWritten();
    PortBackend::Failure failure;
    if (!m_backend->write(buffer, count, &failure))
        raise(failure.code, failure.text.isEmpty() ? PortErrorText::timeout : failure.text);
}

void MeterPort::write(const QByteArray& bytes) {
    write(bytes.constData(), int(bytes.size()));
}

void MeterPort::clearInput() {
    if (!active())
        return;
    OperationScope operation(*this);
    m_backend->clearInput();
}

QString MeterPort::lastOpenFailure() const {
    return m_lastOpenFailure;
}

int MeterPort::lastOpenFailureCode() const {
    return m_lastOpenFailureCode;
}

bool MeterPort::lastOpenRefused() const {
    return m_lastOpenFailureCode == EACCES || m_lastOpenFailureCode == EBUSY;
}

bool MeterPort::deviceLost() const {
    return m_deviceLost;
}

void MeterPort::postNotification() {
    if (m_notifyPosted)
        return;
    m_notifyPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_notifyPosted = false;
            onBackendReadyRead();
        },
        Qt::QueuedConnection);
}

void MeterPort::onBackendReadyRead() {
    if (!onRxChar || !active())
        return;
    // The handler never runs inside one of this object's operations, nor inside itself.
    if (m_operationDepth > 0) {
        m_notifyDeferred = true;
        return;
    }
    if (m_inHandler) {
        postNotification();
        return;
    }
    m_inHandler = true;
    // The handler ends its own actions; an abort that still escapes ends the notification.
    try {
        onRxChar(this);
    } catch (const SilentAbort&) {
    } catch (const PortError& e) {
        qWarning("%s: receive handler failed: %s", qPrintable(m_deviceName), e.what());
    }
    m_inHandler = false;
    // Bytes that arrived while the handler ran may never be announced again.
    if (active() && onRxChar) {
        OperationScope operation(*this);
        if (m_backend->bytesAvailable() > 0)
            m_notifyDeferred = true;
    }
}

void MeterPort::onBackendError(int code, const QString& text) {
    // The backend closed the device: not inside any operation of the program, so the handler
    // is told and nothing is thrown.
    m_deviceLost = true;
    m_readShort = false;
    Q_EMIT activeChanged(false);
    if (!onError)
        return;
    PortError error(code, text);
    PortErrorAction action = caFail;
    onError(this, error, action);
}

void openQuietly(MeterPort& port) {
    try {
        port.setActive(true);
    } catch (const SilentAbort&) {
    } catch (const PortError&) {
    }
}

void closeQuietly(MeterPort& port) {
    try {
        port.setActive(false);
    } catch (const SilentAbort&) {
    } catch (const PortError&) {
    }
}
