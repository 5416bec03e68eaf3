#pragma once

#include "portbackend.h"

#include <QSerialPort>

// A real serial device (or a pseudo-terminal) through QSerialPort.
class SerialBackend : public PortBackend {
public:
    explicit SerialBackend(const QString& path);
    ~SerialBackend() override;

    void setPath(const QString& path) override;
    bool open(Failure* failure) override;
    void close() override;
    bool isOpen() const override;
    qint64 bytesAvailable() override;
    qint64 read(char* data, qint64 count) override;
    bool write(const char* data, qint64 count, Failure* failure) override;
    void waitWritten() override;
    void clearInput() override;

    // Explains a failed open in words a user can act on (missing permission, port busy).
    // QSerialPort reports a port that another program holds as a permission error too;
    // `busy` tells that case apart, with the holder's process id when known (else 0).
    static QString describeOpenFailure(QSerialPort::SerialPortError error, const QString& path,
                                       const QString& systemText, bool busy = false,
                                       qint64 holderPid = 0);

    // The process that holds the device at `path` through a lock file (LCK..<name> in the
    // system's lock directory, as QSerialPort and the UUCP tradition write it), when that
    // process is still alive; 0 when there is no such lock or its holder is gone.
    static qint64 lockHolder(const QString& path);

    // The QSerialPort underneath, for tests that provoke its notifications directly.
    QSerialPort& serialPortForTests() { return m_port; }

private:
    void onReadyReadSignal();
    void onErrorSignal(QSerialPort::SerialPortError error);
    // The device is open, its node is there and its line has not hung up.
    bool deviceStillThere() const;
    // Closes the device and tells onDeviceError why, once.
    void closeAsFailed(const QString& reason);

    QSerialPort m_port;
    // Empty-read errors since the last byte arrived (see onErrorSignal).
    int m_readErrorsInARow = 0;
    static constexpr int kReadErrorLimit = 20;
    // The device path as given (QSerialPort keeps a shortened name: "/dev/pts/3" -> "pts/3").
    QString m_path;
};
