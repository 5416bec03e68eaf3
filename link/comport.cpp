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
        m_backend->close();
        return;
    }
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
        m_backend->onDeviceError = [this](const PortBackend::Failure& f, bool) {
            onBackendError(f.code, f.text);
        };
    }
    m_backend->setPath(path);
    PortBackend::Failure failure;
    if (!m_backend->open(&failure)) {
        m_lastOpenFailure = failure.text;
        m_lastOpenFailureCode = failure.code;
        raise(failure.code, failure.text);
    }
    m_lastOpenFailure.clear();
    m_lastOpenFailureCode = 0;
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
    if (Active())
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

MeterEmulator* TComPort::Emulator() const {
    if (!Active())
        return nullptr;
    if (auto* sim = dynamic_cast<SimulatorBackend*>(m_backend.get()))
        return &sim->emulator();
    return nullptr;
}

void TComPort::onBackendReadyRead() {
    if (!OnRxChar)
        return;
    // Nothing may escape into the event loop; the handler ends its own action on an abort.
    try {
        OnRxChar(this);
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        qWarning("%s: receive handler failed: %s", qPrintable(m_deviceName), e.what());
    }
}

void TComPort::onBackendError(int code, const QString& text) {
    // Not inside any operation of the program: tell the handler, never throw.
    if (!OnError)
        return;
    EComError error(code, text);
    TComAction action = caFail;
    try {
        OnError(this, error, action);
    } catch (...) {
    }
}

void OpenQuietly(TComPort& port) {
    try {
        port.setActive(true);
    } catch (...) {
    }
}

void CloseQuietly(TComPort& port) {
    try {
        port.setActive(false);
    } catch (...) {
    }
}
