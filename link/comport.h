#pragma once

#include "comerror.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class PortBackend;
class MeterEmulator;

// A serial port object: opens a named device at 9600 8N1, tells the program when characters
// have arrived, and reads and writes byte blocks without blocking. The name "Simulator" opens
// the meter emulator inside the program instead of a device.
//
// Every failing operation builds an EComError and calls OnError with caFail; if the handler
// leaves caFail the EComError is thrown, if it sets caAbort an EAbort is thrown instead.
// Failures of the device itself (it vanished) close the port and are reported to OnError
// without throwing.
class TComPort : public QObject {
    Q_OBJECT
public:
    using RxCharHandler = std::function<void(TComPort* sender)>;
    using ErrorHandler =
        std::function<void(TComPort* sender, const EComError& error, TComAction& action)>;

    explicit TComPort(QObject* parent = nullptr);
    ~TComPort() override;

    // Characters received; may be set or cleared at any time and takes effect at once.
    RxCharHandler OnRxChar;
    ErrorHandler OnError;

    bool Active() const;
    void setActive(bool active);

    QString DeviceName() const;
    void setDeviceName(const QString& name);

    int InputCount();
    // Takes up to count waiting bytes; returns how many were taken.
    int Read(char* buffer, int count);
    int Read(QByteArray& buffer, int count);
    void Write(const char* buffer, int count);
    void Write(const QByteArray& bytes);
    void ClearInput();

    // Why the last open failed, in words for the user, and the system's error number; empty
    // and 0 after a successful open.
    QString LastOpenFailure() const;
    int LastOpenFailureCode() const;
    // True when the last open was refused (no permission, or the port is in use), as opposed
    // to a device that is not there.
    bool LastOpenRefused() const;

    // The emulator behind an open "Simulator" port, else nullptr.
    MeterEmulator* Emulator() const;

    // Appends the names of the serial ports of the system, in a stable order.
    static void EnumeratePorts(QStringList& list);
    // Replaces the system's list (tests); std::nullopt restores it.
    static void SetPortListOverride(std::optional<QStringList> ports);

    // Makes the backends of ports opened from now on (tests: a scripted device); an empty
    // function restores the real ones. Returning nullptr falls back to the real backend.
    using BackendFactory = std::function<std::unique_ptr<PortBackend>(const QString& path)>;
    static void SetBackendFactory(BackendFactory factory);

    // The name of the in-process emulator in the port list.
    static QString SimulatorName();
    // The device path for a port name: a path (starting with '/') as is, "Simulator" as is,
    // otherwise the system's location of the named port (e.g. ttyUSB0 -> /dev/ttyUSB0).
    static QString DevicePath(const QString& portName);

private:
    [[noreturn]] void raise(int code, const QString& message);
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
    bool m_readShort = false;
    bool m_injected = false; // m_backend came from the backend factory   // the previous Read
                             // delivered fewer bytes than asked for
};

// Opening and closing the way the program does it everywhere: any failure is swallowed,
// callers test Active afterwards.
void OpenQuietly(TComPort& port);
void CloseQuietly(TComPort& port);
