#pragma once

#include "porterror.h"
#include "portbackend.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>


// A serial port object: opens a named device at 9600 8N1, tells the program when characters
// have arrived, and reads and writes byte blocks without blocking. The name "Simulator" opens
// the meter emulator inside the program instead of a device (registered from above with
// setSimulatorFactory).
//
// Every failing operation builds an PortError and calls onError with caFail; if the handler
// leaves caFail the PortError is thrown, if it sets caAbort an SilentAbort is thrown instead.
// Failures of the device itself (it vanished) close the port and are reported to onError
// without throwing; deviceLost() then tells them apart from a port closed on purpose.
//
// Notifications: onRxChar never runs nested inside an operation of this object (write,
// inputCount, read, clearInput). A device may announce bytes synchronously from inside such
// a call (QSerialPort does from waitForBytesWritten and waitForReadyRead); the notification
// is then posted to run once control is back in the event loop. And because QSerialPort does
// not announce bytes that arrived while its own notification was being handled, the object
// posts one more notification after onRxChar returns whenever bytes are still waiting.
class MeterPort : public QObject {
    Q_OBJECT
public:
    using RxCharHandler = std::function<void(MeterPort* sender)>;
    using ErrorHandler =
        std::function<void(MeterPort* sender, const PortError& error, PortErrorAction& action)>;

    explicit MeterPort(QObject* parent = nullptr);
    ~MeterPort() override;

    // Characters received; may be set or cleared at any time and takes effect at once.
    RxCharHandler onRxChar;
    ErrorHandler onError;

    bool active() const;
    void setActive(bool wanted);
    // Opens the port without reporting a failure to onError (and without throwing): for
    // looking again and again whether a device has come back. lastOpenFailure says why not.
    bool tryOpen();

    QString deviceName() const;
    void setDeviceName(const QString& name);

    int inputCount();
    // Takes up to count waiting bytes; returns how many were taken.
    int read(char* buffer, int count);
    int read(QByteArray& buffer, int count);
    void write(const char* buffer, int count);
    void write(const QByteArray& bytes);
    void clearInput();

    // Why the last open failed, in words for the user, and the system's error number; empty
    // and 0 after a successful open.
    QString lastOpenFailure() const;
    int lastOpenFailureCode() const;
    // True when the last open was refused (no permission, or the port is in use), as opposed
    // to a device that is not there.
    bool lastOpenRefused() const;
    // True when the port closed itself because its device failed (unplugged, pseudo-terminal
    // closed); cleared by the next open or close.
    bool deviceLost() const;

    // Appends the names of the serial ports of the system (SerialPortList), in a stable order.
    static void enumeratePorts(QStringList& list);
    // Replaces the names of the system's list (tests); std::nullopt restores it. A list
    // replaced with its identities (SerialPortList::setOverride) gives its names here too
    // while no list of names is set.
    static void setPortListOverride(std::optional<QStringList> ports);

    // Makes the backends of ports opened from now on (tests: a scripted device); an empty
    // function restores the real ones. Returning nullptr falls back to the real backend.
    using BackendFactory = std::function<std::unique_ptr<PortBackend>(const QString& path)>;
    static void setBackendFactory(BackendFactory factory);

    // Makes the backend that the name "Simulator" opens. The program and the command-line tool
    // register the in-process meter emulator (sim/) at start-up; this library knows none, and
    // without a factory "Simulator" fails to open like a missing device. An empty function
    // removes it.
    using SimulatorFactory = std::function<std::unique_ptr<PortBackend>()>;
    static void setSimulatorFactory(SimulatorFactory factory);

    // The name of the in-process emulator in the port list.
    static QString simulatorName();
    // The device path for a port name: a path (starting with '/') as is, "Simulator" as is,
    // otherwise the system's location of the named port (e.g. ttyUSB0 -> /dev/ttyUSB0).
    static QString devicePath(const QString& portName);

Q_SIGNALS:
    // The port was opened or closed, by the program or because its device vanished.
    void activeChanged(bool active);

private:
    // Marks the span of an operation that may make the device notify synchronously.
    class OperationScope;

    [[noreturn]] void raise(int code, const QString& message);
    bool open(PortBackend::Failure& failure);
    void postNotification();
    void requireOpen();
    void onBackendReadyRead();
    void onBackendError(int code, const QString& text);

    QString m_deviceName;
    std::unique_ptr<PortBackend> m_backend;
    // The backend replaced by the last change between device and emulator; kept alive one
    // generation so that a change made from inside one of its notifications is safe.
    std::unique_ptr<PortBackend> m_retired;
    QString m_lastOpenFailure;
    int m_lastOpenFailureCode = 0;
    // The previous read delivered fewer bytes than asked for.
    bool m_readShort = false;
    // m_backend came from the backend factory.
    bool m_injected = false;
    // m_backend came from the simulator factory.
    bool m_simulated = false;
    bool m_deviceLost = false;
    // Depth of operations in progress, and whether a notification came during one.
    int m_operationDepth = 0;
    bool m_notifyDeferred = false;
    bool m_notifyPosted = false;
    bool m_inHandler = false;
};

// Opening and closing the way the program does it everywhere: a port failure is not an
// error of the program (callers test active() afterwards, and lastOpenFailure says why).
void openQuietly(MeterPort& port);
void closeQuietly(MeterPort& port);
