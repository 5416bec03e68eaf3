#include "comport.h"

#include "portbackend.h"
#include "serialbackend.h"
#include "simulatorbackend.h"

#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>

namespace {
std::optional<QStringList>& portListOverride() {
    static std::optional<QStringList> list;
    return list;
}

TComPort::BackendFactory& backendFactory() {
    static TComPort::BackendFactory factory;
    return factory;
}
} // namespace

// Operations during which a notification of the device is held back until the event loop.
class TComPort::OperationScope {
public:
    explicit OperationScope(TComPort& port) : m_port(port) { ++m_port.m_operationDepth; }
    ~OperationScope() {
        if (--m_port.m_operationDepth == 0 && m_port.m_notifyDeferred) {
            m_port.m_notifyDeferred = false;
            m_port.postNotification();
        }
    }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;

private:
    TComPort& m_port;
};

TComPort::TComPort(QObject* parent) : QObject(parent) {}

TComPort::~TComPort() {
    if (m_backend) {
        m_backend->onReadyRead = nullptr;
        m_backend->onDeviceError = nullptr;
        m_backend->close();
    }
}

QString TComPort::SimulatorName() {
    return QStringLiteral("Simulator");
}

QString TComPort::DevicePath(const QString& portName) {
    if (portName.startsWith(u'/') || portName == SimulatorName())
        return portName;
    const QSerialPortInfo info(portName);
    const QString location = info.systemLocation();
    return location.isEmpty() ? portName : location;
}

void TComPort::EnumeratePorts(QStringList& list) {
    if (portListOverride()) {
        list += *portListOverride();
        return;
    }
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names += info.portName();
    std::sort(names.begin(), names.end());
    list += names;
}

void TComPort::SetPortListOverride(std::optional<QStringList> ports) {
    portListOverride() = std::move(ports);
}

void TComPort::SetBackendFactory(BackendFactory factory) {
    backendFactory() = std::move(factory);
}

void TComPort::raise(int code, const QString& message) {
    EComError error(code, message);
    TComAction action = caFail;
    if (OnError)
        OnError(this, error, action);
    if (action == caAbort)
        throw EAbort();
    throw error;
}

void TComPort::requireOpen() {
    if (!Active())
        raise(0, ComErrorText::ClosedPort);
}

bool TComPort::Active() const {
    return m_backend && m_backend->isOpen();
}

void TComPort::setActive(bool active) {
    if (active == Active())
        return;
    if (!active) {
        m_deviceLost = false;
        m_backend->close();
        Q_EMIT activeChanged(false);
        return;
    }
    PortBackend::Failure failure;
    if (!open(failure))
        raise(failure.code, failure.text);
}

bool TComPort::TryOpen() {
    if (Active())
        return true;
    PortBackend::Failure failure;
    return open(failure);
}

bool TComPort::open(PortBackend::Failure& failure) {
    m_readShort = false;
    const QString path = DevicePath(m_deviceName);
    const bool simulator = path == SimulatorName();
    const bool isSimulator = dynamic_cast<SimulatorBackend*>(m_backend.get()) != nullptr;
    std::unique_ptr<PortBackend> injected;
    if (backendFactory())
        injected = backendFactory()(path);
    if (!m_backend || simulator != isSimulator || injected || m_injected) {
        if (m_backend) {
            m_backend->onReadyRead = nullptr;
            m_backend->onDeviceError = nullptr;
        }
        m_retired = std::move(m_backend);
        m_injected = injected != nullptr;
        if (injected)
            m_backend = std::move(injected);
        else if (simulator)
            m_backend = std::make_unique<SimulatorBackend>();
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

QString TComPort::DeviceName() const {
    return m_deviceName;
}

void TComPort::setDeviceName(const QString& name) {
    if (name == m_deviceName)
        return;
    if (Active())
        raise(0, ComErrorText::OpenPort);
    m_deviceName = name;
}

int TComPort::InputCount() {
    requireOpen();
    OperationScope operation(*this);
    return int(m_backend->bytesAvailable());
}

int TComPort::Read(char* buffer, int count) {
    requireOpen();
    if (m_readShort) {
        m_readShort = false;
        raise(0, ComErrorText::Timeout);
    }
    if (count <= 0)
        return 0;
    OperationScope operation(*this);
    const qint64 available = m_backend->bytesAvailable();
    const int n = int(m_backend->read(buffer, std::min<qint64>(count, available)));
    m_readShort = n < count;
    return n;
}

int TComPort::Read(QByteArray& buffer, int count) {
    buffer.resize(std::max(count, 0));
    const int n = Read(buffer.data(), count);
    buffer.resize(n);
    return n;
}

void TComPort::Write(const char* buffer, int count) {
    requireOpen();
    if (count <= 0)
        return;
    OperationScope operation(*this);
    // A write waits for the one before it to leave.
    m_backend->waitWritten();
    PortBackend::Failure failure;
    if (!m_backend->write(buffer, count, &failure))
        raise(failure.code, failure.text.isEmpty() ? ComErrorText::Timeout : failure.text);
}

void TComPort::Write(const QByteArray& bytes) {
    Write(bytes.constData(), int(bytes.size()));
}

void TComPort::ClearInput() {
    if (!Active())
        return;
    OperationScope operation(*this);
    m_backend->clearInput();
}

QString TComPort::LastOpenFailure() const {
    return m_lastOpenFailure;
}

int TComPort::LastOpenFailureCode() const {
    return m_lastOpenFailureCode;
}

bool TComPort::LastOpenRefused() const {
    return m_lastOpenFailureCode == EACCES || m_lastOpenFailureCode == EBUSY;
}

bool TComPort::DeviceLost() const {
    return m_deviceLost;
}

void TComPort::postNotification() {
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

void TComPort::onBackendReadyRead() {
    if (!OnRxChar || !Active())
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
        OnRxChar(this);
    } catch (const EAbort&) {
    } catch (const EComError& e) {
        qWarning("%s: receive handler failed: %s", qPrintable(m_deviceName), e.what());
    }
    m_inHandler = false;
    // Bytes that arrived while the handler ran may never be announced again.
    if (Active() && OnRxChar) {
        OperationScope operation(*this);
        if (m_backend->bytesAvailable() > 0)
            m_notifyDeferred = true;
    }
}

void TComPort::onBackendError(int code, const QString& text) {
    // The backend closed the device: not inside any operation of the program, so the handler
    // is told and nothing is thrown.
    m_deviceLost = true;
    m_readShort = false;
    Q_EMIT activeChanged(false);
    if (!OnError)
        return;
    EComError error(code, text);
    TComAction action = caFail;
    OnError(this, error, action);
}

void OpenQuietly(TComPort& port) {
    try {
        port.setActive(true);
    } catch (const EAbort&) {
    } catch (const EComError&) {
    }
}

void CloseQuietly(TComPort& port) {
    try {
        port.setActive(false);
    } catch (const EAbort&) {
    } catch (const EComError&) {
    }
}
